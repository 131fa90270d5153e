// Every way a recording, a playback or TUNE can end must leave the transmitter unkeyed, on every
// kind of keying port and under both polarities.
#include "audiopump.h"
#include "keyer/keyer.h"
#include "support/uniquefd.h"
#include "tx/keyingline.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>
#include <map>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The line events that key and unkey each port under each polarity; VOX moves no line.
struct LinePatterns {
    QStringList keyed;
    QStringList unkeyed;
};

LinePatterns patternsFor(const QString& port, bool invert) {
    QStringList assert_{"SETDTR", "SETRTS"};
    QStringList clear{"CLRDTR", "CLRRTS"};
    if (port == QLatin1String("LPT1")) {
        assert_ = QStringList{"out 0x378 0x03"};
        clear = QStringList{"out 0x378 0x00"};
    }
    return invert ? LinePatterns{clear, assert_} : LinePatterns{assert_, clear};
}

bool movesALine(const QString& event) {
    return event.startsWith(QLatin1String("SET")) || event.startsWith(QLatin1String("CLR")) ||
           event.startsWith(QLatin1String("out "));
}

// The line was keyed on the way and its last events unkey it.
void checkLineEnds(const QString& port, bool invert, const QStringList& all) {
    QStringList events;
    std::copy_if(all.begin(), all.end(), std::back_inserter(events), movesALine);
    if (port == "VOX") {
        QCOMPARE(events, QStringList());
        return;
    }
    const LinePatterns line = patternsFor(port, invert);
    QVERIFY2(events.join(',').contains(line.keyed.join(',')), qPrintable(events.join(',')));
    QCOMPARE(events.mid(events.size() - line.unkeyed.size()), line.unkeyed);
}

// Runs the application's event loop with start queued in it, until something ends the loop.
int runProgram(const std::function<void()>& start) {
    QTimer::singleShot(0, qApp, start);
    return QApplication::exec();
}

const QStringList kQuits{"close box", "File > Exit", "SIGINT", "SIGTERM", "SIGHUP"};

// Signals that end the program without its shutdown. Each row runs in a child copy of this
// test, named in kChildLog, whose port double logs there what the line saw.
const std::map<QString, int> kFatal{
    {"SIGQUIT", SIGQUIT}, {"SIGABRT", SIGABRT}, {"SIGSEGV", SIGSEGV}, {"SIGBUS", SIGBUS},
    {"SIGFPE", SIGFPE},   {"SIGUSR1", SIGUSR1}, {"SIGUSR2", SIGUSR2}};
const char* const kChildLog = "KEYINGEXITS_CHILD_LOG";

// The line events of the row run in a child that the fatal signal ends.
QStringList runChild(bool& crashed) {
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildLog, dir.filePath("events"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("everyWayOutEndsUnkeyed:") + QTest::currentDataTag()});
    crashed = child.waitForFinished(20000) && child.exitStatus() == QProcess::CrashExit;
    QFile log(dir.filePath("events"));
    return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()).split('\n')
                                         : QStringList();
}

} // namespace

class KeyingExitsTest : public QObject {
    Q_OBJECT

private slots:
    void everyWayOutEndsUnkeyed_data();
    void everyWayOutEndsUnkeyed();
};

void KeyingExitsTest::everyWayOutEndsUnkeyed_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QString>("activity");
    QTest::addColumn<QString>("exit");

    // A recording never keys by itself: TUNE holds the line keyed through it.
    QList<QPair<QString, QString>> ways;
    for (const char* exit : {"STOP", "RST", "Escape", "device failure"})
        for (const char* activity : {"playback", "recording"})
            ways << qMakePair(QString::fromLatin1(activity), QString::fromLatin1(exit));
    for (const char* exit : {"end of message", "loop pause", "pause"})
        ways << qMakePair(QStringLiteral("playback"), QString::fromLatin1(exit));
    for (const QString& exit : kQuits)
        for (const char* activity : {"playback", "recording", "TUNE"})
            ways << qMakePair(QString::fromLatin1(activity), exit);
    for (const auto& fatal : kFatal)
        for (const char* activity : {"playback", "TUNE"})
            ways << qMakePair(QString::fromLatin1(activity), fatal.first);

    for (const char* port : {"COM3", "LPT1", "VOX"})
        for (bool invert : {false, true})
            for (const auto& way : ways)
                QTest::addRow("%s %s, %s during %s", port, invert ? "Invert" : "Normal",
                              qPrintable(way.second), qPrintable(way.first))
                    << QString::fromLatin1(port) << invert << way.first << way.second;
}

