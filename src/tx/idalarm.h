#pragma once

#include "tx/alarmstrip.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <limits>

class Beeper;
class Dialogs;
// The station identification reminder: every period the alarm strip turns red for a second
// and the bell sounds.
class IdAlarm : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFormInterval{6000};
    static constexpr std::chrono::milliseconds kRedTime{1000};
    static constexpr int kDefaultSeconds = 10;
    // Set refuses shorter periods and falls back to this one.
    static constexpr int kShortestSetSeconds = 3;
    // The timer counts milliseconds in an int: about 24.8 days. Set refuses more; a stored
    // period is clamped to what the timer can hold (and to at least one second).
    static constexpr int kLongestSeconds = std::numeric_limits<int>::max() / 1000;

    IdAlarm(Dialogs& dialogs, Beeper& beeper, QObject* parent = nullptr);

    bool isOn() const { return on_; }
    int seconds() const { return seconds_; }

    AlarmStrip& strip() { return strip_; }

    // The configuration reader's step: the stored period is taken as it is (no lower bound of
    // Set applies), and the Set dialog offers it next time.
    void applyStoredPeriod(int seconds);

signals:
    // The alarm was switched on or off.
    void switched(bool on);

public slots:
    void switchOff();
    void switchOn();
    void askAlarmTime();
    void alarmTimeUp();

private:
    void switchAlarm(bool on);
    void setPeriod(int seconds);

    Dialogs& dialogs_;
    Beeper& beeper_;
    AlarmStrip strip_;
    QTimer* idTimer_;
    QTimer* tealAgain_;

    bool on_ = false;
    int seconds_ = kDefaultSeconds;
    QString text_ = QString::number(kDefaultSeconds);
};
