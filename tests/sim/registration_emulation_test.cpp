// Registration, deletion, presence and recognition against the emulator's store.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "sim/module_emulator.h"
#include "sim/scene_painter.h"
#include "sim_test_support.h"

namespace qzm {
namespace {

using namespace simtest;

Bytes UserData(int user, int data) {
    return {static_cast<std::uint8_t>(user & 0xFF), static_cast<std::uint8_t>(user >> 8),
            static_cast<std::uint8_t>(data)};
}

Bytes User(int user) {
    return {static_cast<std::uint8_t>(user & 0xFF), static_cast<std::uint8_t>(user >> 8)};
}

ModuleReply Register(CModuleEmulator& emulator, int user, int data) {
    return emulator.Handle(Frame(kCmdRegister, UserData(user, data)));
}

std::uint16_t Presence(CModuleEmulator& emulator, int user) {
    ModuleReply reply = emulator.Handle(Frame(kCmdGetUserData, User(user)));
    EXPECT_EQ(reply.responseCode, kRespOk);
    EXPECT_EQ(reply.data.size(), 2u);
    return reply.data.size() == 2 ? GetLE16(reply.data.data()) : 0xFFFF;
}

// The recognition record of the one face in view.
CQZMRecognitionRes Recognise(CModuleEmulator& emulator) {
    ParsedExec exec = RunExec(emulator, 0x04, 0x02, 0, false);
    EXPECT_EQ(exec.result.faces.size(), 1u);
    return exec.result.faces.empty() ? CQZMRecognitionRes{} : exec.result.faces[0].recognition;
}

TEST(EmulatedRegistration, AnswerDependsOnTheFacesInView) {
    struct Case {
        int faces;
        int user, data;
        std::uint8_t expected;
    } cases[] = {
        {0, 3, 0, kRespNoFace},         {2, 3, 0, kRespSeveralFaces},
        {5, 3, 0, kRespSeveralFaces},   {1, 3, 0, kRespOk},
        {1, 499, 9, kRespOk},           {1, 500, 0, kRespBadParameter},
        {1, 0, 10, kRespBadParameter},  {0, 65535, 0, kRespBadParameter},
        {2, 0, 255, kRespBadParameter},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator;
        emulator.SetFacesInView(c.faces);
        ModuleReply reply = Register(emulator, c.user, c.data);
        EXPECT_EQ(reply.responseCode, c.expected) << c.faces << " faces, " << c.user << "/" << c.data;
        EXPECT_EQ(emulator.RegisteredEntries(), c.expected == kRespOk ? 1u : 0u);
        if (c.expected != kRespOk) {
            EXPECT_TRUE(reply.data.empty());
            continue;
        }
        ASSERT_EQ(reply.data.size(), 4u + 64 * 64);
        EXPECT_EQ(GetLE16(&reply.data[0]), 64);
        EXPECT_EQ(GetLE16(&reply.data[2]), 64);
        EXPECT_EQ(Presence(emulator, c.user), 1u << c.data);
    }
    CModuleEmulator emulator;
    emulator.SetFacesInView(1);
    EXPECT_EQ(emulator.Handle(Frame(kCmdRegister, User(1))).responseCode, kRespBadLength);
    // Faces count as the detection settings let them through.
    StoredSettings s = emulator.Settings();
    s.sizeRanges[5] = 50;
    emulator.SetSettings(s);
    EXPECT_EQ(Register(emulator, 1, 0).responseCode, kRespNoFace);
}

TEST(EmulatedRegistration, PortraitShowsTheFace) {
    CModuleEmulator emulator;
    emulator.SetFacesInView(1);
    emulator.SetSceneTime(1.0);  // eyes open
    const SceneFace face = emulator.SceneNow().faces[0];
    ASSERT_FALSE(face.eyesClosed);
    ModuleReply reply = Register(emulator, 1, 0);
    ASSERT_EQ(reply.responseCode, kRespOk);
    const std::uint8_t* pixels = reply.data.data() + 4;
    const double side = 64 * 0.85;  // the face fills most of the portrait
    for (const CScenePainter::Point& eye : CScenePainter::EyeCentres(face))
        EXPECT_LT(pixels[static_cast<int>(32 + eye.y * side) * 64 + static_cast<int>(32 + eye.x * side)], 60);
    EXPECT_GT(pixels[int(32 + 0.1 * side) * 64 + int(32 - 0.2 * side)], 120) << "a light cheek";
}

TEST(EmulatedRegistration, DeletionsAndPresenceBits) {
    CModuleEmulator emulator;
    emulator.SetFacesInView(1);
    for (int data : {0, 9, 4})
        ASSERT_EQ(Register(emulator, 12, data).responseCode, kRespOk);
    ASSERT_EQ(Register(emulator, 13, 1).responseCode, kRespOk);
    ASSERT_EQ(Register(emulator, 12, 4).responseCode, kRespOk) << "registering again replaces the entry";
    EXPECT_EQ(Presence(emulator, 12), 0x0211);
    EXPECT_EQ(Presence(emulator, 13), 0x0002);
    EXPECT_EQ(Presence(emulator, 14), 0x0000);
    EXPECT_EQ(emulator.RegisteredEntries(), 4u);

    struct Step {
        std::uint8_t code;
        Bytes data;
        std::uint8_t expected;
        std::uint16_t user12, user13;
    } steps[] = {
        {kCmdDeleteData, UserData(12, 4), kRespOk, 0x0201, 0x0002},
        {kCmdDeleteData, UserData(12, 4), kRespOk, 0x0201, 0x0002},  // already gone: nothing to do
        {kCmdDeleteData, UserData(12, 10), kRespBadParameter, 0x0201, 0x0002},
        {kCmdDeleteData, UserData(500, 0), kRespBadParameter, 0x0201, 0x0002},
        {kCmdDeleteData, User(12), kRespBadLength, 0x0201, 0x0002},
        {kCmdDeleteUser, User(500), kRespBadParameter, 0x0201, 0x0002},
        {kCmdDeleteUser, UserData(12, 0), kRespBadLength, 0x0201, 0x0002},
        {kCmdDeleteUser, User(12), kRespOk, 0x0000, 0x0002},
        {kCmdDeleteAll, {1}, kRespBadLength, 0x0000, 0x0002},
        {kCmdDeleteAll, {}, kRespOk, 0x0000, 0x0000},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(emulator.Handle(Frame(s.code, s.data)).responseCode, s.expected) << int(s.code);
        EXPECT_EQ(Presence(emulator, 12), s.user12) << int(s.code);
        EXPECT_EQ(Presence(emulator, 13), s.user13) << int(s.code);
    }
    EXPECT_EQ(emulator.Handle(Frame(kCmdGetUserData, User(500))).responseCode, kRespBadParameter);
    EXPECT_EQ(emulator.Handle(Frame(kCmdGetUserData, UserData(1, 1))).responseCode, kRespBadLength);
}

TEST(EmulatedRegistration, RecognitionFollowsTheStore) {
    CModuleEmulator emulator;
    emulator.SetFacesInView(1);
    emulator.SetFaceIdentity(0, 1111);
    EXPECT_EQ(Recognise(emulator).userId, -127) << "nothing registered";

    ASSERT_EQ(Register(emulator, 42, 3).responseCode, kRespOk);
    CQZMRecognitionRes known = Recognise(emulator);
    EXPECT_EQ(known.userId, 42);
    EXPECT_GE(known.score, 500);
    EXPECT_LE(known.score, 1000);

    emulator.SetFaceIdentity(0, 2222);
    CQZMRecognitionRes stranger = Recognise(emulator);
    EXPECT_EQ(stranger.userId, -1);
    EXPECT_LT(stranger.score, 500);

    ASSERT_EQ(Register(emulator, 7, 0).responseCode, kRespOk);  // the second identity as another user
    EXPECT_EQ(Recognise(emulator).userId, 7);
    emulator.SetFaceIdentity(0, 1111);
    EXPECT_EQ(Recognise(emulator).userId, 42);

    // A recognition threshold above every score leaves everyone a stranger.
    StoredSettings s = emulator.Settings();
    s.thresholds[3] = 1000;
    emulator.SetSettings(s);
    EXPECT_EQ(Recognise(emulator).userId, -1);
    s.thresholds[3] = 500;
    emulator.SetSettings(s);

    ASSERT_EQ(emulator.Handle(Frame(kCmdDeleteUser, User(42))).responseCode, kRespOk);
    EXPECT_EQ(Recognise(emulator).userId, -1) << "the store still holds user 7";
    ASSERT_EQ(emulator.Handle(Frame(kCmdDeleteAll)).responseCode, kRespOk);
    EXPECT_EQ(Recognise(emulator).userId, -127);
}

TEST(EmulatedRegistration, FacesTurnedFarAwayAreNotRecognised) {
    CModuleEmulator emulator;
    emulator.SetFacesInView(1);
    ASSERT_EQ(Register(emulator, 1, 0).responseCode, kRespOk);
    emulator.SetFacesInView(CEmulatedScene::kFreeScene);
    emulator.SetSettings(WideOpenSettings());
    int turned = 0;
    for (int i = 0; i < 400; ++i) {
        for (const CFaceResult& f : RunExec(emulator, 0x0C, 0x02, 0, false).result.faces) {
            turned += std::abs(f.direction.yaw) > 60;
            EXPECT_EQ(f.recognition.userId == kNotPossible, std::abs(f.direction.yaw) > 60);
        }
    }
    EXPECT_GT(turned, 0);
}

}  // namespace
}  // namespace qzm
