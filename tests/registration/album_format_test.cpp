// The emulator's album format and the delivered empty album ./qzd00.qzb.
#include <gtest/gtest.h>

#include "registration/album_file.h"
#include "registration/album_format.h"
#include "registration_test_support.h"

using namespace qzm;
namespace af = qzm::album_format;

TEST(AlbumFormatTest, DeliveredBackupHoldsTheWellFormedEmptyAlbum) {
    const std::vector<std::uint8_t> empty = af::BuildEmptyAlbum();
    ASSERT_EQ(empty.size(), 44u);
    EXPECT_EQ(std::string(empty.begin(), empty.begin() + 16), std::string("QZMALBUM\1\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(af::ReadUint32(empty.data() + 40), af::Checksum(empty.data(), 40));
    EXPECT_TRUE(af::IsWellFormedAlbum(empty.data(), empty.size()));
    for (std::size_t i = 0; i < empty.size(); ++i) {
        std::vector<std::uint8_t> damaged = empty;
        damaged[i] ^= 0x01;
        EXPECT_FALSE(af::IsWellFormedAlbum(damaged.data(), damaged.size())) << i;
    }

    const std::string file = ReadFile(QZM_DATA_DIR "/qzd00.qzb");
    EXPECT_EQ(file, std::string("\x2C\0\0\0\x01\0\0\0", 8) + std::string(empty.begin(), empty.end()));
    AlbumData album;
    ASSERT_EQ(ReadAlbumBackup(QZM_DATA_DIR "/qzd00.qzb", album), 0);
    EXPECT_EQ(album.flag, af::kAlbumFlag);
    EXPECT_EQ(album.bytes, empty);
}
