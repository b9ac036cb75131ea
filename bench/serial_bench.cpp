// Round trips through the real serial code against the emulator on a pseudo-terminal.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "device/qzm_device.h"
#include "sim/pty_module_host.h"

using namespace qzm;

namespace {

struct Line {
    Line()
        : module(ModuleIdentity::Extended()), device(PortEnumerationRoots{"/nonexistent", "/nonexistent"}) {
        ok = module.Start() && device.Connection().Open(module.OpenPath(), 921600);
    }
    CPtyModuleHost module;
    CQZMDevice device;
    bool ok = false;
};

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
