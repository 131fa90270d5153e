// Every way a recording, a playback or TUNE can end must leave the transmitter unkeyed, on every
// kind of keying port and under both polarities; a port given up or refused holds no line.
#include "audiopump.h"
#include "config/configrecord.h"
#include "devicestandins.h"
#include "keyer/keyer.h"
#include "rigctld.h"
#include "support/uniquefd.h"
#include "tx/keyingline.h"
#include "tx/rigptt.h"
#include "windowharness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <map>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The events that put the port's line high or low (keyed or not, after the polarity), joined. A
// rig's are what it reads back: the rigctld's PTT, or the report the CM108 (GPIO 3) took last.
QString line(const QString& port, bool high) {
    const char* lpt = port == "LPT1" ? "out 0x378 0x0%1" : "out 0x3BC 0x0%1";
    return port == "CAT"            ? QString("PTT %1").arg(high)
           : port == "CM108"        ? QString("cm108 %1/4").arg(high * 4)
           : port.startsWith("LPT") ? QString(lpt).arg(high * 3)
           : high                   ? "SETDTR,SETRTS"
                                    : "CLRDTR,CLRRTS";
}

void chooseUsbPort(MainWindow& w, const QString& label) {
    emit w.ui().outputMenu->aboutToShow();
    for (QAction* item : w.ui().outputMenu->actions())
        if (item->text() == label)
            return item->trigger();
    QFAIL(qPrintable("no Output menu item " + label));
}

const QStringList kQuits{"close box", "File > Exit", "SIGINT", "SIGTERM", "SIGHUP"};
const QStringList kFatal{"SIGQUIT", "SIGABRT", "SIGSEGV", "SIGBUS", "SIGFPE", "SIGUSR1", "SIGUSR2"};
const std::map<QString, int> kSignals{
    {"SIGINT", SIGINT},   {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGQUIT", SIGQUIT},
    {"SIGABRT", SIGABRT}, {"SIGSEGV", SIGSEGV}, {"SIGBUS", SIGBUS}, {"SIGFPE", SIGFPE},
    {"SIGUSR1", SIGUSR1}, {"SIGUSR2", SIGUSR2}};

// The activities each way out can end. A recording never keys by itself: TUNE holds the line
// keyed through it.
const std::pair<QStringList, QStringList> kWays[]{
    {{"STOP", "RST", "Escape", "device failure"}, {"playback", "recording"}},
    {{"end of message", "loop pause", "pause"}, {"playback"}},
    {kQuits, {"playback", "recording", "TUNE"}},
    {kFatal, {"playback", "TUNE"}}};

// A fatal signal ends the program without its shutdown, so each such row runs in a child copy of
// this test, named in kChildLog, whose port double logs there what the line saw. The child keys
// the parent's rigctld and CM108 stand-in.
const char* const kChildLog = "KEYINGEXITS_CHILD_LOG";
const char* const kRigPort = "KEYINGEXITS_RIG_PORT";
const char* const kStandInDir = "KEYINGEXITS_HIDRAW_DIR";

QAction* portItem(MainWindow& w, const QString& port) {
    return port == "LPT1"   ? w.ui().lpt1Item
           : port == "LPT2" ? w.ui().lpt2Item
           : port == "VOX"  ? w.ui().voxItem
                            : w.ui().comItems[port.back().digitValue() - 1];
}

} // namespace

class KeyingExitsTest : public QObject {
    Q_OBJECT

private:
    static bool isRig(const QString& port) { return port == "CAT" || port == "CM108"; }
    // One rigctld for every row (a child's is its parent's), started when a row first needs it.
    Rigctld& rig() {
        if (!rig_)
            rig_ = std::make_unique<Rigctld>(quint16(qEnvironmentVariableIntValue(kRigPort)));
        return *rig_;
    }
    QString standIn() const {
        return qEnvironmentVariable(kStandInDir, scratch_.path()) + '/' + hidraw::kStandInName;
    }
    QString rigNow(const QString& port) {
        return port == "CAT" ? QStringLiteral("PTT %1").arg(rig().ptt())
                             : hidraw::lastReport(standIn());
    }
    // The line was keyed on the way and its last events unkey it; VOX moves no line. A rig's
    // events end with what it shows once it has taken the unkey (or has not within the bound).
    void checkLineEnds(const QString& port, bool invert, QStringList all) {
        if (isRig(port)) {
            (void)QTest::qWaitFor([&] { return rigNow(port) == line(port, false); });
            all << rigNow(port);
        }
        const QString events =
            all.filter(QRegularExpression("^(SET|CLR|out |PTT |cm108 )")).join(',');
        QVERIFY2(port == "VOX"
                     ? events.isEmpty()
                     : events.contains(line(port, !invert)) && events.endsWith(line(port, invert)),
                 qPrintable(events));
    }

