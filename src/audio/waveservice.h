#pragma once

#include "audio/waveformat.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

enum class WaveDirection { Input, Output };

// One buffer handed to a wave device. The caller owns the header and its memory; while the header
// is queued the device reads (output) or fills (input) the memory from its own thread, and when it
// is finished with it, it sets Done in flags as its last access. Buffers complete in queue order.
struct WaveHeader {
    static constexpr uint32_t Done = 0x01;
    static constexpr uint32_t Prepared = 0x02;
    static constexpr uint32_t InQueue = 0x10;

    char* data = nullptr;
    uint32_t length = 0;
    std::atomic<uint32_t> flags{0};
    uint32_t loops = 0;
    uintptr_t user = 0;

    bool isDone() const { return flags.load(std::memory_order_acquire) & Done; }
};

// An open device; 0 is never a device.
using WaveHandle = uint32_t;
constexpr WaveHandle NoWaveHandle = 0;

// Results of the device calls: 0 is success, anything else a failure. Callers only ever test for
// success; the codes exist for diagnostics.
namespace waveresult {
constexpr int Ok = 0;
constexpr int Error = 1;           // the device reported a failure
constexpr int BadDeviceId = 2;     // no device with that number
constexpr int InvalidHandle = 5;   // 0, closed or never opened
constexpr int InvalidParam = 11;   // a header without memory, or of a length that is no whole frame
constexpr int BadFormat = 32;      // the device cannot take the format
constexpr int StillPlaying = 33;   // the header is still queued
constexpr int Unprepared = 34;     // the header was not prepared
constexpr int WrongDirection = 35; // start on an output device
} // namespace waveresult

// The numbered wave devices of the machine, for recording and playing PCM buffers.
//
// Calls on a handle that is 0 or closed fail and have no other effect. Every call except the
// completion notifier is made from one thread (the keyer's); the device completes buffers on its
// own thread, sets Done in the header and then calls the notifier given to open, so that the
// waiting thread can be woken.
class WaveService {
public:
    using Notifier = std::function<void()>;

    virtual ~WaveService() = default;

    // Device numbers run from 0 to deviceCount - 1.
    virtual int deviceCount(WaveDirection direction) = 0;

    // The device's product name, at most 31 characters.
    virtual int productName(WaveDirection direction, int device, QString& name) = 0;

    // Whether the device can record or play the format; opens nothing.
    virtual int queryFormat(WaveDirection direction, int device, const WaveFormat& format) = 0;

    virtual int open(WaveDirection direction, int device, const WaveFormat& format,
                     Notifier onBufferDone, WaveHandle& handle) = 0;

    virtual int prepareHeader(WaveHandle handle, WaveHeader& header) = 0;

    // Queues the buffer: output plays it, input fills it. Output starts with the first buffer;
    // input starts filling only after start().
    virtual int queueBuffer(WaveHandle handle, WaveHeader& header) = 0;

    virtual int start(WaveHandle handle) = 0;

    // Stops at once; every queued header comes back done and the device takes new buffers.
    virtual int reset(WaveHandle handle) = 0;

    virtual int unprepareHeader(WaveHandle handle, WaveHeader& header) = 0;

    // Closes the device. Headers still queued come back done first, so no device thread touches
    // the caller's memory after close returns.
    virtual int close(WaveHandle handle) = 0;
};
