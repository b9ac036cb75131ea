// The PC's device facade against the emulator through a pseudo-terminal: executions, registration and
// albums as the program sees them.
#include <gtest/gtest.h>

#include "device/qzm_device.h"
#include "image/img_conv.h"
#include "sim/pty_module_host.h"
#include "sim/scene_view.h"
#include "sim_test_support.h"
#include "test_folder.h"

namespace qzm {
namespace {

class EmulatorDeviceIntegration : public ::testing::Test {
protected:
    EmulatorDeviceIntegration() : device(PortEnumerationRoots{root.path().string(), root.path().string()}) {}

    void SetUp() override {
        ASSERT_TRUE(module.Start());
        ASSERT_TRUE(device.Connection().Open(module.OpenPath(), 921600));
        simtest::ConnectExtended(device, module.Emulator());
    }

    int Execute(CExecResult& result, CImageData& image, std::uint8_t& response) {
        const bool all[kFunctionCount] = {true, true, true, true, true, true, true, true, true, true};
        EXPECT_EQ(image.Allocate(320, nullptr, 240, kFormatGrey8, 1), 0);
        return device.Execute(kImage320x240, 40, 2, 1, all, 0, &image, &result, &response);
    }

    ScopedWorkingFolder root;  // no time-out files: every wait is 1 s per byte
    CPtyModuleHost module{ModuleIdentity::Extended()};
    CQZMDevice device;
};

TEST_F(EmulatorDeviceIntegration, ExecutionArrivesWithRecordsAndImage) {
    module.Emulator().SetFacesInView(2);
    const Detections expected =
        Detect(TurnForCamera(module.Emulator().SceneNow(), 0), module.Emulator().Settings());
    CExecResult result;
    CImageData image;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(Execute(result, image, response), kProtocolOk);
    EXPECT_EQ(response, 0);
    ASSERT_EQ(result.faces.size(), expected.faces.size());
    EXPECT_EQ(result.bodies.size(), expected.bodies.size());
    for (std::size_t i = 0; i < result.faces.size(); ++i) {
        EXPECT_EQ(result.faces[i].detection.x, expected.faces[i].x);
        EXPECT_EQ(result.faces[i].expression.scores[1], expected.faces[i].expressionScores[1]);
        EXPECT_EQ(result.faces[i].recognition.userId, -127);
    }
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 240);

    // The preview asks for the small image with no functions.
    CImageData preview;
    ASSERT_EQ(preview.Allocate(160, nullptr, 120, kFormatGrey8, 1), 0);
    ASSERT_EQ(device.ExecuteImageOnly(&preview, &response), kProtocolOk);
    EXPECT_EQ(preview.Width(), 160);

    // A payload cut in the middle of the first face still reaches the program as a result.
    ModuleFaults faults;
    faults.truncatePayloadAt = 4 + 8 * expected.bodies.size() + 10;
    module.SetFaults(faults);
    ASSERT_EQ(Execute(result, image, response), kProtocolOk);
    EXPECT_EQ(result.faces.size(), expected.faces.size()) << "the counts stay as sent";
    EXPECT_TRUE(result.faces[0].detection.IsValid());
    EXPECT_FALSE(result.faces[0].age.IsValid());
    EXPECT_EQ(image.Width(), 0) << "no image arrived";
}

TEST_F(EmulatorDeviceIntegration, RegistrationAndAlbumRoundTrip) {
    std::uint8_t response = 0xFF;
    CImageData face;
    ASSERT_EQ(face.Allocate(64, nullptr, 64, kFormatGrey8, 1), 0);
    module.Emulator().SetFacesInView(1);
    ASSERT_EQ(device.Register(0, 8, 1, &face, &response), kProtocolOk);
    ASSERT_EQ(response, 0);
    EXPECT_EQ(face.Width(), 64);

    bool present[10] = {};
    ASSERT_EQ(device.GetUserData(8, present, &response), kProtocolOk);
    EXPECT_TRUE(present[1]);
    EXPECT_FALSE(present[0]);

    std::uint32_t size = 0;
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> album;
    ASSERT_EQ(device.SaveAlbum(&size, &flag, &album, &response), kProtocolOk);
    ASSERT_EQ(response, 0);
    EXPECT_EQ(size, 44u + 68u);
    EXPECT_EQ(flag, 1);

    ASSERT_EQ(device.DeleteUser(1, 8, &response), kProtocolOk);
    EXPECT_EQ(module.Emulator().RegisteredEntries(), 0u);
    ASSERT_EQ(device.LoadAlbum(size, flag, album.data(), &response), kProtocolOk);
    EXPECT_EQ(response, 0);
    EXPECT_EQ(module.Emulator().RegisteredEntries(), 1u);

    CExecResult result;
    CImageData image;
    ASSERT_EQ(Execute(result, image, response), kProtocolOk);
    ASSERT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(result.faces[0].recognition.userId, 8);
}

}  // namespace
}  // namespace qzm
