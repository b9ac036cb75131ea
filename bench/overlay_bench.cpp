// Cost of one repaint of the image page's surface: fill, a 320 x 240 frame fitted into the
// 320 x 320 surface, and the results of a crowded execution with every function on.
#include <benchmark/benchmark.h>

#include <QColor>
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

#include "image/image_data.h"
#include "image/img_conv.h"
#include "present/result_dc.h"

namespace {

using namespace qzm;

// Bodies, hands and faces of a crowded answer, spread over the 640 x 480 module coordinates.
constexpr int kEntriesPerKind = 35;

CQZMDetectRes Detect(int i, int size) {
    CQZMDetectRes r;
    r.x = 40 + (i % 7) * 90;
    r.y = 60 + (i / 7) * 90;
    r.size = size;
    r.confidence = 700;
    r.valid = 1;
    return r;
}

CExecResult CrowdedResult() {
    CExecResult result;
    for (int i = 0; i < kEntriesPerKind; ++i) {
        result.bodies.push_back(Detect(i, 120));
        result.hands.push_back(Detect(i, 40));
        CFaceResult face;
        face.detection = Detect(i, 64);
        face.direction.yaw = -30 + 2 * i;
        face.direction.pitch = 10 - i;
        face.direction.roll = i;
        face.age.age = 20 + i;
        face.gender.gender = i % 2;
        face.gaze.gazeYaw = 15 - i;
        face.gaze.gazePitch = i % 10;
        face.blink.left = 30 * i;
        face.blink.right = 1000 - 25 * i;
        face.expression.topExpression = face.expression.topScore = -128;
        for (int k = 0; k < 5; ++k) {
            face.expression.scores[k] = (i + 17 * k) % 100;
        }
        face.recognition.userId = i % 4 == 0 ? -1 : i;
        face.direction.valid = face.age.valid = face.gender.valid = face.gaze.valid = face.blink.valid =
            face.expression.valid = face.recognition.valid = 1;
        result.faces.push_back(face);
    }
    return result;
}

void BM_RepaintCrowdedFrame(benchmark::State& state) {
    CImageData grey;
    grey.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    for (int i = 0; i < 320 * 240; ++i) {
        grey.Plane(0)[i] = static_cast<std::uint8_t>(i % 251);
    }
    CImageData display;
    display.Allocate(320, nullptr, 240, kFormatBgr24, 1);
    IMGCONVINFO target = display.Info();
    CImgConv(320, 240, kFormatGrey8, kFormatBgr24).Convert(grey.Info(), &target, true);

    const CExecResult result = CrowdedResult();
    std::vector<UserName> users;
    for (int i = 0; i < kEntriesPerKind; ++i) {
        users.emplace_back(i, "User " + std::to_string(i));
    }
    bool flags[kFunctionCount];
    for (bool& flag : flags) {
        flag = true;
    }

    CQZMResultDC dc;
    dc.Create(320, 320);
    dc.SetUserList(users);
    for (auto _ : state) {
        dc.Painter().fillRect(0, 0, 320, 320, QColor(128, 128, 128));
        dc.DrawImage(display);
        dc.DrawResults(flags, 0.5, result);
        benchmark::DoNotOptimize(dc.Surface().constBits());
    }
}
BENCHMARK(BM_RepaintCrowdedFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
