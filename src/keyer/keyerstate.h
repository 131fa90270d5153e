#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

// What the keyer is doing, as the operator and a remote client are told it.
enum class KeyerPhase { Idle, Playing, Paused, Recording };

// The keyer's shared flags and counters. Only the keyer changes them; each that the window or the
// remote control follows signals when it changes, so a flag and the caption colour the window
// shows for it change in the same step.
class KeyerState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    bool recordActive() const { return recordActive_; }
    bool playActive() const { return playActive_; }
    bool loopActive() const { return loopActive_; }
    bool keyerIdle() const { return keyerIdle_; }
    bool keyerStopped() const { return keyerStopped_; }
    // The memory button shown red; 0 until a memory button handler has run.
    int highlightedMemory() const { return highlightedMemory_; }
    int progress() const { return progress_; }
    // The loudest sample of the block just recorded, after gain: 0 to 32768.
    int inputPeak() const { return inputPeak_; }
    // What the message being played yields in all, in bytes.
    std::int32_t playLength() const { return playLength_; }
    // One step of the keyer may pass through another phase on its way (stopping pauses before
    // it closes the file), so whoever shows the phase reads it once the step is done.
    KeyerPhase phase() const { return phase_; }

    void setRecordActive(bool on) {
        update(recordActive_, on, &KeyerState::recordActiveChanged);
        followPhase();
    }
    void setPlayActive(bool on) {
        update(playActive_, on, &KeyerState::playActiveChanged);
        followPhase();
    }
    void setLoopActive(bool on) { update(loopActive_, on, &KeyerState::loopActiveChanged); }
    void setKeyerIdle(bool on) { update(keyerIdle_, on, &KeyerState::keyerIdleChanged); }
    void setKeyerStopped(bool on) { update(keyerStopped_, on, &KeyerState::keyerStoppedChanged); }
    void setHighlightedMemory(int slot) {
        update(highlightedMemory_, slot, &KeyerState::highlightedMemoryChanged);
    }
    void setProgress(int percent) { update(progress_, percent, &KeyerState::progressChanged); }
    void setInputPeak(int peak) { update(inputPeak_, peak, &KeyerState::inputPeakChanged); }
    void setPlayLength(std::int32_t bytes) { playLength_ = bytes; }

    bool busy() const { return recordActive_ || playActive_; }

    bool playFileOpen() const { return playFileOpen_; }
    // The message file open for playing, playing or paused: the one that sounds, which need not
    // be the selected memory's. Empty when none is open.
    const QString& playFile() const { return playFile_; }
    bool recordFileOpen() const { return recordFileOpen_; }
    std::int32_t recordedBytes() const { return recordedBytes_; }
    std::int32_t playBytesLeft() const { return playBytesLeft_; }
    // Tenths of a second.
    std::int32_t loopDelay() const { return loopDelay_; }
    std::int32_t micGainCode() const { return micGainCode_; }
    int selectedMemory() const { return selectedMemory_; }
    const QString& currentMessageFile() const { return currentMessageFile_; }

    // The path first: whoever hears that a file opened finds which.
    void setPlayFile(const QString& path) {
        playFile_ = path;
        playFileOpen_ = !path.isEmpty();
        followPhase();
    }
    void setRecordFileOpen(bool on) { recordFileOpen_ = on; }
    void setRecordedBytes(std::int32_t bytes) {
        update(recordedBytes_, bytes, &KeyerState::recordedBytesChanged);
    }
    void setPlayBytesLeft(std::int32_t bytes) {
        update(playBytesLeft_, bytes, &KeyerState::playBytesLeftChanged);
    }
    void setLoopDelay(std::int32_t tenths) {
        update(loopDelay_, tenths, &KeyerState::loopDelayChanged);
    }
    void setMicGainCode(std::int32_t code) {
        update(micGainCode_, code, &KeyerState::micGainCodeChanged);
    }
    void setSelectedMemory(int slot) {
        update(selectedMemory_, slot, &KeyerState::selectedMemoryChanged);
    }
    void setCurrentMessageFile(const QString& path) {
        update(currentMessageFile_, path, &KeyerState::currentMessageFileChanged);
    }

signals:
    void recordActiveChanged(bool on);
    void playActiveChanged(bool on);
    void loopActiveChanged(bool on);
    void keyerIdleChanged(bool on);
    void keyerStoppedChanged(bool on);
    void highlightedMemoryChanged(int slot);
    void progressChanged(int percent);
    void inputPeakChanged(int peak);
    void recordedBytesChanged(std::int32_t bytes);
    void playBytesLeftChanged(std::int32_t bytes);
    void loopDelayChanged(std::int32_t tenths);
    void micGainCodeChanged(std::int32_t code);
    void selectedMemoryChanged(int slot);
    void currentMessageFileChanged(const QString& path);
    void phaseChanged(KeyerPhase now);

private:
    template <typename T, typename Signal> void update(T& field, const T& value, Signal signal) {
        if (field == value)
            return;
        field = value;
        emit(this->*signal)(value);
    }

    // A start whose file is still being opened (a box about its failure may stand) plays
    // nothing yet; a pause keeps the message open where it was left.
    void followPhase() {
        const KeyerPhase now = recordActive_    ? KeyerPhase::Recording
                               : !playFileOpen_ ? KeyerPhase::Idle
                               : playActive_    ? KeyerPhase::Playing
                                                : KeyerPhase::Paused;
        update(phase_, now, &KeyerState::phaseChanged);
    }

    bool recordActive_ = false;
    bool playActive_ = false;
    bool loopActive_ = false;
    bool keyerIdle_ = true;
    bool keyerStopped_ = true;
    int highlightedMemory_ = 0;
    int progress_ = 0;
    int inputPeak_ = 0;
    std::int32_t playLength_ = 0;
    bool playFileOpen_ = false;
    bool recordFileOpen_ = false;
    std::int32_t recordedBytes_ = 10000;
    std::int32_t playBytesLeft_ = 0;
    // The item the Loop Delay menu ticks before any choice.
    std::int32_t loopDelay_ = 10;
    std::int32_t micGainCode_ = 1;
    int selectedMemory_ = 1;
    QString currentMessageFile_;
    QString playFile_;
    KeyerPhase phase_ = KeyerPhase::Idle;
};
