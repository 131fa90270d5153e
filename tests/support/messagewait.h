#pragma once

#include "app/tavrin.h"
#include "keyer/keyer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <chrono>

// Longer than any message a test or the benchmark plays.
inline constexpr std::chrono::minutes kLongestMessageWait{10};

// Returns once the message started last has ended, so that the test reads what was played or
// recorded. Waits made meanwhile (by a pump's actions, timers) return at once, as the operator's
// clicks do.
inline void untilMessageEnds(TTavrin& window) {
    static bool waiting = false;
    if (waiting)
        return;
    waiting = true;
    QTimer wake; // the deadline is looked at even when nothing else happens
    wake.start(100);
    QDeadlineTimer deadline(kLongestMessageWait);
    while (window.keyer().deviceInUse() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waiting = false;
}
