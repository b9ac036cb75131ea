// Long run of the windowed program: the main window (offscreen) runs continuous execution with every
// function and 320 x 240 frames against the unpaced emulated module, with the result log written to
// ./Log, and watches for what a long run brings out: messages to the user, growth of resident memory
// or open descriptors, and result blocks missing from the log file.
//
//   qzm-soak [--minutes N] [--sample-seconds S]
//
// N defaults to 10, S to 10 (both may have decimals). Exits 1 when a message was shown, resident
// memory grew more than 5 % after the first minute (the warm-up; half the run for shorter runs),
// the descriptors grew, or the log file holds another number of result blocks than were shown;
// 2 for a usage error or when the window could not be set up.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "demo_harness.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"

namespace {

constexpr double kWarmUpSeconds = 60;
constexpr double kAllowedGrowth = 0.05;

struct Options {
    double minutes = 10;
    double sampleSeconds = 10;
};

struct Sample {
    double seconds = 0;
    long residentKiB = 0;
    int descriptors = 0;
    long results = 0;
};

std::optional<double> PositiveNumber(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0))
        return std::nullopt;
    return value;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return std::nullopt;
        const std::optional<double> value = PositiveNumber(argv[++i]);
        if (!value)
            return std::nullopt;
        if (arg == "--minutes")
            options.minutes = *value;
        else if (arg == "--sample-seconds")
            options.sampleSeconds = *value;
        else
            return std::nullopt;
    }
    return options;
}

long ResidentKiB() {
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
    int count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

// Result blocks in the daily result logs (one per day the run touched), each starting with its
// "Execute " line.
long LoggedResults() {
    long blocks = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it("Log", error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename() == "QZM_Error.log")
            continue;
        std::ifstream log(it->path());
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("Execute ", 0) == 0)
                ++blocks;
        }
    }
    return blocks;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: qzm-soak [--minutes N] [--sample-seconds S]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    qzm_test::DemoHarness demo;
    if (!demo.Connect()) {
        std::fprintf(stderr, "qzm-soak: cannot connect to the emulated module\n");
        return 2;
    }
    demo.controller->SetOutputLogFlag(1);
    auto dialog = demo.OpenMainWindow();
    if (!dialog || !demo.messenger.Messages().empty()) {
        std::fprintf(stderr, "qzm-soak: the main window did not start cleanly\n");
        return 2;
    }
    qzm::CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
    panel.FunctionSelect().SetFunctions(
        qzm::FunctionSwitches{true, true, true, true, true, true, true, true, true, true});
    panel.SelectImageSize(qzm::kImage320x240);

    long shown = 0;
    QObject::connect(dialog.get(), &qzm::CQZMDemoDlg::ExecutionShown, [&shown] { ++shown; });
    std::vector<Sample> samples;
    QElapsedTimer clock;
    auto takeSample = [&] {
        samples.push_back({clock.elapsed() / 1000.0, ResidentKiB(), OpenDescriptors(), shown});
        const Sample& s = samples.back();
        std::printf("%8.1f s  %9ld results  RSS %8ld KiB  fds %3d\n", s.seconds, s.results, s.residentKiB,
                    s.descriptors);
        std::fflush(stdout);
    };
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, takeSample);

    clock.start();
    panel.ContinuousButton()->click();
    takeSample();
    sampler.start(static_cast<int>(options->sampleSeconds * 1000));
    QTimer::singleShot(static_cast<int>(options->minutes * 60 * 1000), &app, [&] {
        sampler.stop();
        takeSample();
        panel.ContinuousButton()->click();  // stops through the wait dialog
        app.quit();
    });
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;

    // The log writes each block on the window thread once the execution was handed over; closing the
    // window writes what is still queued and closes the file.
    QSignalSpy closed(dialog.get(), &qzm::CQZMDemoDlg::Closed);
    dialog->close();
    closed.wait(15000);
    QCoreApplication::processEvents();
    dialog.reset();
    const long logged = LoggedResults();

    const double warmUp = std::min(kWarmUpSeconds, seconds / 2);
    const Sample& base = *std::find_if(samples.begin(), samples.end() - 1,
                                       [warmUp](const Sample& s) { return s.seconds >= warmUp; });
    const Sample& last = samples.back();
    const long maxResident =
        std::max_element(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) {
            return a.residentKiB < b.residentKiB;
        })->residentKiB;
    const int errors = static_cast<int>(demo.messenger.Messages().size());
    const bool memoryGrew = last.residentKiB > base.residentKiB * (1 + kAllowedGrowth);
    const bool descriptorsGrew = last.descriptors > base.descriptors;
    const bool logIncomplete = logged != shown;

    std::printf("\nsoak: %.1f min, %ld results, %.1f results/s\n", seconds / 60, shown, shown / seconds);
    std::printf("RSS KiB: first %ld, after warm-up %ld, last %ld, max %ld (%+.1f %% since warm-up)\n",
                samples.front().residentKiB, base.residentKiB, last.residentKiB, maxResident,
                100.0 * (last.residentKiB - base.residentKiB) / base.residentKiB);
    std::printf("open descriptors: first %d, after warm-up %d, last %d\n", samples.front().descriptors,
                base.descriptors, last.descriptors);
    std::printf("errors (messages shown): %d\n", errors);
    for (const auto& message : demo.messenger.Messages())
        std::printf("  %d: %s\n", message.id, qPrintable(message.text));
    std::printf("result blocks in the log file: %ld of %ld shown\n", logged, shown);
    const bool failed = errors > 0 || memoryGrew || descriptorsGrew || logIncomplete || shown == 0;
    std::printf("%s\n", failed ? "FAILED" : "passed");
    return failed ? 1 : 0;
}
