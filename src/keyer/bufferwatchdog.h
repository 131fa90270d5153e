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

    bool BufferWaitTimedOut() const { return timedOut_; }
    void clearBufferWaitTimedOut() { timedOut_ = false; }

    // Enabling a running watchdog keeps its count; it fires once per enabling, and enabling a
    // stopped one forgets an earlier alarm.
    void enable();
    void disable() { timer_->stop(); }
    bool enabled() const { return timer_->isActive(); }

public slots:
    void TimeoutTimerTimer();

private:
    QTimer* timer_;
    bool timedOut_ = false;
};
