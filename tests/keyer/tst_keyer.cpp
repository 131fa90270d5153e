// Playing, looping and recording messages through the window on the virtual sound card. The
// transmitter is keyed only while a message sounds or TUNE holds it, and every control shows the
// line as it is.
#include "app/look.h"
#include "audiopump.h"
#include "devicestandins.h"
#include "keyer/bufferwatchdog.h"
#include "keyer/keyer.h"
#include "tx/linuxportio.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

#include <sys/ioctl.h>
#include <sys/stat.h>

// What the operator does while a memory is previewed.
enum class During { Nothing, Escape, Stop, PlayKey, EmptyMemory, Playing, Template, NoField };
// What a message does once PLAY starts it: plays out, loops, or is paused in its third block (as
// the device finishes the queued block, or resumed in the same dispatch, or then closed).
enum class Course { PlaysOut, Loops, Paused, PausedQueueDone, Resumed, ResumedThenClosed };
enum class Act { Play, Rec, Open }; // PLAY, REC, or File > Open Wave
// What lies in the slot's place: the usual (a message to play, nothing to record over), or not.
enum class InSlot { Usual, Nothing, Pipe, Directory };

// Or'ed into the inputs pressed: the switch is let go before the watch can look.
constexpr int kTap = 1 << 30;

class KeyerTest : public QObject {
    Q_OBJECT

private slots:
    // Every byte reaches the device once and in order, keyed only with Tx Enable on and sound to
    // play, also under a long home directory; the device and the line are let go at the end.
    // Repetitions of a message without samples come and go, and never key. Paused at block 3,
    // the file stays open and the line released; PLAY goes on with all not yet heard, even after
    // another slot and STOP in the pause, and when the device finished the queued block while the
    // pause was handled. Pause and resume in one dispatch waits for the device to be let go; once
    // the close box began nothing starts or keys again. Bytes, Tx Enable, what the message does.
    void playsEveryByteOfTheMessageOnce_data() {
        columns<int, bool, Course>("bytes", "txEnable", "course");
        for (auto [name, bytes] :
             {std::pair{"1 block", kBlock}, {"4 blocks + 2", 4 * kBlock + 2}, {"0+0", 0}})
            QTest::newRow(name) << bytes << true << Course::PlaysOut;
        QTest::newRow("1000 bytes, Tx Enable off") << 1000 << false << Course::PlaysOut;
        QTest::newRow("0+0 looped") << 0 << true << Course::Loops;
        for (auto [name, course] : {std::pair{"one block playing", Course::Paused},
                                    {"the queued block finished too", Course::PausedQueueDone},
                                    {"resume in the same dispatch", Course::Resumed},
                                    {"resume, then the close box", Course::ResumedThenClosed}})
            QTest::newRow(name) << 8 * kBlock + 300 << true << course;
    }
    void playsEveryByteOfTheMessageOnce() {
        QFETCH(int, bytes);
        QFETCH(bool, txEnable);
        QFETCH(Course, course);
        const bool looped = course == Course::Loops, paused = course >= Course::Paused;
        const bool resumed = course >= Course::Resumed;
        WindowHarness h;
        h.homePath += ("/" + QString(99, 'h')).repeated(3); // slot paths past 300 characters
        QVERIFY(QDir().mkpath(h.installDir()));
        const QByteArray data = pattern(bytes);
        h.writeMessage(1, data);
        h.writeMessage(5, pattern(kBlock, 99));
        MainWindow& w = h.openKeying(txEnable);
        QSignalSpy panel(&w.station().transmitControls().state(), &TxState::transmittingChanged);
        QSignalSpy starts(&w.station().keyerState(), &KeyerState::playActiveChanged);
        bool keyed = false;
        qsizetype writesAtClose = -1;
        AudioPump pump(h.wave, Dir::Output);
        pump.after(1, [&] { keyed = h.keyed(); });
        if (paused)
            pump.after(3, [&] {
                click(w.ui().playButton);
                if (course == Course::PausedQueueDone)
                    h.wave.completeNext(Dir::Output);
                if (resumed)
                    click(w.ui().playButton);
                if (course == Course::ResumedThenClosed)
                    w.close();
                writesAtClose = h.ports.events().size();
            });
        looped ? click(w.ui().loopButton) : void();
        click(w.ui().playButton);
        if (looped) {
            QTRY_VERIFY_WITH_TIMEOUT(starts.count() >= 4, 4000);
            click(w.ui().resetButton);
        }
        const QByteArray whole = data + QByteArray((kBlock - bytes % kBlock) % kBlock, '\0');
        if (resumed) {
            const bool closed = course == Course::ResumedThenClosed;
            QVERIFY(h.dialogs.messages.isEmpty() && !w.station().keyerState().busy());
            QVERIFY(closed ? h.wave.played().size() < data.size() : h.wave.played() == whole);
            QVERIFY(!h.ports.events().mid(writesAtClose).contains(kKeyed) || !closed);
            return;
        }
        if (paused) {
            QVERIFY(w.station().keyerState().playFileOpen() && !h.keyed() &&
                    !h.wave.isOpen(Dir::Output));
            // How far the device got by the reset depends on the machine's pace; the whole
            // message below, heard once, is what matters.
            QVERIFY(h.wave.played().size() >= 3 * kBlock && data.startsWith(h.wave.played()));
            click(w.ui().memoryButtons[4]);
            click(w.ui().stopButton);
            click(w.ui().playButton);
        }
        QCOMPARE(h.wave.played(), whole);
        QCOMPARE(keyed, txEnable && bytes > 0);
        QCOMPARE(h.everKeyed(), keyed);
        QCOMPARE(panel.isEmpty(), !keyed);
        QVERIFY(!h.wave.isOpen(Dir::Output) && h.dialogs.messages.isEmpty());
        QVERIFY(!w.station().keyerState().busy() && !w.station().keyerState().playFileOpen() &&
                !h.keyed());
    }

