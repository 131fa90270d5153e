#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The one sound format Tavrin records and plays: PCM, mono, 11025 samples per second, 16 bits.
struct WaveFormat {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSecond = 11025;
    std::uint32_t averageBytesPerSecond = 22050;
    std::uint16_t blockAlign = 2;
    std::uint16_t bitsPerSample = 16;
};

// Two of the message file's 1048-sample blocks: each block handed to the device wakes the
// window's thread, the device thread and the sound server's client thread, and in a message
// those wake-ups cost more than the work they do. At this size the progress still moves about
// five times a second.
inline constexpr int kWaveBufferSamples = 2096;
inline constexpr int kBytesPerSample = 2;
// About 190 ms of sound.
inline constexpr int kWaveBufferBytes = kWaveBufferSamples * kBytesPerSample;
// The size each sample block is allocated with; only the first kWaveBufferBytes are used.
inline constexpr std::size_t kSampleBlockBytes = 65590;

// One buffer handed to a wave device. The device sets kDone from its own thread once the buffer
// has been played or filled, or returned by a reset.
struct WaveHeader {
    static constexpr std::uint32_t kDone = 0x1;
    static constexpr std::uint32_t kInQueue = 0x10;

    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;
    // Bytes the device filled (input).
    std::atomic<std::uint32_t> bytesRecorded{0};
    std::atomic<std::uint32_t> flags{0};
    std::uint32_t loops = 0;
    std::uintptr_t user = 0;

    bool done() const { return (flags.load(std::memory_order_acquire) & kDone) != 0; }
    // The device's last access to the header: InQueue and Done change in one step.
    void markDone() {
        std::uint32_t old = flags.load(std::memory_order_relaxed);
        while (!flags.compare_exchange_weak(old, (old & ~kInQueue) | kDone,
                                            std::memory_order_acq_rel)) {
        }
    }
};

// The two buffers each engine keeps in flight.
enum class Half { A = 0, B = 1 };
inline Half other(Half h) {
    return h == Half::A ? Half::B : Half::A;
}
inline std::size_t index(Half h) {
    return static_cast<std::size_t>(h);
}
