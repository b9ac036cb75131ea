// The facade's checks of execution, registration and album answers, with answers scripted byte
// for byte through the emulator's line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <tuple>

#include "device/qzm_device.h"
#include "device/qzm_frame.h"
#include "sim/pty_module_host.h"
#include "test_folder.h"

using namespace qzm;
using namespace std::chrono_literals;

namespace {

// The emulator stays silent; each command is answered with the bytes the test gives.
class FacadeIntegration : public ::testing::Test {
protected:
    FacadeIntegration() : device(PortEnumerationRoots{root.path().string(), root.path().string()}) {}

    void SetUp() override {
        ModuleFaults silent;
        silent.silent = true;
        module.SetFaults(silent);
        ASSERT_TRUE(module.Start());
        ASSERT_TRUE(device.Connection().Open(module.OpenPath(), 921600));
        device.SetDeviceType(kExtendedDevice);
    }

    // Answers the next command with a frame of the given response code and data.
    std::future<bool> AnswerNext(std::vector<std::uint8_t> data, std::uint8_t code = 0) {
        const std::uint64_t before = module.CommandsHandled();
        return std::async(std::launch::async, [this, before, code, data = std::move(data)] {
            const auto deadline = std::chrono::steady_clock::now() + 2s;
            while (module.CommandsHandled() == before) {
                if (std::chrono::steady_clock::now() > deadline)
                    return false;
                std::this_thread::sleep_for(200us);
            }
            return module.PushUnsolicited(BuildResponseFrame(code, data));
        });
    }

    ScopedWorkingFolder root;  // no time-out files: every wait is 1 s per byte
    CPtyModuleHost module{ModuleIdentity::Extended()};
    CQZMDevice device;
};

std::vector<std::uint8_t> RegistrationAnswer(int width, int height, std::size_t pixels) {
    std::vector<std::uint8_t> data;
    PutLE16(data, static_cast<std::uint16_t>(width));
    PutLE16(data, static_cast<std::uint16_t>(height));
    for (std::size_t i = 0; i < pixels; ++i)
        data.push_back(static_cast<std::uint8_t>(i));
    return data;
}

std::vector<std::uint8_t> AlbumAnswer(std::uint32_t stated, std::size_t bytes, std::uint8_t flag = 3) {
    std::vector<std::uint8_t> data;
    PutLE32(data, stated);
    data.push_back(flag);
    data.insert(data.end(), 3, 0);
    for (std::size_t i = 0; i < bytes; ++i)
        data.push_back(static_cast<std::uint8_t>(i * 7));
    return data;
}

}  // namespace

TEST_F(FacadeIntegration, RegistrationImageMustMatchItsSize) {
    struct {
        std::vector<std::uint8_t> answer;
        int result;
    } const cases[] = {
        {RegistrationAnswer(64, 64, 4096), kProtocolOk},
        {RegistrationAnswer(32, 16, 512), kProtocolOk},
        {RegistrationAnswer(64, 64, 4000), kProtocolBadLength},
        {RegistrationAnswer(64, 65, 4160), kProtocolTooMuchData},
        {{1, 2}, kProtocolBadLength},
    };
    for (const auto& c : cases) {
        CImageData image;
        ASSERT_EQ(image.Allocate(64, nullptr, 64, kFormatGrey8, 1), 0);
        auto answered = AnswerNext(c.answer);
        std::uint8_t response = 0xFF;
        EXPECT_EQ(device.Register(0, 3, 1, &image, &response), c.result) << c.answer.size();
        EXPECT_TRUE(answered.get());
        if (c.result == kProtocolOk) {
            EXPECT_EQ(image.Width() * image.Height() + 4, static_cast<int>(c.answer.size()));
            EXPECT_EQ(image.Plane(0)[5], 5);
        } else {
            EXPECT_EQ(image.Width(), 64);
            EXPECT_EQ(image.Plane(0)[5], 0);
        }
    }
}

TEST_F(FacadeIntegration, RefusedRegistrationPassesTheCodeUp) {
    CImageData image;
    ASSERT_EQ(image.Allocate(64, nullptr, 64, kFormatGrey8, 1), 0);
    for (std::uint8_t code : {0x01, 0x02, 0x7F}) {
        auto answered = AnswerNext({}, code);
        std::uint8_t response = 0;
        EXPECT_EQ(device.Register(0, 3, 1, &image, &response), kProtocolOk);
        EXPECT_EQ(response, code);
        EXPECT_TRUE(answered.get());
    }
}

