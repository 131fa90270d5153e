#include "keyer/bufferwatchdog.h"

BufferWatchdog::BufferWatchdog(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TimeoutTimer"));
    timer_->setInterval(kInterval);
    connect(timer_, &QTimer::timeout, this, &BufferWatchdog::TimeoutTimerTimer);
}

void BufferWatchdog::enable() {
    if (timer_->isActive())
        return;
    // Each wait is watched afresh: an alarm that fired as STOP ended the last wait belongs to
    // that wait, and would otherwise reset the device at the next one's first look.
    timedOut_ = false;
    timer_->start();
}

void BufferWatchdog::TimeoutTimerTimer() {
    timer_->stop();
    timedOut_ = true;
}
