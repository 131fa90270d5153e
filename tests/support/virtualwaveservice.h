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

// A wave service without sound hardware, for the tests and the benchmark: buffers complete when
// told to, or in real time at 11025 samples per second. It keeps what was played, feeds given
// samples to capture (silence after them), counts the calls and can fail any chosen one.
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

    // Real time: each buffer completes once its sound has taken its time. Otherwise buffers
    // complete only through completeNext, which is false when none is queued (or input is not
    // started).
    void setRealTime(bool on) { realTime_ = on; }
    bool completeNext(Direction direction);
    int queuedCount(Direction direction) const;
    // The occurrence-th call of op from now on fails (1 = the next one); 0: every call fails.
    void failOn(Direction direction, Op op, int occurrence = 1);
    void setCapture(QByteArray samples);
    QByteArray played() const;
    bool isOpen(Direction direction) const;
    // Calls of op so far, failed ones included.
    int calls(Direction direction, Op op) const;
    // Opens while the direction's device was already open.
    int doubleOpens(Direction direction) const;

private:
    using Clock = std::chrono::steady_clock;
    using Key = std::pair<bool, Op>; // output?, call
    struct Stream {
        bool open = false;
        bool started = false; // output always is
        std::uint32_t generation = 0;
        std::deque<WaveHeader*> queue;
        Clock::time_point frontDue{};
        int doubleOpens = 0;
    };

    // Counts the call and applies a chosen failure; false when the call is to fail.
    bool allowed(bool output, Op op);
    bool supports(bool output, int device, const WaveFormat& format) const;
    // 0, or why a query or open of the device fails (kept for lastError); the caller holds the
    // lock.
    int deviceResult(bool output, int device, const WaveFormat& format);
    // The open stream a handle names, after allowed(); null for any other handle.
    Stream* use(Handle handle, Op op);
    // Completes the front buffer; the caller holds the lock and notifies after releasing it.
    void completeFront(bool output);
    void notify();

    mutable std::mutex mutex_;
    std::vector<Device> devices_[2];
    std::string lastError_[2];
    Stream streams_[2]; // input, output
    std::map<Key, int> failures_;
    std::map<Key, int> calls_;
    QByteArray capture_;
    int captured_ = 0;
    QByteArray played_;
    std::function<void()> notifier_;
    std::atomic<bool> realTime_{false};
    std::atomic<bool> quit_{false};
    std::thread pacer_;
};
