#include "app/launchers.h"
#include "app/look.h"
#include "audio/soundcardselect.h"
#include "audiopump.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QAccessible>
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include <climits>

namespace {
enum class Before { Idle, Playing, Recording, Paused };
QStringList announced; // "object: text" of every announcement

// Slots 1 (6 blocks), 2, 3 (2.8 s) and 5 hold messages; the window is active, slot 3 has a note.
TTavrin& console(WindowHarness& h) {
    for (int slot : {1, 2, 5})
        h.writeMessage(slot, pattern((slot == 1 ? 6 : 2) * kBlock, slot));
    h.writeMessage(3, pattern(61740, 3));
    TTavrin& w = h.openKeying();
    w.memories().setNote(3, "CQ contest\r\nde station");
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        qFatal("the window did not become active");
    QObject::connect(&w, &TTavrin::announced, &w, [](const QString& where, const QString& text) {
        announced << where + ": " + text;
    });
    announced.clear();
    return w;
}
QWidget* named(TTavrin& w, const QString& name) {
    auto* found = w.findChild<QWidget*>(name);
    return found ? found : w.soundCardSelect().findChild<QWidget*>(name);
}
QLabel* statusLine(TTavrin& w) {
    return w.findChild<QLabel*>("StatusLine");
}
// Runs a playback, a recording or a pause, with keys pressed on a control two blocks in.
void during(WindowHarness& h, Before before, const std::function<void()>& keys) {
    TTavrin& w = *h.window;
    AudioPump out(h.wave, Dir::Output), in(h.wave, Dir::Input);
    if (before == Before::Playing || before == Before::Paused)
        out.after(2, before == Before::Paused
                         ? std::function<void()>([&] { click(w.ui().PlayBtn); })
                         : keys);
    if (before == Before::Recording)
        in.after(2, keys);
    in.after(3, [&] { click(w.ui().StopBtn); });
    if (before == Before::Idle)
        keys();
    else
        click(before == Before::Recording ? w.ui().RecordBtn : w.ui().PlayBtn);
    if (before == Before::Paused)
        keys();
    QTest::qWait(5);
}
const QString kTooShort = "Enter a value greater than 2 seconds";
const QString kTooLong = "Enter a value no greater than 2147483 seconds";
} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    // Tx Enable and Tx Mic show their state in caption and colour, the operator's only sight of it.
    void transmitButtonsShowTheirState() {
        WindowHarness h;
        TTavrin& w = h.open();
        for (QPushButton* button : {w.ui().TransmitBtn, w.ui().MicBtn})
            for (bool on : {true, false}) {
                click(button);
                QCOMPARE(button->text(), on ? QString("ON") : QString("OFF"));
                QCOMPARE(look::textColour(button), on ? look::kRed : look::kBlue);
            }
    }

    // The window opens centred. Each slot keeps the note typed while it was selected (stored
    // with CR LF), also when the window closes before another slot is chosen; Tab leaves it.
    void memoryButtonsKeepEachSlotsNote() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        const QPoint offset = w.frameGeometry().center() - w.screen()->availableGeometry().center();
        QVERIFY(offset.manhattanLength() <= 4);
        QTextEdit* note = w.ui().MessageWindow;
        QTest::keyClick(note, Qt::Key_Tab);
        QVERIFY(note->toPlainText().isEmpty());
        note->setPlainText("CQ contest\nde station");
        click(w.ui().MemBtn[2]);
        QCOMPARE(w.keyerState().currentMessageFile(), h.slotPath(3));
        QVERIFY(note->toPlainText().isEmpty());
        QCOMPARE(w.memories().note(1), QStringLiteral("CQ contest\r\nde station"));
        note->setPlainText("exchange 59 14");
        click(w.ui().MemBtn[0]);
        QCOMPARE(note->toPlainText(), QStringLiteral("CQ contest\nde station"));
        click(w.ui().MemBtn[2]);
        QCOMPARE(note->toPlainText(), QStringLiteral("exchange 59 14"));
        note->setPlainText("never followed by a memory button");
        QVERIFY(w.close());
        QCOMPARE(w.memories().note(3), QStringLiteral("never followed by a memory button"));
    }

    // Escape released on any control resets the keyer; other keys only edit the note.
    void escapeResetsFromEveryControl() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        QList<QWidget*> targets{&w, w.ui().MessageWindow};
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->window() == &w)
                targets << b;
        KeyerState& state = *w.findChild<KeyerState*>();
        for (QWidget* target : targets) {
            state.setKeyerIdle(false);
            w.keyer().loopTimer().start();
            QTest::keyRelease(target, Qt::Key_Escape);
            QVERIFY2(w.keyerState().keyerIdle(), qPrintable(target->objectName()));
            QVERIFY2(!w.keyer().loopTimer().isActive(), qPrintable(target->objectName()));
        }
        state.setKeyerIdle(false);
        QTest::keyClick(w.ui().MessageWindow, Qt::Key_A);
        QVERIFY(!w.keyerState().keyerIdle());
    }

    // Keys act from any control: F-keys play (a running message gives way, the key held over
    // only when the next one keys), Shift+F-keys select, chords press their buttons.
    void keysWorkFromAnyControl_data() {
        // State before, focused control, keys, slots heard (all but the last cut short), after.
        QTest::addColumn<QStringList>("row");
        for (const char* row : {
                 "idle|MessageWindow|F3|3|unkeyed",
                 "playing|PlayBtn|F5|1,5|held",
                 "playing|LoopBtn|F7|1|unkeyed", // memory 7 is empty
                 "paused|Mem4Btn|F2|1,2|unkeyed",
                 "idle|MessageWindow|Shift+F4||selected 4",
                 "recording|StopBtn|F2||recorded",
                 "playing|Mem2Btn|Esc|1|unkeyed",
                 "idle|MessageWindow|Ctrl+Shift+R||recorded",
                 "idle|PlayBtn|Return|1|unkeyed",
                 "idle|TransmitBtn|Space||tx off",
                 "idle|MessageWindow|Ctrl+L||loop",
                 "idle|Mem1Btn|Ctrl+T||keyed",
                 "idle|MessageWindow|Ctrl+E||tx off",
             })
            QTest::newRow(row) << QString(row).split('|');
    }
    void keysWorkFromAnyControl() {
        QFETCH(QStringList, row);
        const auto before =
            Before(QStringList{"idle", "playing", "recording", "paused"}.indexOf(row[0]));
        const QString focus = row[1], keys = row[2], after = row[4];
        QList<int> heard;
        for (const QString& slot : row[3].split(',', Qt::SkipEmptyParts))
            heard << slot.toInt();
        WindowHarness h;
        TTavrin& w = console(h);
        QWidget* target = named(w, focus);
        target->setFocus();
        auto* ring = w.findChild<QWidget*>("FocusRing");
        QVERIFY(ring && ring->isVisible() && ring->geometry().contains(target->geometry()));
        during(h, before, [&] { QTest::keySequence(target, QKeySequence(keys)); });
        QByteArray played = h.wave.played();
        const qsizetype last =
            heard.isEmpty() ? 0 : readBytes(h.slotPath(heard.last())).size() - 44;
        for (int i = 0; i < heard.size(); ++i) {
            const QByteArray whole = readBytes(h.slotPath(heard[i])).mid(44);
            const QByteArray part =
                i + 1 < heard.size() ? played.left(played.size() - last) : played;
            const qsizetype common = qMin(part.size(), whole.size());
            QVERIFY2(common > 0 && part.left(common) == whole.left(common),
                     qPrintable(QString::number(heard[i])));
            played.remove(0, part.size());
        }
        QVERIFY(heard.size() || h.wave.played().isEmpty());
        const QStringList events = h.ports.events().mid(h.ports.events().indexOf(kKeyed));
        QCOMPARE(after == "held", events.count(kUnkeyed) == 1 && events.count(kKeyed) == 2);
        QCOMPARE(h.keyed(), after == "keyed");
        QCOMPARE(w.keyerState().selectedMemory() == 4, after == "selected 4");
        QCOMPARE(readBytes(h.slotPath(1)).size() == 44 + 2 * kBlock, after == "recorded");
        QCOMPARE(w.keyerState().loopActive(), after == "loop");
        QCOMPARE(w.transmitControls().state().TxEnable(), after != "tx off");
        item(w, "Keyboard1")->trigger();
        QVERIFY(!keys.startsWith("Ctrl") || h.dialogs.texts().join('\n').contains(keys));
    }

    // What a screen reader hears of each control: its name with its state.
    void accessibleNamesAndStates_data() {
        QTest::addColumn<QStringList>("row"); // keys pressed, control, its name, its state
        for (const char* row : {
                 "|TransmitBtn|Transmit enable, on|checked",
                 "Ctrl+E|TransmitBtn|Transmit enable, off|",
                 "|MicBtn|Microphone, off|",
                 "Ctrl+L|LoopBtn|LOOP, on|checked",
                 "Ctrl+T|TuneBtn|TUNE, on|checked",
                 "Ctrl+T|TxPanel|Receive/transmit indicator, Transmit|",
                 "Shift+F3|Mem3Btn|Memory 3, selected, 2.8 seconds, CQ contest|selected",
                 "|Mem7Btn|Memory 7, empty|",
                 "pause|PlayBtn|PLAY, paused|",
                 "Shift+F3|MessageWindow|Note for memory 3|",
                 "|PlayProgressBar|Playback progress|",
                 "|AlarmPanel|Identification alarm|",
                 "|WaveUpDown|Sound card number|",
             })
            QTest::newRow(row) << QString(row).split('|');
    }
    void accessibleNamesAndStates() {
        QFETCH(QStringList, row);
        const QString keys = row[0], state = row[3];
        WindowHarness h;
        TTavrin& w = console(h);
        during(h, keys == "pause" ? Before::Paused : Before::Idle,
               [&] { QTest::keySequence(&w, QKeySequence(keys == "pause" ? "" : keys)); });
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(named(w, row[1]));
        QCOMPARE(a->text(QAccessible::Name), row[2]);
        QCOMPARE(bool(a->state().checked), state == "checked");
        QCOMPARE(bool(a->state().selected), state == "selected");
    }

    // The start and end of playback, recording and pause, and the transmitter, are spoken.
    void announcements_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("said");
        const QString tx = "TxPanel: Receive/transmit indicator, ";
        QTest::newRow("play") << "F2"
                              << QStringList{tx + "Transmit", "StatusLine: Playing memory 2",
                                             tx + "Receive", "StatusLine: Playback ended"};
        QTest::newRow("pause") << "pause"
                               << QStringList{tx + "Transmit", "StatusLine: Playing memory 1",
                                              tx + "Receive", "StatusLine: Paused memory 1"};
        QTest::newRow("record") << "Ctrl+Shift+R"
                                << QStringList{"StatusLine: Recording memory 1",
                                               "StatusLine: Recorded memory 1: 0.2 seconds"};
        QTest::newRow("empty memory") << "F7" << QStringList{"StatusLine: Memory 7 is empty"};
    }
    void announcements() {
        QFETCH(QString, action);
        QFETCH(QStringList, said);
        WindowHarness h;
        TTavrin& w = console(h);
        during(h, action == "pause" ? Before::Paused : Before::Idle,
               [&] { QTest::keySequence(&w, QKeySequence(action == "pause" ? "" : action)); });
        QCOMPARE(announced, said);
        QCOMPARE(statusLine(w)->accessibleName(), said.last().section(": ", 1));
    }

    // A memory button shows whether its slot holds a message, after a recording or a deletion.
    void slotIndicatorFollowsTheFiles_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        QTest::newRow("recorded") << 4 << "Memory 4, selected, 0.2 seconds";
        QTest::newRow("deleted") << 2 << "Memory 2, empty";
    }
    void slotIndicatorFollowsTheFiles() {
        QFETCH(int, slot);
        QFETCH(QString, name);
        WindowHarness h;
        TTavrin& w = console(h);
        QPushButton* button = w.ui().MemBtn[slot - 1];
        QCOMPARE(look::textColour(button), slot == 4 ? look::kGrey : look::kBlack);
        if (slot == 4)
            during(h, Before::Idle,
                   [&] { QTest::keySequence(&w, QKeySequence("Shift+F4, Ctrl+Shift+R")); });
        else
            QFile::remove(h.slotPath(slot));
        QTRY_COMPARE(button->accessibleName(), name);
        QCOMPARE(look::textColour(button), slot == 4 ? look::kRed : look::kGrey);
        QVERIFY(button->toolTip().startsWith(name.section(", ", slot == 4 ? 2 : 1)));
    }

    // While recording, the bar shows the peak after gain, red once it reaches the clip level.
    void levelMeterShowsClipping_data() {
        QTest::addColumn<qint16>("sample");
        QTest::addColumn<QString>("gain");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("just below") << qint16(32766) << "UnityGain" << 99 << false;
        QTest::newRow("full scale") << qint16(32767) << "UnityGain" << 99 << true;
        QTest::newRow("negative full scale") << qint16(-32768) << "UnityGain" << 100 << true;
        QTest::newRow("10 dB below") << qint16(3276) << "N20dB" << 99 << false;
        QTest::newRow("10 dB clips") << qint16(-3277) << "N20dB" << 100 << true;
        QTest::newRow("quiet") << qint16(1000) << "UnityGain" << 3 << false;
    }
    void levelMeterShowsClipping() {
        QFETCH(qint16, sample);
        QFETCH(QString, gain);
        QFETCH(int, percent);
        QFETCH(bool, clipped);
        WindowHarness h;
        TTavrin& w = console(h);
        item(w, gain.toLatin1())->trigger();
        h.wave.setCapture(
            QByteArray(reinterpret_cast<const char*>(&sample), 2).repeated(kBlock / 2));
        QProgressBar* bar = w.ui().PlayProgressBar;
        int shown = -1;
        QColor colour;
        QString status;
        AudioPump in(h.wave, Dir::Input);
        in.after(2, [&] {
            shown = bar->value();
            colour = bar->palette().color(QPalette::Highlight);
            status = statusLine(w) ? statusLine(w)->text() : QString();
            click(w.ui().StopBtn);
        });
        click(w.ui().RecordBtn);
        QCOMPARE(shown, percent);
        QCOMPARE(colour == look::kRed, clipped);
        QCOMPARE(status, QString("Recording memory 1: 0.1 s") + (clipped ? ", clipping" : ""));
    }

    // Set Volume starts every installed mixer in order; help without a viewer says so.
    void launchersStartWhatIsInstalled() {
        WindowHarness h;
        writeBytes(h.installDir() + "Tavrin.chm", "help");
        h.launcher.existing = {kMixerPrograms[3], kMixerPrograms[1]};
        TTavrin& w = h.open();
        click(w.ui().VolumeBtn);
        QCOMPARE(h.launcher.started, (QStringList{kMixerPrograms[1], kMixerPrograms[3]}));
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.launcher.opened, QStringList{h.installDir() + "Tavrin.chm"});
        QVERIFY(h.dialogs.messages.isEmpty());
        h.launcher.viewerAvailable = false;
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not run the help application"});
    }
    // A first run: 10 s stored, the timer still at its form default of 6 s. What was entered is
    // offered again next time.
    void setValidatesTheEntry_data() {
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("offeredNext");
        QTest::newRow("2") << true << "2" << kTooShort << 3 << 3000 << "3";
        QTest::newRow("45 with spaces") << true << " 45 " << QString() << 45 << 45000 << " 45 ";
        QTest::newRow("text") << true << "4.5"
                              << "\"4.5\" is not a whole number of seconds." << 10 << 6000 << "4.5";
        QTest::newRow("cancel applies the preset")
            << false << "99" << QString() << 10 << 10000 << "10";
        QTest::newRow("longest") << true << "2147483" << QString() << 2147483 << 2147483000
                                 << "2147483";
        QTest::newRow("too long") << true << "2147484" << kTooLong << 10 << 6000 << "2147484";
        QTest::newRow("beyond 64 bits")
            << true << "99999999999999999999" << kTooLong << 10 << 6000 << "99999999999999999999";
    }
    void setValidatesTheEntry() {
        QFETCH(bool, accepted);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(int, seconds);
        QFETCH(int, interval);
        QFETCH(QString, offeredNext);
        WindowHarness h;
        TTavrin& w = h.open();
        h.dialogs.inputAnswers = {{accepted, entry}};
        w.ui().Set1->trigger();
        QCOMPARE(h.dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(message.isEmpty() || h.dialogs.messages[0].title == "Timer Error");
        QCOMPARE(w.idAlarm().IdAlarmSeconds(), seconds);
        QCOMPARE(w.findChild<QTimer*>("IDTimer")->interval(), interval);
        w.ui().Set1->trigger();
        QCOMPARE(h.dialogs.offered.value(1), offeredNext);
        // A stored period is kept as stored, its timer held within 1 to 2147483 s.
        for (const auto& [stored, ms] : {std::pair{1, 1000}, {-5, 1000}, {INT_MAX, 2147483000}}) {
            w.idAlarm().applyStoredPeriod(stored);
            QCOMPARE(w.idAlarm().IdAlarmSeconds(), stored);
            QCOMPARE(w.findChild<QTimer*>("IDTimer")->interval(), ms);
        }
    }

    // The strip shows red for about a second with one bell, while the rest of the program (here
    // another timer) keeps running, and turns teal again.
    void alarmTickLeavesTheEventLoopLive() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.idAlarm().applyStoredPeriod(2);
        int heartbeats = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&] { ++heartbeats; });
        heartbeat.start(20);
        int beatsAtRed = -1, beatsAtTeal = -1;
        qint64 redMs = -1;
        QElapsedTimer redFor;
        connect(&w.idAlarm().strip(), &AlarmStrip::colourChanged, [&](AlarmStrip::Colour colour) {
            if (colour == AlarmStrip::Red && beatsAtRed < 0) {
                beatsAtRed = heartbeats;
                redFor.start();
            } else if (colour == AlarmStrip::Teal && beatsAtRed >= 0 && beatsAtTeal < 0) {
                beatsAtTeal = heartbeats;
                redMs = redFor.elapsed();
            }
        });
        w.ui().ON1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(beatsAtTeal >= 0, 6000);
        w.ui().OFF1->trigger();
        QCOMPARE(h.beeper.count, 1);
        QVERIFY2(redMs >= 800 && redMs <= 2500, qPrintable(QString::number(redMs)));
        QVERIFY(beatsAtTeal - beatsAtRed >= 10);
        QTest::qWait(1500);
        QCOMPARE(h.beeper.count, 1);
        QCOMPARE(w.idAlarm().strip().colour(), AlarmStrip::Teal);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
