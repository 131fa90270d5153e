#pragma once

#include "virtualwaveservice.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

// Plays the sound card for a test: completes the queued buffers of one direction of a virtual
// wave service from the event loop, one per tick, so a recording or playback loop runs inside
// its click handler as it would on a real device. Actions can be run after a given number of
// completed buffers; they run inside the loop's buffer wait, as an operator's click would.
class AudioPump : public QObject {
public:
    AudioPump(VirtualWaveService& wave, WaveService::Direction direction) {
        timer_.setInterval(1);
        connect(&timer_, &QTimer::timeout, this, [this, &wave, direction] {
            if (!wave.completeNext(direction))
                return;
            const auto range = actions_.equal_range(++completed_);
            for (auto it = range.first; it != range.second; ++it)
                it->second();
        });
        timer_.start();
    }

    void after(int completions, std::function<void()> action) {
        actions_.emplace(completions, std::move(action));
    }
    int completed() const { return completed_; }
    // The device completes nothing more: what is queued stays queued.
    void stop() { timer_.stop(); }

private:
    QTimer timer_;
    std::multimap<int, std::function<void()>> actions_;
    int completed_ = 0;
};
