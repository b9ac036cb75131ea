// The converter: plane sizes it reports and the grey to blue-green-red conversion, including
// widths whose rows are padded.
#include <gtest/gtest.h>

#include <vector>

#include "image/image_data.h"
#include "image/img_conv.h"

using namespace qzm;

namespace {

TEST(ImgConvTest, PlaneSizesOfListedFormats) {
    struct Case {
        int format, width, height;
        bool padded;
        int size;
    };
    for (const Case& c : {Case{kFormatGrey8, 320, 240, false, 76800}, Case{kFormatGrey8, 161, 1, true, 164},
                          Case{kFormatOneByteA, 3, 3, false, 9}, Case{kFormatOneByteB, 3, 3, false, 9},
                          Case{kFormatOneByteC, 3, 3, true, 12}, Case{kFormatColour16, 3, 2, false, 12},
                          Case{kFormatColour16Alt, 3, 2, true, 16}, Case{kFormatBgr24, 161, 2, false, 966},
                          Case{kFormatBgr24, 161, 2, true, 968}, Case{kFormatColour32, 5, 2, false, 40},
                          Case{kFormatGrey8, 0, 10, false, 0}}) {
        int sizes[3] = {-5, -5, -5};
        const CImgConv converter(c.width, c.height, c.format, c.format);
        EXPECT_EQ(converter.GetConvertImgSize(&sizes[0], &sizes[1], &sizes[2], c.padded), 0);
        EXPECT_EQ(sizes[0], c.size) << std::hex << c.format << std::dec << " " << c.width;
        EXPECT_EQ(sizes[1], 0);
        EXPECT_EQ(sizes[2], 0);
    }
}

TEST(ImgConvTest, UnknownOrOversizedShapesReportNoPlanes) {
    struct Case {
        int format, width, height;
    };
    for (const Case& c : {Case{0x12345678, 4, 4}, Case{kFormatGrey8, -1, 4}, Case{kFormatGrey8, 4, -1},
                          Case{kFormatColour32, 1 << 29, 2}, Case{kFormatBgr24, 50000, 50000}}) {
        int sizes[3] = {-5, -5, -5};
        const CImgConv converter(c.width, c.height, c.format, c.format);
        EXPECT_EQ(converter.GetConvertImgSize(&sizes[0], &sizes[1], &sizes[2], false), -1);
        EXPECT_EQ(sizes[0], 0);
        EXPECT_EQ(sizes[1], 0);
        EXPECT_EQ(sizes[2], 0);
    }
}

// Grey rows with values x + 10 * y, so that a misplaced row or pixel shows.
CImageData GreyImage(int width, int height, std::uint8_t packed) {
    CImageData grey;
    grey.Allocate(width, nullptr, height, kFormatGrey8, packed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            grey.Plane(0)[y * grey.Stride(0) + x] = static_cast<std::uint8_t>(x + 10 * y);
    }
    return grey;
}

TEST(ImgConvTest, GreyBecomesThreeEqualBytesPerPixel) {
    struct Case {
        int width, height;
        std::uint8_t sourcePacked, destinationPacked;
        bool flip;
    };
    // Odd widths make padded rows differ from packed ones on both sides.
    for (const Case& c : {Case{4, 2, 1, 1, false}, Case{5, 3, 1, 1, false}, Case{5, 3, 0, 0, false},
                          Case{7, 2, 1, 0, false}, Case{3, 4, 1, 1, true}, Case{1, 1, 1, 1, false}}) {
        const CImageData grey = GreyImage(c.width, c.height, c.sourcePacked);
        CImageData bgr;
        ASSERT_EQ(bgr.Allocate(c.width, nullptr, c.height, kFormatBgr24, c.destinationPacked), 0);
        IMGCONVINFO out = bgr.Info();
        const CImgConv converter(c.width, c.height, kFormatGrey8, kFormatBgr24);
        ASSERT_EQ(converter.Convert(grey.Info(), &out, c.flip), 0);

        for (int y = 0; y < c.height; ++y) {
            const int sourceRow = c.flip ? c.height - 1 - y : y;
            for (int x = 0; x < c.width; ++x) {
                const std::uint8_t* px = bgr.Plane(0) + y * bgr.Stride(0) + 3 * x;
                const auto expected = static_cast<std::uint8_t>(x + 10 * sourceRow);
                ASSERT_EQ(px[0], expected) << c.width << " " << x << "," << y;
                ASSERT_EQ(px[1], expected);
                ASSERT_EQ(px[2], expected);
            }
            // Row padding stays untouched.
            for (int pad = 3 * c.width; pad < bgr.Stride(0); ++pad)
                ASSERT_EQ(bgr.Plane(0)[y * bgr.Stride(0) + pad], 0);
        }
    }
}

TEST(ImgConvTest, MismatchedDescriptorsWriteNothing) {
    const CImageData grey = GreyImage(4, 4, 1);
    CImageData bgr;
    ASSERT_EQ(bgr.Allocate(4, nullptr, 4, kFormatBgr24, 1), 0);

    struct Case {
        const char* what;
        int width, height, sourceFormat, destinationFormat;
        int sourceStride, destinationStride;
        bool nullDestinationPlane;
    };
    for (const Case& c : {Case{"larger than the images", 5, 4, kFormatGrey8, kFormatBgr24, 4, 12, false},
                          Case{"unsupported pair", 4, 4, kFormatGrey8, kFormatColour32, 4, 12, false},
                          Case{"short source rows", 4, 4, kFormatGrey8, kFormatBgr24, 3, 12, false},
                          Case{"short destination rows", 4, 4, kFormatGrey8, kFormatBgr24, 4, 11, false},
                          Case{"no destination plane", 4, 4, kFormatGrey8, kFormatBgr24, 4, 12, true}}) {
        IMGCONVINFO in = grey.Info();
        in.strides[0] = c.sourceStride;
        IMGCONVINFO out = bgr.Info();
        out.strides[0] = c.destinationStride;
        out.format = c.destinationFormat;
        if (c.nullDestinationPlane)
            out.planes[0] = nullptr;
        const CImgConv converter(c.width, c.height, c.sourceFormat, c.destinationFormat);
        EXPECT_EQ(converter.Convert(in, &out, false), -1) << c.what;
        const std::uint8_t* p = bgr.Plane(0);
        EXPECT_TRUE(std::all_of(p, p + bgr.PlaneSize(0), [](std::uint8_t b) { return b == 0; })) << c.what;
    }
    const CImgConv converter(4, 4, kFormatGrey8, kFormatBgr24);
    EXPECT_EQ(converter.Convert(grey.Info(), nullptr, false), -1);
}

}  // namespace
