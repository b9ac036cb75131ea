#include "image/img_conv.h"

#include <climits>
#include <cstddef>

namespace qzm {

int BytesPerPixel(int format) {
    switch (format) {
        case kFormatGrey8:
        case kFormatOneByteA:
        case kFormatOneByteB:
        case kFormatOneByteC:
            return 1;
        case kFormatColour16:
        case kFormatColour16Alt:
            return 2;
        case kFormatBgr24:
            return 3;
        case kFormatColour32:
            return 4;
        default:
            return 0;
    }
}

int RowStride(int format, int width, std::uint8_t packed) {
    const long long bytes = static_cast<long long>(BytesPerPixel(format)) * width;
    if (width < 0 || bytes == 0)
        return 0;
    const long long stride = packed == 0 ? (bytes + 3) / 4 * 4 : bytes;
    return stride > INT_MAX ? 0 : static_cast<int>(stride);
}

CImgConv::CImgConv(int width, int height, int sourceFormat, int destinationFormat)
    : width_(width), height_(height), sourceFormat_(sourceFormat), destinationFormat_(destinationFormat) {}

int CImgConv::GetConvertImgSize(int* plane0, int* plane1, int* plane2, bool paddedRows) const {
    int sizes[3] = {0, 0, 0};
    int result = -1;
    const int stride = RowStride(destinationFormat_, width_, paddedRows ? 0 : 1);
    if (BytesPerPixel(destinationFormat_) != 0 && width_ >= 0 && height_ >= 0) {
        const long long bytes = static_cast<long long>(stride) * height_;
        // A width whose stride overflowed gives stride 0 while the width is not 0.
        if (bytes <= INT_MAX && (stride != 0 || width_ == 0)) {
            sizes[0] = static_cast<int>(bytes);
            result = 0;
        }
    }
    int* slots[3] = {plane0, plane1, plane2};
    for (int i = 0; i < 3; ++i) {
        if (slots[i] != nullptr)
            *slots[i] = sizes[i];
    }
    return result;
}

int CImgConv::Convert(const IMGCONVINFO& source, IMGCONVINFO* destination, bool flipRows) const {
    if (destination == nullptr || sourceFormat_ != kFormatGrey8 || destinationFormat_ != kFormatBgr24)
        return -1;
    if (source.format != sourceFormat_ || destination->format != destinationFormat_)
        return -1;
    if (width_ < 0 || height_ < 0 || source.width != width_ || source.height != height_ ||
        destination->width != width_ || destination->height != height_)
        return -1;
    if (width_ == 0 || height_ == 0)
        return 0;
    const std::uint8_t* from = source.planes[0];
    std::uint8_t* to = destination->planes[0];
    if (from == nullptr || to == nullptr || source.strides[0] < RowStride(kFormatGrey8, width_, 1) ||
        destination->strides[0] < RowStride(kFormatBgr24, width_, 1))
        return -1;

    const auto sourceStride = static_cast<std::size_t>(source.strides[0]);
    const auto destinationStride = static_cast<std::size_t>(destination->strides[0]);
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = from + static_cast<std::size_t>(y) * sourceStride;
        const int outRow = flipRows ? height_ - 1 - y : y;
        std::uint8_t* out = to + static_cast<std::size_t>(outRow) * destinationStride;
        for (int x = 0; x < width_; ++x) {
            out[0] = in[x];
            out[1] = in[x];
            out[2] = in[x];
            out += 3;
        }
    }
    return 0;
}

}  // namespace qzm
