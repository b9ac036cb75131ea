// Cost of turning one execution answer into records and of preparing its image for display.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "device/qzm_frame.h"
#include "device/qzm_results.h"
#include "image/image_data.h"
#include "image/img_conv.h"

namespace {

using namespace qzm;

// The most bodies, hands and faces (equal counts) whose entries fit into the 1968-byte room with
// every function on and five-score expressions: 4 + 36 x (8 + 8 + 38) = 1948 bytes.
constexpr int kEntriesPerKind = 36;
constexpr std::size_t kFaceBytes = 8 + 8 + 3 + 3 + 2 + 4 + 6 + 4;

std::vector<std::uint8_t> FullPayload() {
    std::vector<std::uint8_t> payload = {kEntriesPerKind, kEntriesPerKind, kEntriesPerKind, 0};
    for (int i = 0; i < 2 * kEntriesPerKind; ++i) {
        for (int v : {10 + i, 20 + i, 30, 900})
            PutLE16(payload, static_cast<std::uint16_t>(v));
    }
    for (int i = 0; i < kEntriesPerKind; ++i) {
        for (std::size_t b = 0; b < kFaceBytes; ++b)
            payload.push_back(static_cast<std::uint8_t>(i + b));
    }
    PutLE16(payload, 320);
    PutLE16(payload, 240);
    for (int i = 0; i < 320 * 240; ++i)
        payload.push_back(static_cast<std::uint8_t>(i));
    return payload;
}

void BM_ParseAndDecodeFullPayload(benchmark::State& state) {
    const std::vector<std::uint8_t> payload = FullPayload();
    CImageData image;
    image.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    CRawExecResult raw;
    CExecResult result;
    ParseExecPayload(payload, 0xFF, 0x03, true, kImage320x240, image.Plane(0), image.PlaneCapacity(0), &raw);
    if (payload.size() != 1948 + 4 + 76800 || raw.recognition.size() != kEntriesPerKind ||
        raw.pixelBytes != 76800) {
        state.SkipWithError("the payload does not parse whole");
        return;
    }
    for (auto _ : state) {
        ParseExecPayload(payload, 0xFF, 0x03, true, kImage320x240, image.Plane(0), image.PlaneCapacity(0),
                         &raw);
        DecodeExecResult(raw, &result);
        SetExecImageSize(raw, &image);
        benchmark::DoNotOptimize(result.faces.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_ParseAndDecodeFullPayload);

void BM_GreyToBgr320x240(benchmark::State& state) {
    CImageData grey;
    grey.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    for (std::size_t i = 0; i < grey.PlaneSize(0); ++i)
        grey.Plane(0)[i] = static_cast<std::uint8_t>(i);
    CImageData bgr;
    for (auto _ : state) {
        // As the image page does it: the same shape keeps the planes, then one conversion.
        bgr.Allocate(320, nullptr, 240, kFormatBgr24, 1);
        IMGCONVINFO out = bgr.Info();
        CImgConv(320, 240, kFormatGrey8, kFormatBgr24).Convert(grey.Info(), &out, false);
        benchmark::DoNotOptimize(bgr.Plane(0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 320 * 240));
}
BENCHMARK(BM_GreyToBgr320x240);

}  // namespace

BENCHMARK_MAIN();
