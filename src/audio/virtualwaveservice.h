#pragma once

#include "audio/waveservice.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A wave service without sound hardware: buffers complete when told to, or in real time at
// 11025 samples per second. It keeps what was played, feeds given samples to capture
// (silence after them), and can fail any chosen call. Thread-safe.
class VirtualWaveService final : public WaveService {
public:
    struct Device {
        std::string name;
        bool canDoFormat = true;
        // Not empty: another program holds the device, and this is why opening it fails.
        std::string busyError = {};
    };
    enum class Op { Query, Open, Prepare, Queue, Start, Reset, Unprepare, Close };

    // One input and one output device that can do the format.
    VirtualWaveService();
    VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs);
    ~VirtualWaveService() override;

    int deviceCount(Direction direction) override;
    std::string productName(Direction direction, int device) override;
    int query(Direction direction, int device, const WaveFormat& format) override;
    std::string lastError(Direction direction) const override;
    int open(Direction direction, Handle& handle, int device, const WaveFormat& format) override;
    int prepare(Handle handle, WaveHeader& header) override;
    int queue(Handle handle, WaveHeader& header) override;
    int start(Handle handle) override;
    int reset(Handle handle) override;
    int unprepare(Handle handle, WaveHeader& header) override;
    int close(Handle handle) override;
    void setCompletionNotifier(std::function<void()> notifier) override;

    // Real time: a thread completes each buffer when its sound has taken its time. Otherwise
    // buffers complete only through completeNext.
    void setRealTime(bool on);
    // Completes the oldest queued buffer of the open device. False when none is queued (or,
    // for input, the device has not been started).
    bool completeNext(Direction direction);
    int queuedCount(Direction direction) const;

    // The occurrence-th call of op from now on fails (1 = the next one); 0 makes every call
    // of op fail until clearFailures.
    void failOn(Direction direction, Op op, int occurrence = 1);
    void clearFailures();

    void setCapture(std::vector<std::uint8_t> samples);
    std::vector<std::uint8_t> played() const;
    void clearPlayed();
    // Every call in order, as "output.open", "input.start", … (failed ones end in " failed").
    std::vector<std::string> calls() const;
    bool isOpen(Direction direction) const;
    // Opens of a direction while its device was already open.
    int doubleOpens(Direction direction) const;
    // Output buffers queued only after the one before them had finished sounding.
    int gaps() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Stream {
        bool open = false;
        bool started = false;
        std::uint32_t generation = 0;
        std::deque<WaveHeader*> queue;
        Clock::time_point frontDue{};
        Clock::time_point lastDone{};
        bool everCompleted = false;
    };

    static std::size_t slot(Direction d) { return d == Direction::Input ? 0 : 1; }
    Stream* streamFor(Handle handle);
    bool supports(Direction direction, int device, const WaveFormat& format) const;
    // Why the device cannot be opened by this program now; empty when it can.
    const std::string& busyError(Direction direction, int device) const;
    // 0, or the failure of a query or open of the device (recorded for lastError).
    int deviceResult(Direction direction, int device, const WaveFormat& format);
    bool fails(Direction direction, Op op, const char* name);
    void log(Direction direction, const char* name, bool failed);
    // Completes the front buffer; the caller holds the lock and notifies afterwards.
    void completeFront(Direction direction);
    void scheduleFront(Stream& stream, Clock::time_point from);
    bool running(Direction direction) const;
    void pace();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Device> devices_[2];
    Stream streams_[2];
    std::map<std::pair<std::size_t, Op>, int> failures_;
    std::vector<std::uint8_t> capture_;
    std::size_t captured_ = 0;
    std::vector<std::uint8_t> played_;
    std::vector<std::string> calls_;
    std::string lastError_[2];
    int doubleOpens_[2] = {0, 0};
    int gaps_ = 0;
    bool realTime_ = false;
    bool quit_ = false;
    std::function<void()> notifier_;
    std::thread pacer_;
};
