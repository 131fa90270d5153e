#include "app/launchers.h"
#include "app/look.h"
#include "app/phrasesdialog.h"
#include "app/qtdialogs.h"
#include "app/translations.h"
#include "audiopump.h"
#include "phrasetones.h"
#include "tonefile.h"
#include "tx/idalarm.h"
#include "windowharness.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTranslator>
#include <QtTest>

#include <climits>

namespace {
enum class Before { Idle, Playing, Recording, Paused };
constexpr int kBoxStandsMs = 300; // longer than the window takes to show a change
QStringList announced;

// What the screen reader is given to say whatever has the focus: each notification shown.
class NotificationListener final : public QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        QAccessibleInterface* shown = event->type() == QEvent::Show
                                          ? QAccessible::queryAccessibleInterface(watched)
                                          : nullptr;
        if (shown && shown->role() == QAccessible::Notification)
            announced << shown->text(QAccessible::Name).section(", ", 0, 0);
        return false;
    }
} listener;

// Slots 1 (6 blocks), 2, 3 (2.8 s), 5, 12 hold messages; the window is active, slot 3 has a note.
MainWindow& console(WindowHarness& h) {
    for (int slot : {1, 2, 5, 12})
        h.writeMessage(slot, pattern((slot == 1 ? 6 : 2) * kBlock, slot));
    h.writeMessage(3, pattern(61740, 3));
    MainWindow& w = h.openKeying();
    w.station().memories().setNote(3, "CQ contest\r\nde station");
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        qFatal("the window did not become active");
    qApp->installEventFilter(&listener);
    announced.clear();
    return w;
}
// Runs a playback, a recording or a pause, with keys pressed on a control two blocks in.
void during(WindowHarness& h, Before before, const std::function<void()>& keys) {
    MainWindow& w = *h.window;
    AudioPump out(h.wave, Dir::Output), in(h.wave, Dir::Input);
    // What runs shows in red on its button, and the screen reader finds the status on the bar.
    const std::function<void()> running = [&] {
        QPushButton* lit = before == Before::Recording ? w.ui().recordButton : w.ui().playButton;
        QVERIFY(look::textColour(lit) == look::kRed);
        QCOMPARE(w.ui().progressBar->accessibleDescription(), w.ui().statusLine->text());
        keys();
    };
    const std::function<void()> pause = [&] { click(w.ui().playButton), keys(); };
    if (before != Before::Idle)
        (before == Before::Recording ? in : out)
            .after(2, before == Before::Paused ? pause : running);
    in.after(3, [&] { click(w.ui().stopButton); });
    if (before != Before::Idle)
        click(before == Before::Recording ? w.ui().recordButton : w.ui().playButton);
    else
        keys();
    untilMessageEnds(w);
    QTest::qWait(5);
}
} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    // Keys act from any control: F-keys play (a running message gives way, the key held over
    // only when the next one keys: with Tx Enable off it is let go as the keys are pressed),
    // Shift+F-keys select, chords press their buttons; Tx Enable
    // and Tx Mic show their state in caption and colour, the operator's only sight of it.
    // State before, focused control, keys, slots heard (all but the last cut short), after.
    void keysWorkFromAnyControl_data() {
        columns<Before, QString, QString, QList<int>, QString>("before", "control", "keys", "heard",
                                                               "after");
        const auto row = [](Before before, const char* control, const char* keys, QList<int> heard,
                            const char* after) {
            const char* states[] = {"idle", "playing", "recording", "paused"};
            QTest::addRow("%s: %s on %s", states[int(before)], keys, control)
                << before << control << keys << heard << after;
        };
        row(Before::Idle, "MessageWindow", "F3", {3}, "unkeyed");
        row(Before::Playing, "PlayBtn", "F5", {1, 5}, "held");
        row(Before::Playing, "TransmitBtn", "Space, F5", {1, 5}, "tx off");
        row(Before::Playing, "MessageWindow", "F1 held", {1}, "unkeyed");
        row(Before::Playing, "LoopBtn", "F7", {1}, "unkeyed"); // memory 7 is empty
        row(Before::Paused, "Mem4Btn", "F2", {1, 2}, "unkeyed");
        row(Before::Idle, "MessageWindow", "Shift+F4", {}, "selected 4");
        row(Before::Recording, "StopBtn", "F2", {}, "recorded");
        row(Before::Playing, "Mem2Btn", "Ctrl+L, Esc", {1}, "unkeyed");
        row(Before::Idle, "MessageWindow", "Ctrl+Shift+R", {}, "recorded");
        row(Before::Idle, "PlayBtn", "Return", {1}, "unkeyed");
        row(Before::Idle, "TransmitBtn", "Space", {}, "tx off");
        row(Before::Idle, "MicBtn", "Space", {}, "mic on");
        row(Before::Idle, "MessageWindow", "Ctrl+L", {}, "loop");
        row(Before::Idle, "Mem1Btn", "Ctrl+T", {}, "keyed");
        row(Before::Idle, "MessageWindow", "Ctrl+E", {}, "tx off");
        row(Before::Idle, "LoopBtn", "press", {}, "loop"); // through the button's accessible action
    }
    void keysWorkFromAnyControl() {
        QFETCH(Before, before);
        QFETCH(QString, control);
        QFETCH(QString, keys);
        QFETCH(QList<int>, heard);
        QFETCH(QString, after);
        WindowHarness h;
        MainWindow& w = console(h);
        const QPoint offset = w.frameGeometry().center() - w.screen()->availableGeometry().center();
        QVERIFY(offset.manhattanLength() <= 4); // it opens centred
        QCOMPARE(w.grab().toImage().pixelColor(w.centralWidget()->mapTo(&w, QPoint(1, 1))),
                 look::kSilver);
        // Bold captions, the note in the regular face.
        QVERIFY(w.centralWidget()->font().bold() && !w.ui().noteEditor->font().bold());
        // Every button tells a screen reader what it does, not only its caption.
        for (QAbstractButton* button : w.centralWidget()->findChildren<QAbstractButton*>())
            QVERIFY2(!QAccessible::queryAccessibleInterface(button)
                          ->text(QAccessible::Description)
                          .isEmpty(),
                     qPrintable(button->objectName()));
        QWidget* target = w.findChild<QWidget*>(control);
        // A button is focused as an assistive tool focuses it, through its action.
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(target)->actionInterface();
        if (actions &&
            actions->actionNames().contains(QAccessibleActionInterface::setFocusAction()))
            actions->doAction(QAccessibleActionInterface::setFocusAction());
        else
            target->setFocus();
        QVERIFY(target->hasFocus());
        auto* ring = w.findChild<QWidget*>("FocusRing");
        QVERIFY(ring && ring->isVisible() && ring->geometry().contains(target->geometry()));
        // A click on the focused control reaches it through the ring drawn around it.
        QWidget* hit = w.childAt(target->mapTo(&w, target->rect().center()));
        QVERIFY(hit == target || target->isAncestorOf(hit));
        during(h, before, [&] { // "F1 held": the keyboard repeats the key, the message goes on
            if (keys == "press")
                actions->doAction(QAccessibleActionInterface::pressAction());
            else if (keys == "F1 held")
                QTest::simulateEvent(target, true, Qt::Key_F1, {}, {}, true);
            else
                QTest::keySequence(target, QKeySequence(keys));
            QVERIFY(after != "tx off" || !h.keyed());
        });
        QByteArray played = h.wave.played();
        QVERIFY(heard.size() || played.isEmpty());
        for (int i = heard.size() - 1; i >= 0; --i) {
            const QByteArray whole = readBytes(h.slotPath(heard[i])).mid(44);
            const QByteArray part = i > 0 ? played.right(whole.size()) : played;
            QVERIFY2(!part.isEmpty() && whole.startsWith(part.left(whole.size())),
                     QByteArray::number(heard[i]));
            played.chop(part.size());
        }
        const QStringList events = h.ports.events().mid(h.ports.events().indexOf(kKeyed));
        QCOMPARE(after == "held", events.count(kUnkeyed) == 1 && events.count(kKeyed) == 2);
        QCOMPARE(h.keyed(), after == "keyed");
        QCOMPARE(w.station().keyerState().selectedMemory() == 4, after == "selected 4");
        // The operator finds the chosen memory by the number on its button.
        for (QPushButton* button : w.ui().memoryButtons)
            QCOMPARE(bool(QAccessible::queryAccessibleInterface(button)->state().selected),
                     button->text() == QString::number(w.station().keyerState().selectedMemory()));
        QCOMPARE(readBytes(h.slotPath(1)).size() == 44 + 2 * kBlock, after == "recorded");
        QCOMPARE(w.station().keyerState().loopActive(), after == "loop");
        QTRY_COMPARE(w.ui().progressBar->value(), 0); // nothing plays any more
        for (auto [button, on] : {std::pair{w.ui().txEnableButton, after != "tx off"},
                                  std::pair{w.ui().micButton, after == "mic on"}}) {
            QCOMPARE(button->text(), on ? "ON" : "OFF");
            QCOMPARE(look::textColour(button), on ? look::kRed : look::kBlue);
        }
        // The focus in another window (the logger) leaves no ring in Tavrin's, nor in that one.
        QWidget logger;
        auto* field = new QLineEdit(&logger);
        logger.show();
        QApplication::setActiveWindow(&logger);
        field->setFocus();
        QVERIFY(field->hasFocus() && ring->window() == &w && ring->isHidden());
    }

    // What a screen reader hears of a control after some keys, and what was announced meanwhile;
    // a memory button's colour shows its slot at a glance. Keys ("pause" pauses a playback,
    // "delete" removes slot 2's file, "aloud" asks for the announcements aloud, a choice kept for
    // the next start), control, name, state, announcements, colour.
    void screenReaderHearsTheState_data() {
        columns<QString, QString, QString, QString, QStringList, QColor>("keys", "control", "name",
                                                                         "state", "said", "colour");
        const auto row = [](const char* keys, const char* control, const char* name,
                            const char* state, QStringList said, QColor colour = {}) {
            QTest::addRow("%s%s%s", control, *keys ? " after " : "", keys)
                << keys << control << name << state << said << colour;
        };
        row("", "TransmitBtn", "Transmit enable", "checked", {});
        row("Ctrl+E", "TransmitBtn", "Transmit enable", "", {});
        row("", "MicBtn", "Microphone", "", {});
        row("", "Label1", "Tx Enable", "", {}, "yellow"); // readable on its dark panel
        row("Ctrl+T", "TxPanel", "Receive/transmit indicator, Transmit", "", {"Transmitting"},
            "red");
        row("Shift+F3", "Mem3Btn", "Memory 3, selected, 2.8 seconds, CQ contest", "selected",
            {"Memory 3"}, "red");
        row("Shift+F3", "MessageWindow", "Note for memory 3", "", {"Memory 3"});
        row("", "Mem12Btn", "Memory 12, 0.4 seconds", "", {}, "black"); // the last slot counts too
        row("delete", "Mem2Btn", "Memory 2, empty", "", {}, "grey");
        // A FLAC copied in as memory2.wav.
        row("flac", "Mem2Btn", "Memory 2, 2.5 seconds", "", {}, "black");
        row("Shift+F4, Ctrl+Shift+R", "Mem4Btn", "Memory 4, selected, 0.4 seconds", "selected",
            {"Memory 4", "Recording memory 4", "Recorded memory 4: 0.4 seconds of silence"}, "red");
        row("Ctrl+Shift+R", "RecordBtn", "REC", "",
            {"Recording memory 1", "Recorded memory 1: 0.4 seconds of silence"});
        const QStringList played = {"Transmitting", "Playing memory 2", "Receiving",
                                    "Playback ended"};
        row("F2", "StatusLine", "Playback ended", "", played);
        row("aloud, F2", "StatusLine", "Playback ended", "", played);
        row("Ctrl+E, F2", "StatusLine", "Playback ended", "",
            {"Playing memory 2", "Playback ended"}); // unkeyed
        const QStringList paused = {"Transmitting", "Playing memory 1", "Receiving",
                                    "Paused memory 1"};
        row("pause", "PlayBtn", "PLAY, paused", "", paused);
        // Memory 1 resumes, whatever was selected in the pause.
        row("pause, Shift+F3, PLAY", "StatusLine", "Playback ended", "",
            paused + QStringList{"Memory 3", "Transmitting", "Playing memory 1", "Receiving",
                                 "Playback ended"});
        row("F7", "StatusLine", "Memory 7 is empty", "", {"Memory 7 is empty"});
    }
    void screenReaderHearsTheState() {
        QFETCH(QString, keys);
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, state);
        QFETCH(QStringList, said);
        QFETCH(QColor, colour);
        WindowHarness h;
        MainWindow& w = console(h);
        // A real box runs the event loop while it stands, and the window goes on showing.
        h.dialogs.onMessage = [] { QTest::qWait(kBoxStandsMs); };
        const bool aloud = keys.startsWith("aloud, ");
        if (aloud)
            keys.remove(0, 7), w.ui().speakAloudItem->trigger();
        const bool pause = keys.startsWith("pause");
        if (keys == "delete" || keys == "flac")
            QVERIFY(QFile::remove(h.slotPath(2)) &&
                    (keys == "delete" || writeTone(h.slotPath(2), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                                   48000, 2, 120000, 0.5)));
        else
            during(h, pause ? Before::Paused : Before::Idle, [&] {
                QTest::qWait(1); // a pause is shown and said before the keys
                QTest::keySequence(&w, QKeySequence(pause ? keys.section(", ", 1, 1) : keys));
                if (keys.endsWith("PLAY"))
                    click(w.ui().playButton);
            });
        QWidget* shown = w.findChild<QWidget*>(control);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(shown);
        QTRY_COMPARE(a->text(QAccessible::Name), name);
        for (const QString& part : name.split(", ").mid(1)) // said once, not again in the tooltip
            QVERIFY2(!control.startsWith("Mem") ||
                         !a->text(QAccessible::Description).contains(part),
                     qPrintable(part));
        QCOMPARE(bool(a->state().checked), state == "checked");
        QVERIFY(a->role() != QAccessible::CheckBox || a->state().checkable); // "not checked"
        QCOMPARE(bool(a->state().selected), state == "selected");
        QCOMPARE(announced, said);
        QCOMPARE(h.speech.lines, aloud ? said : QStringList());
        QVERIFY(!colour.isValid() || look::textColour(shown) == colour ||
                w.grab().toImage().pixelColor(shown->mapTo(&w, QPoint(4, 4))) == colour);
        w.close();
        QCOMPARE(h.open().ui().speakAloudItem->isChecked(), aloud);
    }

    // Each bank keeps its own memories in its own folder: once chosen, its notes show, the
    // F-keys play and REC records its files, and a switch while a message runs is refused and
    // said. The record, which other copies of the program read, keeps the first bank byte for
    // byte; the choice and the bank's notes come back at the next start. How it is chosen.
    void banksKeepTheirOwnMemories_data() {
        columns<QString, QString, QString>("how", "bank", "folder");
        QTest::newRow("keys") << "Ctrl+PgDown"
                              << "S&P" << QString("S_P");
        QTest::newRow("menu") << "S&&P"
                              << "S&P" << QString("S_P");
        QTest::newRow("new bank") << "New Bank…"
                                  << "DX & QRP" << QString("DX___QRP");
    }
    void banksKeepTheirOwnMemories() {
        QFETCH(QString, how);
        QFETCH(QString, bank);
        QFETCH(QString, folder);
        WindowHarness h, restarted; // a closed window leaves its sound device double spent
        restarted.homePath = h.homePath;
        h.writeMessage(2, pattern(2 * kBlock, 9), folder);
        console(restarted).ui().noteEditor->setPlainText("Run calls");
        restarted.window->close();
        const QByteArray record = readBytes(h.installDir() + "Tavrin.cfg");
        MainWindow& w = console(h);
        h.dialogs.inputAnswers = {{true, " " + bank + " "}};
        for (QAction* choice : w.ui().bankMenu->actions())
            if (choice->text() == how)
                choice->trigger();
        if (how.startsWith("Ctrl"))
            QTest::keySequence(w.ui().noteEditor, QKeySequence(how));
        QCOMPARE(w.station().chosenBank(), bank);
        QCOMPARE(w.ui().bankButton->accessibleName(), "Bank " + bank);
        QVERIFY(announced.contains("Bank " + bank));
        during(h, Before::Idle, [&] { QTest::keySequence(&w, QKeySequence("F2")); });
        QVERIFY(h.wave.played().startsWith(pattern(2 * kBlock, 9)));
        QTest::keySequence(&w, QKeySequence("Shift+F1"));
        w.ui().noteEditor->setPlainText(bank + " calls");
        during(h, Before::Recording, [&] {
            QTest::keySequence(&w, QKeySequence("Ctrl+PgUp"));
            QCOMPARE(w.ui().statusLine->text(), "The bank stays " + bank +
                                                    " while a message plays, is paused, records "
                                                    "or is imported");
        });
        QCOMPARE(readBytes(h.installDir() + "banks/" + folder + "/memory1.wav").size(),
                 44 + 2 * kBlock);
        QCOMPARE(readBytes(h.slotPath(1)).mid(44), pattern(6 * kBlock, 1));
        for (const char* away : {"Ctrl+PgUp", "Ctrl+PgDown"}) // and back: the note stays
            QTest::keySequence(&w, QKeySequence(away));
        QCOMPARE(w.ui().noteEditor->toPlainText(), bank + " calls");
        w.close();
        QCOMPARE(readBytes(h.installDir() + "Tavrin.cfg"), record);
        MainWindow& again = restarted.open();
        QCOMPARE(again.station().chosenBank(), bank);
        QCOMPARE(again.ui().noteEditor->toPlainText(), bank + " calls");
        again.ui().bankMenu->actions().first()->trigger(); // Run
        QCOMPARE(again.ui().noteEditor->toPlainText(), "Run calls");
        QCOMPARE(again.station().memories().note(3), "CQ contest\r\nde station");
    }

    // While recording, the bar shows the peak after gain, red once it reaches the clip level;
    // the file holds the sample after gain, saturated. Sample, gain, percent shown, clipped, kept.
    void levelMeterShowsClipping_data() {
        columns<qint16, QByteArray, int, bool, qint16>("sample", "gain", "percent", "clipped",
                                                       "kept");
        const auto row = [](qint16 sample, const char* gain, int percent, bool clipped,
                            qint16 kept) {
            QTest::addRow("%d at %s", sample, gain)
                << sample << QByteArray(gain) << percent << clipped << kept;
        };
        row(32766, "UnityGain", 99, false, 32766);
        row(32767, "UnityGain", 99, true, 32767);
        row(-32768, "UnityGain", 100, true, -32768);
        row(3276, "N20dB", 99, false, 32760);
        row(-3277, "N20dB", 100, true, -32768);
        row(5000, "N20dB", 99, true, 32767);
        row(-1, "N40dB", 0, false, -100);
    }
    void levelMeterShowsClipping() {
        QFETCH(qint16, sample);
        QFETCH(QByteArray, gain);
        QFETCH(int, percent);
        QFETCH(bool, clipped);
        QFETCH(qint16, kept);
        WindowHarness h;
        MainWindow& w = console(h);
        item(w, gain)->trigger();
        // Every block the device fills holds the sample, whichever the keyer has taken in when the
        // bar is looked at.
        h.wave.setCapture(
            QByteArray(reinterpret_cast<const char*>(&sample), 2).repeated(4 * kBlock / 2));
        QProgressBar* bar = w.ui().progressBar;
        QStringList shown; // percent, whether red, status line
        AudioPump in(h.wave, Dir::Input);
        QLabel* status = w.findChild<QLabel*>("StatusLine");
        in.after(2, [&] {
            // The bar follows at its own pace: wait (the device paused) until it shows the level.
            QVERIFY(QTest::qWaitFor(
                [&] { return bar->value() == percent && status->text().startsWith("Rec"); }));
            shown << QString::number(bar->value())
                  << (bar->grab().toImage().pixelColor(2, 2) == look::kRed ? "clipped" : "")
                  << status->text();
            click(w.ui().stopButton);
        });
        click(w.ui().recordButton);
        QCOMPARE(shown, (QStringList{QString::number(percent), clipped ? "clipped" : "",
                                     clipped ? "Recording memory 1: 0 s, clipping"
                                             : "Recording memory 1: 0 s"}));
        QCOMPARE(qFromLittleEndian<qint16>(readBytes(h.slotPath(1)).constData() + 44), kept);
    }

    // A first run: 10 s stored, the timer still at its form default of 6 s. What was entered is
    // offered again next time; an entry of 40 characters is shown whole. A tick shows the strip
    // red for about a second with one bell, seen while the event loop keeps running, then teal
    // again. Accepted, entry, message, seconds, timer ms, offered next.
    void setValidatesTheEntry_data() {
        using std::chrono::milliseconds;
        columns<bool, QString, QString, int, milliseconds, QString>("accepted", "entry", "message",
                                                                    "seconds", "timer", "offered");
        const auto row = [](const char* name, bool accepted, const char* entry, QString message,
                            int seconds, milliseconds timer, const char* offered) {
            QTest::newRow(name) << accepted << entry << message << seconds << timer << offered;
        };
        row("2", true, "2", "Enter a value greater than 2 seconds", 3, milliseconds(3000), "3");
        row("45 padded", true, " 45 ", "", 45, milliseconds(45000), " 45 ");
        const char* const fraction = "4.00000000000000000000000000000000000000";
        row("a fraction", true, fraction,
            QString("\"%1\" is not a whole number of seconds.").arg(fraction), 10,
            milliseconds(6000), fraction);
        row("99 cancelled", false, "99", "", 10, milliseconds(10000), "10"); // applies the preset
        row("2147483", true, "2147483", "", 2147483, milliseconds(2147483000), "2147483");
        for (const char* over : {"2147484", "99999999999999999999"})
            row(over, true, over, "Enter a value no greater than 2147483 seconds", 10,
                milliseconds(6000), over);
    }
    void setValidatesTheEntry() {
        QFETCH(bool, accepted);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(int, seconds);
        QFETCH(std::chrono::milliseconds, timer);
        QFETCH(QString, offered);
        WindowHarness h;
        MainWindow& w = h.open();
        auto* idTimer = w.findChild<QTimer*>("IDTimer");
        h.dialogs.inputAnswers = {{accepted, entry}};
        w.ui().idSetItem->trigger();
        QCOMPARE(h.dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(w.station().idAlarm().seconds(), seconds);
        QCOMPARE(idTimer->intervalAsDuration(), timer);
        w.ui().idSetItem->trigger();
        QCOMPARE(h.dialogs.offered.value(1), offered);
        // A stored period is kept as stored, its timer held within 1 to 2147483 s.
        for (const auto& [stored, ms] : {std::pair{1, 1000}, {-5, 1000}, {INT_MAX, 2147483000}}) {
            w.station().idAlarm().applyStoredPeriod(stored);
            QCOMPARE(w.station().idAlarm().seconds(), stored);
            QCOMPARE(idTimer->interval(), ms);
        }
        if (entry != "2") // one tick is enough, and takes seconds
            return;
        w.station().idAlarm().applyStoredPeriod(2);
        item(w, "ON1")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.station().idAlarm().strip().colour(), AlarmStrip::Red, 4000);
        QElapsedTimer redFor;
        redFor.start();
        QTRY_COMPARE_WITH_TIMEOUT(w.station().idAlarm().strip().colour(), AlarmStrip::Teal, 4000);
        w.ui().idOffItem->trigger();
        QVERIFY2(redFor.elapsed() >= 800 && redFor.elapsed() <= 2500,
                 qPrintable(QString::number(redFor.elapsed())));
        QTest::qWait(1500);
        QCOMPARE(h.beeper.count, 1);
        QCOMPARE(w.station().idAlarm().strip().colour(), AlarmStrip::Teal);
        QVERIFY(!w.findChild<QTimer*>("AlarmTealTimer")->isActive()); // a recording's colours stay
    }

    // Each piece is stored cut to its first and last sound, recorded with REC's own path or
    // imported alone or a folder at a time, where only files named as a token or a word are taken
    // and the others named. A word that would be a path is refused. Play keys nothing, and says
    // why when no monitor card is chosen. What is done, the pieces stored, what the dialog then
    // says, and the item selected.
    void phrasesAreStoredCutToTheirSound_data() {
        columns<QString, QStringList, QString, QString>("action", "stored", "told", "selected");
        const QString a = "A: recorded, 0.12 s", none = "A: not recorded";
        QTest::newRow("record") << "record" << QStringList{"A"} << "Recorded A" << a;
        QTest::newRow("import") << "import" << QStringList{"A"} << "Imported 1 phrase" << a;
        QTest::newRow("import folder") << "folder" << QStringList{"599", "A"}
                                       << "Imported 2 phrases; refused: two words.wav (not a "
                                          "word), notes.txt (Could not import the file: "
                                       << a;
        QTest::newRow("a path") << "a/b" << QStringList{} << "\"a/b\" cannot be a word" << none;
        QTest::newRow("a word") << "QRZ" << QStringList{} << "Added QRZ"
                                << QString("QRZ: not recorded");
        QTest::newRow("play, no monitor card")
            << "play" << QStringList{"A"}
            << "Not previewed: Virtual output is the transmitter's sound card" << a;
        QTest::newRow("record while REC runs")
            << "busy" << QStringList{} << "Not while a message plays or records" << none;
    }
    void phrasesAreStoredCutToTheirSound() {
        QFETCH(QString, action);
        QFETCH(QStringList, stored);
        QFETCH(QString, told);
        QFETCH(QString, selected);
        WindowHarness h;
        const QString phrases = h.installDir() + "phrases/", from = h.home.filePath("from/");
        QVERIFY(QDir().mkpath(phrases) && QDir().mkpath(from));
        WaveBytes spoken;
        spoken.samples = phrasetones::piece(1000, 2000, 1500);
        for (const char* name : {"A.wav", "599.wav", "two words.wav"})
            QVERIFY(writeBytes(from + name, spoken.bytes()));
        QVERIFY(writeBytes(from + "notes.txt", "73"));
        if (action == "play") {
            spoken.samples = phrasetones::piece(1000, 0, 0).mid(2); // as stored, from its sound
            QVERIFY(writeBytes(phrases + "A.wav", spoken.bytes()));
        }
        MainWindow& w = h.openKeying();
        item(w, "Phrases")->trigger();
        auto* d = w.findChild<PhrasesDialog*>();
        QVERIFY(d && d->isVisible());
        d->tokens->setCurrentRow(10); // A
        h.wave.setCapture(phrasetones::piece(1000, 2000, 1500));
        AudioPump pump(h.wave, Dir::Input);
        pump.after(4, [&] { QTest::mouseClick(d->record, Qt::LeftButton); });
        h.dialogs.fileAnswers << (action == "import" ? from + "A.wav" : from);
        h.dialogs.inputAnswers << FakeDialogs::Answer{true, action};
        if (action == "busy")
            QTest::mouseClick(w.ui().recordButton, Qt::LeftButton);
        QTest::mouseClick(action == "record" || action == "busy" ? d->record
                          : action == "import"                   ? d->importFile
                          : action == "folder"                   ? d->importFolder
                          : action == "play"                     ? d->play
                                                                 : d->addWord,
                          Qt::LeftButton);
        QTRY_VERIFY2(d->status->text().startsWith(told), qPrintable(d->status->text()));
        QCOMPARE(d->tokens->currentItem()->text(), selected);
        QStringList files;
        for (const QString& token : stored) {
            files << token + ".wav";
            SF_INFO info;
            const std::vector<short> piece = readSound(phrases + files.last(), info);
            QVERIFY(int(piece.size()) < phrasetones::kToneSamples && piece.size() > 1310);
            QVERIFY(std::abs(piece.front()) > 4000 && std::abs(piece.back()) > 4000);
        }
        QCOMPARE(QDir(phrases).entryList(QDir::Files), files);
        QVERIFY(!h.everKeyed() &&
                (action == "busy" || !w.ui().statusLine->text().contains("memory")));
    }

    // Help shows the operator's own help file, else the manual installed beside the program, else
    // says it could not; Set Volume starts every installed mixer in order, or with none installed
    // names the mixers it looked for. Enter alone on a question that replaces a message keeps it.
    // What is there (the help file; the manual and two mixers installed; a viewer), help shown.
    void helpAndVolumeFallBack_data() {
        columns<bool, bool, bool, QString>("help", "installed", "viewer", "shown");
        QTest::newRow("help, installed, viewer") << true << true << true << "Tavrin/Tavrin.chm";
        QTest::newRow("installed, viewer")
            << false << true << true << "usr/share/doc/tavrin/manual/index.html";
        QTest::newRow("viewer") << false << false << true << QString();
        QTest::newRow("help, installed") << true << true << false << QString();
    }
    void helpAndVolumeFallBack() {
        QFETCH(bool, help);
        QFETCH(bool, installed);
        QFETCH(bool, viewer);
        QFETCH(QString, shown); // below home
        WindowHarness h;
        h.programDir = h.home.path() + "/usr/bin";
        if (help)
            writeBytes(h.installDir() + "Tavrin.chm", "help");
        if (installed)
            h.launcher.existing = {h.home.path() + "/usr/share/doc/tavrin/manual/index.html",
                                   kMixerPrograms[3], kMixerPrograms[1]};
        h.launcher.viewerAvailable = viewer;
        MainWindow& w = h.open();
        w.ui().helpItem->trigger();
        click(w.ui().mixerButton);
        QCOMPARE(h.launcher.started,
                 installed ? (QStringList{kMixerPrograms[1], kMixerPrograms[3]}) : QStringList());
        const QStringList texts = h.dialogs.texts();
        QCOMPARE(texts.size(), int(shown.isEmpty()) + int(!installed));
        QCOMPARE(texts.contains("Could not run the help application"), shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(h.launcher.opened.last(), h.home.path() + "/" + shown);
        for (const QString& mixer : kMixerPrograms)
            QCOMPARE(texts.value(texts.size() - 1).contains(mixer), !installed);
        item(w, "Keyboard1")->trigger(); // names every key the window answers (F-keys as ranges)
        for (const QShortcut* keys : w.findChildren<QShortcut*>())
            QVERIFY(h.dialogs.texts().last().contains(
                keys->key().toString().remove(QRegularExpression("\\d+$"))));
        QTimer::singleShot(0, [] { QTest::keyClick(qApp->activeModalWidget(), Qt::Key_Return); });
        QVERIFY(!QtDialogs(nullptr).askYesNo("Replace memory 1?", "Import"));
    }
    // The window speaks the locale's language when Tavrin ships it, English otherwise.
    void windowFollowsTheLocale() {
        for (const QString name : {"en_US", "de_DE"}) {
            installTranslations(*qApp, QLocale(name));
            WindowHarness h;
            MainWindow& w = h.open();
            const bool german = name == "de_DE";
            QCOMPARE(w.findChild<QMenu*>("File1")->title(), QString(german ? "Datei" : "File"));
            QCOMPARE(w.ui().rxTxIndicator->text(), QString(german ? "Empfang" : "Receive"));
            qDeleteAll(qApp->findChildren<QTranslator*>());
        }
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
