#include "keyer/keyer.h"

#include "keyer/keyerstate.h"
#include "keyer/monitor.h"
#include "tx/alarmstrip.h"
#include "tx/keyingline.h"

#include <QTimer>

void Keyer::stop() {
    monitor_->stopPreview();
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
        state_.setPlayActive(false);
        state_.setProgress(0);
        if (state_.playFileOpen())
            closeMessageFile();
        endSound();
    }
    if (state_.recordActive()) {
        state_.setRecordActive(false);
        strip_.setColour(AlarmStrip::Teal);
        // A device that failed before it captured anything leaves the message as it was.
        if (state_.recordFileOpen() && ending_ == MessageEnd::Failed && state_.recordedBytes() == 0)
            discardRecording();
        else if (state_.recordFileOpen())
            finishRecording();
        ending_ = MessageEnd::Stopped;
        endRecording();
    }
}

void Keyer::reset() {
    monitor_->stopPreview();
    holdKey_ = false;
    loopRunning_ = false;
    loopTimer_->stop();
    line_.unkey();
    if (state_.keyerIdle())
        return;
    state_.setKeyerIdle(true);
    if (!state_.keyerStopped())
        stop();
}

void Keyer::stopEverything() {
    reset();
    if (state_.loopActive())
        toggleLoop();
}

bool Keyer::yieldToOperator() {
    const bool keyed = line_.level() == KeyingLine::Keyed;
    if (!keyed && !state_.playActive() && !loopTimer_->isActive())
        return false;
    if (keyed) {
        stopEverything();
        return true;
    }
    // The line is released already. Another unkey would reach a rig keyed through CAT, which
    // takes it whoever keyed it: the operator would be cut off mid-word.
    holdKey_ = false;
    loopRunning_ = false;
    loopTimer_->stop();
    if (!state_.keyerIdle()) {
        state_.setKeyerIdle(true);
        stopRunning();
    }
    if (state_.loopActive())
        toggleLoop();
    return true;
}

void Keyer::shutDown() {
    shuttingDown_ = true;
    reset();
    if (state_.busy())
        stop();
}
