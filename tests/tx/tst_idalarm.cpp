// The ID alarm as the window's ID menu sets and runs it.
#include "tx/idalarm.h"
#include "windowharness.h"

#include <QAction>
#include <QElapsedTimer>
#include <QtTest>

namespace {
const QString kTooShort = "Enter a value greater than 2 seconds";
const QString kTooLong = "Enter a value no greater than 2147483 seconds";
} // namespace

class IdAlarmTest : public QObject {
    Q_OBJECT

private slots:
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
    }

    // A stored period is kept as stored, its timer held within 1 to 2147483 s.
    void aStoredPeriodIsKeptButItsTimerBounded() {
        WindowHarness h;
        TTavrin& w = h.open();
        for (const auto& [stored, interval] :
             {std::pair{1, 1000}, {-5, 1000}, {2147483647, 2147483000}}) {
            w.idAlarm().applyStoredPeriod(stored);
            QCOMPARE(w.idAlarm().IdAlarmSeconds(), stored);
            QCOMPARE(w.findChild<QTimer*>("IDTimer")->interval(), interval);
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
        QVERIFY2(beatsAtTeal - beatsAtRed >= 10,
                 qPrintable(QString::number(beatsAtTeal - beatsAtRed)));
        QTest::qWait(1500);
        QCOMPARE(h.beeper.count, 1);
        QCOMPARE(w.idAlarm().strip().colour(), AlarmStrip::Teal);
    }
};

QTEST_MAIN(IdAlarmTest)
#include "tst_idalarm.moc"
