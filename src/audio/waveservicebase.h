#pragma once

#include "audio/completionnotifier.h"
#include "audio/waveservice.h"
#include "audio/wavestream.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

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
