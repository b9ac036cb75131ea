#include "image/image_data.h"

#include <cstring>
#include <new>
#include <utility>

namespace qzm {

CImageData::CImageData(const CImageData& other) {
    Copy(other);
}

CImageData& CImageData::operator=(const CImageData& other) {
    Copy(other);
    return *this;
}

CImageData::CImageData(CImageData&& other) noexcept {
    *this = std::move(other);
}

CImageData& CImageData::operator=(CImageData&& other) noexcept {
    if (this == &other)
        return *this;
    for (int i = 0; i < kPlaneCount; ++i) {
        planes_[i] = std::move(other.planes_[i]);
        capacities_[i] = other.capacities_[i];
        sizes_[i] = other.sizes_[i];
        strides_[i] = other.strides_[i];
    }
    width_ = other.width_;
    height_ = other.height_;
    format_ = other.format_;
    packed_ = other.packed_;
    other.Clear();
    return *this;
}

int CImageData::PlaneSizes(int width, int height, int format, std::uint8_t packed, int sizes[kPlaneCount]) {
    const bool paddedRows = BytesPerPixel(format) != 0 && packed == 0;
    const CImgConv converter(width, height, format, format);
    return converter.GetConvertImgSize(&sizes[0], &sizes[1], &sizes[2], paddedRows);
}

int CImageData::Allocate(int width, const std::uint8_t* const* sourcePlanes, int height, int format,
                         std::uint8_t packed) {
    if (width != width_ || height != height_ || format != format_ || packed != packed_) {
        int sizes[kPlaneCount];
        if (PlaneSizes(width, height, format, packed, sizes) != 0) {
            Clear();
            return -1;
        }
        // New planes are filled before the old ones go, so a source inside them stays readable.
        std::unique_ptr<std::uint8_t[]> planes[kPlaneCount];
        for (int i = 0; i < kPlaneCount; ++i) {
            if (sizes[i] == 0)
                continue;
            planes[i].reset(new (std::nothrow) std::uint8_t[sizes[i]]());
            if (!planes[i]) {
                Clear();
                return -1;
            }
            if (sourcePlanes != nullptr && sourcePlanes[i] != nullptr)
                std::memcpy(planes[i].get(), sourcePlanes[i], static_cast<std::size_t>(sizes[i]));
        }
        for (int i = 0; i < kPlaneCount; ++i) {
            planes_[i] = std::move(planes[i]);
            capacities_[i] = sizes_[i] = static_cast<std::size_t>(sizes[i]);
            strides_[i] = i == 0 ? RowStride(format, width, packed) : 0;
        }
        width_ = width;
        height_ = height;
        format_ = format;
        packed_ = packed;
        return 0;
    }
    for (int i = 0; i < kPlaneCount; ++i) {
        if (sourcePlanes != nullptr && sourcePlanes[i] != nullptr && planes_[i])
            std::memmove(planes_[i].get(), sourcePlanes[i], sizes_[i]);
    }
    return 0;
}

int CImageData::Copy(const CImageData& from) {
    if (this == &from)
        return 0;
    const std::uint8_t* sources[kPlaneCount] = {from.Plane(0), from.Plane(1), from.Plane(2)};
    // Forget the shape so that Allocate takes new planes even when the shapes are equal.
    Clear();
    return Allocate(from.width_, sources, from.height_, from.format_, from.packed_);
}

int CImageData::SetSize(int width, int height) {
    int sizes[kPlaneCount];
    if (PlaneSizes(width, height, format_, packed_, sizes) != 0)
        return -1;
    for (int i = 0; i < kPlaneCount; ++i) {
        if (static_cast<std::size_t>(sizes[i]) > capacities_[i])
            return -1;
    }
    for (int i = 0; i < kPlaneCount; ++i) {
        sizes_[i] = static_cast<std::size_t>(sizes[i]);
        strides_[i] = i == 0 ? RowStride(format_, width, packed_) : 0;
    }
    width_ = width;
    height_ = height;
    return 0;
}

IMGCONVINFO CImageData::Info() const {
    IMGCONVINFO info;
    for (int i = 0; i < kPlaneCount; ++i) {
        info.planes[i] = planes_[i].get();
        info.strides[i] = strides_[i];
    }
    info.width = width_;
    info.height = height_;
    info.format = format_;
    info.packed = packed_;
    return info;
}

void CImageData::Clear() {
    for (int i = 0; i < kPlaneCount; ++i) {
        planes_[i].reset();
        capacities_[i] = sizes_[i] = 0;
        strides_[i] = 0;
    }
    width_ = height_ = format_ = 0;
    packed_ = 0;
}

}  // namespace qzm
