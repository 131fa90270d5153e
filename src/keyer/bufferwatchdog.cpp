#include "keyer/bufferwatchdog.h"

BufferWatchdog::BufferWatchdog(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TimeoutTimer"));
    timer_->setInterval(kInterval);
    // A coarse timer may fire a little early, and a silence then falls just short of the limit
    // and is looked at again only an interval later.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &BufferWatchdog::expire);
}

void BufferWatchdog::start() {
    sinceHeard_.start();
    timer_->start();
}
