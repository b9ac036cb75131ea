#include "sim/emulator_album.h"

#include <algorithm>
#include <bitset>

#include "device/qzm_frame.h"

namespace qzm {

std::string_view AlbumCheckText(AlbumCheck check) {
    switch (check) {
        case AlbumCheck::kOk:
            return "ok";
        case AlbumCheck::kTooShort:
            return "shorter than an empty album";
        case AlbumCheck::kBadMagic:
            return "not an album (bad magic)";
        case AlbumCheck::kBadVersion:
            return "unknown album version";
        case AlbumCheck::kBadCount:
            return "more entries than the store holds";
        case AlbumCheck::kBadSize:
            return "size does not match the entry count";
        case AlbumCheck::kBadSum:
            return "sum check mismatch";
        case AlbumCheck::kBadNumber:
            return "user or data number out of range";
        case AlbumCheck::kDuplicate:
            return "an entry occurs twice";
    }
    return "unknown";
}

std::uint32_t AlbumSum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return sum;
}

std::vector<std::uint8_t> EncodeAlbum(std::span<const AlbumEntry> entries) {
    const std::size_t size = kEmptyAlbumSize + entries.size() * kAlbumEntrySize;
    std::vector<std::uint8_t> album(size, 0);
    auto put32 = [&album](std::size_t at, std::uint32_t value) {
        for (int k = 0; k < 4; ++k)
            album[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
    };
    std::copy(kAlbumMagic.begin(), kAlbumMagic.end(), album.begin());
    put32(8, kAlbumVersion);
    put32(12, static_cast<std::uint32_t>(entries.size()));
    std::size_t at = kAlbumHeaderSize;
    for (const AlbumEntry& entry : entries) {
        album[at] = static_cast<std::uint8_t>(entry.user & 0xFF);
        album[at + 1] = static_cast<std::uint8_t>(entry.user >> 8);
        album[at + 2] = entry.data;
        std::copy(entry.feature.begin(), entry.feature.end(),
                  album.begin() + static_cast<std::ptrdiff_t>(at + 4));
        at += kAlbumEntrySize;
    }
    put32(at, AlbumSum(std::span(album).first(at)));
    return album;
}

AlbumCheck DecodeAlbum(std::span<const std::uint8_t> album, std::vector<AlbumEntry>& entries) {
    if (album.size() < kEmptyAlbumSize)
        return AlbumCheck::kTooShort;
    if (!std::equal(kAlbumMagic.begin(), kAlbumMagic.end(), album.begin()))
        return AlbumCheck::kBadMagic;
    if (GetLE32(&album[8]) != kAlbumVersion)
        return AlbumCheck::kBadVersion;
    const std::uint32_t count = GetLE32(&album[12]);
    if (count > kAlbumMaxEntries)
        return AlbumCheck::kBadCount;
    if (album.size() != kEmptyAlbumSize + count * kAlbumEntrySize)
        return AlbumCheck::kBadSize;
    const std::size_t sumAt = album.size() - kAlbumSumSize;
    if (GetLE32(&album[sumAt]) != AlbumSum(album.first(sumAt)))
        return AlbumCheck::kBadSum;

    std::vector<AlbumEntry> read(count);
    std::bitset<kAlbumMaxEntries> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &album[kAlbumHeaderSize + i * kAlbumEntrySize];
        AlbumEntry& entry = read[i];
        entry.user = GetLE16(p);
        entry.data = p[2];
        if (entry.user >= kAlbumUserCount || entry.data >= kAlbumDataPerUser)
            return AlbumCheck::kBadNumber;
        const std::size_t slot = entry.user * kAlbumDataPerUser + entry.data;
        if (seen.test(slot))
            return AlbumCheck::kDuplicate;
        seen.set(slot);
        std::copy_n(p + 4, kFeatureSize, entry.feature.begin());
    }
    entries = std::move(read);
    return AlbumCheck::kOk;
}

}  // namespace qzm
