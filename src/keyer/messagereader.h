#pragma once

#include "audio/wavetypes.h"
#include "keyer/messagefile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class DeviceConverter;

// Yields the samples of an accepted message file as the output device plays them: 16-bit mono at
// 11025 Hz, little-endian. A file in that format is read as it stands; any other is mixed down to
// one channel and resampled as it is read, and lasts as long as the file says.
class MessageReader {
public:
    // The last bytes handed out that can be stepped back over, more than the two blocks a
    // paused playback had queued but not yet sounded.
    static constexpr std::size_t kRewindableBytes = 4 * kWaveBufferBytes;

    explicit MessageReader(OpenedMessage opened);
    ~MessageReader();
    MessageReader(const MessageReader&) = delete;
    MessageReader& operator=(const MessageReader&) = delete;

    // What the whole message yields, cut to kMaxPlayableBytes.
    std::uint32_t playBytes() const { return playBytes_; }
    // Fills up to `bytes` of out; fewer at the end of the message or of a file cut short.
    std::size_t read(std::uint8_t* out, std::size_t bytes);
    // Steps back over the last `bytes` handed out, so that they are read again. False (and
    // nothing moves) when that reaches back further than kRewindableBytes or past the start.
    bool unread(std::size_t bytes);

private:
    std::size_t readConverted(std::uint8_t* out, std::size_t bytes);

    FileHandle file_;
    bool asStored_;
    std::uint32_t playBytes_ = 0;
    std::uint64_t inputBytesLeft_ = 0;
    std::unique_ptr<DeviceConverter> converter_;
    std::vector<std::int16_t> pending_; // converted: kept history, then what is not handed out
    std::size_t cursor_ = 0;            // the next sample of pending_ to hand out
    std::uint64_t handedOut_ = 0;       // bytes, for unread on a file read as it stands
};
