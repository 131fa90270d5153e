#pragma once

#include <cstddef>
#include <cstdint>

// The samples of a sound file mixed down to one channel, as values where -1 … 1 is full scale.
// Louder samples (a float file may hold them) come through as they are, to be clipped once.
class MonoSource {
public:
    virtual ~MonoSource() = default;
    virtual std::uint32_t rate() const = 0;
    // How many frames the file says it holds.
    virtual std::uint64_t frames() const = 0;
    // Fills up to count frames of out; fewer only where the file ends early.
    virtual std::size_t read(float* out, std::size_t count) = 0;
};
