#pragma once

#include "audio/waveservice.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// A wave service without sound hardware, for the tests and the benchmark. Buffers complete when
// told to, or in real time at 11025 samples per second. Like a real device it refuses a second
// open of an open device and a header queued twice. It keeps what was played, feeds given
// samples to capture (silence after them), counts the calls and can fail any chosen one.
class VirtualWaveService final : public WaveService {
public:
    struct Device {
        std::string name;
        bool canDoFormat = true;
        // Not empty: another program holds the device, and this is why opening it fails.
        std::string busyError = {};
    };
    enum class Op { Query, Open, Queue, Start, Reset, Close };

    VirtualWaveService(); // one input and one output device that can do the format
    VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs);
    ~VirtualWaveService() override;

    int deviceCount(Direction direction) override;
    std::string productName(Direction direction, int device) override;
    WaveResult query(Direction direction, int device, const WaveFormat& format) override;
    std::string lastError(Direction direction) const override;
    WaveResult open(Direction direction, Handle& handle, int device,
                    const WaveFormat& format) override;
    WaveResult queue(Handle handle, WaveHeader& header) override;
    WaveResult start(Handle handle) override;
    WaveResult reset(Handle handle) override;
    WaveResult close(Handle handle) override;
    void setCompletionNotifier(std::function<void()> notifier) override;

    void setRealTime(bool on) { realTime_ = on; }
    // Completes the front buffer; false when none is queued (or input is not started).
    bool completeNext(Direction direction);
    // The occurrence-th call of op from now on fails (1 = the next one).
    void failOn(Direction direction, Op op, int occurrence = 1);
    void setCapture(QByteArray samples);
    QByteArray played() const;
    bool isOpen(Direction direction) const;
    // Calls of op so far, failed ones included.
    int calls(Direction direction, Op op) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Stream {
        bool open = false, started = false; // output is always started
        std::deque<WaveHeader*> queue;
        Clock::time_point frontDue{};
    };

    // Counts the call; false when it is the one chosen to fail.
    bool allowed(bool output, Op op);
    WaveResult deviceResult(bool output, int device, const WaveFormat& format);
    Stream* use(Handle handle, Op op);
    // Under the lock; true when the notifier is to be called.
    bool completeFront(bool output, bool due);
    // Lets go of the lock first: the notifier may call back into the service.
    void notify(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::vector<Device> devices_[2];
    std::string lastError_[2];
    Stream streams_[2]; // input, output
    std::map<std::pair<bool, Op>, int> failures_, calls_;
    QByteArray capture_, played_;
    int captured_ = 0;
    std::function<void()> notifier_;
    std::atomic<bool> realTime_{false}, quit_{false};
    std::thread pacer_;
};
