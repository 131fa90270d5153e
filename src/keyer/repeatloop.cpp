#include "keyer/repeatloop.h"

#include "keyer/keyerstate.h"

#include <QTimer>

#include <algorithm>

namespace {
constexpr std::chrono::milliseconds kPerTenth{100};
} // namespace

RepeatLoop::RepeatLoop(KeyerState& state, QObject* parent)
    : QObject(parent), state_(state), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("Loop_Timer"));
    timer_->setSingleShot(true);
    // The pause is heard on air: a coarse timer would cut it short by up to a tenth.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &RepeatLoop::due);
}

void RepeatLoop::toggle() {
    if (!state_.loopActive()) {
        state_.setLoopActive(true);
        return;
    }
    state_.setLoopActive(false);
    end();
}

void RepeatLoop::messageStarted() {
    timer_->stop();
    if (state_.loopActive())
        running_ = true;
}

void RepeatLoop::keyedUp() {
    sinceKeyUp_.start();
    // A delay of no length (only from a configuration written elsewhere) repeats nothing.
    if (running_ && state_.loopActive() && state_.loopDelay() > 0)
        timer_->start(pause());
}

void RepeatLoop::end() {
    running_ = false;
    timer_->stop();
}

void RepeatLoop::setDelay(std::int32_t tenths) {
    state_.setLoopDelay(tenths);
    if (timer_->isActive() && state_.loopDelay() > 0) {
        const std::chrono::milliseconds elapsed{sinceKeyUp_.elapsed()};
        timer_->start(std::max(std::chrono::milliseconds{0}, pause() - elapsed));
    }
}

bool RepeatLoop::pausing() const {
    return timer_->isActive();
}

std::chrono::milliseconds RepeatLoop::pause() const {
    return std::max(std::int32_t{0}, state_.loopDelay()) * kPerTenth;
}
