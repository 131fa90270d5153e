#pragma once

#include "app/mainwindow.h"
#include "app/station.h"
#include "keyer/keyer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>

// Longer than any message a test or the benchmark plays.
inline constexpr std::chrono::minutes kLongestMessageWait{10};

// Returns once the message started last has ended, so that the test reads what was played or
// recorded. Waits made meanwhile (by a pump's actions, timers) return at once, as the operator's
// clicks do. No timer of its own wakes the wait, so the benchmark's figures are the keyer's; the
// keyer's watchdog, lead and tail timers and the device's reports do, while a message runs.
inline void untilMessageEnds(Station& station) {
    static bool waiting = false;
    if (waiting)
        return;
    waiting = true;
    QDeadlineTimer deadline(kLongestMessageWait);
    while (station.keyer().deviceInUse() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waiting = false;
}
inline void untilMessageEnds(MainWindow& window) {
    untilMessageEnds(window.station());
}