    void runChild(const QString& port, bool invert) {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildLog, dir.filePath("events"));
        env.insert(kRigPort, QString::number(port == "CAT" ? rig().port() : 0));
        env.insert(kStandInDir, scratch_.path());
        env.insert("TMPDIR",
                   scratch_.path()); // the child dies by its signal: its files go with ours
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("everyWayOutEndsUnkeyed:") + QTest::currentDataTag()});
        QVERIFY(child.waitForFinished(20000) && child.exitStatus() == QProcess::CrashExit);
        checkLineEnds(port, invert,
                      QString::fromLatin1(readBytes(dir.filePath("events"))).split('\n'));
    }

    std::unique_ptr<Rigctld> rig_;
    QTemporaryDir scratch_;

private slots:
    // A port that cannot be used leaves VOX selected, holding no line, even while its box shows,
    // and VOX is what is stored, also when a termination signal comes while the box is open.
    // Under Invert ('!') a port is driven unkeyed right after it is opened and TUNE keys it
    // whatever Tx Enable says; the keyed line is re-driven in its new sense when the polarity
    // changes, and unkeyed before it is given up, for another port or with the window. The port,
    // what it sees (with TUNE pressed after a choice the window outlives), what comes next (a
    // box for a port refused) and what the port sees then.
    void choosingAPort_data() {
        columns<QString, bool, QStringList, QString, QStringList>("port", "invert", "seen",
                                                                  "change", "seenThen");
        const auto row = [](const char* name, const char* port, bool invert, QStringList seen,
                            const char* change, QStringList seenThen = {}) {
            QTest::newRow(name) << port << invert << seen << change << seenThen;
        };
        row("COM2", "COM2", false, {"open COM2 failed"}, "box");
        row("COM4", "COM4", false, {"open COM4", "close COM4"}, "");
        row("LPT2", "LPT2", false, {"claim 0x3BC refused"}, "box");
        row("COM2, SIGTERM", "COM2", false, {"open COM2 failed"}, "box, SIGTERM");
        row("LPT2, SIGTERM", "LPT2", false, {"claim 0x3BC refused"}, "box, SIGTERM");
        const QStringList inverted = {"SETDTR", "SETRTS", "CLRDTR", "CLRRTS"},
                          lpt2 = {"claim 0x3BC", "out 0x3BC 0x03", "out 0x3BC 0x00"};
        row("!COM6, polarity to Normal", "COM6", true, QStringList{"open COM6"} + inverted,
            "polarity to Normal", {"SETDTR", "SETRTS"});
        row("!COM1, switching ports", "COM1", true, QStringList{"open COM1"} + inverted,
            "switching ports", {"SETDTR", "SETRTS", "close COM1", "claim 0x378", "out 0x378 0x03"});
        row("!LPT2, switching ports", "LPT2", true, lpt2, "switching ports",
            {"out 0x3BC 0x03", "release 0x3BC", "claim 0x378", "out 0x378 0x03"});
        row("!LPT2, destroying the window", "LPT2", true, lpt2, "destroying the window",
            {"out 0x3BC 0x03", "release 0x3BC"});
    }
    void choosingAPort() {
        QFETCH(QString, port);
        QFETCH(bool, invert);
        QFETCH(QStringList, seen);
        QFETCH(QString, change);
        QFETCH(QStringList, seenThen);
        const bool reported = change.startsWith("box"), signalled = change.endsWith("SIGTERM");
        WindowHarness h;
        h.ports.failingPorts = {"COM2"};
        h.ports.nonCommPorts = {"COM4"};
        h.ports.refuseParallel = reported;
        MainWindow& w = h.open();
        w.show();
        // Before any choice no port drives the line, and the ticks say so.
        QVERIFY(w.ui().voxItem->isChecked() && !w.ui().lpt1Item->isChecked());
        int linesAtBox = -1;
        h.dialogs.onMessage = [&] {
            linesAtBox = h.ports.openLines();
            if (signalled) {
                ::kill(::getpid(), SIGTERM);
                QVERIFY(QTest::qWaitFor([&] { return !w.isVisible(); }));
            }
        };
        if (invert)
            item(w, "Invert1")->trigger();
        portItem(w, port)->trigger();
        if (!signalled)
            click(w.ui().tuneButton);
        QCOMPARE(h.ports.takeEvents(), seen);
        QCOMPARE(h.dialogs.messages.size(), reported ? 1 : 0);
        QCOMPARE(linesAtBox, reported ? 0 : -1);
        if (invert) {
            change == "polarity to Normal" ? w.ui().normalItem->trigger()
            : change == "switching ports"  ? w.ui().lpt1Item->trigger()
                                           : h.window.reset();
            QCOMPARE(h.ports.takeEvents(), seenThen);
            return;
        }
        QCOMPARE(w.station().keyingLine().portName(), QString("NONE"));
        QVERIFY(w.ui().voxItem->isChecked() && w.ui().noPortItem->isChecked() &&
                !portItem(w, port)->isChecked());
        QVERIFY(signalled || w.close());
        const auto written = ConfigRecord::parse(readBytes(h.installDir() + "Tavrin.cfg"), {});
        QVERIFY(written.keyingPortName == "NONE" && written.keyingPortKind == 1);
    }

    void everyWayOutEndsUnkeyed_data() {
        columns<QString, bool, QString, QString>("port", "invert", "activity", "exit");
        for (const QString port : {"COM3", "USB", "LPT1", "VOX", "CAT", "CM108"})
            for (const bool invert : {false, true})
                if (!invert || !isRig(port)) // polarity is the rig's own business
                    for (const auto& [exits, activities] : kWays)
                        for (const QString& exit : exits)
                            for (const QString& activity : activities)
                                QTest::addRow("%s %s, %s during %s", qPrintable(port),
                                              invert ? "Invert" : "Normal", qPrintable(exit),
                                              qPrintable(activity))
                                    << port << invert << activity << exit;
    }

    void everyWayOutEndsUnkeyed() {
        QFETCH(QString, port);
        QFETCH(bool, invert);
        QFETCH(QString, activity);
        QFETCH(QString, exit);
        const bool quits = kQuits.contains(exit), fatal = kFatal.contains(exit),
                   rigPort = isRig(port);
        if (port == "CAT" && !Rigctld::available())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        const QString childLog = qEnvironmentVariable(kChildLog);
        if (fatal && childLog.isEmpty())
            return runChild(port, invert);

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
        QStringList all;
        int levelAtQuit = -1;
        QObject watcher; // ends the connection before the harness goes
        connect(qApp, &QCoreApplication::aboutToQuit, &watcher, [&] {
            all = h.ports.events();
            levelAtQuit = h.window->station().keyingLine().level();
        });
        QVERIFY(QDir().mkpath(h.devRoot) && writeBytes(h.devRoot + "/ttyACM0", {}));
        MainWindow& w = h.open();
        w.show();
        if (port == "CAT")
            w.station().keyingLine().selectRig(
                {RigTarget::Kind::Cat, RigTarget::kNetworkModel, rig().address()});
        else if (port == "CM108" && writeBytes(standIn(), {}))
            w.station().keyingLine().selectRig({RigTarget::Kind::Cm108, 0, standIn()});
        else
            port == "USB" ? chooseUsbPort(w, "ttyACM0") : portItem(w, port)->trigger();
        if (invert)
            item(w, "Invert1")->trigger();
        click(w.ui().txEnableButton);
        if (exit == "loop pause")
            click(w.ui().loopButton);
        h.ports.takeEvents();

        bool keyedBeforeExit = false;
        QStringList rigReads;
        const auto noteKeyed = [&] {
            keyedBeforeExit = w.station().keyingLine().level() == KeyingLine::Keyed;
            if (rigPort)
                rigReads << rigNow(port);
        };
        const auto wayOut = [&] {
            noteKeyed();
            if (fatal) {
                const QByteArray seen = (h.ports.events() + rigReads).join('\n').toLatin1() + '\n';
                QVERIFY(::write(childLogFd.get(), seen.constData(), seen.size()) == seen.size());
            }
            kSignals.count(exit) ? void(::raise(kSignals.at(exit))) : press(w, exit);
            QVERIFY2(!fatal, "the program outlived its fatal signal");
        };
        const bool byItself = exit == "end of message" || exit == "loop pause";
        // Inside the loop, after the first block: the failure asks for the program's end.
        if (exit == "device failure")
            activity == "playback" ? h.wave.failOn(Dir::Output, Op::Queue, 3)
                                   : h.wave.failOn(Dir::Input, Op::Queue, 4);

        AudioPump sound(h.wave, Dir::Output), capture(h.wave, Dir::Input);
        const auto start = [&] {
            if (activity != "playback")
                click(w.ui().tuneButton);
            // A playback waits for the rig's key-down by itself; TUNE does not.
            (void)QTest::qWaitFor([&] { return !w.station().keyingLine().keyDownPending(); });
            if (activity == "TUNE")
                return wayOut();
            AudioPump& pump = activity == "playback" ? sound : capture;
            byItself || exit == "device failure" ? pump.after(1, noteKeyed) : pump.after(2, wayOut);
            click(activity == "recording" ? w.ui().recordButton : w.ui().playButton);
        };

        // A way out that does not end the activity would leave it running for ever: 5 s at most.
        bool overdue = false;
        QTimer::singleShot(5000, &w, [&] {
            overdue = true;
            w.station().keyer().reset();
            QCoreApplication::exit(99);
        });
        if (quits) {
            QTimer::singleShot(0, qApp, start);
            QCOMPARE(QApplication::exec(), 0);
            QCOMPARE(levelAtQuit, int(KeyingLine::Unkeyed));
        } else {
            start();
            all = h.ports.events();
        }
        QVERIFY(!overdue);

        // The way out ended the playback where it came, not the message's end.
        QVERIFY(activity != "playback" || byItself || h.wave.played().size() <= 3 * kBlock);
        // The message has ended and the loop counts the pause before the next repetition.
        QVERIFY(exit != "loop pause" || (w.station().keyer().loopPausing() &&
                                         w.station().keyerState().keyerIdle()));
        QVERIFY(keyedBeforeExit);
        QCOMPARE(w.station().keyingLine().level(), KeyingLine::Unkeyed);
        checkLineEnds(port, invert, all << rigReads);
        if (exit == "loop pause")
            click(w.ui().resetButton);
    }

    // Lead and tail, what cuts the lead or the tail short 100 ms into it ("PLAY" pauses in the
    // lead, then plays on; in the tail, with every sample heard, it ends the message).
    void leadAndTailHoldTheLineAroundTheSound_data() {
        using namespace std::chrono_literals;
        columns<PttTiming, QString>("timing", "exit");
        QTest::newRow("no lead or tail") << PttTiming{0ms, 0ms} << "";
        QTest::newRow("lead") << PttTiming{300ms, 0ms} << "";
        QTest::newRow("tail") << PttTiming{0ms, 300ms} << "";
        for (const char* exit : {"STOP", "PLAY"})
            QTest::addRow("lead, %s", exit) << PttTiming{900ms, 0ms} << exit;
        for (const char* exit : {"Escape", "PLAY"})
            QTest::addRow("tail, %s", exit) << PttTiming{0ms, 900ms} << exit;
    }

    void leadAndTailHoldTheLineAroundTheSound() {
        QFETCH(PttTiming, timing);
        QFETCH(QString, exit);
        const qint64 leadMs = timing.lead.count(), tailMs = timing.tail.count();
        WindowHarness h;
        QVERIFY(writeBytes(
            h.installDir() + "Tavrin.ini",
            QString("[Keying]\nPttLeadMs=%1\nPttTailMs=%2\n").arg(leadMs).arg(tailMs).toLatin1()));
        h.writeMessage(1, QByteArray(2 * kBlock, 'm'));
        MainWindow& w = h.openKeying();
        QElapsedTimer clock;
        clock.start();
        qint64 keyDown = -1, firstHeard = -1, lastHeard = -1;
        connect(&w.station().keyingLine(), &KeyingLine::keyDownConfirmed, &w,
                [&] { keyDown = clock.elapsed(); });
        const auto cut = [&] { QTimer::singleShot(100, &w, [&] { press(w, exit); }); };
        AudioPump sound(h.wave, Dir::Output);
        sound.after(1, [&] { firstHeard = clock.elapsed(); });
        const bool inLead = leadMs > 0 && !exit.isEmpty();
        sound.after(
            2, [&] { lastHeard = clock.elapsed(), inLead || exit.isEmpty() ? void() : cut(); });
        if (inLead)
            cut();
        click(w.ui().playButton);
        // Unkeyed and PLAY's handler returned. The upper bounds are generous: only a lead or a tail
        // left out, or not cut short, can fail them.
        const qint64 over = clock.elapsed(), lead = firstHeard - keyDown, tail = over - lastHeard;
        const QByteArray times = QString("lead %1 ms, tail %2 ms").arg(lead).arg(tail).toLatin1();
        QVERIFY(keyDown >= 0 && !h.keyed());
        QVERIFY2(inLead ? firstHeard < 0 && over < leadMs / 2
                        : lead >= leadMs && lead <= leadMs + 400 &&
                              (exit.isEmpty() ? tail >= tailMs && tail <= tailMs + 400
                                              : tail < tailMs / 2),
                 times);
        if (exit == "PLAY") { // the message resumed, or played again, is heard whole
            QCOMPARE(w.station().keyerState().playFileOpen(), inLead);
            click(w.ui().playButton);
            QCOMPARE(h.wave.played().size(), (inLead ? 2 : 4) * kBlock);
        }
    }

    // Tavrin.ini: missing or damaged gives the defaults, out-of-range values are brought into
    // range, keys this version does not know are kept; a USB port chosen by path comes back from
    // it, the only port ticked in the Output menu, while the record itself names VOX.
    void settingsBeyondTheRecordSurvive_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("leadMs"); // in force after start-up
        QTest::newRow("missing") << QByteArray() << 0;
        QTest::newRow("damaged") << QByteArray("\xff\0[Keying\nPttLeadMs==\x01", 22) << 0;
        QTest::newRow("out of range")
            << QByteArray("[Keying]\nPttLeadMs=5000\nPttTailMs=x\n") << 1000;
        QTest::newRow("unknown keys")
            << QByteArray("[Keying]\nPttLeadMs=125\nA=1\n[Rig]\nB=2\n") << 130;
    }

    void settingsBeyondTheRecordSurvive() {
        QFETCH(QByteArray, ini);
        QFETCH(int, leadMs);
        WindowHarness h;
        const QString path = h.installDir() + "Tavrin.ini", usb = h.devRoot + "/ttyUSB0";
        const auto stored = [&](const char* key) {
            return QSettings(path, QSettings::IniFormat).value(key).toString();
        };
        QVERIFY((ini.isEmpty() || writeBytes(path, ini)) && QDir().mkpath(h.devRoot) &&
                writeBytes(usb, {}) && writeBytes(h.devRoot + "/ttyACM0", {}));
        QCOMPARE(h.open().station().keyer().pttTiming().lead.count(), leadMs);
        h.dialogs.inputAnswers << FakeDialogs::Answer{true, "-5"};
        for (int ask = 0; ask < 2; ++ask) // an entry refused, then the question cancelled
            h.window->ui().pttLeadItem->trigger();
        QVERIFY(h.dialogs.messages.value(0).text.startsWith("'-5' is not a delay"));
        QCOMPARE(h.window->station().keyer().pttTiming().lead.count(), leadMs);
        h.dialogs.inputAnswers << FakeDialogs::Answer{true, "255"};
        h.window->ui().pttTailItem->trigger();
        chooseUsbPort(*h.window, "ttyUSB0");
        QVERIFY(h.window->close());
        QCOMPARE(stored("Keying/PttTailMs"), "260");
        QCOMPARE(stored("Keying/SerialDevice"), usb);
        QCOMPARE(stored("Rig/B"), ini.contains("Rig") ? "2" : "");
        ConfigRecord record = ConfigRecord::parse(readBytes(h.installDir() + "Tavrin.cfg"), {});
        QCOMPARE(record.keyingPortName, QByteArray("NONE"));
        h.ports.takeEvents();
        QCOMPARE(h.open().station().keyer().pttTiming().tail.count(), 260);
        QCOMPARE(h.ports.events().mid(0, 3), QStringList({"open " + usb, "CLRDTR", "CLRRTS"}));
        emit h.window->ui().outputMenu->aboutToShow();
        QStringList ticked;
        for (const QAction* item : h.window->ui().outputMenu->actions())
            ticked << (item->isChecked() ? item->text() : QString());
        QCOMPARE(ticked.join(QString()), "ttyUSB0");
        // Unplugged, it is kept for the next start, until the operator chooses VOX.
        QVERIFY(h.window->close());
        h.ports.failingPorts << usb;
        for (const bool vox : {false, true}) {
            h.open();
            if (vox)
                h.window->ui().voxItem->trigger();
            QVERIFY(h.window->close());
            QCOMPARE(stored("Keying/SerialDevice"), vox ? QString() : usb);
        }
        // A port that a copy of the program reading only the record has chosen since then stands.
        record.keyingPortName = "COM2";
        QSettings(path, QSettings::IniFormat).setValue("Keying/SerialDevice", usb);
        QVERIFY(writeBytes(h.installDir() + "Tavrin.cfg", record.serialize()));
        QCOMPARE(h.open().station().keyingLine().portName(), QString("COM2"));
    }
};

QTEST_MAIN(KeyingExitsTest)
#include "tst_keyingexits.moc"
