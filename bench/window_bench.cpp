// The main window against the emulated module (offscreen), measured as a user feels it:
//   idle       CPU time of the whole process while the connected window waits, as % of one core
//   continuous results shown per second with every function and the 320 x 240 image (unpaced),
//              and the longest delay of a timer on the window thread meanwhile (input latency)
//   recording  the same while recording every run with its frame
//   paced      time per continuous run at 921 600 baud against the line time of its bytes
//   statistics window-thread time per run spent on the statistics (counting each run shown, and
//              refreshing the statistics page while it shows), page hidden and shown, and idle
//              CPU with the statistics page shown
// qzm-bench-window [--idle-seconds N] [--run-seconds N] [--paced-runs N]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo_harness.h"
#include "dialog_script.h"
#include "test_folder.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"

using namespace qzm;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Argument(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    }
    return fallback;
}

void StartContinuous(CQZMDemoDlg& dialog) {
    CExecuteDlg& panel = dialog.MainPage().ExecutePanel();
    panel.FunctionSelect().SetFunctions({true, true, true, true, true, true, true, true, true, true});
    panel.SelectImageSize(kImage320x240);
    QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
}

void StopContinuous(CQZMDemoDlg& dialog) {
    QTest::mouseClick(dialog.MainPage().ExecutePanel().ContinuousButton(), Qt::LeftButton);
}

// Runs continuously for the given seconds: the results shown per second and how late a 20 ms timer
// on the window thread came meanwhile (input latency).
void MeasureContinuous(CQZMDemoDlg& dialog, int runSeconds, const char* what) {
    QSignalSpy shown(&dialog, &CQZMDemoDlg::ExecutionShown);
    const std::int64_t statisticsBefore = dialog.StatisticsNanoseconds();
    QElapsedTimer tick;
    std::vector<qint64> lateMs;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (tick.isValid())
            lateMs.push_back(tick.elapsed() - probe.interval());
        tick.restart();
    });
    StartContinuous(dialog);
    probe.start();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(runSeconds * 1000);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const auto results = shown.count();
    probe.stop();
    StopContinuous(dialog);
    // The worst delay and how often the window thread was late beyond 50 ms: on a machine whose
    // cores the emulated module shares, the scheduler alone can hold the thread back now and then.
    std::sort(lateMs.begin(), lateMs.end());
    const qint64 worstLate = lateMs.empty() ? 0 : lateMs.back();
    const qint64 p99Late = lateMs.empty() ? 0 : lateMs[lateMs.size() * 99 / 100];
    const auto over50 = lateMs.end() - std::upper_bound(lateMs.begin(), lateMs.end(), qint64{50});
    std::printf(
        "%s: %.1f results per second shown (%lld in %.1f s); window thread late by at most %lld ms, "
        "99th percentile %lld ms, %lld of %zu ticks late by more than 50 ms\n",
        what, results / seconds, static_cast<long long>(results), seconds, static_cast<long long>(worstLate),
        static_cast<long long>(p99Late), static_cast<long long>(over50), lateMs.size());
    const double statisticsUs = (dialog.StatisticsNanoseconds() - statisticsBefore) / 1000.0;
    std::printf("  statistics on the window thread: %.2f us per run (%.1f ms in all)\n",
                results > 0 ? statisticsUs / static_cast<double>(results) : 0.0, statisticsUs / 1000.0);
}