    // While one message plays or records, other slots, PLAY and REC change nothing. Then the
    // watchdog fires in the same dispatch as STOP: the next recording keeps every block the device
    // captures instead of taking that old alarm for its own and resetting the device.
    void otherButtonsWaitAndAWatchdogFiredWithStopIsForgotten_data() {
        QTest::addColumn<bool>("recording");
        for (bool recording : {false, true})
            QTest::newRow(recording ? "recording" : "playing") << recording;
    }
    void otherButtonsWaitAndAWatchdogFiredWithStopIsForgotten() {
        QFETCH(bool, recording);
        const Dir dir = recording ? Dir::Input : Dir::Output;
        WindowHarness h;
        h.writeMessage(1, pattern(6 * kBlock));
        MainWindow& w = h.open();
        QPushButton* start = recording ? w.ui().recordButton : w.ui().playButton;
        {
            AudioPump pump(h.wave, dir);
            pump.after(1, [&] {
                click(w.ui().memoryButtons[3]);
                click(recording ? w.ui().playButton : w.ui().recordButton);
            });
            pump.after(4, [&] { recording ? click(w.ui().stopButton) : void(); });
            click(start);
        }
        QCOMPARE(w.station().keyerState().selectedMemory(), 1);
        QVERIFY(!QFile::exists(h.slotPath(4)));
        QCOMPARE(h.wave.calls(recording ? Dir::Output : Dir::Input, Op::Open), 0);
        QCOMPARE(recording ? readBytes(h.slotPath(1)).size() - 44 : h.wave.played().size(),
                 (recording ? 3 : 6) * kBlock);
        {
            AudioPump pump(h.wave, dir);
            pump.after(2, [&] {
                QMetaObject::invokeMethod(w.findChild<BufferWatchdog*>(), "TimeoutTimerTimer");
                click(w.ui().stopButton);
            });
            click(start);
        }
        const int resets = h.wave.calls(Dir::Input, Op::Reset);
        h.wave.setCapture(pattern(3 * kBlock, 7));
        AudioPump pump(h.wave, Dir::Input);
        pump.after(3, [&] { click(w.ui().stopButton); });
        click(w.ui().recordButton);
        QCOMPARE(h.wave.calls(Dir::Input, Op::Reset) - resets, 1); // its own, at STOP
        const QByteArray recorded = readBytes(h.slotPath(1)).mid(44);
        QVERIFY2(recorded.size() >= 2 * kBlock && pattern(3 * kBlock, 7).startsWith(recorded),
                 qPrintable(QString::number(recorded.size())));
    }

