#include "beepcounter.h"
#include "fakedialogs.h"
#include "tx/bufferwatchdog.h"
#include "tx/idalarm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString timerError = QStringLiteral("Timer Error");
const QString tooShort = QStringLiteral("Enter a value greater than 2 seconds");
const QString tooLong = QStringLiteral("Enter a value no greater than 2147483 seconds");

struct AlarmRig {
    AlarmRig() {
        off.setCheckable(true);
        on.setCheckable(true);
        off.setChecked(true);
        alarm = new IdAlarm(dialogs, beeper, {&off, &on}, &window);
        idTimer = window.findChild<QTimer*>("IDTimer");
    }

    FakeDialogs dialogs;
    BeepCounter beeper;
    QAction off;
    QAction on;
    QObject window;
    IdAlarm* alarm;
    QTimer* idTimer;
};

} // namespace

class IdAlarmTest : public QObject {
    Q_OBJECT

private slots:
    void startsOffWithTheFormInterval();
    void setValidatesTheEntry_data();
    void setValidatesTheEntry();
    void setAsksWithCaptionAndPrompt();
    void onAndOffTickAndSwitchTheTimer();
    void samePeriodKeepsTheCount();
    void storedPeriodIsTakenAsItIs();
    void alarmTickLeavesTheEventLoopLive();
    void alarmTickAlwaysEndsTeal();
    void watchdogFiresOncePerEnabling();
};

void IdAlarmTest::startsOffWithTheFormInterval() {
    AlarmRig rig;
    QVERIFY(rig.idTimer);
    QVERIFY(!rig.idTimer->isActive());
    QCOMPARE(rig.idTimer->interval(), 6000);
    QVERIFY(!rig.alarm->IdAlarmOn());
    QCOMPARE(rig.alarm->IdAlarmSeconds(), 10);
    QCOMPARE(rig.alarm->IdAlarmText(), QString("10"));
    QCOMPARE(rig.alarm->strip().colour(), AlarmStrip::Teal);
}

void IdAlarmTest::setValidatesTheEntry_data() {
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("offeredNext");

    // A first run: 10 s stored in memory, the timer still at its form default of 6 s.
    QTest::newRow("2") << true << "2" << tooShort << 3 << 3000 << "3";
    QTest::newRow("3") << true << "3" << QString() << 3 << 3000 << "3";
    QTest::newRow("-7") << true << "-7" << tooShort << 3 << 3000 << "3";
    QTest::newRow("0") << true << "0" << tooShort << 3 << 3000 << "3";
    QTest::newRow("45 with spaces") << true << " 45 " << QString() << 45 << 45000 << " 45 ";
    QTest::newRow("empty") << true << "" << QString() << 10 << 6000 << "";
    QTest::newRow("text") << true << "ten"
                          << "\"ten\" is not a whole number of seconds." << 10 << 6000 << "ten";
    QTest::newRow("decimal") << true << "4.5"
                             << "\"4.5\" is not a whole number of seconds." << 10 << 6000 << "4.5";
    QTest::newRow("cancel applies the preset") << false << "99" << QString() << 10 << 10000 << "10";
    QTest::newRow("longest") << true << "2147483" << QString() << 2147483 << 2147483000
                             << "2147483";
    QTest::newRow("too long") << true << "2147484" << tooLong << 10 << 6000 << "2147484";
    QTest::newRow("beyond 64 bits")
        << true << "99999999999999999999" << tooLong << 10 << 6000 << "99999999999999999999";
    QTest::newRow("far negative") << true << "-99999999999999999999" << tooShort << 3 << 3000
                                  << "3";
}

void IdAlarmTest::setValidatesTheEntry() {
    QFETCH(bool, accepted);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    QFETCH(int, seconds);
    QFETCH(int, interval);
    QFETCH(QString, offeredNext);
    AlarmRig rig;
    rig.dialogs.inputAnswers = {{accepted, entry}, {false, QString()}};

    rig.alarm->Set1Click();
    if (message.isEmpty())
        QVERIFY(rig.dialogs.messages.isEmpty());
    else
        QCOMPARE(rig.dialogs.messages, (QList<FakeDialogs::Message>{{message, timerError}}));
    QCOMPARE(rig.alarm->IdAlarmSeconds(), seconds);
    QCOMPARE(rig.idTimer->interval(), interval);
    QCOMPARE(rig.alarm->IdAlarmText(), offeredNext);
    QVERIFY(!rig.idTimer->isActive());

    rig.alarm->Set1Click();
    QCOMPARE(rig.dialogs.offered.value(1), offeredNext);
}

void IdAlarmTest::setAsksWithCaptionAndPrompt() {
    AlarmRig rig;
    rig.dialogs.inputAnswers = {{true, "30"}};
    rig.alarm->Set1Click();
    QCOMPARE(rig.dialogs.queries,
             (QList<FakeDialogs::Message>{{"Alarm Timer:", "Set the alarm time in Seconds"}}));
    QCOMPARE(rig.dialogs.offered, QStringList{"10"});
}

void IdAlarmTest::onAndOffTickAndSwitchTheTimer() {
    AlarmRig rig;
    rig.alarm->ON1Click();
    QVERIFY(rig.alarm->IdAlarmOn());
    QVERIFY(rig.idTimer->isActive());
    QVERIFY(rig.on.isChecked());
    QVERIFY(!rig.off.isChecked());
    rig.alarm->OFF1Click();
    QVERIFY(!rig.alarm->IdAlarmOn());
    QVERIFY(!rig.idTimer->isActive());
    QVERIFY(!rig.on.isChecked());
    QVERIFY(rig.off.isChecked());
}