TEST_F(FacadeIntegration, OnlyWholeAlbumsAreHandedOver) {
    struct {
        std::vector<std::uint8_t> answer;
        int result;
    } const cases[] = {
        {AlbumAnswer(100, 100), kProtocolOk},        {AlbumAnswer(32, 32), kProtocolOk},
        {AlbumAnswer(31, 31), kProtocolBadLength},    // under 40 bytes in all
        {AlbumAnswer(200, 100), kProtocolBadLength},  // says more than came
        {AlbumAnswer(50, 100), kProtocolBadLength},   // says less than came
    };
    for (const auto& c : cases) {
        std::uint32_t size = 7;
        std::uint8_t flag = 9;
        std::vector<std::uint8_t> album;
        auto answered = AnswerNext(c.answer);
        std::uint8_t response = 0xFF;
        EXPECT_EQ(device.SaveAlbum(&size, &flag, &album, &response), c.result) << c.answer.size();
        EXPECT_TRUE(answered.get());
        if (c.result == kProtocolOk) {
            EXPECT_EQ(size, c.answer.size() - 8);
            EXPECT_EQ(flag, 3);
            EXPECT_EQ(album, std::vector<std::uint8_t>(c.answer.begin() + 8, c.answer.end()));
        } else {
            EXPECT_EQ(size, 7u);
            EXPECT_EQ(flag, 9);
            EXPECT_TRUE(album.empty());
        }
    }
}

TEST_F(FacadeIntegration, AlbumCommandsNeedTheExtendedSet) {
    device.SetDeviceType(kBasicDevice);
    std::uint32_t size = 0;
    std::uint8_t flag = 0, response = 0;
    std::vector<std::uint8_t> album(100);
    EXPECT_EQ(device.SaveAlbum(&size, &flag, &album, &response), kProtocolNotSupported);
    EXPECT_EQ(device.LoadAlbum(100, 1, album.data(), &response), kProtocolNotSupported);
    device.SetDeviceType(kExtendedDevice);
    EXPECT_EQ(device.LoadAlbum(CQZMDevice::kMaxAlbumSize + 1, 1, album.data(), &response),
              kProtocolBadLength);
    EXPECT_EQ(module.BytesReceived(), 0u);
}

