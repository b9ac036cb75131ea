// Image buffer shapes: strides and plane sizes per format, when planes are kept or replaced, and
// that a shape never claims more pixels than its planes hold.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "image/image_data.h"

using namespace qzm;

namespace {

struct ShapeCase {
    int format;
    int width;
    int height;
    std::uint8_t packed;
    int stride;
    std::size_t planeSize;
};

class ImageShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ImageShapeTest, StrideAndPlaneSizeFollowFormatAndRowLayout) {
    const ShapeCase& c = GetParam();
    CImageData image;
    ASSERT_EQ(image.Allocate(c.width, nullptr, c.height, c.format, c.packed), 0);
    EXPECT_EQ(image.Stride(0), c.stride);
    EXPECT_EQ(image.PlaneSize(0), c.planeSize);
    EXPECT_EQ(image.PlaneSize(1), 0u);
    EXPECT_EQ(image.PlaneSize(2), 0u);
    EXPECT_EQ(image.Plane(1), nullptr);
    ASSERT_NE(image.Plane(0), nullptr);
    const std::uint8_t* p = image.Plane(0);
    EXPECT_TRUE(std::all_of(p, p + c.planeSize, [](std::uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(
    EveryListedFormat, ImageShapeTest,
    ::testing::Values(
        // 320 x 240 grey: already a multiple of 4, padded or not.
        ShapeCase{kFormatGrey8, 320, 240, 0, 320, 76800}, ShapeCase{kFormatGrey8, 320, 240, 1, 320, 76800},
        ShapeCase{kFormatGrey8, 161, 2, 0, 164, 328}, ShapeCase{kFormatGrey8, 161, 2, 1, 161, 322},
        ShapeCase{kFormatOneByteA, 5, 3, 0, 8, 24}, ShapeCase{kFormatOneByteB, 5, 3, 1, 5, 15},
        ShapeCase{kFormatOneByteC, 7, 1, 0, 8, 8}, ShapeCase{kFormatColour16, 3, 4, 0, 8, 32},
        ShapeCase{kFormatColour16, 3, 4, 1, 6, 24}, ShapeCase{kFormatColour16Alt, 2, 2, 0, 4, 8},
        // 161 x 3 bytes = 483, rounded up to 484.
        ShapeCase{kFormatBgr24, 161, 10, 0, 484, 4840}, ShapeCase{kFormatBgr24, 161, 10, 1, 483, 4830},
        ShapeCase{kFormatBgr24, 320, 240, 1, 960, 230400}, ShapeCase{kFormatColour32, 3, 3, 0, 12, 36},
        ShapeCase{kFormatColour32, 3, 3, 1, 12, 36}));

TEST(ImageDataTest, SameShapeKeepsPlanesAndOnlyCopiesPixels) {
    CImageData image;
    ASSERT_EQ(image.Allocate(4, nullptr, 2, kFormatGrey8, 1), 0);
    const std::uint8_t* before = image.Plane(0);
    std::vector<std::uint8_t> pixels(8);
    std::iota(pixels.begin(), pixels.end(), 1);
    const std::uint8_t* sources[3] = {pixels.data(), nullptr, nullptr};

    ASSERT_EQ(image.Allocate(4, sources, 2, kFormatGrey8, 1), 0);
    EXPECT_EQ(image.Plane(0), before);
    EXPECT_EQ(std::memcmp(image.Plane(0), pixels.data(), 8), 0);

    // Without sources the pixels stay as they are.
    ASSERT_EQ(image.Allocate(4, nullptr, 2, kFormatGrey8, 1), 0);
    EXPECT_EQ(image.Plane(0), before);
    EXPECT_EQ(image.Plane(0)[7], 8);
}

TEST(ImageDataTest, ChangedShapeGivesFreshZeroedPlanes) {
    struct Change {
        int width, height, format;
        std::uint8_t packed;
    };
    for (const Change& c : {Change{5, 2, kFormatGrey8, 1}, Change{4, 3, kFormatGrey8, 1},
                            Change{4, 2, kFormatOneByteA, 1}, Change{4, 2, kFormatGrey8, 0}}) {
        CImageData image;
        ASSERT_EQ(image.Allocate(4, nullptr, 2, kFormatGrey8, 1), 0);
        std::memset(image.Plane(0), 0xAB, image.PlaneSize(0));
        ASSERT_EQ(image.Allocate(c.width, nullptr, c.height, c.format, c.packed), 0);
        EXPECT_EQ(image.Width(), c.width);
        EXPECT_EQ(image.Height(), c.height);
        EXPECT_EQ(image.Format(), c.format);
        EXPECT_EQ(image.Packed(), c.packed);
        const std::uint8_t* p = image.Plane(0);
        EXPECT_TRUE(std::all_of(p, p + image.PlaneSize(0), [](std::uint8_t b) { return b == 0; }));
    }
}

TEST(ImageDataTest, SourceInsideOwnPlanesSurvivesReallocation) {
    CImageData image;
    std::vector<std::uint8_t> pixels(12);
    std::iota(pixels.begin(), pixels.end(), 1);
    const std::uint8_t* sources[3] = {pixels.data(), nullptr, nullptr};
    ASSERT_EQ(image.Allocate(4, sources, 3, kFormatGrey8, 1), 0);

    // Taking only the first two rows from the image's own plane.
    const std::uint8_t* own[3] = {image.Plane(0), nullptr, nullptr};
    ASSERT_EQ(image.Allocate(4, own, 2, kFormatGrey8, 1), 0);
    EXPECT_EQ(std::memcmp(image.Plane(0), pixels.data(), 8), 0);
}

TEST(ImageDataTest, ShapesThatCannotBeHeldLeaveTheImageEmpty) {
    struct Bad {
        int width, height, format;
    };
    for (const Bad& b : {Bad{-1, 10, kFormatGrey8}, Bad{10, -1, kFormatGrey8}, Bad{10, 10, 0x12345678},
                         Bad{65536, 65536, kFormatBgr24}}) {
        CImageData image;
        ASSERT_EQ(image.Allocate(8, nullptr, 8, kFormatGrey8, 1), 0);
        EXPECT_EQ(image.Allocate(b.width, nullptr, b.height, b.format, 1), -1);
        EXPECT_EQ(image.Plane(0), nullptr);
        EXPECT_EQ(image.Width(), 0);
        EXPECT_EQ(image.Height(), 0);
        EXPECT_EQ(image.PlaneSize(0), 0u);
    }
}

TEST(ImageDataTest, CopyTakesOwnPlanesWithSameShapeAndPixels) {
    CImageData source;
    std::vector<std::uint8_t> pixels(484 * 2, 7);
    const std::uint8_t* sources[3] = {pixels.data(), nullptr, nullptr};
    ASSERT_EQ(source.Allocate(161, sources, 2, kFormatBgr24, 0), 0);

    CImageData copy;
    ASSERT_EQ(copy.Allocate(161, nullptr, 2, kFormatBgr24, 0), 0);
    ASSERT_EQ(copy.Copy(source), 0);
    EXPECT_NE(copy.Plane(0), source.Plane(0));
    EXPECT_EQ(copy.Stride(0), 484);
    EXPECT_EQ(copy.PlaneSize(0), source.PlaneSize(0));
    EXPECT_EQ(std::memcmp(copy.Plane(0), pixels.data(), pixels.size()), 0);

    // Copying itself must not free what it copies from.
    ASSERT_EQ(copy.Copy(copy), 0);
    EXPECT_EQ(copy.Plane(0)[0], 7);

    CImageData assigned = source;
    EXPECT_EQ(std::memcmp(assigned.Plane(0), pixels.data(), pixels.size()), 0);
    CImageData moved = std::move(assigned);
    EXPECT_EQ(moved.Width(), 161);
    EXPECT_EQ(assigned.Plane(0), nullptr);
    EXPECT_EQ(assigned.Width(), 0);
}

TEST(ImageDataTest, SetSizeAcceptsOnlyShapesThatFitThePlanes) {
    CImageData image;
    ASSERT_EQ(image.Allocate(320, nullptr, 240, kFormatGrey8, 1), 0);
    const std::uint8_t* plane = image.Plane(0);

    ASSERT_EQ(image.SetSize(160, 120), 0);
    EXPECT_EQ(image.Plane(0), plane);
    EXPECT_EQ(image.Stride(0), 160);
    EXPECT_EQ(image.PlaneSize(0), 19200u);
    EXPECT_EQ(image.PlaneCapacity(0), 76800u);

    EXPECT_EQ(image.SetSize(321, 240), -1);
    EXPECT_EQ(image.SetSize(-1, 2), -1);
    EXPECT_EQ(image.Width(), 160);
    EXPECT_EQ(image.Height(), 120);

    // Back to the full size: the planes were never shrunk.
    ASSERT_EQ(image.SetSize(320, 240), 0);
    EXPECT_EQ(image.Plane(0), plane);
    ASSERT_EQ(image.SetSize(0, 0), 0);
    EXPECT_EQ(image.PlaneSize(0), 0u);
}

}  // namespace
