#include "keyer/keyer.h"

#include "keyer/keyerstate.h"

#include <QTimer>

#include <algorithm>

namespace {
constexpr std::chrono::milliseconds kPerTenth{100};
} // namespace

void Keyer::toggleLoop() {
    if (!state_.loopActive()) {
        // The next PLAY starts the loop.
        state_.setLoopActive(true);
        return;
    }
    state_.setLoopActive(false);
    loopRunning_ = false;
    loopTimer_->stop();
}

std::chrono::milliseconds Keyer::loopPause() const {
    return std::max(std::int32_t{0}, state_.loopDelay()) * kPerTenth;
}

void Keyer::startLoopPause() {
    sinceKeyUp_.start();
    // A delay of no length (only from a configuration written elsewhere) repeats nothing.
    if (loopRunning_ && state_.loopActive() && !shuttingDown_ && state_.loopDelay() > 0)
        loopTimer_->start(loopPause());
}

void Keyer::repeatLoop() {
    // A recording or a paused message is not interrupted by a repetition.
    if (!state_.keyerIdle() || shuttingDown_)
        return;
    play();
}

void Keyer::setLoopDelay(std::int32_t tenths) {
    state_.setLoopDelay(tenths);
    // A pause under way ends when the new delay has passed since its key-up.
    if (loopTimer_->isActive() && state_.loopDelay() > 0) {
        const std::chrono::milliseconds elapsed{sinceKeyUp_.elapsed()};
        loopTimer_->start(std::max(std::chrono::milliseconds{0}, loopPause() - elapsed));
    }
}
