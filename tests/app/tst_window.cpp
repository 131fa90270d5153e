#include "app/launchers.h"
#include "app/look.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "windowharness.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include <climits>

namespace {
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
