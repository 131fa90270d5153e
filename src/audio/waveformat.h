#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// The one sound format of the keyer: every message is recorded and played as 16-bit mono PCM at
// 11025 samples per second, in buffers of 1048 samples (about 95 ms).
namespace wave {

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t Channels = 1;
constexpr uint32_t SamplesPerSecond = 11025;
constexpr uint16_t BitsPerSample = 16;
constexpr uint16_t BytesPerSample = BitsPerSample / 8;
constexpr uint16_t BlockAlign = BytesPerSample * Channels;
constexpr uint32_t BytesPerSecond = SamplesPerSecond * BytesPerSample * Channels;

constexpr uint32_t BufferSamples = 1048;
constexpr uint32_t BufferBytes = BufferSamples * BytesPerSample * Channels;

// The sample memory behind each buffer is larger than the buffer itself; only the first
// BufferBytes of a block are ever played or recorded.
constexpr std::size_t BlockBytes = 65590;

// How long the device takes to play or fill the given number of bytes.
constexpr std::chrono::microseconds durationOf(std::size_t bytes) {
    return std::chrono::microseconds(static_cast<long long>(bytes) * 1000000 / BytesPerSecond);
}

} // namespace wave

// The format description handed to a wave device.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;

    bool operator==(const WaveFormat& o) const {
        return formatTag == o.formatTag && channels == o.channels &&
               samplesPerSecond == o.samplesPerSecond &&
               averageBytesPerSecond == o.averageBytesPerSecond && blockAlign == o.blockAlign &&
               bitsPerSample == o.bitsPerSample;
    }
    bool operator!=(const WaveFormat& o) const { return !(*this == o); }
};

// The keyer's format as a device description.
constexpr WaveFormat keyerWaveFormat() {
    WaveFormat f;
    f.formatTag = wave::FormatPcm;
    f.channels = wave::Channels;
    f.samplesPerSecond = wave::SamplesPerSecond;
    f.averageBytesPerSecond = wave::BytesPerSecond;
    f.blockAlign = wave::BlockAlign;
    f.bitsPerSample = wave::BitsPerSample;
    return f;
}
