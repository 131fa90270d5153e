#include "keyer/keyer.h"

#include "keyer/keyerstate.h"
#include "keyer/menutables.h"

#include <QAction>
#include <QTimer>

namespace {
// Each tick of the loop timer counts half a second, in the tenths the delay is given in.
constexpr std::int32_t kTenthsPerTick = 5;
} // namespace

void Keyer::LoopBtnClick() {
    if (!state_.loopActive()) {
        // The next PLAY starts the timer.
        state_.setLoopActive(true);
        return;
    }
    state_.setLoopActive(false);
    loopTimer_->stop();
}

void Keyer::Loop_TimerTimer() {
    if (!state_.keyerIdle())
        return;
    state_.loopCount += kTenthsPerTick;
    if (state_.loopCount == state_.loopDelay) {
        state_.loopCount = 0;
        PlayBtnClick();
    }
}

void Keyer::loopDelayClick(std::size_t item) {
    state_.loopDelay = kLoopDelays.at(item).tenths;
    UncheckLoopDelays();
    menus_.loopDelays.at(item)->setChecked(true);
    ResetBtnClick();
}

void Keyer::UncheckLoopDelays() {
    for (QAction* action : menus_.loopDelays)
        action->setChecked(false);
}

bool Keyer::applyLoopDelay(std::int32_t tenths) {
    for (std::size_t i = 0; i < kLoopDelays.size(); ++i) {
        if (kLoopDelays[i].tenths == tenths) {
            loopDelayClick(i);
            return true;
        }
    }
    return false;
}
