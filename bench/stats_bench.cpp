// What the run statistics cost: CRunStatistics::Add per run (the window calls it on its thread for
// every execution; it has to stay far below 0.2 ms), and `qzm-cli stats` over a recording of
// 100 000 runs (reading every run back and adding it, then the threshold table; target under 2 s).
#include <benchmark/benchmark.h>

#include <random>

#include "record/recorder.h"
#include "record/recording_reader.h"
#include "record/run_statistics.h"
#include "test_folder.h"

using namespace qzm;

namespace {

// A busy run: every function on, a body, a hand and two faces with every estimate.
ExecutionReport BusyRun(std::mt19937& random, std::int64_t atMs) {
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    ExecutionReport r;
    r.functions.fill(true);
    r.sentWallMs = atMs;
    r.responseTimeMs = uniform(60, 140);
    r.doneWallMs = atMs + r.responseTimeMs;
    CQZMDetectRes box;
    box.x = 100, box.y = 80, box.size = 60, box.confidence = uniform(500, 1000), box.valid = 1;
    r.result.bodies.push_back(box);
    r.result.hands.push_back(box);
    for (int f = 0; f < 2; ++f) {
        CFaceResult face;
        face.detection = box;
        face.direction.yaw = uniform(-30, 30), face.direction.confidence = uniform(0, 1000),
        face.direction.valid = 1;
        face.age.age = uniform(10, 80), face.age.confidence = 500, face.age.valid = 1;
        face.gender.gender = uniform(0, 1), face.gender.confidence = 700, face.gender.valid = 1;
        face.gaze.gazeYaw = uniform(-20, 20), face.gaze.valid = 1;
        face.blink.left = uniform(1, 1000), face.blink.right = uniform(1, 1000), face.blink.valid = 1;
        face.expression.topExpression = uniform(1, 5), face.expression.topScore = uniform(0, 100);
        face.expression.valid = 1;
        face.recognition.userId = uniform(-1, 20), face.recognition.score = uniform(0, 1000);
        face.recognition.valid = 1;
        r.result.faces.push_back(face);
    }
    return r;
}

PersonInView Truth(int i) {
    return i % 3 == 0 ? PersonInView::Stranger() : PersonInView::User(i % 21);
}

void BM_StatisticsAddPerRun(benchmark::State& state) {
    std::mt19937 random(1);
    std::vector<ExecutionReport> runs;
    for (int i = 0; i < 256; ++i)
        runs.push_back(BusyRun(random, 1'700'000'000'000 + i * 100LL));
    const std::vector<UserName> names = {{0, "Ann"}, {1, "Bo"}, {2, "Cy"}};
    CRunStatistics stats;
    std::size_t i = 0;
    for (auto _ : state) {
        stats.Add(runs[i % runs.size()], names, Truth(static_cast<int>(i)));
        ++i;
    }
    benchmark::DoNotOptimize(stats.Runs());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StatisticsAddPerRun)->Unit(benchmark::kNanosecond);

// The recording is written once, outside the measured time.
const std::string& Recording100k() {
    static TestFolder folder;
    static const std::string path = [] {
        const std::string file = (folder.path() / "runs.qzmrec").string();
        CRecorder recorder;
        RecordingSession session;
        session.model = "bench";
        recorder.Start(file, session);
        std::mt19937 random(2);
        for (int i = 0; i < 100'000; ++i)
            recorder.Add(BusyRun(random, 1'700'000'000'000 + i * 100LL), {}, Truth(i));
        recorder.Stop();
        return file;
    }();
    return path;
}

void BM_StatsOfARecording100k(benchmark::State& state) {
    const std::string& path = Recording100k();
    for (auto _ : state) {
        CRecordingReader reader;
        if (reader.Open(path) != kRecordOk) {
            state.SkipWithError("cannot read the recording");
            return;
        }
        CRunStatistics stats;
        reader.ForEachRun([&](const RecordedRun& run) {
            stats.Add(run.report, run.names, run.person);
            return true;
        });
        const ThresholdTable table = stats.Thresholds();
        benchmark::DoNotOptimize(table.ThresholdFor(0.01));
        if (stats.Runs() != 100'000)
            state.SkipWithError("runs missing");
    }
}
BENCHMARK(BM_StatsOfARecording100k)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