void IdAlarmTest::samePeriodKeepsTheCount() {
    AlarmRig rig;
    rig.dialogs.inputAnswers = {{true, "20"}, {true, "20"}, {true, "30"}};
    rig.alarm->Set1Click();
    rig.alarm->ON1Click();
    QTest::qWait(400);
    const int remaining = rig.idTimer->remainingTime();
    rig.alarm->ON1Click();
    QVERIFY(rig.idTimer->remainingTime() <= remaining);
    rig.alarm->Set1Click();
    QVERIFY(rig.idTimer->remainingTime() <= remaining);
    rig.alarm->Set1Click();
    QVERIFY(rig.idTimer->remainingTime() > remaining + 5000);
    QVERIFY(rig.idTimer->isActive());
}

void IdAlarmTest::storedPeriodIsTakenAsItIs() {
    const struct {
        int stored;
        int interval;
    } cases[] = {{45, 45000},
                 {1, 1000},
                 {0, 1000},
                 {-5, 1000},
                 {2147483, 2147483000},
                 {2147483647, 2147483000}};
    for (const auto& c : cases) {
        AlarmRig rig;
        rig.alarm->applyStoredPeriod(c.stored);
        QCOMPARE(rig.alarm->IdAlarmSeconds(), c.stored);
        QCOMPARE(rig.alarm->IdAlarmText(), QString::number(c.stored));
        QCOMPARE(rig.idTimer->interval(), c.interval);
        QVERIFY(rig.dialogs.messages.isEmpty());
    }
}

void IdAlarmTest::alarmTickLeavesTheEventLoopLive() {
    AlarmRig rig;
    rig.alarm->applyStoredPeriod(2);

    // Another timer of the program, standing in for the buffer waits and the buttons.
    int heartbeats = 0;
    QTimer heartbeat;
    heartbeat.setInterval(20);
    connect(&heartbeat, &QTimer::timeout, [&] { ++heartbeats; });
    heartbeat.start();

    int beatsAtRed = -1;
    int beatsAtTeal = -1;
    QElapsedTimer redFor;
    qint64 redMs = -1;
    connect(&rig.alarm->strip(), &AlarmStrip::colourChanged, [&](AlarmStrip::Colour colour) {
        if (colour == AlarmStrip::Red && beatsAtRed < 0) {
            beatsAtRed = heartbeats;
            redFor.start();
        } else if (colour == AlarmStrip::Teal && beatsAtRed >= 0 && beatsAtTeal < 0) {
            beatsAtTeal = heartbeats;
            redMs = redFor.elapsed();
        }
    });

    QElapsedTimer tickCall;
    rig.alarm->ON1Click();
    QTRY_VERIFY_WITH_TIMEOUT(beatsAtRed >= 0, 5000);
    QCOMPARE(rig.beeper.count, 1);
    tickCall.start();
    QTRY_VERIFY_WITH_TIMEOUT(beatsAtTeal >= 0, 5000);
    rig.alarm->OFF1Click();

    // About one second of red, during which the other timer kept running.
    QVERIFY2(redMs >= 800 && redMs <= 2500, qPrintable(QString::number(redMs)));
    QVERIFY2(beatsAtTeal - beatsAtRed >= 10,
             qPrintable(QStringLiteral("%1 heartbeats while red").arg(beatsAtTeal - beatsAtRed)));

    const int beeps = rig.beeper.count;
    QTest::qWait(1500);
    QCOMPARE(rig.beeper.count, beeps);
    QCOMPARE(rig.alarm->strip().colour(), AlarmStrip::Teal);
}

void IdAlarmTest::alarmTickAlwaysEndsTeal() {
    AlarmRig rig;
    QSignalSpy colours(&rig.alarm->strip(), &AlarmStrip::colourChanged);
    rig.alarm->strip().setColour(AlarmStrip::Blue); // a recording in progress
    rig.alarm->IDTimerTimer();
    QCOMPARE(rig.alarm->strip().colour(), AlarmStrip::Red);
    QTRY_COMPARE_WITH_TIMEOUT(rig.alarm->strip().colour(), AlarmStrip::Teal, 3000);
    QCOMPARE(colours.size(), 3);
    QCOMPARE(rig.beeper.count, 1);
}

void IdAlarmTest::watchdogFiresOncePerEnabling() {
    QObject window;
    auto* watchdog = new BufferWatchdog(&window);
    auto* timer = window.findChild<QTimer*>("TimeoutTimer");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 500);
    QVERIFY(!timer->isActive());

    QElapsedTimer elapsed;
    elapsed.start();
    watchdog->enable();
    QTRY_VERIFY_WITH_TIMEOUT(watchdog->BufferWaitTimedOut(), 3000);
    QVERIFY2(elapsed.elapsed() >= 450, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(!watchdog->enabled());

    // Switched off in time, it never fires.
    watchdog->clearBufferWaitTimedOut();
    watchdog->enable();
    QTest::qWait(200);
    watchdog->disable();
    QTest::qWait(600);
    QVERIFY(!watchdog->BufferWaitTimedOut());
}

QTEST_MAIN(IdAlarmTest)
#include "tst_idalarm.moc"
