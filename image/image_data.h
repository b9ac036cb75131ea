// The image buffer used wherever the program holds an image: module images, display copies,
// registration faces and drawing-surface output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/img_conv.h"

namespace qzm {

// Up to three owned pixel planes with their shape. Width, height and strides always describe
// pixels that fit into the planes, so a reader may walk stride x height bytes of each plane.
class CImageData {
public:
    static constexpr int kPlaneCount = 3;

    CImageData() = default;
    CImageData(const CImageData& other);
    CImageData& operator=(const CImageData& other);
    CImageData(CImageData&& other) noexcept;
    CImageData& operator=(CImageData&& other) noexcept;
    virtual ~CImageData() = default;

    // Gives the image this shape. The planes are kept when width, height, format and packed are
    // all unchanged; otherwise they are allocated anew and zero-filled. Then the source planes
    // (null, or three pointers each null or holding the plane's size) are copied in; they may point
    // into this image's own planes. Returns -1 and leaves the image empty when the shape cannot be
    // held (negative size, unknown format, too large, out of memory).
    int Allocate(int width, const std::uint8_t* const* sourcePlanes, int height, int format,
                 std::uint8_t packed);

    // Becomes a copy of the other image in newly allocated planes.
    int Copy(const CImageData& from);

    // Takes a new width and height for the pixels already in the planes (an answer smaller than
    // the buffer it was read into); format and packed stay, strides follow the width. Refused with
    // -1, nothing changed, when the new shape does not fit into the planes held.
    int SetSize(int width, int height);

    std::uint8_t* Plane(int index) { return IsPlaneIndex(index) ? planes_[index].get() : nullptr; }
    const std::uint8_t* Plane(int index) const {
        return IsPlaneIndex(index) ? planes_[index].get() : nullptr;
    }
    // Bytes the current shape uses in a plane, and bytes allocated for it.
    std::size_t PlaneSize(int index) const { return IsPlaneIndex(index) ? sizes_[index] : 0; }
    std::size_t PlaneCapacity(int index) const { return IsPlaneIndex(index) ? capacities_[index] : 0; }
    int Stride(int index) const { return IsPlaneIndex(index) ? strides_[index] : 0; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Format() const { return format_; }
    std::uint8_t Packed() const { return packed_; }

    // The descriptor the converter takes; its plane pointers stay valid until the next change.
    IMGCONVINFO Info() const;

private:
    static bool IsPlaneIndex(int index) { return index >= 0 && index < kPlaneCount; }
    // Plane sizes of a shape as the converter reports them; simple formats with unpacked rows take
    // stride x height.
    static int PlaneSizes(int width, int height, int format, std::uint8_t packed, int sizes[kPlaneCount]);
    void Clear();

    std::unique_ptr<std::uint8_t[]> planes_[kPlaneCount];
    std::size_t capacities_[kPlaneCount] = {0, 0, 0};
    std::size_t sizes_[kPlaneCount] = {0, 0, 0};
    int width_ = 0;
    int height_ = 0;
    int format_ = 0;
    int strides_[kPlaneCount] = {0, 0, 0};
    std::uint8_t packed_ = 0;
};

}  // namespace qzm
