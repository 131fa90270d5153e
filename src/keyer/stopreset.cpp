#include "keyer/keyer.h"

#include "keyer/keyerstate.h"

#include <QTimer>

void Keyer::StopBtnClick() {
    if (state_.keyerStopped())
        return;
    state_.setKeyerIdle(true);
    state_.setKeyerStopped(true);
    if (state_.playActive()) {
        playTimer_->stop();
        state_.setPlayActive(false);
        state_.setProgress(0);
        state_.stopRequested = true;
    }
    if (state_.recordActive()) {
        state_.setRecordActive(false);
        state_.stopRequested = true;
    }
}

void Keyer::ResetBtnClick() {
    loopTimer_->stop();
    state_.loopCount = 0;
    if (state_.keyerIdle())
        return;
    state_.setKeyerIdle(true);
    if (!state_.keyerStopped())
        StopBtnClick();
    loopTimer_->stop();
}
