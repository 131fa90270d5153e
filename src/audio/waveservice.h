#pragma once

#include "audio/wavetypes.h"

#include <cstdint>
#include <functional>
#include <string>

// What a device call came to.
enum class WaveResult {
    Ok,
    Failed,            // the device reported a failure
    NoSuchDevice,      // no device with that number
    Busy,              // another program holds the device
    InvalidHandle,     // 0, closed or never opened
    InvalidBuffer,     // a header without memory, or not a whole number of frames
    UnsupportedFormat, // the device cannot take the format
    StillQueued,       // a header is still queued
    WrongDirection,    // an input call on an output device
    NoAnswer,          // held up by another program, such as a sound server that hangs
};

// The platform's wave devices, numbered from 0 per direction. Calls on a handle that is 0 or
// closed fail and do nothing else.
// Buffers complete in the order they were queued; completion is seen only as the done flag
// in the caller's header.
class WaveService {
public:
    enum class Direction { Input, Output };
    using Handle = std::uintptr_t;
    virtual ~WaveService() = default;

    virtual int deviceCount(Direction direction) = 0;
    // The device's product name, at most 31 characters; empty when it cannot be read.
    virtual std::string productName(Direction direction, int device) = 0;
    // Ok exactly when the device can record or play the format; nothing is opened.
    virtual WaveResult query(Direction direction, int device, const WaveFormat& format) = 0;
    // The platform's words for why the last query or open of a device of this direction failed;
    // empty when it did not fail or the platform gives none.
    virtual std::string lastError(Direction) const { return {}; }
    virtual WaveResult open(Direction direction, Handle& handle, int device,
                            const WaveFormat& format) = 0;
    // Queues the header for playing (output) or filling (input).
    virtual WaveResult queue(Handle handle, WaveHeader& header) = 0;
    // Input: queued buffers start filling.
    virtual WaveResult start(Handle handle) = 0;
    // Stops and returns every queued header marked done; the device stays open and ready. The
    // caller never waits for the device: a device held up by another program is let go.
    virtual WaveResult reset(Handle handle) = 0;
    // Empty while the open device works; otherwise why it stopped moving sound (it failed, or
    // it has not answered for a second), in the platform's words.
    virtual std::string problem(Handle) { return {}; }
    virtual WaveResult close(Handle handle) = 0;

    // Called from the service's own thread right after it has marked a header done, so a thread
    // waiting for that flag can be woken.
    virtual void setCompletionNotifier(std::function<void()> notifier) = 0;
};
