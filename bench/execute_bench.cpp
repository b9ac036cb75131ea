// Continuous executions with every function and the 320 x 240 image against the emulator on a
// pseudo-terminal, unpaced and at the 921 600 baud line rate.
#include <benchmark/benchmark.h>

#include "emulated_line.h"

using namespace qzm;

namespace {

void RunExecutions(benchmark::State& state, std::uint32_t paceBaud) {
    EmulatedLine line;
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    CPtyModuleHost& module = line.module;
    CQZMDevice& device = line.device;
    // Settings that let everything in the scene be reported.
    std::uint8_t response = 0;
    const int thresholds[4] = {0, 0, 0, 0};
    const CRange ranges[3] = {{0, 8192}, {0, 8192}, {0, 8192}};
    device.Protocol().SetThreshold(device.Supported(), 1000, thresholds, &response);
    device.SetSizeRange(ranges, &response);
    device.Protocol().SetFaceAngle(device.Supported(), 1000, 2, 1, &response);
    module.SetPacing(paceBaud);

    bool functions[kFunctionCount];
    std::fill(std::begin(functions), std::end(functions), true);
    CImageData image;
    image.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    CExecResult result;
    std::uint64_t wireBytes = 0;
    for (auto _ : state) {
        const std::uint64_t sentBefore = module.BytesSent();
        const std::uint64_t receivedBefore = module.BytesReceived();
        if (device.Execute(kImage320x240, 20, 2, 1, functions, 0, &image, &result, &response) !=
                kProtocolOk ||
            response != 0) {
            state.SkipWithError("execution failed");
            break;
        }
        wireBytes += module.BytesSent() - sentBefore + module.BytesReceived() - receivedBefore;
    }
    state.counters["executions_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["faces"] = static_cast<double>(result.faces.size());
    if (paceBaud > 0 && state.iterations() > 0) {
        // The line's limit: every byte of both frames takes 10 bit times.
        state.counters["line_limit_ms"] = wireBytes * 10.0 / paceBaud * 1000.0 / state.iterations();
    }
}

void BM_ExecuteUnpaced(benchmark::State& state) {
    RunExecutions(state, 0);
}
BENCHMARK(BM_ExecuteUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_ExecutePaced921600(benchmark::State& state) {
    RunExecutions(state, 921600);
}
BENCHMARK(BM_ExecutePaced921600)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
