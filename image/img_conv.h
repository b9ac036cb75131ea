// Our own image converter: pixel format codes, plane sizes and the one conversion the program needs
// (8-bit grey from the module to 24-bit blue-green-red for display).
#pragma once

#include <cstdint>

namespace qzm {

// Pixel format codes shared by the image buffers, the converter and the drawing surfaces. They are
// held in ints, so the codes with the top bit set are negative there.
constexpr int kFormatGrey8 = 0x21000044;  // images received from the module
constexpr int kFormatOneByteA = 0x21C03044;
constexpr int kFormatOneByteB = static_cast<int>(0x81000004u);
constexpr int kFormatOneByteC = static_cast<int>(0x81C03044u);
constexpr int kFormatColour16 = 0x49050565;  // 16-bit drawing surfaces
constexpr int kFormatColour16Alt = 0x4D051555;
constexpr int kFormatBgr24 = 0x45068888;     // display images, 24-bit drawing surfaces
constexpr int kFormatColour32 = 0x41088888;  // 32-bit drawing surfaces

// Bytes per pixel of plane 0 for the simple (single-plane) formats; 0 for any other code.
int BytesPerPixel(int format);

// Bytes per row of a simple format: packed rows are exactly as wide as the pixels, unpacked rows
// are padded to a multiple of 4 bytes. 0 for other formats or a negative width.
int RowStride(int format, int width, std::uint8_t packed);

// Describes an image to the converter: planes, width, height, format, strides, packed flag.
struct IMGCONVINFO {
    std::uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    int width = 0;
    int height = 0;
    int format = 0;
    int strides[3] = {0, 0, 0};
    std::uint8_t packed = 0;
};

// One conversion of width x height pixels from one format to another.
class CImgConv {
public:
    CImgConv(int width, int height, int sourceFormat, int destinationFormat);
    virtual ~CImgConv() = default;

    // Byte sizes of the destination format's planes (0 for a plane the format does not use), packed
    // rows unless paddedRows. Returns -1 with all sizes 0 for a format that is not known, a negative
    // size, or a plane that would not fit into an int. Null slots are skipped.
    int GetConvertImgSize(int* plane0, int* plane1, int* plane2, bool paddedRows) const;

    // Fills the destination planes from the source planes; flipRows writes the rows bottom-up.
    // Only 8-bit grey to 24-bit blue-green-red is known. Both descriptors must have this object's
    // width, height and formats, plane 0 and rows wide enough for their pixels; otherwise -1 and
    // nothing is written.
    int Convert(const IMGCONVINFO& source, IMGCONVINFO* destination, bool flipRows) const;

private:
    int width_;
    int height_;
    int sourceFormat_;
    int destinationFormat_;
};

}  // namespace qzm
