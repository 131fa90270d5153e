#pragma once

#include "audio/waveservice.h"
#include "audio/wavetypes.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Tells the thread waiting for buffers that one is done. Shared by a service and its open
// devices, so that the service can change it while devices run.
class CompletionNotifier {
public:
    void set(std::function<void()> notify);
    void operator()() const;

private:
    mutable std::mutex mutex_;
    std::function<void()> notify_;
};

// One open device, whose own thread plays or fills the queued headers in order and marks each
// done from that thread.
class WaveStream {
public:
    using Direction = WaveService::Direction;

    WaveStream(Direction direction, const WaveFormat& format)
        : direction_(direction), format_(format) {}
    virtual ~WaveStream() = default;
    WaveStream(const WaveStream&) = delete;
    WaveStream& operator=(const WaveStream&) = delete;

    Direction direction() const { return direction_; }
    uint32_t frameBytes() const { return format_.blockAlign ? format_.blockAlign : 1; }

    // The header has been checked by the service: it holds whole frames and is not queued.
    virtual void queue(WaveHeader& header) = 0;
    virtual bool hasQueued() = 0;
    // Empty while the device works; otherwise what went wrong with it, in the platform's words.
    virtual std::string problem() = 0;

    virtual WaveResult start() = 0;
    virtual WaveResult reset() = 0;
    // Hands back every queued header done and lets the device go; its thread ends by itself.
    virtual WaveResult close() = 0;

private:
    Direction direction_;
    WaveFormat format_;
};

// The bookkeeping every wave device shares: handles, and the rules for queueing headers.
// Backends supply the devices.
class WaveServiceBase : public WaveService {
public:
    WaveResult open(Direction direction, Handle& handle, int device,
                    const WaveFormat& format) override;
    WaveResult queue(Handle handle, WaveHeader& header) override;
    WaveResult start(Handle handle) override;
    WaveResult reset(Handle handle) override;
    std::string problem(Handle handle) override;
    // Fails while buffers are queued, leaving the device open, as a reset comes first.
    WaveResult close(Handle handle) override;
    void setCompletionNotifier(std::function<void()> notifier) override;

protected:
    // Opens the device; on failure returns null and sets result.
    virtual std::unique_ptr<WaveStream> openStream(Direction direction, int device,
                                                   const WaveFormat& format,
                                                   std::shared_ptr<const CompletionNotifier> notify,
                                                   WaveResult& result) = 0;

    WaveStream* stream(Handle handle) const;
    // Closes every device still open; backends call it from their destructor, while what their
    // devices use still exists.
    void closeAll();

private:
    std::map<Handle, std::unique_ptr<WaveStream>> streams_;
    Handle nextHandle_ = 1;
    const std::shared_ptr<CompletionNotifier> notify_ = std::make_shared<CompletionNotifier>();
};
