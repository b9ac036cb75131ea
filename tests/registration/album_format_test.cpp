// The emulator's album format and the delivered empty album ./qzd00.qzb.
#include <gtest/gtest.h>

#include <vector>

#include "registration/album_file.h"
#include "registration/album_format.h"
#include "registration_test_support.h"

using namespace qzm;
namespace af = qzm::album_format;

namespace {

std::vector<std::uint8_t> AlbumWithEntry(std::uint16_t userNumber, std::uint8_t dataNumber) {
    std::vector<std::uint8_t> album = af::BuildEmptyAlbum();
    album.resize(af::kHeaderSize);
    album[af::kCountOffset] = 1;
    album.insert(album.end(), {static_cast<std::uint8_t>(userNumber),
                               static_cast<std::uint8_t>(userNumber >> 8), dataNumber, 0});
    album.insert(album.end(), af::kFeatureSize, 0x5A);
    album.resize(album.size() + af::kChecksumSize);
    af::WriteUint32(album.data() + album.size() - af::kChecksumSize,
                    af::Checksum(album.data(), album.size() - af::kChecksumSize));
    return album;
}

TEST(AlbumFormatTest, EmptyAlbumLayout) {
    const std::vector<std::uint8_t> album = af::BuildEmptyAlbum();
    ASSERT_EQ(album.size(), 44u);
    EXPECT_EQ(std::string(album.begin(), album.begin() + 8), "QZMALBUM");
    EXPECT_EQ(af::ReadUint32(album.data() + 8), 1u);
    EXPECT_EQ(af::ReadUint32(album.data() + 12), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(album.begin() + 16, album.begin() + 40),
              std::vector<std::uint8_t>(24, 0));
    EXPECT_EQ(af::ReadUint32(album.data() + 40), af::Checksum(album.data(), 40));
    EXPECT_TRUE(af::IsWellFormedAlbum(album.data(), album.size()));
}

TEST(AlbumFormatTest, DamagedAlbumsAreNotWellFormed) {
    const std::vector<std::uint8_t> entry = AlbumWithEntry(499, 9);
    ASSERT_EQ(entry.size(), af::AlbumSize(1));
    EXPECT_TRUE(af::IsWellFormedAlbum(entry.data(), entry.size()));
    for (std::size_t i = 0; i < entry.size(); ++i) {
        std::vector<std::uint8_t> damaged = entry;
        damaged[i] ^= 0x01;
        EXPECT_FALSE(af::IsWellFormedAlbum(damaged.data(), damaged.size())) << i;
    }
    EXPECT_FALSE(af::IsWellFormedAlbum(entry.data(), entry.size() - 1));
    for (const auto& album : {AlbumWithEntry(500, 0), AlbumWithEntry(0, 10)}) {
        EXPECT_FALSE(af::IsWellFormedAlbum(album.data(), album.size()));
    }
}

TEST(AlbumFormatTest, DeliveredBackupIsTheEmptyAlbum) {
    const std::string file = qzm::testing::ReadFileBytes(QZM_DATA_DIR "/qzd00.qzb");
    const std::vector<std::uint8_t> empty = af::BuildEmptyAlbum();
    EXPECT_EQ(file, std::string("\x2C\0\0\0\x01\0\0\0", 8) + std::string(empty.begin(), empty.end()));
    AlbumData album;
    ASSERT_EQ(ReadAlbumBackup(QZM_DATA_DIR "/qzd00.qzb", album), 0);
    EXPECT_EQ(album.size, 44);
    EXPECT_EQ(album.flag, af::kAlbumFlag);
    EXPECT_EQ(album.bytes, empty);
}

}  // namespace