    // Every failure is shown, and each box waits for the operator: the line must not stay keyed
    // on dead air meanwhile, and TUNE no longer shows keyed. An input failure also closes the
    // input at once, which fails with a buffer still queued. A file that cannot be opened opens
    // no device and keys nothing; a named pipe in its place must not hang. The action, what lies
    // in the slot's place; the device call that fails and which of its calls (0: none fails); the
    // first box and the last.
    void everyFailureIsShownWithTheLineReleased_data() {
        columns<Act, InSlot, Op, int, QStringList>("act", "inSlot", "op", "occurrence", "boxes");
        const auto row = [](Act act, Op op, int occurrence, QStringList boxes) {
            QTest::newRow(qPrintable(boxes[0]))
                << act << InSlot::Usual << op << occurrence << boxes;
        };
        row(Act::Play, Op::Query, 1, {"Could not handle the output WAVE format"});
        row(Act::Play, Op::Queue, 3, {"Error writing to the output device a"});
        row(Act::Play, Op::Reset, 1,
            {"Error Resetting the output wave device", "Error closing the output wave device"});
        row(Act::Rec, Op::Queue, 3,
            {"Error in sending a buffer_a", "Error closing the input wave device"});
        row(Act::Rec, Op::Reset, 1,
            {"Error Resetting the input wave device", "Error closing the input wave device"});
        for (auto [name, act, in] : {std::tuple{"PLAY missing", Act::Play, InSlot::Nothing},
                                     {"PLAY pipe", Act::Play, InSlot::Pipe},
                                     {"Open pipe", Act::Open, InSlot::Pipe},
                                     {"REC pipe", Act::Rec, InSlot::Pipe},
                                     {"REC directory", Act::Rec, InSlot::Directory}})
            QTest::newRow(name) << act << in << Op::Open << 0
                                << QStringList{act == Act::Play   ? "Could not open the file"
                                               : act == Act::Open ? "Could not open the wave file"
                                                                  : "Could not open the Wave file"};
    }
    void everyFailureIsShownWithTheLineReleased() {
        QFETCH(Act, act);
        QFETCH(InSlot, inSlot);
        QFETCH(Op, op);
        QFETCH(int, occurrence);
        QFETCH(QStringList, boxes);
        const Dir dir = act == Act::Rec ? Dir::Input : Dir::Output;
        const bool playing = act == Act::Play && inSlot == InSlot::Usual;
        WindowHarness h;
        if (playing)
            h.writeMessage(1, pattern(6 * kBlock));
        QVERIFY(inSlot != InSlot::Pipe || ::mkfifo(QFile::encodeName(h.slotPath(1)), 0600) == 0);
        QVERIFY(inSlot != InSlot::Directory || QDir().mkdir(h.slotPath(1)));
        MainWindow& w = h.openKeying();
        if (!playing && act != Act::Open)
            click(w.ui().tuneButton);
        QStringList atBox; // the line and TUNE's colour when each box appeared
        h.dialogs.onMessage = [&] {
            atBox << (h.keyed() ? "keyed" : "unkeyed")
                  << look::textColour(w.ui().tuneButton).name();
        };
        if (occurrence > 0)
            h.wave.failOn(dir, op, occurrence);
        AudioPump pump(h.wave, dir);
        // The device then holds what is queued, as a device whose reset failed may.
        pump.after(4, [&] { pump.stop(), click(w.ui().stopButton); });
        h.dialogs.fileAnswers << h.slotPath(1);
        if (act == Act::Open)
            w.ui().openMessageItem->trigger();
        else
            click(act == Act::Rec ? w.ui().recordButton : w.ui().playButton);
        const QStringList texts = h.dialogs.texts();
        // How many clean-up steps fail in between depends on how far the device got, which a
        // loaded machine changes; what must be seen is the failure first and the clean-up's last.
        QCOMPARE((QStringList{texts.value(0), texts.value(texts.size() - 1)}),
                 (QStringList{boxes.first(), boxes.last()}));
        QCOMPARE(atBox.mid(0, 2), (QStringList{"unkeyed", look::kBlue.name()}));
        QVERIFY(!h.keyed() && !w.station().keyerState().recordActive());
        QCOMPARE(h.wave.isOpen(Dir::Output), op == Op::Reset && dir == Dir::Output);
        QCOMPARE(h.wave.calls(dir, Op::Open), occurrence == 0 || op == Op::Query ? 0 : 1);
    }

