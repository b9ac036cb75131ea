// What recording costs: executions with every function and the 320 x 240 image against the
// emulator, unpaced. Each iteration runs a block of executions without recording and a block
// recording, one after the other, so that both see the same machine; a recording block ends when
// the writer has committed its runs, so its CPU time holds the writing too. The CPU time is the
// whole process's (the writer thread and the emulator included); bytes_per_run is the recording's
// size divided by the runs recorded. The third case is the floor for keeping frames at all: each
// run's frame bytes appended to a plain file on the calling thread, no database, no log, no sync.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "emulated_line.h"
#include "record/recorder.h"
#include "test_folder.h"

using namespace qzm;

namespace {

// A multiple of the writer's batch, so that a block's last runs go out at once.
constexpr int kBlockRuns = 256;

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

enum class Sink { kRecordingWithoutFrames, kRecordingWithFrames, kFrameBytesOnly };

void RecordingCost(benchmark::State& state, Sink sink) {
    const bool frames = sink != Sink::kRecordingWithoutFrames;
    EmulatedLine line;
    if (!line.ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    CQZMDevice& device = line.device;
    TestFolder folder;
    const std::string path = (folder.path() / "bench.qzmrec").string();
    CRecorder recorder;
    RecordingSession session;
    session.frames = frames;
    const std::string framesPath = (folder.path() / "frames.raw").string();
    const int framesFile = open(framesPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (recorder.Start(path, session) != kRecordOk || framesFile < 0) {
        if (framesFile >= 0)
            close(framesFile);
        state.SkipWithError("cannot record");
        return;
    }
    FunctionSwitches functions;
    functions.fill(true);
    CImageData frame;
    frame.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    // One run as the window and the command-line tool make it; moved to the recorder when recording.
    auto execute = [&](bool record) {
        ExecutionReport report;
        report.functions = functions;
        report.imageOption = kImage320x240;
        std::uint8_t response = 0;
        report.status =
            device.Execute(kImage320x240, 20, 2, 1, functions.data(), 0, &frame, &report.result, &response);
        report.response = response;
        if (report.status != kProtocolOk || response != 0)
            return false;
        const auto payload = device.Protocol().AnswerData();
        report.payload.assign(payload.begin(), payload.end());
        report.image = frame;
        if (!record)
            return true;
        if (sink != Sink::kFrameBytesOnly) {
            recorder.Add(std::move(report), {});
            return true;
        }
        const std::size_t frameBytes = static_cast<std::size_t>(frame.Width()) * frame.Height();
        return write(framesFile, payload.data() + payload.size() - frameBytes, frameBytes) ==
               static_cast<ssize_t>(frameBytes);
    };
    double plainMs = 0;
    double recordingMs = 0;
    std::int64_t recorded = 0;
    for (auto _ : state) {
        for (const bool record : {false, true}) {
            const double before = ProcessCpuMs();
            for (int i = 0; i < kBlockRuns; ++i) {
                if (!execute(record)) {
                    state.SkipWithError("execution failed");
                    return;
                }
            }
            if (record && sink != Sink::kFrameBytesOnly) {
                recorded += kBlockRuns;
                while (recorder.Read().runs < recorded && recorder.Read().recording)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            (record ? recordingMs : plainMs) += ProcessCpuMs() - before;
        }
    }
    recorder.Stop();
    close(framesFile);
    const double runs = static_cast<double>(state.iterations()) * kBlockRuns;
    state.counters["cpu_ms_per_run_not_recording"] = plainMs / runs;
    state.counters["cpu_ms_per_run_recording"] = recordingMs / runs;
    state.counters["overhead_percent"] = 100.0 * (recordingMs - plainMs) / plainMs;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(sink == Sink::kFrameBytesOnly ? framesPath : path, ec);
    if (!ec)
        state.counters["bytes_per_run"] = static_cast<double>(bytes) / runs;
}

void BM_RecordingWithoutFrames(benchmark::State& state) {
    RecordingCost(state, Sink::kRecordingWithoutFrames);
}
void BM_RecordingWithFrames(benchmark::State& state) {
    RecordingCost(state, Sink::kRecordingWithFrames);
}
void BM_FrameBytesOnly(benchmark::State& state) {
    RecordingCost(state, Sink::kFrameBytesOnly);
}
BENCHMARK(BM_RecordingWithoutFrames)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_RecordingWithFrames)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_FrameBytesOnly)->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace

BENCHMARK_MAIN();
