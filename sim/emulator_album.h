// The emulated module's album: its whole registration store as one block of bytes, which the PC saves to
// album files and loads back without looking inside.
//
// Layout (multi-byte values little-endian):
//   0   8  magic "QZMALBUM"
//   8   4  format version (1)
//   12  4  entry count (at most 500 users x 10 data = 5000)
//   16 24  reserved, zero
//   40 68  per entry: user number (16-bit), data number (8-bit), reserved byte, 64-byte feature vector
//   ..  4  sum check: the 32-bit sum of every byte before it
// An empty album is 44 bytes, a full one 340044.
//
// The registration layer on the PC keeps album files in the same layout; the constants here are the
// emulator's own copy so that the emulator stays buildable on its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qzm {

constexpr std::string_view kAlbumMagic = "QZMALBUM";
constexpr std::uint32_t kAlbumVersion = 1;
constexpr std::size_t kAlbumHeaderSize = 40;  // magic, version, count, reserved
constexpr std::size_t kAlbumReservedSize = 24;
constexpr std::size_t kAlbumEntrySize = 68;
constexpr std::size_t kAlbumSumSize = 4;
constexpr std::size_t kEmptyAlbumSize = kAlbumHeaderSize + kAlbumSumSize;  // 44

constexpr int kAlbumUserCount = 500;   // user numbers 0..499
constexpr int kAlbumDataPerUser = 10;  // data numbers 0..9
constexpr std::size_t kAlbumMaxEntries = kAlbumUserCount * kAlbumDataPerUser;
constexpr std::size_t kAlbumMaxSize = kEmptyAlbumSize + kAlbumEntrySize * kAlbumMaxEntries;  // 340044
constexpr std::size_t kFeatureSize = 64;

using FeatureVector = std::array<std::uint8_t, kFeatureSize>;

struct AlbumEntry {
    std::uint16_t user = 0;
    std::uint8_t data = 0;
    FeatureVector feature{};

    bool operator==(const AlbumEntry&) const = default;
};

// Why an album was refused; kOk when it was taken.
enum class AlbumCheck {
    kOk,
    kTooShort,  // fewer bytes than an empty album
    kBadMagic,
    kBadVersion,
    kBadCount,  // more entries than the store holds
    kBadSize,   // the byte count is not what the entry count needs
    kBadSum,
    kBadNumber,  // a user number above 499 or a data number above 9
    kDuplicate,  // the same user and data number twice
};

std::string_view AlbumCheckText(AlbumCheck check);

// The album of these entries, in the order given.
std::vector<std::uint8_t> EncodeAlbum(std::span<const AlbumEntry> entries);

// Reads an album; entries is only written when the result is kOk.
AlbumCheck DecodeAlbum(std::span<const std::uint8_t> album, std::vector<AlbumEntry>& entries);

// The 32-bit sum of the bytes (the album's sum check over everything before it).
std::uint32_t AlbumSum(std::span<const std::uint8_t> bytes);

}  // namespace qzm
