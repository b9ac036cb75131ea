// Every command the program sends, through the real serial code against the emulator's scene,
// registration store and album.
#include <gtest/gtest.h>

#include <cmath>

#include "device/qzm_device.h"
#include "sim/pty_module_host.h"
#include "test_folder.h"

using namespace qzm;

namespace {

class EmulatorIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.Start());
        ASSERT_TRUE(device.Connection().Open(module.OpenPath(), 921600));
        device.SetDeviceType(kExtendedDevice);
        // Settings that let everything in view be reported.
        std::uint8_t response = 0xFF;
        const int thresholds[4] = {0, 0, 0, 0};
        const CRange ranges[3] = {{0, 8192}, {0, 8192}, {0, 8192}};
        ASSERT_EQ(device.SetThreshold(thresholds, &response), 0);
        ASSERT_EQ(device.SetSizeRange(ranges, &response), 0);
        ASSERT_EQ(device.SetFaceAngle(2, 1, &response), 0);
        ASSERT_EQ(response, 0);
    }

    int Register(int user, int data, CImageData* face, std::uint8_t* response) {
        face->Allocate(64, nullptr, 64, kFormatGrey8, 1);
        return device.Register(0, user, data, face, response);
    }

    ScopedWorkingFolder folder;  // no time-out files: 1 s per byte
    CPtyModuleHost module{ModuleIdentity::Extended()};
    CQZMDevice device{PortEnumerationRoots{"/nonexistent", "/nonexistent"}};
};

}  // namespace

TEST_F(EmulatorIntegration, ExecutionsWithEveryImageSizeMatchTheScene) {
    module.Emulator().SetFacesInView(2);
    bool functions[kFunctionCount];
    std::fill(std::begin(functions), std::end(functions), true);
    for (const auto& [option, width, height] : {std::tuple{1, 320, 240}, {2, 160, 120}, {0, 0, 0}}) {
        const SceneSnapshot scene = module.Emulator().SceneNow();
        CImageData image;
        if (option != 0)
            image.Allocate(width, nullptr, height, kFormatGrey8, 1);
        CExecResult result;
        std::uint8_t response = 0xFF;
        ASSERT_EQ(device.Execute(option, 20, 2, 1, functions, 0, &image, &result, &response), kProtocolOk);
        ASSERT_EQ(response, 0);
        EXPECT_EQ(image.Width(), width);
        EXPECT_EQ(image.Height(), height);
        EXPECT_EQ(result.bodies.size(), scene.bodies.size());
        EXPECT_EQ(result.hands.size(), scene.hands.size());
        ASSERT_EQ(result.faces.size(), scene.faces.size());
        for (std::size_t i = 0; i < scene.faces.size(); ++i) {
            const CFaceResult& face = result.faces[i];
            EXPECT_NEAR(face.detection.x, scene.faces[i].x, 1.0) << i;
            EXPECT_NEAR(face.detection.y, scene.faces[i].y, 1.0) << i;
            EXPECT_TRUE(face.direction.IsValid() && face.age.IsValid() && face.expression.IsValid());
            // The extended set sends five expression scores; the strongest is left to the reader.
            EXPECT_EQ(face.expression.topExpression, -128);
            EXPECT_EQ(face.recognition.userId, -127);  // nothing registered yet
        }
    }
}

TEST_F(EmulatorIntegration, SettingsReachTheModule) {
    std::uint8_t response = 0xFF;
    const int thresholds[4] = {100, 200, 300, 400};
    const CRange ranges[3] = {{20, 600}, {30, 700}, {40, 800}};
    ASSERT_EQ(device.SetCameraAngle(3, &response), kProtocolOk);
    ASSERT_EQ(device.SetThreshold(thresholds, &response), kProtocolOk);
    ASSERT_EQ(device.SetSizeRange(ranges, &response), kProtocolOk);
    ASSERT_EQ(device.SetFaceAngle(1, 0, &response), kProtocolOk);
    ASSERT_EQ(response, 0);
    StoredSettings expected;
    expected.cameraAngle = 3;
    expected.thresholds = {100, 200, 300, 400};
    expected.sizeRanges = {20, 600, 30, 700, 40, 800};
    expected.yawCode = 1;
    expected.rollCode = 0;
    EXPECT_EQ(module.Emulator().Settings(), expected);
    // A value the module does not take comes back as its refusal.
    ASSERT_EQ(device.SetCameraAngle(4, &response), kProtocolOk);
    EXPECT_EQ(response, kRespBadParameter);
}

