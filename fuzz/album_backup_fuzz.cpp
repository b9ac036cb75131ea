// Feeds arbitrary album backups to the backup reader, and arbitrary albums (a size field that need
// not match the bytes) to the backup writer. A refused read leaves the caller's album as it was; a
// refused write leaves the existing file as it was; whatever is accepted reads back unchanged.
// Runs in its own temporary working folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "registration/album_file.h"

namespace fs = std::filesystem;
using namespace qzm;
using namespace qzm::fuzz;

namespace {

const std::string kPreviousBackup = std::string("\x20\0\0\0\x05\0\0\0", 8) + std::string(32, 'p');

void Prepare() {
    EnterOwnFolder("qzm-album-backup-fuzz");
    std::ofstream("kept.qzb", std::ios::binary) << kPreviousBackup;
}

void CheckRead(const std::uint8_t* data, std::size_t size) {
    fs::remove("input.qzb");
    std::ofstream("input.qzb", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    AlbumData album{3, 9, {1, 2, 3}};
    if (ReadAlbumBackup("input.qzb", album) != 0) {
        Require(album.size == 3 && album.flag == 9 && album.bytes == std::vector<std::uint8_t>{1, 2, 3},
                "refused backup changed the album");
        return;
    }
    Require(size >= kMinBackupFileSize, "short backup accepted");
    Require(album.size >= 0 && album.size <= kMaxAlbumSize && std::size_t(album.size) + 8 <= size,
            "album size out of range");
    Require(album.flag == data[4], "flag not taken");
    Require(album.bytes.size() == std::size_t(album.size) &&
                (album.size == 0 || std::memcmp(album.bytes.data(), data + 8, album.bytes.size()) == 0),
            "album bytes not taken");
}

// The first four bytes are the album's size field, the rest its bytes.
void CheckWrite(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return;
    }
    AlbumData album;
    std::memcpy(&album.size, data, 4);
    album.flag = data[4];
    album.bytes.assign(data + 5, data + size);
    if (WriteAlbumBackup("kept.qzb", album) != 0) {
        Require(ReadBytes("kept.qzb") == kPreviousBackup, "refused write changed the file");
        return;
    }
    Require(album.size >= kMinBackupAlbumSize && album.size <= kMaxAlbumSize &&
                std::size_t(album.size) <= album.bytes.size(),
            "album that cannot be held was written");
    AlbumData read;
    Require(ReadAlbumBackup("kept.qzb", read) == 0 && read.size == album.size && read.flag == album.flag &&
                std::equal(read.bytes.begin(), read.bytes.end(), album.bytes.begin()),
            "written backup does not read back");
    std::ofstream("kept.qzb", std::ios::binary | std::ios::trunc) << kPreviousBackup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool entered = (Prepare(), true);
    (void)entered;
    CheckRead(data, size);
    CheckWrite(data, size);
    return 0;
}
