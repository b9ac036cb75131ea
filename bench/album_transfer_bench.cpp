// Save Album and Load Album of the largest album (816 032 bytes) through the real serial code,
// paced at the 921 600 baud line rate by the emulator.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "device/qzm_device.h"
#include "device/qzm_frame.h"
#include "sim/pty_module_host.h"

using namespace qzm;

namespace {

constexpr std::uint32_t kBaud = 921600;
constexpr std::uint32_t kAlbumSize = CQZMDevice::kMaxAlbumSize;

struct PacedLine {
    PacedLine()
        : module(ModuleIdentity::Extended()), device(PortEnumerationRoots{"/nonexistent", "/nonexistent"}) {
        ok = module.Start() && device.Connection().Open(module.OpenPath(), static_cast<int>(kBaud));
        device.SetDeviceType(CQZMDevice::kExtendedDevice);
        module.SetPacing(kBaud);
    }
    CPtyModuleHost module;
    CQZMDevice device;
    bool ok = false;
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
        const std::uint64_t before = line.module.CommandsHandled();
        std::atomic<std::int64_t> pushedAt{0};
        auto pusher = std::async(std::launch::async, [&] {
            while (line.module.CommandsHandled() == before)
                std::this_thread::yield();
            pushedAt = std::chrono::steady_clock::now().time_since_epoch().count();
            line.module.PushUnsolicited(answer);
        });
        std::uint32_t size = 0;
        std::uint8_t flag = 0, response = 0xFF;
        std::vector<std::uint8_t> album;
        const int code = line.device.SaveAlbum(&size, &flag, &album, &response);
        const auto end = std::chrono::steady_clock::now().time_since_epoch().count();
        pusher.get();
        if (code != kProtocolOk || response != 0 || size != kAlbumSize) {
            state.SkipWithError("save failed");
            break;
        }
        state.SetIterationTime(static_cast<double>(end - pushedAt.load()) * 1e-9);
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
