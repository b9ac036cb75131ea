// Round trips through the real serial code against the emulator on a pseudo-terminal.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include <atomic>
#include <future>

#include "device/qzm_frame.h"
#include "emulated_line.h"
#include "scripted_answer.h"

using namespace qzm;

namespace {

using Line = EmulatedLine;

void BM_GetVersionRoundTrip(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    VersionInfo version;
    std::uint8_t response = 0;
    for (auto _ : state) {
        if (line.device.GetVersion(&version, &response) != kProtocolOk)
            state.SkipWithError("exchange failed");
    }
}
BENCHMARK(BM_GetVersionRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5);

// An execution answer carrying the 320 x 240 image and nothing else: 76 808 data bytes.
std::vector<std::uint8_t> ImageAnswer() {
    std::vector<std::uint8_t> payload = {0, 0, 0, 0};
    PutLE16(payload, 320);
    PutLE16(payload, 240);
    payload.resize(payload.size() + 76800, 0x80);
    return BuildResponseFrame(0, payload);
}

// Time from the first byte of the answer going onto the line to the exchange's return. The
// emulator stays silent and the benchmark puts the answer on the line once the command is in.
void RunLargeAnswer(benchmark::State& state, std::uint32_t paceBaud) {
    Line line;
    ModuleFaults silent;
    silent.silent = true;
    line.module.SetFaults(silent);
    line.module.SetPacing(paceBaud);
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> answer = ImageAnswer();
    const bool functions[kFunctionCount] = {};
    CImageData image;
    image.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    CExecResult result;
    for (auto _ : state) {
        std::uint8_t response = 0xFF;
        int code = 0;
        const double seconds = TimeScriptedAnswer(
            line.module, answer,
            [&] {
                return line.device.Execute(kImage320x240, 20, 0, 0, functions, 0, &image, &result, &response);
            },
            &code);
        if (code != kProtocolOk || response != 0) {
            state.SkipWithError("exchange failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["answer_bytes"] = static_cast<double>(answer.size());
    if (paceBaud > 0)
        state.counters["line_time_ms"] = answer.size() * 10.0 / paceBaud * 1000.0;
}

void BM_LargeAnswerUnpaced(benchmark::State& state) {
    RunLargeAnswer(state, 0);
}
BENCHMARK(BM_LargeAnswerUnpaced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_LargeAnswerPaced921600(benchmark::State& state) {
    RunLargeAnswer(state, 921600);
}
BENCHMARK(BM_LargeAnswerPaced921600)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// An open port with nothing on the line: what the reader thread costs while the user looks at results.
void BM_IdlePortCpuShare(benchmark::State& state) {
    Line line;
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    double share = 0;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        share = (CpuSeconds() - cpu0) / wall * 100.0;
    }
    state.counters["cpu_percent_of_one_core"] = share;
}
BENCHMARK(BM_IdlePortCpuShare)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
