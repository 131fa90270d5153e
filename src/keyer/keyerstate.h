#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

// The keyer's shared flags and counters. The flags that the window shows as caption colours
// signal when they change, so a flag and its colour always change in the same step.
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

    void setRecordActive(bool on) { update(recordActive_, on, &KeyerState::recordActiveChanged); }
    void setPlayActive(bool on) { update(playActive_, on, &KeyerState::playActiveChanged); }
    void setLoopActive(bool on) { update(loopActive_, on, &KeyerState::loopActiveChanged); }
    void setKeyerIdle(bool on) { update(keyerIdle_, on, &KeyerState::keyerIdleChanged); }
    void setKeyerStopped(bool on) { update(keyerStopped_, on, &KeyerState::keyerStoppedChanged); }
    void setHighlightedMemory(int slot) {
        update(highlightedMemory_, slot, &KeyerState::highlightedMemoryChanged);
    }
    void setProgress(int percent) { update(progress_, percent, &KeyerState::progressChanged); }

    bool busy() const { return recordActive_ || playActive_; }

    // Values without an indicator of their own.
    bool stopRequested = true;
    bool playFileOpen = false;
    bool recordFileOpen = false;
    std::int32_t recordedBytes = 10000;
    std::int32_t playBytesLeft = 0;
    // Tenths of a second; the item the Loop Delay menu ticks before any choice.
    std::int32_t loopDelay = 10;
    std::int32_t loopCount = 0; // tenths of a second
    std::int32_t micGainCode = 1;
    int selectedMemory = 1;
    QString currentMessageFile;

signals:
    void recordActiveChanged(bool on);
    void playActiveChanged(bool on);
    void loopActiveChanged(bool on);
    void keyerIdleChanged(bool on);
    void keyerStoppedChanged(bool on);
    void highlightedMemoryChanged(int slot);
    void progressChanged(int percent);

private:
    template <typename T, typename Signal> void update(T& field, T value, Signal signal) {
        if (field == value)
            return;
        field = value;
        emit(this->*signal)(value);
    }

    bool recordActive_ = false;
    bool playActive_ = false;
    bool loopActive_ = false;
    bool keyerIdle_ = true;
    bool keyerStopped_ = true;
    int highlightedMemory_ = 0;
    int progress_ = 0;
};
