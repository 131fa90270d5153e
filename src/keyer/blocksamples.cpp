#include "keyer/blocksamples.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

void scaleBlock(std::uint8_t* block, std::size_t samples, int factor) {
    constexpr std::int32_t kLowest = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t kHighest = std::numeric_limits<std::int16_t>::max();
    for (std::size_t i = 0; i < samples; ++i) {
        std::uint8_t* at = block + 2 * i;
        const auto sample = static_cast<std::int16_t>(at[0] | (at[1] << 8));
        const std::int32_t scaled = std::clamp(std::int32_t{sample} * factor, kLowest, kHighest);
        const auto bits = static_cast<std::uint16_t>(scaled);
        at[0] = static_cast<std::uint8_t>(bits & 0xFF);
        at[1] = static_cast<std::uint8_t>(bits >> 8);
    }
}

int blockPeak(const std::uint8_t* block, std::size_t samples) {
    int peak = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto sample = static_cast<std::int16_t>(block[2 * i] | (block[2 * i + 1] << 8));
        peak = std::max(peak, std::abs(int{sample}));
    }
    return peak;
}
