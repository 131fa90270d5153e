#pragma once

#include "audio/waveservice.h"
#include "audio/wavetypes.h"

#include <cstdint>
#include <string>

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
