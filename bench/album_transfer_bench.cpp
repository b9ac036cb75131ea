// Save Album and Load Album of the largest album (816 032 bytes) through the real serial code,
// paced at the 921 600 baud line rate by the emulator.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "device/qzm_frame.h"
#include "emulated_line.h"
#include "scripted_answer.h"

using namespace qzm;

namespace {

constexpr std::uint32_t kBaud = 921600;
constexpr std::uint32_t kAlbumSize = CQZMDevice::kMaxAlbumSize;

// The line at the module's pace.
struct PacedLine : EmulatedLine {
    PacedLine() : EmulatedLine(static_cast<int>(kBaud)) { module.SetPacing(kBaud); }
};

// The module's answer is scripted (the emulator's own store is smaller than the largest album):
// the emulator stays silent and the benchmark puts the answer on the paced line.
void BM_SaveLargestAlbumPaced(benchmark::State& state) {
    PacedLine line;
    ModuleFaults silent;
    silent.silent = true;
    line.module.SetFaults(silent);
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::vector<std::uint8_t> data;
    PutLE32(data, kAlbumSize);
    data.insert(data.end(), {1, 0, 0, 0});
    data.resize(8 + kAlbumSize, 0x5A);
    const std::vector<std::uint8_t> answer = BuildResponseFrame(0, data);
    for (auto _ : state) {
        std::uint32_t size = 0;
        std::uint8_t flag = 0, response = 0xFF;
        std::vector<std::uint8_t> album;
        int code = 0;
        const double seconds = TimeScriptedAnswer(
            line.module, answer, [&] { return line.device.SaveAlbum(&size, &flag, &album, &response); },
            &code);
        if (code != kProtocolOk || response != 0 || size != kAlbumSize) {
            state.SkipWithError("save failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["line_time_ms"] = answer.size() * 10.0 / kBaud * 1000.0;
}
BENCHMARK(BM_SaveLargestAlbumPaced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// The emulator takes the frame at the line rate, checks it and answers.
void BM_LoadLargestAlbumPaced(benchmark::State& state) {
    PacedLine line;
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> album(kAlbumSize, 0x5A);
    for (auto _ : state) {
        std::uint8_t response = 0xFF;
        if (line.device.LoadAlbum(kAlbumSize, 1, album.data(), &response) != kProtocolOk) {
            state.SkipWithError("load failed");
            break;
        }
        state.counters["response_code"] =
            response;  // the emulator refuses a block that is no album of its own
    }
    state.counters["line_time_ms"] = (16.0 + kAlbumSize + 6) * 10.0 / kBaud * 1000.0;
}
BENCHMARK(BM_LoadLargestAlbumPaced)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
