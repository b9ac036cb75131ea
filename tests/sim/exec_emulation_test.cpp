// Executions against the emulator, read back with the PC's own payload parser and checked against the scene.
#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "sim/module_emulator.h"
#include "sim/scene_painter.h"
#include "sim_test_support.h"

namespace qzm {
namespace {

using namespace simtest;

// Bytes of one face entry for these flags, from the wire layout.
std::size_t ExpectedFaceBytes(std::uint8_t f1, std::uint8_t f2, bool fiveScores) {
    static constexpr std::size_t kPart1[8] = {0, 0, 8, 8, 3, 3, 2, 4};
    std::size_t n = 0;
    for (int bit = 2; bit < 8; ++bit)
        n += (f1 >> bit & 1) ? kPart1[bit] : 0;
    n += (f2 & 1) ? (fiveScores ? 6 : 3) : 0;
    n += (f2 & 2) ? 4 : 0;
    return n;
}

TEST(EmulatedExecution, RequestVariants) {
    struct Case {
        ModuleIdentity identity;
        std::uint8_t code;
        Bytes data;
        std::uint8_t expected;
    } cases[] = {
        {ModuleIdentity::Basic(), kCmdExecute, {0xFF, 0x03, 1}, kRespOk},
        {ModuleIdentity::Basic(), kCmdExecute, {0, 0, 0}, kRespOk},
        {ModuleIdentity::Extended(), kCmdExecute, {0xFF, 0x03, 2}, kRespOk},
        {ModuleIdentity::Extended(), kCmdExecuteEx, {0xFF, 0x03, 2}, kRespOk},
        {ModuleIdentity::Basic(), kCmdExecuteEx, {0xFF, 0x03, 0}, kRespUnknownCommand},
        {ModuleIdentity::Basic(), kCmdExecute, {0xFF, 0x03}, kRespBadLength},
        {ModuleIdentity::Basic(), kCmdExecute, {0xFF, 0x03, 0, 0}, kRespBadLength},
        {ModuleIdentity::Basic(), kCmdExecute, {0xFF, 0x03, 3}, kRespBadParameter},
        {ModuleIdentity::Extended(), kCmdExecuteEx, {0x00, 0x04, 0}, kRespBadParameter},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator(c.identity);
        ModuleReply reply = emulator.Handle(Frame(c.code, c.data));
        EXPECT_EQ(reply.responseCode, c.expected) << int(c.code) << " " << c.data.size();
        EXPECT_EQ(reply.resultPayload, c.expected == kRespOk);
        if (c.expected != kRespOk) {
            EXPECT_TRUE(reply.data.empty());
        }
    }
}

TEST(EmulatedExecution, PayloadLayoutFollowsTheFlags) {
    struct Case {
        std::uint8_t f1, f2;
        int option;
        bool fiveScores;
    } cases[] = {
        {0x00, 0x00, 0, false}, {0x00, 0x00, 2, true},  {0x01, 0x00, 0, false}, {0x02, 0x00, 1, false},
        {0x10, 0x00, 0, true},  {0x80, 0x00, 0, false}, {0x00, 0x01, 0, false}, {0x00, 0x01, 0, true},
        {0x07, 0x02, 2, false}, {0xFF, 0x03, 1, false}, {0xFC, 0x03, 2, true},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator(c.fiveScores ? ModuleIdentity::Extended() : ModuleIdentity::Basic());
        emulator.SetSettings(WideOpenSettings());
        emulator.SetSceneTime(20.0);  // two people raise hands then
        ParsedExec exec = RunExec(emulator, c.f1, c.f2, c.option, c.fiveScores);
        ASSERT_EQ(exec.responseCode, kRespOk);
        const CRawExecResult& raw = exec.raw;
        SCOPED_TRACE(testing::Message()
                     << "flags " << int(c.f1) << "/" << int(c.f2) << " option " << c.option);
        EXPECT_EQ(raw.bodyCount == 0, (c.f1 & 1) == 0);
        EXPECT_EQ(raw.handCount == 0, (c.f1 & 2) == 0);
        EXPECT_EQ(raw.faceCount == 0, (c.f1 & 0xFC) == 0 && c.f2 == 0);
        const std::size_t image = c.option == 0 ? 0 : 4 + ExecImageSize(c.option);
        EXPECT_EQ(exec.length, 4 + 8u * (raw.bodyCount + raw.handCount) +
                                   raw.faceCount * ExpectedFaceBytes(c.f1, c.f2, c.fiveScores) + image);
        // Every counted entry arrived whole, with every part the flags asked for, and the image.
        EXPECT_EQ(raw.bodies.size() + raw.hands.size(), raw.bodyCount + raw.handCount);
        EXPECT_EQ(raw.detection.size(), (c.f1 & 0x04) ? raw.faceCount : 0u);
        EXPECT_EQ(raw.expression.size(), (c.f2 & 0x01) ? raw.faceCount : 0u);
        EXPECT_EQ(raw.recognition.size(), (c.f2 & 0x02) ? raw.faceCount : 0u);
        EXPECT_EQ(raw.imageWidth, c.option == 1 ? 320 : c.option == 2 ? 160 : 0);
        EXPECT_EQ(raw.pixelBytes, ExecImageSize(c.option));
    }
}
TEST(EmulatedExecution, RecordsAreThoseOfTheScene) {
    for (bool fiveScores : {false, true}) {
        CModuleEmulator emulator(ModuleIdentity::Extended());
        emulator.SetSettings(WideOpenSettings());
        emulator.SetFacesInView(3);
        const SceneSnapshot scene = emulator.SceneNow();
        ParsedExec exec = RunExec(emulator, kAllFlags1, kAllFlags2, 0, fiveScores);
        ASSERT_EQ(exec.result.faces.size(), 3u);
        ASSERT_EQ(exec.result.bodies.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(exec.result.bodies[i].y, scene.bodies[i].y, 0.5);
            EXPECT_EQ(exec.result.bodies[i].confidence, scene.bodies[i].confidence);
            const SceneFace& s = scene.faces[i];
            const CFaceResult& f = exec.result.faces[i];
            EXPECT_NEAR(f.detection.x, s.x, 0.5);
            EXPECT_NEAR(f.detection.size, s.size, 0.5);
            EXPECT_EQ(f.direction.yaw, s.yaw);
            EXPECT_EQ(f.direction.roll, s.roll);
            EXPECT_EQ(f.age.age, s.age);
            EXPECT_EQ(f.gender.gender, s.gender);
            EXPECT_EQ(f.gaze.gazePitch, s.gazePitch);
            EXPECT_EQ(f.blink.right, s.blinkRight);
            EXPECT_EQ(f.expression.degree, s.expressionDegree);
            const auto& sc = s.expressionScores;
            const int top = static_cast<int>(std::max_element(sc.begin(), sc.end()) - sc.begin());
            // Execute sends the strongest expression, ExecuteEx the five scores; the rest is -128.
            EXPECT_EQ(f.expression.topExpression, fiveScores ? kNotPossible : top + 1);
            EXPECT_EQ(f.expression.topScore, fiveScores ? kNotPossible : sc[top]);
            EXPECT_EQ(f.expression.scores[4], fiveScores ? sc[4] : kNotPossible);
            EXPECT_EQ(f.recognition.userId, -127) << "nothing is registered";
        }
    }
}
TEST(EmulatedExecution, FreeSceneMovesBlinksAndChangesExpression) {
    CModuleEmulator emulator;  // the emulator's own settings: yaw ±30, roll ±15, threshold 500
    std::set<std::size_t> faceCounts;
    std::set<int> expressions;
    std::set<int> xs;
    bool sawClosed = false;
    for (int i = 0; i < 400; ++i) {
        ParsedExec exec = RunExec(emulator, kAllFlags1, kAllFlags2, 0, false);
        faceCounts.insert(exec.result.faces.size());
        for (const CFaceResult& f : exec.result.faces) {
            EXPECT_GE(f.detection.confidence, 500);
            expressions.insert(f.expression.topExpression);
            sawClosed |= f.blink.left >= 900;
            xs.insert(f.detection.x);
        }
    }
    EXPECT_TRUE(faceCounts.count(1)) << "registration needs moments with one face";
    EXPECT_GE(*faceCounts.rbegin(), 2u);
    EXPECT_GE(expressions.size(), 4u);
    EXPECT_TRUE(sawClosed);
    EXPECT_GT(xs.size(), 50u);
}
TEST(EmulatedExecution, SameSeedSameAnswersOtherSeedOthers) {
    auto run = [](std::uint64_t seed) {
        CModuleEmulator emulator;
        emulator.SetSceneSeed(seed);
        std::vector<Bytes> answers;
        for (int i = 0; i < 20; ++i)
            answers.push_back(emulator.Handle(Frame(kCmdExecute, {kAllFlags1, kAllFlags2, 2})).data);
        return answers;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}
TEST(EmulatedExecution, FacesTurnedFarAwayHaveNoEstimates) {
    CModuleEmulator emulator;
    emulator.SetSettings(WideOpenSettings());
    int farAway = 0;
    for (int i = 0; i < 400; ++i) {
        for (const CFaceResult& f : RunExec(emulator, kAllFlags1, kAllFlags2, 0, false).result.faces) {
            const int yaw = std::abs(f.direction.yaw);
            farAway += yaw > 60;
            EXPECT_EQ(f.age.age == kNotPossible, yaw > 60) << yaw;
            EXPECT_EQ(f.expression.topExpression == kNotPossible, yaw > 60) << yaw;
            EXPECT_EQ(f.gaze.gazeYaw == kNotPossible, yaw > 45) << yaw;
            EXPECT_EQ(f.blink.left == kNotPossible, yaw > 45) << yaw;
        }
    }
    EXPECT_GT(farAway, 0);
}
TEST(EmulatedExecution, SettingsDecideWhatIsReported) {
    CModuleEmulator probe;
    probe.SetFacesInView(2);
    const SceneSnapshot scene = probe.SceneNow();
    struct Scene {
        int lowFace;             // the lower confidence of the two faces
        std::uint16_t faceSize;  // both faces have the same size
        int lowBody;
    } at{std::min(scene.faces[0].confidence, scene.faces[1].confidence),
         static_cast<std::uint16_t>(std::lround(scene.faces[0].size)),
         std::min(scene.bodies[0].confidence, scene.bodies[1].confidence)};
    // Just above the lower confidence, only the other one stays (none when both are equal).
    const std::size_t facesAboveLow = scene.faces[0].confidence != scene.faces[1].confidence ? 1 : 0;
    const std::size_t bodiesAboveLow = scene.bodies[0].confidence != scene.bodies[1].confidence ? 1 : 0;

    struct Case {
        const char* name;
        void (*change)(StoredSettings&, const Scene&);
        std::size_t faces;
        std::size_t bodies;
    } cases[] = {
        {"wide open", [](StoredSettings&, const Scene&) {}, 2, 2},
        {"face threshold at the lower confidence",
         [](StoredSettings& s, const Scene& c) { s.thresholds[2] = static_cast<std::uint16_t>(c.lowFace); },
         2, 2},
        {"face threshold just above it",
         [](StoredSettings& s, const Scene& c) {
             s.thresholds[2] = static_cast<std::uint16_t>(c.lowFace + 1);
         },
         facesAboveLow, 2},
        {"face threshold 1000", [](StoredSettings& s, const Scene&) { s.thresholds[2] = 1000; }, 0, 2},
        {"face minimum at the size", [](StoredSettings& s, const Scene& c) { s.sizeRanges[4] = c.faceSize; },
         2, 2},
        {"face minimum above the size",
         [](StoredSettings& s, const Scene& c) {
             s.sizeRanges[4] = static_cast<std::uint16_t>(c.faceSize + 1);
         },
         0, 2},
        {"face maximum at the size", [](StoredSettings& s, const Scene& c) { s.sizeRanges[5] = c.faceSize; },
         2, 2},
        {"face maximum below the size",
         [](StoredSettings& s, const Scene& c) {
             s.sizeRanges[5] = static_cast<std::uint16_t>(c.faceSize - 1);
         },
         0, 2},
        {"body threshold just above the lower body",
         [](StoredSettings& s, const Scene& c) {
             s.thresholds[0] = static_cast<std::uint16_t>(c.lowBody + 1);
         },
         2, bodiesAboveLow},
        {"body maximum below the bodies", [](StoredSettings& s, const Scene&) { s.sizeRanges[1] = 100; }, 2,
         0},
        {"minimum above maximum",
         [](StoredSettings& s, const Scene&) { s.sizeRanges[4] = 500, s.sizeRanges[5] = 50; }, 0, 2},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator;
        emulator.SetFacesInView(2);
        StoredSettings s = WideOpenSettings();
        c.change(s, at);
        emulator.SetSettings(s);
        ParsedExec exec = RunExec(emulator, kAllFlags1, kAllFlags2, 0, false);
        EXPECT_EQ(exec.result.faces.size(), c.faces) << c.name;
        EXPECT_EQ(exec.result.bodies.size(), c.bodies) << c.name;
    }
}

TEST(EmulatedExecution, FaceAngleRangesLimitYawAndRoll) {
    struct Case {
        std::uint8_t yawCode, rollCode;
        int yawLimit, rollLimit;
    } cases[] = {{0, 0, 30, 15}, {1, 0, 60, 15}, {2, 0, 90, 15}, {0, 1, 30, 45}, {2, 1, 90, 45}};
    for (const Case& c : cases) {
        CModuleEmulator emulator;
        StoredSettings s = WideOpenSettings();
        s.yawCode = c.yawCode;
        s.rollCode = c.rollCode;
        emulator.SetSettings(s);
        int maxYaw = 0;
        int maxRoll = 0;
        for (int i = 0; i < 400; ++i) {
            for (const CFaceResult& f : RunExec(emulator, 0x0C, 0, 0, false).result.faces) {
                maxYaw = std::max(maxYaw, std::abs(f.direction.yaw));
                maxRoll = std::max(maxRoll, std::abs(f.direction.roll));
            }
        }
        EXPECT_LE(maxYaw, c.yawLimit) << int(c.yawCode);
        EXPECT_LE(maxRoll, c.rollLimit) << int(c.rollCode);
        // The scene does turn and tilt beyond the narrower ranges, so the wider ones let more through.
        if (c.yawLimit > 30) {
            EXPECT_GT(maxYaw, c.yawLimit - 30) << int(c.yawCode);
        }
        if (c.rollLimit > 15) {
            EXPECT_GT(maxRoll, 15) << int(c.rollCode);
        }
    }
}

// Where a result position of camera angle 0 goes for each angle code (clockwise turns about the centre).
void Turned(int code, double x, double y, double& tx, double& ty) {
    switch (code) {
        case 1:
            tx = 560 - y, ty = x - 80;
            break;
        case 2:
            tx = 640 - x, ty = 480 - y;
            break;
        case 3:
            tx = y + 80, ty = 560 - x;
            break;
        default:
            tx = x, ty = y;
    }
}

TEST(EmulatedExecution, CameraAngleTurnsTheScene) {
    // A moment when the leftmost of four faces is so far left that a quarter turn puts it out of the space.
    CModuleEmulator probe;
    probe.SetFacesInView(4);
    double when = 0;
    while (probe.SceneNow().faces[0].x >= 79) {
        when += 0.5;
        probe.SetSceneTime(when);
        ASSERT_LT(when, 60);
    }
    const std::size_t expectedFaces[4] = {4, 3, 4, 3};
    for (int code = 0; code < 4; ++code) {
        CModuleEmulator emulator;
        emulator.SetSettings(WideOpenSettings());
        emulator.SetFacesInView(4);
        ASSERT_EQ(emulator.Handle(Frame(kCmdSetCameraAngle, {static_cast<std::uint8_t>(code)})).responseCode,
                  kRespOk);
        emulator.SetSceneTime(when);
        const SceneSnapshot scene = emulator.SceneNow();
        ParsedExec exec = RunExec(emulator, 0x0C, 0, 1, false);
        ASSERT_EQ(exec.result.faces.size(), expectedFaces[code]) << code;
        std::size_t matched = 0;
        for (const SceneFace& s : scene.faces) {
            double tx = 0;
            double ty = 0;
            Turned(code, s.x, s.y, tx, ty);
            for (const CFaceResult& f : exec.result.faces) {
                if (std::abs(f.detection.x - tx) <= 0.5 && std::abs(f.detection.y - ty) <= 0.5) {
                    ++matched;
                    EXPECT_EQ(f.direction.roll, s.roll)
                        << "the module reports roll against the turned picture";
                }
            }
        }
        EXPECT_EQ(matched, expectedFaces[code]) << code;

        // The bright window pane of the room turns with it.
        CModuleEmulator empty;
        empty.SetFacesInView(0);
        empty.Handle(Frame(kCmdSetCameraAngle, {static_cast<std::uint8_t>(code)}));
        ParsedExec room = RunExec(empty, 0, 0, 1, false);
        double wx = 0;
        double wy = 0;
        Turned(code, 150, 70, wx, wy);
        EXPECT_GT(room.pixels[static_cast<int>(wy / 2) * 320 + static_cast<int>(wx / 2)], 195) << code;
        Turned(code, 500, 440, wx, wy);  // the floor on the other side
        EXPECT_LT(room.pixels[static_cast<int>(wy / 2) * 320 + static_cast<int>(wx / 2)], 130) << code;
    }
}

TEST(EmulatedExecution, ImageShowsTheFaceWhereItIsReported) {
    for (int option : {1, 2}) {
        const int width = option == 1 ? 320 : 160;
        const double k = width / 640.0;
        CModuleEmulator emulator;
        emulator.SetSettings(WideOpenSettings());
        emulator.SetFacesInView(1);
        int open = 0;
        int closed = 0;
        for (int i = 0; i < 80; ++i) {
            const SceneFace face = emulator.SceneNow().faces[0];
            ParsedExec exec = RunExec(emulator, kAllFlags1, 0, option, false);
            ASSERT_EQ(exec.result.faces.size(), 1u);
            const CFaceResult& f = exec.result.faces[0];
            const double cx = f.detection.x * k;
            const double cy = f.detection.y * k;
            const double side = f.detection.size * k;
            for (const CScenePainter::Point& eye : CScenePainter::EyeCentres(face)) {
                const auto at = [&](double dy) {
                    return exec.pixels[static_cast<int>(cy + (eye.y + dy) * side) * width +
                                       static_cast<int>(cx + eye.x * side)];
                };
                if (f.blink.left < 500) {
                    ++open;
                    EXPECT_LT(at(0), 60) << "open eyes are dark";
                    if (option == 1) {
                        EXPECT_LT(std::max(at(-0.035), at(0.035)), 60);
                    }
                } else if (option == 1) {
                    ++closed;
                    EXPECT_GT(std::min(at(-0.035), at(0.035)), 120) << "closed eyes show the lid";
                }
            }
            EXPECT_GT(
                exec.pixels[static_cast<int>(cy + 0.1 * side) * width + static_cast<int>(cx - 0.2 * side)],
                120)
                << "a light cheek";
        }
        EXPECT_GT(open, 0);
        if (option == 1) {
            EXPECT_GT(closed, 0) << "a blink in 8 seconds";
        }
    }
}

TEST(EmulatedExecution, ImageShowsBodiesAndHands) {
    CModuleEmulator empty;
    empty.SetFacesInView(0);
    const Bytes room = RunExec(empty, 0, 0, 1, false).pixels;
    auto differs = [&room](const Bytes& pixels, const CQZMDetectRes& r) {
        const int at = (r.y / 2) * 320 + r.x / 2;
        return std::abs(pixels[at] - room[at]) > 25;
    };

    CModuleEmulator one;
    one.SetFacesInView(1);
    const int clothes = one.SceneNow().bodies[0].shade;
    ParsedExec posed = RunExec(one, 0x07, 0, 1, false);
    ASSERT_EQ(posed.result.bodies.size(), 1u);
    const CQZMDetectRes& chest = posed.result.bodies[0];
    EXPECT_EQ(posed.pixels[(chest.y / 2) * 320 + chest.x / 2], clothes)
        << "the chest is drawn where reported";

    CModuleEmulator emulator;
    emulator.SetSettings(WideOpenSettings());
    int hands = 0;
    for (int i = 0; i < 300 && hands < 10; ++i) {
        ParsedExec exec = RunExec(emulator, 0x06, 0, 1, false);
        for (const CQZMDetectRes& hand : exec.result.hands) {
            bool behindAFace = false;  // faces are drawn last
            for (const CFaceResult& f : exec.result.faces)
                behindAFace |= std::abs(f.detection.x - hand.x) < f.detection.size &&
                               std::abs(f.detection.y - hand.y) < f.detection.size;
            if (behindAFace || hand.x < 0 || hand.x >= 640 || hand.y < 0 || hand.y >= 480)
                continue;
            ++hands;
            EXPECT_TRUE(differs(exec.pixels, hand)) << "the palm is drawn there";
        }
    }
    EXPECT_GT(hands, 0);
}
TEST(EmulatedExecution, ManyFacesAreCappedToTheResultRoom) {
    CModuleEmulator emulator(ModuleIdentity::Extended());
    emulator.SetSettings(WideOpenSettings());
    emulator.SetFacesInView(CEmulatedScene::kMaxPosedFaces);
    for (int option : {0, 1}) {
        ParsedExec exec = RunExec(emulator, kAllFlags1, kAllFlags2, option, true);
        const std::size_t faceBytes = ExpectedFaceBytes(kAllFlags1, kAllFlags2, true);
        const std::size_t header = option == 0 ? 4 : 8;
        EXPECT_LT(exec.raw.faceCount, CEmulatedScene::kMaxPosedFaces);
        EXPECT_EQ(exec.raw.faceCount, (kExecResultRoom - header) / faceBytes) << "as many as fit";
        EXPECT_EQ(exec.raw.recognition.size(), exec.raw.faceCount);
        EXPECT_EQ(exec.raw.pixelBytes, ExecImageSize(option));
    }
}

TEST(EmulatedExecution, TruncatedPayloadIsWellFormedButShort) {
    CModuleEmulator emulator;
    emulator.SetSettings(WideOpenSettings());
    emulator.SetFacesInView(2);
    const ModuleReply reply = emulator.Handle(Frame(kCmdExecute, {kAllFlags1, kAllFlags2, 1}));
    ASSERT_EQ(reply.data[0], 2);  // two bodies, no hands, then two faces of 35 bytes
    ASSERT_EQ(reply.data[2], 2);
    struct Case {
        std::size_t at;
        std::size_t bodies, faces, imageWidth;
    } cases[] = {
        {0, 0, 0, 0},
        {3, 0, 0, 0},
        {4 + 8 + 7, 1, 0, 0},
        {4 + 16 + 35, 2, 1, 0},
        {reply.data.size() - 1, 2, 2, 0},
        {reply.data.size(), 2, 2, 320},
        {reply.data.size() + 10, 2, 2, 320},
    };
    for (const Case& c : cases) {
        ModuleFaults faults;
        faults.truncatePayloadAt = c.at;
        const Bytes line = EncodeAnswer(reply, faults);
        const std::size_t kept = std::min(c.at, reply.data.size());
        ASSERT_EQ(line.size(), 6 + kept) << c.at;
        EXPECT_EQ(GetLE32(&line[2]), kept) << "the length field tells the truncated length";
        ParsedExec exec =
            ParseExecData(Bytes(line.begin() + 6, line.end()), kAllFlags1, kAllFlags2, false, 1);
        EXPECT_EQ(exec.result.bodies.size(), c.bodies) << c.at;
        EXPECT_EQ(exec.raw.detection.size(), c.faces) << c.at;
        EXPECT_EQ(exec.raw.imageWidth, c.imageWidth) << c.at;
    }
    // Other answers are left whole.
    ModuleFaults faults;
    faults.truncatePayloadAt = 2;
    const ModuleReply version = emulator.Handle(Frame(kCmdGetVersion));
    EXPECT_EQ(EncodeAnswer(version, faults).size(), 6 + version.data.size());
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

TEST(EmulatedExecution, AnExecutionWithEverythingTakesWellUnderAMillisecond) {
    CModuleEmulator emulator(ModuleIdentity::Extended());
    emulator.SetSettings(WideOpenSettings());
    emulator.Handle(Frame(kCmdExecuteEx, {kAllFlags1, kAllFlags2, 1}));  // the room is drawn once
    constexpr int kRuns = 200;
    const double start = ThreadSeconds();
    for (int i = 0; i < kRuns; ++i)
        emulator.Handle(Frame(kCmdExecuteEx, {kAllFlags1, kAllFlags2, 1}));
    const double perExecution = (ThreadSeconds() - start) / kRuns;
    RecordProperty("microseconds_per_execution", static_cast<int>(perExecution * 1e6));
    if (!kSanitized) {
        EXPECT_LT(perExecution, 0.5e-3);
    }
}

}  // namespace
}  // namespace qzm
