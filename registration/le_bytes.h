// Little-endian 32-bit fields of the registration image, album and backup files.
#pragma once

#include <cstdint>
#include <vector>

namespace qzm {

inline void AppendLe32(std::vector<std::uint8_t>& bytes, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
}

inline std::int32_t ReadLe32(const std::uint8_t* bytes) {
    const std::uint32_t bits =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(bits);
}

}  // namespace qzm
