#include "keyer/bufferwatchdog.h"

BufferWatchdog::BufferWatchdog(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TimeoutTimer"));
    timer_->setInterval(kInterval);
    connect(timer_, &QTimer::timeout, this, &BufferWatchdog::TimeoutTimerTimer);
}

void BufferWatchdog::enable() {
    if (!timer_->isActive())
        timer_->start();
}

void BufferWatchdog::TimeoutTimerTimer() {
    timer_->stop();
    timedOut_ = true;
}
