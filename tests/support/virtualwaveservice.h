#pragma once

#include "audio/waveservice.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
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
    };
    enum class Op { Query, Open, Prepare, Queue, Start, Reset, Unprepare, Close };

    // One input and one output device that can do the format.
    VirtualWaveService();
    VirtualWaveService(std::vector<Device> inputs, std::vector<Device> outputs);
    ~VirtualWaveService() override;

    int deviceCount(Direction direction) override;
    std::string productName(Direction direction, int device) override;
    int query(Direction direction, int device, const WaveFormat& format) override;
    int open(Direction direction, Handle& handle, int device, const WaveFormat& format) override;
    int prepare(Handle handle, WaveHeader& header) override;
    int queue(Handle handle, WaveHeader& header) override;
    int start(Handle handle) override;
    int reset(Handle handle) override;
    int unprepare(Handle handle, WaveHeader& header) override;
    int close(Handle handle) override;
    void setCompletionNotifier(std::function<void()> notifier) override;

    // Real time: a thread completes each buffer once its sound has taken its time. Otherwise
    // buffers complete only through completeNext.
    void setRealTime(bool on);
    // Completes the oldest queued buffer; false when none is queued or input is not started.
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
    using Key = std::pair<std::size_t, Op>;
    struct Stream {
        bool output = false;
        bool open = false;
        bool started = false;
        std::uint32_t generation = 0;
        std::deque<WaveHeader*> queue;
        Clock::time_point frontDue{};
    };

    static std::size_t slot(Direction d) { return d == Direction::Output ? 1 : 0; }
    // Counts the call and applies a chosen failure; the open stream the handle names, or null.
    Stream* use(Handle handle, Op op);
    bool fails(std::size_t slot, Op op);
    bool supports(Direction direction, int device, const WaveFormat& format) const;
    bool running(const Stream& s) const { return s.open && (s.output || s.started); }
    void completeFront(Stream& stream);
    void notify();
    void pace();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Device> devices_[2];
    Stream streams_[2];
    std::map<Key, int> failures_;
    std::map<Key, int> calls_;
    int doubleOpens_[2] = {0, 0};
    QByteArray capture_;
    int captured_ = 0;
    QByteArray played_;
    bool realTime_ = false;
    bool quit_ = false;
    std::function<void()> notifier_;
    std::thread pacer_;
};
