// Album files as the program writes them, built in memory for the benchmarks: the module's album,
// then users "USER1", "USER2", ... each with dataPerUser faces registered on 2024/05/17.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/text_codec.h"

namespace qzm {

inline void PutAlbumLE32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// The text in UTF-16LE, zero-filled to fieldBytes.
inline void PutAlbumText(std::vector<std::uint8_t>& bytes, const std::string& text, std::size_t fieldBytes) {
    const std::string units = Utf8ToUtf16LeBytes(text);
    bytes.insert(bytes.end(), units.begin(), units.end());
    bytes.insert(bytes.end(), fieldBytes - units.size(), 0);
}

inline std::vector<std::uint8_t> AlbumFileBytes(const std::vector<std::uint8_t>& album, int users,
                                                int dataPerUser) {
    std::vector<std::uint8_t> bytes;
    PutAlbumLE32(bytes, static_cast<std::uint32_t>(album.size()));
    bytes.insert(bytes.end(), {1, 0, 0, 0});
    bytes.insert(bytes.end(), album.begin(), album.end());
    PutAlbumLE32(bytes, static_cast<std::uint32_t>(users));
    PutAlbumLE32(bytes, static_cast<std::uint32_t>(users));
    for (int id = 0; id < users; ++id) {
        PutAlbumLE32(bytes, static_cast<std::uint32_t>(id));
        PutAlbumText(bytes, "USER" + std::to_string(id + 1), 256);
        PutAlbumLE32(bytes, static_cast<std::uint32_t>(dataPerUser));
        for (int n = 0; n < dataPerUser; ++n) {
            PutAlbumLE32(bytes, static_cast<std::uint32_t>(n));
            PutAlbumText(bytes, "2024/05/17", 32);
            PutAlbumLE32(bytes, 64);
            PutAlbumLE32(bytes, 64);
            PutAlbumLE32(bytes, 0x21000044);
            for (int i = 0; i < 4096; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(i + id + n));
            }
        }
    }
    return bytes;
}

}  // namespace qzm
