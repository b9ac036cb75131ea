// Feeds arbitrary execution answers through parsing, decoding and the image path that shows them.
// Input: flag byte 1, flag byte 2, a control byte (bit 0 five-score expression, bits 1-2 image
// option, bit 3 a pixel buffer narrower than the option's image), then the payload.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/qzm_results.h"
#include "image/image_data.h"
#include "image/img_conv.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qzm;
    if (size < 3)
        return 0;
    const std::uint8_t flags1 = data[0];
    const std::uint8_t flags2 = data[1];
    const bool fiveScores = (data[2] & 0x01) != 0;
    const int option = (data[2] >> 1) & 0x03;
    const bool narrowBuffer = (data[2] & 0x08) != 0;
    const std::span<const std::uint8_t> payload(data + 3, size - 3);

    // The buffer is exactly as large as its plane, so any copy past it is caught.
    CImageData image;
    const int width = option == kImage320x240 ? 320 : option == kImage160x120 ? 160 : 0;
    const int height = width * 3 / 4;
    Require(image.Allocate(narrowBuffer ? width / 2 : width, nullptr, height, kFormatGrey8, 1) == 0);

    CRawExecResult raw;
    Require(ParseExecPayload(payload, flags1, flags2, fiveScores, option, image.Plane(0),
                             image.PlaneCapacity(0), &raw) == 0);
    Require(raw.bodies.size() <= raw.bodyCount && raw.hands.size() <= raw.handCount);
    Require(raw.detection.size() <= raw.faceCount && raw.expression.size() <= raw.faceCount);
    Require(raw.pixelBytes <= image.PlaneCapacity(0) && raw.pixelBytes <= ExecImageSize(option));

    CExecResult result;
    Require(DecodeExecResult(raw, &result) == 0);
    Require(result.faces.size() == raw.faceCount);
    for (const CQZMDetectRes& body : result.bodies)
        Require(body.IsValid());
    // The box arithmetic must hold for any 16-bit centre and size (checked by the sanitizer).
    for (const CFaceResult& face : result.faces)
        Require(face.detection.Box().left <= 0x7FFF + 0x4000);

    SetExecImageSize(raw, &image);
    Require(image.PlaneSize(0) <= image.PlaneCapacity(0));
    CImageData display;
    if (display.Allocate(image.Width(), nullptr, image.Height(), kFormatBgr24, 1) == 0) {
        IMGCONVINFO out = display.Info();
        const CImgConv converter(image.Width(), image.Height(), kFormatGrey8, kFormatBgr24);
        converter.Convert(image.Info(), &out, false);
    }
    return 0;
}
