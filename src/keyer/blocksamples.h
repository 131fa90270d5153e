#pragma once

#include <cstddef>
#include <cstdint>

// Multiplies each 16-bit little-endian sample of a block by factor, saturating at the limits of
// the sample range instead of wrapping around.
void scaleBlock(std::uint8_t* block, std::size_t samples, int factor);

// The largest magnitude among a block's 16-bit little-endian samples: 0 to 32768.
int blockPeak(const std::uint8_t* block, std::size_t samples);
// A peak this high means the block clipped: the input or the gain reached the end of the range.
inline constexpr int kClipPeak = 32767;
