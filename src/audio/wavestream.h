#pragma once

#include "audio/waveservice.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

// One open device: the queue of headers that the keyer's thread fills and the device's thread
// completes in order.
class WaveStream {
public:
    WaveStream(WaveDirection direction, const WaveFormat& format,
               WaveService::Notifier onBufferDone);
    virtual ~WaveStream() = default;
    WaveStream(const WaveStream&) = delete;
    WaveStream& operator=(const WaveStream&) = delete;

    WaveDirection direction() const { return direction_; }
    const WaveFormat& format() const { return format_; }
    uint32_t frameBytes() const { return format_.blockAlign ? format_.blockAlign : 1; }

    // The header has been checked by the service: prepared and not queued.
    void queue(WaveHeader& header);

    virtual int start() = 0;
    virtual int reset() = 0;
    // Stops the device's thread and hands back every queued header done.
    virtual int close() = 0;

protected:
    // Both take the lock held on mutex_.
    void completeFront();
    void completeAll();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WaveHeader*> queue_;

private:
    WaveDirection direction_;
    WaveFormat format_;
    WaveService::Notifier onBufferDone_;
};

// The bookkeeping every wave device shares: handles, and the rules for preparing, queueing and
// unpreparing headers. Backends supply the devices.
class WaveServiceBase : public WaveService {
public:
    int open(WaveDirection direction, int device, const WaveFormat& format, Notifier onBufferDone,
             WaveHandle& handle) override;
    int prepareHeader(WaveHandle handle, WaveHeader& header) override;
    int queueBuffer(WaveHandle handle, WaveHeader& header) override;
    int start(WaveHandle handle) override;
    int reset(WaveHandle handle) override;
    int unprepareHeader(WaveHandle handle, WaveHeader& header) override;
    int close(WaveHandle handle) override;

protected:
    // Opens the device; on failure returns null and sets result.
    virtual std::unique_ptr<WaveStream> openStream(WaveDirection direction, int device,
                                                   const WaveFormat& format, Notifier onBufferDone,
                                                   int& result) = 0;

    WaveStream* stream(WaveHandle handle) const;
    // Closes every device still open; backends call it from their destructor, while what their
    // devices use still exists.
    void closeAll();

private:
    std::map<WaveHandle, std::unique_ptr<WaveStream>> streams_;
    WaveHandle nextHandle_ = 1;
};
