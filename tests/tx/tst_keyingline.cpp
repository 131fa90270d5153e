// The keying line as the window's Output menu and TUNE drive it, on the recording ports.
#include "config/configrecord.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QtTest>

#include <csignal>

namespace {
QAction* portItem(TTavrin& w, const QString& port) {
    if (port.startsWith("LPT"))
        return port == "LPT1" ? w.ui().Printer1 : w.ui().Printer2;
    return w.ui().COM[port.back().digitValue() - 1];
}

QString address(const QString& port) {
    return port == "LPT1" ? "0x378" : "0x3BC";
}

// The events that put the port's line at a level (keyed or not, after the polarity).
QStringList line(const QString& port, bool high) {
    if (port.startsWith("LPT"))
        return {QString("out %1 %2").arg(address(port), high ? "0x03" : "0x00")};
    return high ? QStringList{"SETDTR", "SETRTS"} : QStringList{"CLRDTR", "CLRRTS"};
}
} // namespace

class KeyingLineTest : public QObject {
    Q_OBJECT

private slots:
    // A port that cannot be used leaves VOX selected, holding no line, even while its box shows.
    void aPortThatCannotBeUsedFallsBackToVox_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("reported");
        QTest::newRow("fails to open") << "COM2" << QStringList{"open COM2 failed"} << true;
        QTest::newRow("no terminal") << "COM4" << QStringList{"open COM4", "close COM4"} << false;
        QTest::newRow("parallel refused") << "LPT2" << QStringList{"claim 0x3BC refused"} << true;
    }
    void aPortThatCannotBeUsedFallsBackToVox() {
        QFETCH(QString, port);
        QFETCH(QStringList, events);
        QFETCH(bool, reported);
        WindowHarness h;
        h.ports.failingPorts = {"COM2"};
        h.ports.nonCommPorts = {"COM4"};
        h.ports.refuseParallel = true;
        TTavrin& w = h.open();
        // Before any choice no port drives the line, and the ticks say so.
        QVERIFY(w.ui().VOX1->isChecked() && !w.ui().Printer1->isChecked());
        int linesAtBox = -1;
        h.dialogs.onMessage = [&] { linesAtBox = h.ports.openLines(); };
        portItem(w, port)->trigger();
        QCOMPARE(h.dialogs.messages.size(), reported ? 1 : 0);
        QCOMPARE(linesAtBox, reported ? 0 : -1);
        QCOMPARE(w.keyingLine().KeyingPortName(), QString("NONE"));
        QVERIFY(w.ui().VOX1->isChecked() && w.ui().NoComPort->isChecked());
        QVERIFY(!portItem(w, port)->isChecked());
        click(w.ui().TuneBtn);
        QCOMPARE(h.ports.takeEvents(), events);
    }

    // A termination signal while a port's failure box is open stores what is in effect: VOX.
    void aSignalDuringAPortFailureBoxStoresVox() {
        for (const char* port : {"COM2", "LPT2"}) {
            WindowHarness h;
            h.ports.failingPorts = {"COM2"};
            h.ports.refuseParallel = true;
            TTavrin& w = h.open();
            w.show();
            h.dialogs.onMessage = [&] {
                ::kill(::getpid(), SIGTERM);
                QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }));
            };
            portItem(w, port)->trigger();
            const auto written = ConfigRecord::parse(readBytes(h.installDir() + "Tavrin.cfg"), {});
            QVERIFY(written.keyingPortName == "NONE" && written.keyingPortKind == 1);
        }
    }

    // Under Invert a port is driven unkeyed right after it is opened and TUNE keys it whatever
    // Tx Enable says; the keyed line is re-driven in its new sense when the polarity changes, and
    // unkeyed before it is given up, for another port or with the window.
    void aKeyedLineFollowsPolarityAndIsUnkeyedWhenGivenUp_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("events"); // what the change does
        QTest::newRow("polarity to Normal") << "COM6" << QStringList{"SETDTR", "SETRTS"};
        QTest::newRow("switching ports")
            << "COM1"
            << QStringList{"SETDTR", "SETRTS", "close COM1", "claim 0x378", "out 0x378 0x03"};
        QTest::newRow("destroying the window")
            << "LPT2" << QStringList{"out 0x3BC 0x03", "release 0x3BC"};
    }
    void aKeyedLineFollowsPolarityAndIsUnkeyedWhenGivenUp() {
        QFETCH(QString, port);
        QFETCH(QStringList, events);
        WindowHarness h;
        TTavrin& w = h.open();
        w.ui().Invert1->trigger();
        portItem(w, port)->trigger();
        click(w.ui().TuneBtn);
        const QString opened = port.startsWith("LPT") ? "claim " + address(port) : "open " + port;
        QCOMPARE(h.ports.takeEvents(), QStringList{opened} + line(port, true) + line(port, false));
        port == "COM6"   ? w.ui().Normal->trigger()
        : port == "COM1" ? w.ui().Printer1->trigger()
                         : h.window.reset();
        QCOMPARE(h.ports.takeEvents(), events);
    }
};

QTEST_MAIN(KeyingLineTest)
#include "tst_keyingline.moc"