TEST_F(FacadeIntegration, ExecutionFillsRecordsAndImageOnlyOnSuccess) {
    bool functions[kFunctionCount] = {};
    functions[kFunctionBody] = true;
    functions[kFunctionFace] = true;
    std::vector<std::uint8_t> payload = {1, 0, 1, 0};
    for (int v : {100, 200, 50, 900})
        PutLE16(payload, static_cast<std::uint16_t>(v));  // body
    for (int v : {320, 240, 80, 700})
        PutLE16(payload, static_cast<std::uint16_t>(v));  // face
    PutLE16(payload, 160);
    PutLE16(payload, 120);
    payload.resize(payload.size() + 19200, 0x5A);

    CImageData image;
    ASSERT_EQ(image.Allocate(160, nullptr, 120, kFormatGrey8, 1), 0);
    CExecResult result;
    std::uint8_t response = 0xFF;
    auto answered = AnswerNext(payload);
    ASSERT_EQ(device.Execute(kImage160x120, 20, 0, 0, functions, 0, &image, &result, &response), kProtocolOk);
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(response, 0);
    ASSERT_EQ(result.bodies.size(), 1u);
    EXPECT_EQ(result.bodies[0].x, 100);
    ASSERT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(result.faces[0].detection.size, 80);
    EXPECT_FALSE(result.faces[0].age.IsValid());
    EXPECT_EQ(image.Width(), 160);
    EXPECT_EQ(image.Plane(0)[19199], 0x5A);

    // A refusal changes neither the records nor the image.
    answered = AnswerNext(std::vector<std::uint8_t>(30, 1), 0x33);
    EXPECT_EQ(device.Execute(kImage160x120, 20, 0, 0, functions, 0, &image, &result, &response), kProtocolOk);
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(response, 0x33);
    EXPECT_EQ(result.bodies.size(), 1u);
    EXPECT_EQ(image.Plane(0)[0], 0x5A);

    // An execution without an image leaves no earlier frame under its results.
    answered = AnswerNext({0, 0, 0, 0});
    EXPECT_EQ(device.Execute(kImageNone, 20, 0, 0, functions, 0, &image, &result, &response), kProtocolOk);
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(response, 0);
    EXPECT_TRUE(result.bodies.empty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
}

// Without somewhere to put the answer the command is not sent: the module must not hold a
// registration the PC cannot store.
TEST_F(FacadeIntegration, MissingOutputsAreRefusedBeforeAnythingIsSent) {
    std::uint8_t response = 0xFF;
    CImageData noPlanes;
    std::uint32_t size = 0;
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> album;
    EXPECT_EQ(device.Register(0, 3, 1, nullptr, &response), kProtocolMissingArgument);
    EXPECT_EQ(device.Register(0, 3, 1, &noPlanes, &response), kProtocolMissingArgument);
    EXPECT_EQ(device.SaveAlbum(nullptr, &flag, &album, &response), kProtocolMissingArgument);
    EXPECT_EQ(device.SaveAlbum(&size, nullptr, &album, &response), kProtocolMissingArgument);
    EXPECT_EQ(device.SaveAlbum(&size, &flag, nullptr, &response), kProtocolMissingArgument);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(module.BytesReceived(), 0u);
}

// With the time-out files delivered beside the program, every choice the user can make on the
// execution panel gets its answer, and the image is what was asked for, also after an earlier
// execution with another image size.
TEST(DeliveredTimeoutsIntegration, EveryFunctionAndImageChoiceGetsItsAnswer) {
    ScopedWorkingFolder folder;
    for (const char* name :
         {"CmdTimeout.ini", "ExecTimeout.ini", "ImgTimeout.ini", "RegTimeout.ini", "AlbumTimeout.ini"}) {
        std::filesystem::copy_file(std::filesystem::path(QZM_DATA_DIR) / name, folder.path() / name);
    }
    CPtyModuleHost module{ModuleIdentity::Extended()};
    ASSERT_TRUE(module.Start());
    module.Emulator().SetFacesInView(1);
    CQZMDevice device(PortEnumerationRoots{folder.path().string(), folder.path().string()});
    ASSERT_TRUE(device.Open(module.OpenPath(), 921600)) << device.LastOpenErrorText();
    device.SetDeviceType(kExtendedDevice);
    std::uint8_t response = 0xFF;
    const int thresholds[4] = {1, 1, 1, 0};
    const CRange ranges[3] = {{20, 8192}, {20, 8192}, {20, 8192}};
    ASSERT_EQ(device.SetThreshold(thresholds, &response), kProtocolOk);
    ASSERT_EQ(device.SetSizeRange(ranges, &response), kProtocolOk);
    ASSERT_EQ(device.SetFaceAngle(2, 1, &response), kProtocolOk);

    bool none[kFunctionCount] = {};
    bool faceOnly[kFunctionCount] = {};
    faceOnly[kFunctionFace] = true;
    bool all[kFunctionCount];
    std::fill(std::begin(all), std::end(all), true);
    CImageData image;  // one buffer for every run, as the execution panel keeps it
    for (const bool* functions : {none, faceOnly, all}) {
        for (const auto& [option, width, height] :
             {std::tuple{kImageNone, 0, 0}, {kImage160x120, 160, 120}, {kImage320x240, 320, 240}}) {
            if (option != kImageNone) {
                ASSERT_EQ(image.Allocate(width, nullptr, height, kFormatGrey8, 1), 0);
            }
            CExecResult result;
            response = 0xFF;
            const char* what = functions == none ? "none" : functions == faceOnly ? "face" : "all";
            ASSERT_EQ(device.Execute(option, 20, 2, 1, functions, 0, &image, &result, &response), kProtocolOk)
                << what << " image " << option;
            EXPECT_EQ(response, 0);
            EXPECT_EQ(image.Width(), width) << what << " image " << option;
            EXPECT_EQ(image.Height(), height) << what << " image " << option;
            EXPECT_EQ(result.faces.size(), functions == none ? 0u : 1u) << what << " image " << option;
        }
    }
}
