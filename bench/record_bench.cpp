// What recording costs: executions with every function and the 320 x 240 image against the
// emulator, unpaced, without a recording, recording without frames and recording with frames. The
// CPU time is the whole process's (the writer thread and the emulator included); bytes_per_run is
// the recording's size divided by the runs.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "device/qzm_device.h"
#include "record/recorder.h"
#include "sim/pty_module_host.h"
#include "test_folder.h"

using namespace qzm;

namespace {

enum class Recording { kNone, kWithoutFrames, kWithFrames };

void RunExecutions(benchmark::State& state, Recording recording) {
    CPtyModuleHost module(ModuleIdentity::Extended());
    CQZMDevice device(PortEnumerationRoots{"/nonexistent", "/nonexistent"});
    if (!module.Start() || !device.Connection().Open(module.OpenPath(), 921600)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    device.SetDeviceType(kExtendedDevice);
    TestFolder folder;
    const std::string path = (folder.path() / "bench.qzmrec").string();
    CRecorder recorder;
    RecordingSession session;
    session.frames = recording == Recording::kWithFrames;
    if (recording != Recording::kNone && recorder.Start(path, session) != kRecordOk) {
        state.SkipWithError("cannot record");
        return;
    }
    FunctionSwitches functions;
    functions.fill(true);
    CImageData frame;
    frame.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    ExecutionReport report;
    std::uint8_t response = 0;
    for (auto _ : state) {
        report = ExecutionReport{};
        report.functions = functions;
        report.imageOption = kImage320x240;
        report.status =
            device.Execute(kImage320x240, 20, 2, 1, functions.data(), 0, &frame, &report.result, &response);
        if (report.status != kProtocolOk || response != 0) {
            state.SkipWithError("execution failed");
            break;
        }
        const auto payload = device.Protocol().AnswerData();
        report.payload.assign(payload.begin(), payload.end());
        report.image = frame;
        // Moved, as the window and the command-line tool hand a run over.
        if (recording != Recording::kNone)
            recorder.Add(std::move(report), {});
    }
    if (recording != Recording::kNone) {
        recorder.Stop();
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(path, ec);
        if (!ec && state.iterations() > 0)
            state.counters["bytes_per_run"] =
                static_cast<double>(bytes) / static_cast<double>(state.iterations());
    }
    state.counters["runs_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_NotRecording(benchmark::State& state) {
    RunExecutions(state, Recording::kNone);
}
void BM_RecordingWithoutFrames(benchmark::State& state) {
    RunExecutions(state, Recording::kWithoutFrames);
}
void BM_RecordingWithFrames(benchmark::State& state) {
    RunExecutions(state, Recording::kWithFrames);
}
BENCHMARK(BM_NotRecording)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(BM_RecordingWithoutFrames)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(BM_RecordingWithFrames)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
