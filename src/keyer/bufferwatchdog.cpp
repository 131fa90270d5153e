#include "keyer/bufferwatchdog.h"

BufferWatchdog::BufferWatchdog(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TimeoutTimer"));
    timer_->setInterval(kInterval);
    connect(timer_, &QTimer::timeout, this, &BufferWatchdog::TimeoutTimerTimer);
}

void BufferWatchdog::start() {
    sinceHeard_.start();
    timer_->start();
}