void KeyingExitsTest::everyWayOutEndsUnkeyed() {
    QFETCH(QString, port);
    QFETCH(bool, invert);
    QFETCH(QString, activity);
    QFETCH(QString, exit);
    const bool quits = kQuits.contains(exit);
    const bool fatal = kFatal.count(exit) != 0;
    const QString childLog = qEnvironmentVariable(kChildLog);
    QStringList all;
    if (fatal && childLog.isEmpty()) {
        bool crashed = false;
        all = runChild(crashed);
        QVERIFY(crashed);
        return checkLineEnds(port, invert, all);
    }

    WindowHarness h;
    UniqueFd childLogFd;
    if (fatal) {
        childLogFd.reset(::open(QFile::encodeName(childLog).constData(),
                                O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        h.ports.emergencyFd = childLogFd.get();
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
    }
    h.writeMessage(1, QByteArray((exit == "loop pause" ? 1 : 20) * kBlock, 'm'));
    // Connected before the window exists, so it sees the line as the shutdown sequence left it,
    // before anything the window does when the event loop ends.
    QStringList eventsAtQuit;
    int levelAtQuit = -1;
    QObject watcher; // ends the connection before the harness goes
    connect(qApp, &QCoreApplication::aboutToQuit, &watcher, [&] {
        eventsAtQuit = h.ports.events();
        levelAtQuit = h.window->keyingLine().KeyingLevel();
    });
    TTavrin& w = h.open();
    w.show();
    if (port == "COM3")
        w.ui().COM[2]->trigger();
    else if (port == "LPT1")
        w.ui().Printer1->trigger();
    else
        w.ui().VOX1->trigger();
    if (invert)
        w.ui().Invert1->trigger();
    click(w.ui().TransmitBtn);
    if (exit == "loop pause")
        click(w.ui().LoopBtn);
    h.ports.takeEvents();

    bool keyedBeforeExit = false;
    const auto noteKeyed = [&] {
        keyedBeforeExit = w.keyingLine().KeyingLevel() == KeyingLine::Keyed;
    };
    const std::map<QString, std::function<void()>> actions{
        {"STOP", [&] { click(w.ui().StopBtn); }},
        {"RST", [&] { click(w.ui().ResetBtn); }},
        {"Escape", [&] { QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape); }},
        {"pause", [&] { click(w.ui().PlayBtn); }},
        {"close box", [&] { w.close(); }},
        {"File > Exit", [&] { w.ui().Exit1->trigger(); }},
        {"SIGINT", [] { ::kill(::getpid(), SIGINT); }},
        {"SIGTERM", [] { ::kill(::getpid(), SIGTERM); }},
        {"SIGHUP", [] { ::kill(::getpid(), SIGHUP); }},
    };
    const auto wayOut = [&] {
        noteKeyed();
        if (fatal) {
            const QByteArray seen = h.ports.events().join('\n').toLatin1() + '\n';
            QVERIFY(::write(childLogFd.get(), seen.constData(), seen.size()) == seen.size());
            ::raise(kFatal.at(exit));
            QFAIL("the program outlived its fatal signal");
        }
        actions.at(exit)();
    };
    const bool byItself = exit == "end of message" || exit == "loop pause";
    if (exit == "device failure") {
        // Inside the loop, after the first block: the failure asks for the program's end.
        if (activity == "playback")
            h.wave.failOn(Dir::Output, VirtualWaveService::Op::Queue, 3);
        else
            h.wave.failOn(Dir::Input, VirtualWaveService::Op::Queue, 4);
    }

    AudioPump sound(h.wave, Dir::Output);
    AudioPump capture(h.wave, Dir::Input);
    const auto start = [&] {
        if (activity == "TUNE") {
            click(w.ui().TuneBtn);
            wayOut();
            return;
        }
        AudioPump& pump = activity == "playback" ? sound : capture;
        if (byItself || exit == "device failure")
            pump.after(1, noteKeyed);
        else
            pump.after(2, wayOut);
        if (activity == "recording") {
            click(w.ui().TuneBtn);
            click(w.ui().RecordBtn);
        } else {
            click(w.ui().PlayBtn);
        }
    };

    // A way out that does not end the activity would leave it running for ever: 5 s at most.
    bool overdue = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [&] {
        overdue = true;
        w.keyer().ResetBtnClick();
        QCoreApplication::exit(99);
    });
    deadline.start(5000);

    if (quits) {
        QCOMPARE(runProgram(start), 0);
        QCOMPARE(levelAtQuit, int(KeyingLine::Unkeyed));
        all = eventsAtQuit;
    } else {
        start();
        all = h.ports.events();
    }
    QVERIFY(!overdue);

    // The way out ended the playback where it came, not the message's end.
    if (activity == "playback" && !byItself)
        QVERIFY(h.wave.played().size() <= 3 * kBlock);
    if (exit == "device failure")
        QVERIFY(w.terminationRequested());
    if (exit == "loop pause") {
        // The message has ended and the loop counts the pause before the next repetition.
        QVERIFY(w.keyer().loopTimer().isActive());
        QVERIFY(w.keyerState().keyerIdle());
    }
    QVERIFY(keyedBeforeExit);
    QCOMPARE(w.keyingLine().KeyingLevel(), KeyingLine::Unkeyed);
    checkLineEnds(port, invert, all);
    if (exit == "loop pause")
        click(w.ui().ResetBtn);
}

QTEST_MAIN(KeyingExitsTest)
#include "tst_keyingexits.moc"