double IdlePercent(int seconds) {
    QElapsedTimer wall;
    const double cpu = CpuSeconds();
    wall.start();
    // A plain event loop, as the program runs it (QTest::qWait would wake every few milliseconds).
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    return 100.0 * (CpuSeconds() - cpu) / (wall.nsecsElapsed() / 1e9);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int idleSeconds = Argument(argc, argv, "--idle-seconds", 30);
    const int runSeconds = Argument(argc, argv, "--run-seconds", 20);
    const int pacedRuns = Argument(argc, argv, "--paced-runs", 10);

    qzm_test::DemoHarness demo;
    if (!demo.Connect()) {
        std::fprintf(stderr, "cannot connect to the emulated module\n");
        return 1;
    }
    auto dialog = demo.OpenMainWindow();
    if (!dialog) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }

    // Idle: nothing runs; the window thread and every worker should sleep.
    std::printf("idle: %.3f %% of one core over %d s\n", IdlePercent(idleSeconds), idleSeconds);

    // Continuous, unpaced: results per second and the window thread's responsiveness, then the same
    // while recording every run with its frame.
    MeasureContinuous(*dialog, runSeconds, "continuous (unpaced, every function, 320x240)");
    // The same with the statistics page in sight (started on the main page, where the button is),
    // then idle with the page still shown: no refresh may tick once the runs stop.
    StartContinuous(*dialog);
    QTest::mouseClick(&dialog->StatisticsButton(), Qt::LeftButton);
    {
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        const std::int64_t before = dialog->StatisticsNanoseconds();
        QElapsedTimer wall;
        wall.start();
        // A plain event loop, as the program runs it (QTest::qWait sleeps 10 ms whenever the queue
        // is empty, which would hold the runs back to 100 a second).
        QEventLoop running;
        QTimer::singleShot(runSeconds * 1000, &running, &QEventLoop::quit);
        running.exec();
        const double seconds = wall.nsecsElapsed() / 1e9;
        const auto results = shown.count();
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);
        StopContinuous(*dialog);
        std::printf(
            "continuous with the statistics page shown: %.1f results per second shown; statistics on "
            "the window thread %.2f us per run (%.1f ms in %.1f s)\n",
            results / seconds,
            results > 0 ? (dialog->StatisticsNanoseconds() - before) / 1000.0 / double(results) : 0.0,
            (dialog->StatisticsNanoseconds() - before) / 1e6, seconds);
    }
    QTest::mouseClick(&dialog->StatisticsButton(), Qt::LeftButton);
    QTest::qWait(500);  // the last refresh
    std::printf("idle with the statistics page shown: %.3f %% of one core over %d s\n",
                IdlePercent(idleSeconds), idleSeconds);
    QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);
    const TestFolder folder;
    const QString recording = QString::fromStdString((folder.path() / "bench.qzmrec").string());
    CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
    panel.FramesCheck()->setChecked(true);
    {
        qzm_test::DialogScript<COrgFileDlg> files{qzm_test::ChooseFile(recording)};
        QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
    }
    MeasureContinuous(*dialog, runSeconds, "recording with frames, same runs");
    QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
    std::printf("recorded %lld bytes\n", static_cast<long long>(QFileInfo(recording).size()));

    QElapsedTimer wall;
    // Paced at 921 600 baud: each run takes the line time of the bytes it moves, and nothing more.
    constexpr double kBaud = 921600;
    demo.Host().SetPacing(static_cast<std::uint32_t>(kBaud));
    QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
    StartContinuous(*dialog);
    if (!QTest::qWaitFor([&] { return shown.count() >= 1; }, 10000)) {  // the first run starts the count
        std::fprintf(stderr, "no paced run came through\n");
        return 1;
    }
    const std::uint64_t sentBefore = demo.Host().BytesSent();
    const std::uint64_t receivedBefore = demo.Host().BytesReceived();
    const int first = shown.count();
    wall.restart();
    if (!QTest::qWaitFor([&] { return shown.count() >= first + pacedRuns; }, 120000))
        std::fprintf(stderr, "fewer paced runs than asked for came through\n");
    const double pacedSeconds = wall.nsecsElapsed() / 1e9;
    const int runs = shown.count() - first;
    const double bytes =
        double(demo.Host().BytesSent() - sentBefore) + double(demo.Host().BytesReceived() - receivedBefore);
    StopContinuous(*dialog);
    const double perRunMs = 1000.0 * pacedSeconds / runs;
    const double lineMs = 1000.0 * bytes * 10 / kBaud / runs;
    std::printf(
        "paced at 921600 baud: %.1f ms per run against a line time of %.1f ms (%+.2f %%) over %d runs\n",
        perRunMs, lineMs, 100.0 * (perRunMs - lineMs) / lineMs, runs);

    QSignalSpy closed(dialog.get(), &CQZMDemoDlg::Closed);
    dialog->close();
    closed.wait(30000);
    return demo.messenger.Messages().empty() ? 0 : 1;
}
