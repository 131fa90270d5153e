#pragma once

#include "audio/waveservice.h"

#include <atomic>
#include <chrono>
#include <cstdint>

// A wave service that passes every call to the real one and notes when the keyer hands a buffer
// over, when a reset has been carried out and when the device last marked a buffer done. The
// benchmark reads the marks; the program itself never sees this class.
class TimedWaveService final : public WaveService {
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedWaveService(WaveService& inner) : inner_(inner) {}

    // Forgets the marks of the previous measurement.
    void clearMarks();
    // Zero when the event has not happened since clearMarks.
    Clock::time_point firstQueue() const { return load(firstQueue_); }
    Clock::time_point lastQueue() const { return load(lastQueue_); }
    Clock::time_point lastResetDone() const { return load(lastResetDone_); }
    Clock::time_point lastCompletion() const { return load(lastCompletion_); }
    Clock::time_point firstCompletion() const { return load(firstCompletion_); }
    int queued() const { return queued_.load(); }
    int resets() const { return resets_.load(); }

    int deviceCount(Direction direction) override { return inner_.deviceCount(direction); }
    std::string productName(Direction direction, int device) override {
        return inner_.productName(direction, device);
    }
    WaveResult query(Direction direction, int device, const WaveFormat& format) override {
        return inner_.query(direction, device, format);
    }
    WaveResult open(Direction direction, Handle& handle, int device,
                    const WaveFormat& format) override {
        return inner_.open(direction, handle, device, format);
    }
    WaveResult queue(Handle handle, WaveHeader& header) override;
    WaveResult start(Handle handle) override { return inner_.start(handle); }
    WaveResult reset(Handle handle) override;
    WaveResult close(Handle handle) override { return inner_.close(handle); }
    std::string lastError(Direction direction) const override {
        return inner_.lastError(direction);
    }
    std::string problem(Handle handle) override { return inner_.problem(handle); }
    void setCompletionNotifier(std::function<void()> notifier) override;

private:
    using Ticks = std::atomic<Clock::rep>;
    static Clock::time_point load(const Ticks& ticks) {
        return Clock::time_point(Clock::duration(ticks.load(std::memory_order_acquire)));
    }
    static void mark(Ticks& ticks) {
        ticks.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    }

    WaveService& inner_;
    Ticks firstQueue_{0};
    Ticks lastQueue_{0};
    Ticks lastResetDone_{0};
    Ticks lastCompletion_{0}; // written by the device's thread
    Ticks firstCompletion_{0};
    std::atomic<int> queued_{0};
    std::atomic<int> resets_{0};
};
