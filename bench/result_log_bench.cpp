// Cost of one result block on the result log page during continuous execution: the page already
// shows 150 blocks, so every new block also removes the oldest. Each block is realistic: every
// function on, three faces with all estimations. One iteration is the hand-over, the formatting and
// insertion on the window thread, with or without the repaint of the shown page.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>

#include "core/settings_store.h"
#include "test_folder.h"
#include "ui/pages/result_log_dlg.h"

namespace {

using namespace qzm;

CFaceResult Face(int i) {
    CFaceResult face;
    face.detection.x = 120 + 180 * i;
    face.detection.y = 200 + 10 * i;
    face.detection.size = 96 - 8 * i;
    face.detection.confidence = 820;
    face.direction.yaw = -12 + 9 * i;
    face.direction.pitch = 4 - i;
    face.direction.roll = 2 * i;
    face.direction.confidence = 700;
    face.age.age = 24 + 11 * i;
    face.age.confidence = 540;
    face.gender.gender = i % 2;
    face.gender.confidence = 880;
    face.gaze.gazeYaw = 5 - 3 * i;
    face.gaze.gazePitch = -2 + i;
    face.blink.left = 180 + 40 * i;
    face.blink.right = 210 + 30 * i;
    face.expression.topExpression = face.expression.topScore = -128;
    const int scores[3][5] = {{10, 70, 10, 5, 5}, {84, 4, 4, 4, 4}, {20, 20, 40, 10, 10}};
    for (int k = 0; k < 5; ++k) {
        face.expression.scores[k] = scores[i % 3][k];
    }
    face.expression.degree = 30 - 20 * i;
    face.recognition.userId = i == 1 ? -1 : i + 1;
    face.recognition.score = 650 + 50 * i;
    face.detection.valid = face.direction.valid = face.age.valid = face.gender.valid = face.gaze.valid =
        face.blink.valid = face.expression.valid = face.recognition.valid = 1;
    return face;
}

CQZMDetectRes Box(int x, int y, int size) {
    CQZMDetectRes box;
    box.x = x;
    box.y = y;
    box.size = size;
    box.confidence = 760;
    box.valid = 1;
    return box;
}

CExecResult BusyResult() {
    CExecResult result;
    for (int i = 0; i < 3; ++i) {
        result.faces.push_back(Face(i));
        result.bodies.push_back(Box(130 + 180 * i, 400, 300));
    }
    result.hands.push_back(Box(90, 300, 90));
    result.hands.push_back(Box(560, 310, 80));
    return result;
}

// state.range(0): 1 with the repaint of the shown page (what a user waits for), 0 the insertion
// alone (the queued hand-over, formatting, removal of the oldest block and the new block laid out).
void BM_InsertBlockWith150Present(benchmark::State& state) {
    const bool repaint = state.range(0) == 1;
    // No Application.ini here: the limit is its default, 150.
    const ScopedWorkingFolder folder;

    FunctionSwitches functions;
    functions.fill(true);
    CExecResult result = BusyResult();
    {
        CResultLogDlg page{CSettingsStore()};
        page.SetUserList({{1, "Ada Lovelace"}, {3, "Grace Hopper"}});
        page.resize(page.sizeHint());
        page.show();
        for (int i = 0; i < page.LimitLogBlock(); ++i) {
            page.AddResult(functions, &result, 0, 0, i);
        }
        QCoreApplication::processEvents();

        int time = 0;
        for (auto _ : state) {
            result.faces[0].detection.x = 100 + time % 400;
            page.AddResult(functions, &result, 0, 0, time++);
            if (repaint) {
                QCoreApplication::processEvents();
            } else {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            }
        }
        if (page.BlockCount() != page.LimitLogBlock()) {
            state.SkipWithError("the log does not hold its limit of blocks");
        }
    }
}
BENCHMARK(BM_InsertBlockWith150Present)
    ->ArgName("repaint")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
