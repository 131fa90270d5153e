#pragma once

#include <cstdint>

// Every multi-byte number in the message files and the configuration file is little-endian,
// whatever the byte order of the machine.

inline void storeLe16(unsigned char* out, std::uint16_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

inline void storeLe32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::uint16_t loadLe16(const unsigned char* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

inline std::uint32_t loadLe32(const unsigned char* in) {
    return std::uint32_t(in[0]) | (std::uint32_t(in[1]) << 8) | (std::uint32_t(in[2]) << 16) |
           (std::uint32_t(in[3]) << 24);
}
