// The album format of the module emulator. A real module's album is opaque to the program; the
// emulator needs one of its own, and ./qzd00.qzb (the album sent when the PC holds no backup) is
// an empty album in this format. Header-only and std-only, so that the emulator can include it.
//
// Album bytes, little-endian:
//
//   offset      size  field
//   0           8     magic "QZMALBUM"
//   8           4     format version, 1
//   12          4     entry count N (at most 500 users x 10 data = 5000)
//   16          24    reserved, zero
//   40          68*N  entries:
//                       +0  2   user number (0..499)
//                       +2  1   data number (0..9)
//                       +3  1   reserved, zero
//                       +4  64  feature vector
//   40+68*N     4     check sum: the sum of all preceding album bytes, modulo 2^32
//
// An empty album is 44 bytes. The emulator reports its album with the flag byte 1 (the byte after
// the size in the album header), so ./qzd00.qzb is the 8-byte backup header (size 44, flag 1,
// three zero bytes) followed by the 44 album bytes: 52 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qzm::album_format {

inline constexpr std::array<std::uint8_t, 8> kMagic = {'Q', 'Z', 'M', 'A', 'L', 'B', 'U', 'M'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint8_t kAlbumFlag = 1;
inline constexpr std::size_t kVersionOffset = 8;
inline constexpr std::size_t kCountOffset = 12;
inline constexpr std::size_t kReservedSize = 24;
inline constexpr std::size_t kHeaderSize = 16 + kReservedSize;
inline constexpr std::size_t kFeatureSize = 64;
inline constexpr std::size_t kEntrySize = 4 + kFeatureSize;
inline constexpr std::size_t kChecksumSize = 4;
inline constexpr std::size_t kMaxEntries = 5000;
inline constexpr std::size_t kEmptyAlbumSize = kHeaderSize + kChecksumSize;

inline constexpr std::size_t AlbumSize(std::size_t entryCount) {
    return kHeaderSize + kEntrySize * entryCount + kChecksumSize;
}

inline std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += bytes[i];
    }
    return sum;
}

inline std::uint32_t ReadUint32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline void WriteUint32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::vector<std::uint8_t> BuildEmptyAlbum() {
    std::vector<std::uint8_t> album(kEmptyAlbumSize, 0);
    for (std::size_t i = 0; i < kMagic.size(); ++i) {
        album[i] = kMagic[i];
    }
    WriteUint32(album.data() + kVersionOffset, kVersion);
    WriteUint32(album.data() + kHeaderSize, Checksum(album.data(), kHeaderSize));
    return album;
}

// True for album bytes of this format: magic, version, a size that matches the entry count, a
// matching check sum, and user and data numbers in range.
inline bool IsWellFormedAlbum(const std::uint8_t* bytes, std::size_t size) {
    if (size < kEmptyAlbumSize) {
        return false;
    }
    for (std::size_t i = 0; i < kMagic.size(); ++i) {
        if (bytes[i] != kMagic[i]) {
            return false;
        }
    }
    const std::uint32_t count = ReadUint32(bytes + kCountOffset);
    if (ReadUint32(bytes + kVersionOffset) != kVersion || count > kMaxEntries || size != AlbumSize(count)) {
        return false;
    }
    for (std::uint32_t n = 0; n < count; ++n) {
        const std::uint8_t* entry = bytes + kHeaderSize + kEntrySize * n;
        const unsigned userNumber = entry[0] | static_cast<unsigned>(entry[1]) << 8;
        if (userNumber >= 500 || entry[2] >= 10) {
            return false;
        }
    }
    return ReadUint32(bytes + size - kChecksumSize) == Checksum(bytes, size - kChecksumSize);
}

}  // namespace qzm::album_format