    // STOP in LOOP ends one repetition only and does nothing in the pause, where a slot chosen
    // is the one played next; RST ends the loop. The way, the message's blocks.
    void everyUnkeyEndsTune_data() {
        columns<QString, int>("way", "blocks");
        for (const char* way : {"Escape", "STOP", "RST", "REC", "PLAY to its end"})
            QTest::newRow(way) << way << 2;
        QTest::newRow("Escape in LOOP") << "Escape in LOOP" << 40;
        QTest::newRow("STOP in LOOP") << "STOP in LOOP" << 8;
    }
    void everyUnkeyEndsTune() {
        QFETCH(QString, way);
        QFETCH(int, blocks);
        WindowHarness h;
        h.writeMessage(1, QByteArray(blocks * kBlock, 'k'));
        h.writeMessage(2, QByteArray(kBlock, 'f'));
        MainWindow& w = h.openKeying();
        click(w.ui().tuneButton);
        QVERIFY(h.keyed());
        AudioPump pump(h.wave, way == "REC" ? Dir::Input : Dir::Output);
        pump.after(way == "STOP in LOOP" ? 3 : 2,
                   [&] { press(w, way == "Escape in LOOP" ? "Escape" : "STOP"); });
        way.endsWith("LOOP") ? click(w.ui().loopButton) : void();
        press(w, way.endsWith("LOOP") || way.startsWith("PLAY") ? "PLAY" : way);
        if (way == "STOP in LOOP") {
            click(w.ui().stopButton);
            QVERIFY(w.station().keyerState().keyerIdle() &&
                    w.station().keyer().loopPausing());
            click(w.ui().memoryButtons[1]);
            QTRY_COMPARE_WITH_TIMEOUT(h.wave.played().size(), 4 * kBlock, 3000);
            click(w.ui().resetButton);
            QCOMPARE(h.wave.played(), QByteArray(3 * kBlock, 'k') + QByteArray(kBlock, 'f'));
        }
        QVERIFY(!w.station().keyerState().busy() && !w.station().keyer().loopPausing() &&
                !h.keyed());
        QCOMPARE(look::textColour(w.ui().tuneButton), look::kBlue);
        QCOMPARE(w.ui().rxTxIndicator->text(), QStringLiteral("Receive"));
        click(w.ui().tuneButton); // the next press keys again rather than "releasing" an idle line
        QVERIFY(h.keyed());
    }

