#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// Limits how long a playback or recording waits for the sound card to hand back a buffer: the
// loops enable it around each wait, and the waits take their reset path once it has fired.
class BufferWatchdog : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kInterval{500};

    explicit BufferWatchdog(QObject* parent = nullptr);

    // Whether it fired since it was last enabled.
    bool BufferWaitTimedOut() const { return timedOut_; }

    // Enabling a stopped watchdog starts a fresh watch, its earlier alarm forgotten; enabling a
    // running one keeps its count. It fires once per enabling.
    void enable();
    void disable() { timer_->stop(); }

public slots:
    void TimeoutTimerTimer();

private:
    QTimer* timer_;
    bool timedOut_ = false;
};
