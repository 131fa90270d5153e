// The program's ways out, each run through a real event loop: the transmitter must be unkeyed
// before the loop returns, whatever ended it.
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <csignal>

#include <unistd.h>

namespace {

// Runs the application's event loop until something ends it; 5 s at most.
int runProgram(const std::function<void()>& whileRunning) {
    QTimer::singleShot(0, qApp, whileRunning);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    return QApplication::exec();
}

} // namespace

class ShutdownSignalTest : public QObject {
    Q_OBJECT

private slots:
    void terminationSignalRunsTheShutdown_data();
    void terminationSignalRunsTheShutdown();
    void terminationAfterADeviceFailureUnkeys();
};

void ShutdownSignalTest::terminationSignalRunsTheShutdown_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void ShutdownSignalTest::terminationSignalRunsTheShutdown() {
    QFETCH(int, signalNumber);
    WindowHarness h;
    // Connected before the window exists, so it runs before anything the window does when the
    // loop ends: what it sees is the work of the shutdown sequence alone.
    QStringList seenAtExit;
    bool visibleAtExit = true;
    const auto snapshot = connect(qApp, &QCoreApplication::aboutToQuit, [&] {
        seenAtExit = h.ports.events();
        visibleAtExit = h.window->isVisible();
    });
    TTavrin& w = h.open();
    w.show();
    w.ui().COM[2]->trigger();
    w.ui().MessageWindow->setPlainText("73 de the shutdown test");

    const int exitCode = runProgram([&] {
        QTest::mouseClick(w.ui().TuneBtn, Qt::LeftButton);
        ::kill(::getpid(), signalNumber);
    });
    disconnect(snapshot);

    QCOMPARE(exitCode, 0);
    QCOMPARE(seenAtExit, (QStringList{"open COM3", "CLRDTR", "CLRRTS", // selected, unkeyed
                                      "SETDTR", "SETRTS",              // TUNE
                                      "CLRDTR", "CLRRTS"}));           // the shutdown
    QVERIFY(!visibleAtExit);
    QCOMPARE(w.memories().note(1), QStringLiteral("73 de the shutdown test"));
}

void ShutdownSignalTest::terminationAfterADeviceFailureUnkeys() {
    WindowHarness h;
    TTavrin& w = h.open();
    w.show();
    w.ui().Invert1->trigger();
    w.ui().Printer2->trigger();
    // Connected after the window's own handling, to see what it left on the line.
    QStringList seenAtExit;
    const auto snapshot =
        connect(qApp, &QCoreApplication::aboutToQuit, [&] { seenAtExit = h.ports.events(); });

    const int exitCode = runProgram([&] {
        QTest::mouseClick(w.ui().TuneBtn, Qt::LeftButton);
        h.ports.takeEvents();
        QCoreApplication::exit(1); // as the wave device error policy ends the program
    });
    disconnect(snapshot);

    QCOMPARE(exitCode, 1);
    QCOMPARE(seenAtExit, QStringList{"out 0x3BC 0x03"});
    QVERIFY(w.isVisible()); // the shutdown sequence did not run
}

QTEST_MAIN(ShutdownSignalTest)
#include "tst_shutdownsignal.moc"