    // The loop repeats a message with a pause in which the transmitter is released.
    // The pause runs from key-up to the next key-down; the line and the panel show receive all
    // through it, and RST cancels what would come next while LOOP stays on. The delay chosen
    // (none at first start) from the menu or in tenths, whether in the pause under way, the pause.
    void thePauseIsTheTickedDelayFromKeyUp_data() {
        columns<QByteArray, int, bool, int>("item", "tenths", "inPause", "pauseMs");
        QTest::newRow("none") << QByteArray() << 0 << false << 1000;
        QTest::newRow("N1sec1") << QByteArray("N1sec1") << 0 << false << 1000;
        QTest::newRow("N2sec1 in the pause") << QByteArray("N2sec1") << 0 << true << 2000;
        QTest::newRow("23 tenths in the pause") << QByteArray() << 23 << true << 2300;
    }
    void thePauseIsTheTickedDelayFromKeyUp() {
        QFETCH(QByteArray, item);
        QFETCH(int, tenths);
        QFETCH(bool, inPause);
        QFETCH(int, pauseMs);
        WindowHarness h;
        h.writeMessage(1, QByteArray(2 * kBlock, 'p'));
        MainWindow& w = h.openKeying();
        // A delay in tenths is one no menu item carries, as a script on the bus may set.
        const bool byValue = tenths > 0;
        bool chosen = false;
        const auto choose = [&] {
            chosen = true;
            byValue ? w.station().keyer().setLoopDelay(tenths) : ::item(w, item)->trigger();
        };
        if ((byValue || !item.isEmpty()) && !inPause)
            choose();
        click(w.ui().loopButton);
        // The port's writes and the panel, seen by a probe that runs in every dispatch of events.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> keyDowns, keyUps;
        bool transmitInPause = false;
        qsizetype seen = h.ports.events().size();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &w, [&] {
            for (const QString& e : h.ports.events().mid(seen))
                (e == kKeyed ? keyDowns : keyUps) << clock.elapsed();
            seen = h.ports.events().size();
            if (inPause && keyUps.size() == 1 && !chosen)
                choose();
            transmitInPause |=
                w.station().keyerState().keyerIdle() && w.ui().rxTxIndicator->text() == "Transmit";
        });
        probe.start(1);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().playButton);
        QTRY_VERIFY_WITH_TIMEOUT(keyDowns.size() >= 2 && !keyUps.isEmpty(), 3 * pauseMs);
        click(w.ui().resetButton);
        const qint64 pause = keyDowns[1] - keyUps.first();
        QVERIFY2(pause >= pauseMs - 40 && pause <= pauseMs + 250,
                 qPrintable(QString::number(pause)));
        QVERIFY(!transmitInPause && !h.keyed() && !w.station().keyer().loopPausing());
        for (const QAction* delay :
             w.ui().loopDelayItems) // the tick shows the delay in force, if any
            QCOMPARE(delay->isChecked(),
                     !byValue && delay->objectName() == (item.isEmpty() ? "N1sec1" : item));
        QCOMPARE(look::textColour(w.ui().loopButton), look::kRed);
    }

    // A foot switch on the serial keying port's CTS or DSR (a pseudo-terminal with the modem-line
    // stand-in, the watch woken by the kernel or polling a driver that cannot wait) ends what keys
    // the transmitter and releases DTR and RTS, and the status line says why; a recording goes
    // on, and the other input stops nothing. A port without modem lines, and VOX, say that the
    // PTT is not watched. The stand-in's TIOCMIWAIT (none: a bare terminal), the input, what runs
    // (VOX: keying through VOX, nothing running), the inputs pressed, how the status line begins.
    void theOperatorsPttStopsWhatKeys_data() {
        columns<QString, QByteArray, QString, int, QString>("wait", "input", "running", "pressed",
                                                            "status");
        const QString stopped = "Stopped by the operator's PTT";
        const QString unwatched = "The operator's PTT is not watched: ";
        const QByteArray cts = "OperatorPttCts", dsr = "OperatorPttDsr";
        QTest::newRow("message") << "kernel" << cts << "PLAY" << TIOCM_CTS << stopped;
        QTest::newRow("tap") << "kernel" << cts << "PLAY" << (TIOCM_CTS | kTap) << stopped;
        QTest::newRow("polled") << "refused" << dsr << "PLAY" << TIOCM_DSR << stopped;
        QTest::newRow("loop pause") << "kernel" << dsr << "LOOP" << TIOCM_DSR << stopped;
        QTest::newRow("TUNE") << "refused" << cts << "TUNE" << TIOCM_CTS << stopped;
        const QString recorded = "Recorded memory 1", ended = "Playback ended";
        QTest::newRow("recording") << "kernel" << cts << "REC" << TIOCM_CTS << recorded;
        QTest::newRow("other input") << "kernel" << cts << "PLAY" << TIOCM_DSR << ended;
        QTest::newRow("no modem lines")
            << QString() << cts << QString() << 0
            << unwatched + "COM3 cannot show its CTS (Inappropriate ioctl for device)";
        QTest::newRow("VOX") << "kernel" << dsr << "VOX" << 0
                             << unwatched + "it needs a serial keying port";
    }
    void theOperatorsPttStopsWhatKeys() {
        QFETCH(QString, wait);
        QFETCH(QByteArray, input);
        QFETCH(QString, running);
        QFETCH(int, pressed);
        QFETCH(QString, status);
        WindowHarness h;
        const Pty pty;
        modemlines::standIn(wait.isEmpty() ? QString() : pty.path(),
                            wait == "kernel" ? modemlines::Wait::Kernel
                                             : modemlines::Wait::Refused);
        LinuxPortIo ports(pty.dir.path(), QString());
        h.realPorts = &ports;
        const int blocks = running == "LOOP" ? 2 : 200;
        h.writeMessage(1, QByteArray(blocks * kBlock, 'k'));
        MainWindow& w = h.open();
        w.show();
        item(w, running == "VOX" ? "VOX1" : "COM3")->trigger();
        click(w.ui().txEnableButton);
        item(w, input)->trigger();
        if (!wait.isEmpty() && running != "VOX")
            QTRY_VERIFY(modemlines::watched());
        const auto press = [&] { modemlines::setInputs(pressed & ~kTap, pressed & kTap); };
        AudioPump pump(h.wave, running == "REC" ? Dir::Input : Dir::Output);
        pump.after(4, [&] {
            if (running != "PLAY" && running != "REC")
                return;
            press();
            QTest::qWait(100); // the watch and the window's thread have had every chance
            if (running == "REC")
                click(w.ui().stopButton);
        });
        running == "LOOP" ? click(w.ui().loopButton) : void();
        running == "REC"                         ? click(w.ui().recordButton)
        : running == "PLAY" || running == "LOOP" ? click(w.ui().playButton)
        : running == "TUNE"                      ? click(w.ui().tuneButton)
                                                 : void();
        if (running == "LOOP" || running == "TUNE") {
            QVERIFY(w.station().keyer().loopPausing() ||
                    w.station().transmitControls().state().tuning());
            press();
        }
        QTRY_VERIFY(w.ui().statusLine->text().startsWith(status));
        const bool stopped = status.startsWith("Stopped");
        QVERIFY(!stopped || (!w.station().keyer().loopPausing() &&
                             !w.station().keyerState().loopActive() &&
                             !w.station().transmitControls().state().tuning()));
        if (running == "PLAY") // the whole message unless stopped
            QCOMPARE(h.wave.played().size() < blocks * kBlock, stopped);
        QCOMPARE(modemlines::outputs(), 0);
        h.window.reset(); // before the ports it opens through
    }

    // Preview plays a memory on the monitor's card alone, keying nothing, and gives way to what
    // keys; STOP and Escape end it. Refused on an empty memory and while a message plays. What
    // the operator does, the status line at the end.
    void previewKeysNothingAndGivesWay_data() {
        columns<During, QString>("during", "status");
        QTest::newRow("plays out") << During::Nothing << "Preview ended";
        QTest::newRow("Escape") << During::Escape << "Preview ended";
        QTest::newRow("STOP") << During::Stop << "Preview ended";
        QTest::newRow("F1") << During::PlayKey << "Playback ended";
        QTest::newRow("empty memory")
            << During::EmptyMemory << "Nothing to preview: the memory is empty";
        QTest::newRow("a message playing") << During::Playing << "Playback ended";
        // A template is heard as it would be sent: here memory 1's message twice.
        QTest::newRow("template") << During::Template << "Preview ended";
        QTest::newRow("template without its field")
            << During::NoField << "Memory 1: the field serial is not set";
    }
    void previewKeysNothingAndGivesWay() {
        QFETCH(During, during);
        QFETCH(QString, status);
        WindowHarness h({{"Microphone"}}, {{"Rig"}, {"Phones"}});
        const QByteArray message = pattern(4 * kBlock, 2);
        h.writeMessage(1, message);
        MainWindow& w = h.openKeying();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.station().audioDevices().monitorDevice = 1;
        click(w.ui().memoryButtons[0]);
        if (during == During::Template || during == During::NoField)
            QCOMPARE(w.station().keyer().templates().setTemplate(
                         1, during == During::NoField ? "{serial}" : "{mem 1} {mem 1}"),
                     QString());
        if (during == During::Playing)
            QTest::mouseClick(w.ui().playButton, Qt::LeftButton);
        if (during == During::EmptyMemory) {
            click(w.ui().memoryButtons[1]);
            w.ui().previewItem->trigger();
        } else {
            QTest::keySequence(&w, QKeySequence(Qt::CTRL | Qt::Key_F1));
        }
        const bool previewing =
            during != During::EmptyMemory && during != During::Playing && during != During::NoField;
        QVERIFY2((w.ui().statusLine->text() == "Previewing memory 1 on Phones") == previewing,
                 qPrintable(w.ui().statusLine->text()));
        QVERIFY(during == During::Playing || !h.everKeyed());
        if (during == During::Escape)
            w.keyReleased(Qt::Key_Escape);
        else if (during == During::Stop)
            click(w.ui().stopButton);
        else if (during == During::PlayKey)
            QTest::keySequence(&w, QKeySequence(Qt::Key_F1));
        h.wave.setRealTime(true);
        QTRY_COMPARE(w.ui().statusLine->text(), status);
        QCOMPARE(h.everKeyed(), during == During::PlayKey || during == During::Playing);
        if (during == During::Nothing) // the preview heard whole, and the card let go
            QTRY_VERIFY(h.wave.played() == message && !h.wave.isOpen(Dir::Output));
        if (during == During::Template) { // the message twice, the second faded in over the first
            QTRY_VERIFY(!h.wave.isOpen(Dir::Output));
            QVERIFY2(h.wave.played().startsWith(message.left(message.size() - kBlock)) &&
                         h.wave.played().size() > message.size() * 3 / 2,
                     qPrintable(QString::number(h.wave.played().size())));
        }
        if (during == During::NoField)
            QVERIFY(h.wave.played().isEmpty());
        if (during == During::Escape || during == During::Stop)
            QVERIFY(!h.wave.isOpen(Dir::Output) && h.wave.played().size() < message.size());
    }
};

QTEST_MAIN(KeyerTest)
#include "tst_keyer.moc"