TEST_F(EmulatorIntegration, RegistrationDeletionAndPresence) {
    CImageData face;
    std::uint8_t response = 0xFF;
    module.Emulator().SetFacesInView(0);
    ASSERT_EQ(Register(3, 0, &face, &response), kProtocolOk);
    EXPECT_EQ(response, 0x01);
    module.Emulator().SetFacesInView(2);
    ASSERT_EQ(Register(3, 0, &face, &response), kProtocolOk);
    EXPECT_EQ(response, 0x02);
    module.Emulator().SetFacesInView(1);
    ASSERT_EQ(Register(3, 0, &face, &response), kProtocolOk);
    ASSERT_EQ(response, 0);
    EXPECT_EQ(face.Width(), 64);
    ASSERT_EQ(Register(3, 9, &face, &response), kProtocolOk);

    bool present[10];
    ASSERT_EQ(device.GetUserData(3, present, &response), kProtocolOk);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(present[j], j == 0 || j == 9) << j;
    ASSERT_EQ(device.DeleteData(2, 3, 9, &response), kProtocolOk);
    ASSERT_EQ(device.GetUserData(3, present, &response), kProtocolOk);
    EXPECT_FALSE(present[9]);
    EXPECT_TRUE(present[0]);

    // The face in view is now recognised as user 3.
    bool functions[kFunctionCount] = {};
    functions[kFunctionFace] = functions[kFunctionRecognition] = true;
    CExecResult result;
    ASSERT_EQ(device.Execute(0, 20, 2, 1, functions, 1, nullptr, &result, &response), kProtocolOk);
    ASSERT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(result.faces[0].recognition.userId, 3);

    ASSERT_EQ(device.DeleteUser(1, 3, &response), kProtocolOk);
    ASSERT_EQ(device.GetUserData(3, present, &response), kProtocolOk);
    EXPECT_FALSE(present[0]);
}

TEST_F(EmulatorIntegration, AlbumRoundTripAndRefusal) {
    module.Emulator().SetFacesInView(1);
    CImageData face;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(Register(7, 2, &face, &response), kProtocolOk);
    ASSERT_EQ(response, 0);

    std::uint32_t size = 0;
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> album;
    ASSERT_EQ(device.SaveAlbum(&size, &flag, &album, &response), kProtocolOk);
    ASSERT_EQ(response, 0);
    EXPECT_GE(size, 40u);
    EXPECT_EQ(album.size(), size);

    ASSERT_EQ(device.DeleteAll(1, &response), kProtocolOk);
    bool present[10];
    ASSERT_EQ(device.GetUserData(7, present, &response), kProtocolOk);
    EXPECT_FALSE(present[2]);

    ASSERT_EQ(device.LoadAlbum(size, flag, album.data(), &response), kProtocolOk);
    EXPECT_EQ(response, 0);
    ASSERT_EQ(device.GetUserData(7, present, &response), kProtocolOk);
    EXPECT_TRUE(present[2]);

    // A damaged album is refused and changes nothing.
    album[album.size() / 2] ^= 0xFF;
    ASSERT_EQ(device.LoadAlbum(size, flag, album.data(), &response), kProtocolOk);
    EXPECT_NE(response, 0);
    ASSERT_EQ(device.GetUserData(7, present, &response), kProtocolOk);
    EXPECT_TRUE(present[2]);
}
