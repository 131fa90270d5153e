#include "keyer/keyer.h"

#include "keyer/bufferwatchdog.h"
#include "keyer/keyerstate.h"
#include "tx/alarmstrip.h"
#include "tx/keyingline.h"

#include <QTimer>

void Keyer::StopBtnClick() {
    // A start kept for later is overtaken by the stop.
    deferredStart_ = nullptr;
    holdKey_ = false;
    // Released even with the keyer stopped: TUNE may hold the line.
    line_.unkey();
    stopRunning();
}

void Keyer::stopRunning() {
    if (state_.keyerStopped())
        return;
    state_.setKeyerIdle(true);
    state_.setKeyerStopped(true);
    startLoopPause();
    if (state_.playActive()) {
        watchdog_->disable();
        state_.setPlayActive(false);
        state_.setProgress(0);
        if (state_.playFileOpen())
            closeMessageFile();
        state_.setStopRequested(true);
    }
    if (state_.recordActive()) {
        state_.setRecordActive(false);
        strip_.setColour(AlarmStrip::Teal);
        if (state_.recordFileOpen())
            finishRecording();
        state_.setStopRequested(true);
    }
}

void Keyer::ResetBtnClick() {
    deferredStart_ = nullptr;
    holdKey_ = false;
    loopRunning_ = false;
    loopTimer_->stop();
    line_.unkey();
    if (state_.keyerIdle())
        return;
    state_.setKeyerIdle(true);
    if (!state_.keyerStopped())
        StopBtnClick();
}

void Keyer::stopEverything() {
    ResetBtnClick();
    if (state_.loopActive())
        LoopBtnClick();
}

void Keyer::shutDown() {
    shuttingDown_ = true;
    ResetBtnClick();
    if (state_.busy())
        StopBtnClick();
}
