// The real serial code against the module emulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <future>
#include <thread>

#include "device/qzm_device.h"
#include "device/qzm_frame.h"
#include "sim/pty_module_host.h"
#include "test_folder.h"
#include "thread_room.h"

using namespace qzm;
using namespace std::chrono_literals;

namespace {

constexpr int kTimeoutMs = 150;

class CountingTrace : public FrameTrace {
public:
    std::vector<std::pair<int, std::vector<std::uint8_t>>> frames;
    void Trace(int direction, const std::string&, int length, const std::uint8_t* bytes) override {
        frames.emplace_back(direction, std::vector<std::uint8_t>(bytes, bytes + length));
    }
};

// A device facade with no real ports listed, talking to an emulator started by the test.
class SerialIntegration : public ::testing::Test {
protected:
    SerialIntegration() : device(PortEnumerationRoots{root.path().string(), root.path().string()}) {}

    void SetUp() override {
        ASSERT_TRUE(module.Start((root.path() / "module").string()));
        ASSERT_TRUE(device.Connection().Open(module.OpenPath(), 921600))
            << device.Connection().LastErrorText();
    }

    int Version(std::uint8_t* response, int timeoutMs = kTimeoutMs) {
        VersionAnswer answer;
        return device.Protocol().GetVersion({0x00}, timeoutMs, &answer, response);
    }

    // Waits until the reader has buffered count bytes that nobody asked for.
    bool Buffered(int count) { return device.Connection().WaitForBytes(2000, count) == 0; }

    TestFolder root;
    CPtyModuleHost module{ModuleIdentity::Extended()};
    CQZMDevice device;
};

}  // namespace

TEST_F(SerialIntegration, ReadsVersionAndSwitchesCommandSet) {
    VersionInfo version;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(device.GetVersion(&version, &response), kProtocolOk);
    EXPECT_EQ(response, 0);
    EXPECT_EQ(version.model, std::string("QZM-K200    "));
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 2);
    EXPECT_EQ(version.release, 0);
    EXPECT_EQ(version.revision, 2048);
    EXPECT_EQ(CQZMDevice::DeviceTypeForVersion(version), kExtendedDevice);
    device.SetDeviceType(CQZMDevice::DeviceTypeForVersion(version));
    EXPECT_EQ(device.Supported(), SupportedCommandsFor(1));
    version.minor = 3;
    EXPECT_EQ(CQZMDevice::DeviceTypeForVersion(version), kBasicDevice);
}

struct FaultCase {
    const char* name;
    ModuleFaults faults;
    bool setCommand;
    int result;
    int response;            // -1: not checked
    std::size_t tracedBack;  // bytes of the traced answer, 0 = nothing traced back
};

class SerialFaultIntegration : public SerialIntegration, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SerialFaultIntegration, ResultCode) {
    const FaultCase& c = GetParam();
    module.SetFaults(c.faults);
    CountingTrace trace;
    device.Protocol().SetTrace(&trace);
    std::uint8_t response = 0x99;
    const int result =
        c.setCommand ? device.Protocol().SetCameraAngle(SupportedCommandsFor(1), kTimeoutMs, 1, &response)
                     : Version(&response);
    device.Protocol().SetTrace(nullptr);
    EXPECT_EQ(result, c.result);
    if (c.response >= 0) {
        EXPECT_EQ(response, c.response);
    }
    ASSERT_GE(trace.frames.size(), 1u);
    EXPECT_EQ(trace.frames[0].first, 1);
    if (c.tracedBack == 0) {
        EXPECT_EQ(trace.frames.size(), 1u);
    } else {
        ASSERT_EQ(trace.frames.size(), 2u);
        EXPECT_EQ(trace.frames[1].first, -1);
        EXPECT_EQ(trace.frames[1].second.size(), c.tracedBack);
    }
    // The next command is not disturbed by what the broken answer left behind.
    module.SetFaults({});
    EXPECT_EQ(Version(&response), kProtocolOk);
    EXPECT_EQ(response, 0);
}

static ModuleFaults Faults(void (*set)(ModuleFaults&)) {
    ModuleFaults f;
    set(f);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SerialFaultIntegration,
    ::testing::Values(FaultCase{"Silence", Faults([](ModuleFaults& f) { f.silent = true; }), false,
                                kProtocolTimeout, -1, 0},
                      FaultCase{"StopsMidway", Faults([](ModuleFaults& f) { f.stopAfter = 10; }), false,
                                kProtocolTimeout, 0, 6},
                      FaultCase{"ShortHeader", Faults([](ModuleFaults& f) { f.shortHeader = true; }), false,
                                kProtocolShortHeader, -1, 3},
                      FaultCase{"BadSync", Faults([](ModuleFaults& f) { f.badSync = true; }), false,
                                kProtocolBadSync, -1, 6},
                      FaultCase{"JunkBeforeAnswer", Faults([](ModuleFaults& f) { f.junkBefore = 4; }), false,
                                kProtocolBadSync, -1, 6},
                      FaultCase{"BadLength", Faults([](ModuleFaults& f) { f.badLength = true; }), false,
                                kProtocolBadLength, -1, 6},
                      FaultCase{"DataOnSetCommand", Faults([](ModuleFaults& f) { f.setCommandData = 5; }),
                                true, kProtocolTooMuchData, 0, 6},
                      FaultCase{"RefusedByModule", Faults([](ModuleFaults& f) { f.responseCode = 0x42; }),
                                false, kProtocolOk, 0x42, 25},
                      FaultCase{"SetAcceptedWithoutData", ModuleFaults{}, true, kProtocolOk, 0, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialIntegration, RefusalsWriteNothingToTheLine) {
    std::uint8_t response = 0;
    VersionAnswer answer;
    EXPECT_EQ(CQZMProtocol(nullptr).GetVersion({0x00}, kTimeoutMs, &answer, &response),
              kProtocolNoConnection);
    EXPECT_EQ(device.Protocol().GetVersion({0x00}, kTimeoutMs, &answer, nullptr), kProtocolMissingArgument);
    EXPECT_EQ(device.Protocol().SaveAlbum(SupportedCommandsFor(0), kTimeoutMs, &response),
              kProtocolNotSupported);
    EXPECT_EQ(device.Protocol().GetVersion({0x01}, kTimeoutMs, &answer, &response), kProtocolNotSupported);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(module.BytesReceived(), 0u);
}

TEST_F(SerialIntegration, StaleInputIsDiscardedBySend) {
    const std::uint8_t junk[] = {0xFE, 0x00, 0x13, 0x00, 0x00, 0x00, 0x55};
    ASSERT_TRUE(module.PushUnsolicited(junk));
    ASSERT_TRUE(Buffered(sizeof junk));
    std::uint8_t response = 0xFF;
    VersionInfo version;
    ASSERT_EQ(device.GetVersion(&version, &response), kProtocolOk);
    EXPECT_EQ(version.model, std::string("QZM-K200    "));
}

TEST_F(SerialIntegration, WaitForBytesWithoutLimitAndWithNone) {
    CRS232Connection& line = device.Connection();
    EXPECT_EQ(line.WaitForBytes(0, 1), -1);
    EXPECT_FALSE(line.HasBytes(1));
    const std::uint8_t bytes[] = {1, 2, 3};
    auto later = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(30ms);
        return module.PushUnsolicited(bytes);
    });
    EXPECT_EQ(line.WaitForBytes(-1, 3), 0);
    EXPECT_TRUE(later.get());
    EXPECT_EQ(line.WaitForBytes(0, 3), 0);
    std::uint8_t got[8] = {};
    int count = 8;
    line.Receive(count, got);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(got[2], 3);
}

TEST_F(SerialIntegration, OpenCloseAndOpenAgain) {
    CRS232Connection& line = device.Connection();
    std::uint8_t response = 0xFF;
    line.Close();
    EXPECT_FALSE(line.IsOpen());
    line.Close();
    EXPECT_EQ(Version(&response), kProtocolTimeout);
    ASSERT_TRUE(line.Open(module.OpenPath(), 115200));
    EXPECT_EQ(line.BaudRate(), 115200);
    EXPECT_EQ(Version(&response), kProtocolOk);

    // An unknown name leaves the port as it is; a bad baud rate or a path that is no terminal
    // fails after the old port was closed, so no port is left open.
    EXPECT_FALSE(line.Open((root.path() / "nothing-here").string(), 9600));
    EXPECT_EQ(line.LastError(), kSerialNotFound);
    EXPECT_TRUE(line.IsOpen());
    EXPECT_FALSE(line.Open(module.OpenPath(), 0));
    EXPECT_EQ(line.LastError(), kSerialBadBaudRate);
    EXPECT_FALSE(line.IsOpen());
    ASSERT_TRUE(line.Open(module.OpenPath(), 9600));
    EXPECT_FALSE(line.Open("/dev/null", 9600));
    EXPECT_EQ(line.LastError(), kSerialNotTerminal);
    EXPECT_FALSE(line.IsOpen());
}

// A system that has no room for the reader thread just now (a process limit, little memory):
// the open fails with the reason, no port is left open and waits end at once; once there is room
// again the same port opens and answers. Before, the exception ended the whole program.
TEST_F(SerialIntegration, OpenWithoutRoomForTheReaderFailsAndCanBeTriedAgain) {
    CRS232Connection& line = device.Connection();
    line.Close();
    {
        const qzm::testing::NoRoomForThreads noRoom;
        ASSERT_TRUE(noRoom.Active());
        EXPECT_FALSE(line.Open(module.OpenPath(), 921600));
        EXPECT_EQ(line.LastError(), kSerialSetupFailed);
        EXPECT_NE(line.LastErrorText().find("reader cannot start"), std::string::npos)
            << line.LastErrorText();
        EXPECT_FALSE(line.IsOpen());
        EXPECT_NE(line.WaitForBytes(-1, 1), 0);
        std::uint8_t response = 0xFF;
        EXPECT_EQ(Version(&response), kProtocolTimeout);
        // The descriptor and its lock were given back: a second connection gets as far as its
        // own reader instead of finding the port busy.
        CRS232Connection other(PortEnumerationRoots{root.path().string(), root.path().string()});
        EXPECT_FALSE(other.Open(module.OpenPath(), 921600));
        EXPECT_EQ(other.LastError(), kSerialSetupFailed);
    }
    ASSERT_TRUE(line.Open(module.OpenPath(), 921600)) << line.LastErrorText();
    std::uint8_t response = 0xFF;
    EXPECT_EQ(Version(&response), kProtocolOk);
    EXPECT_EQ(response, 0);
}

TEST_F(SerialIntegration, SecondOpenClosesTheFirstPort) {
    CPtyModuleHost other{ModuleIdentity::Basic()};
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(device.Connection().Open(other.OpenPath(), 921600));
    VersionInfo version;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(device.GetVersion(&version, &response), kProtocolOk);
    EXPECT_EQ(version.model, std::string("QZM-K100    "));
    EXPECT_EQ(module.BytesReceived(), 0u);
    // The first port is free again: another connection can take it.
    CRS232Connection second(PortEnumerationRoots{root.path().string(), root.path().string()});
    EXPECT_TRUE(second.Open(module.OpenPath(), 921600)) << second.LastErrorText();
}

TEST_F(SerialIntegration, ExclusiveAccess) {
    CRS232Connection second(PortEnumerationRoots{root.path().string(), root.path().string()});
    EXPECT_FALSE(second.Open(module.OpenPath(), 921600));
    EXPECT_EQ(second.LastError(), kSerialBusy);
}

// A module unplugged in the middle of an answer: the exchange ends when the device goes, not when
// its time-out runs out, and so does every later wait on the vanished port.
TEST_F(SerialIntegration, DeviceVanishingMidAnswer) {
    constexpr int kLongTimeoutMs = 60000;
    ModuleFaults faults;
    faults.stopAfter = 9;
    module.SetFaults(faults);
    std::uint8_t response = 0xFF;
    const auto start = std::chrono::steady_clock::now();
    auto exchange = std::async(std::launch::async, [&] { return Version(&response, kLongTimeoutMs); });
    while (module.BytesSent() < 9)
        std::this_thread::sleep_for(1ms);
    const std::string path = module.OpenPath();
    module.Stop();
    EXPECT_EQ(exchange.get(), kProtocolTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongTimeoutMs));
    EXPECT_TRUE(device.Connection().IsLost());
    EXPECT_EQ(Version(&response, kLongTimeoutMs), kProtocolTimeout);
    EXPECT_EQ(device.Connection().WaitForBytes(-1, 1), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongTimeoutMs));

    // The module comes back at the same place (plugged in again): nothing reopens the port by
    // itself, its owner does (and brings the module in line), and then it answers.
    CPtyModuleHost back{ModuleIdentity::Extended()};
    ASSERT_TRUE(back.Start(path));
    EXPECT_EQ(Version(&response, kLongTimeoutMs), kProtocolTimeout);
    EXPECT_EQ(back.BytesReceived(), 0u);
    ASSERT_TRUE(device.Open(path, 921600)) << device.LastOpenErrorText();
    EXPECT_FALSE(device.Connection().IsLost());
    EXPECT_EQ(Version(&response), kProtocolOk);
    EXPECT_EQ(response, 0);
    // A closed port fails at once too.
    device.Close();
    EXPECT_EQ(Version(&response, kLongTimeoutMs), kProtocolTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongTimeoutMs));
}

TEST_F(SerialIntegration, FloodingModuleCannotGrowTheReceiveBuffer) {
    const std::vector<std::uint8_t> flood(CRs232::kReceiveLimit + 300000, 0x55);
    ASSERT_TRUE(module.PushUnsolicited(flood));
    while (module.BytesSent() < flood.size())
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(Buffered(static_cast<int>(CRs232::kReceiveLimit)));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(device.Connection().HasBytes(static_cast<int>(CRs232::kReceiveLimit) + 1));
    // The next command starts clean.
    std::uint8_t response = 0xFF;
    EXPECT_EQ(Version(&response), kProtocolOk);
}

// A hand-edited rate such as 19200 or one without a termios constant opens like the listed ones;
// only a rate that is no rate is refused, and the user is told why.
TEST_F(SerialIntegration, OpensAtAnyRateThePortRuns) {
    for (int baud : {19200, 57600, 250000, 9600, 4000000}) {
        ASSERT_TRUE(device.Open(module.OpenPath(), baud)) << baud << ": " << device.LastOpenErrorText();
        EXPECT_EQ(device.Connection().BaudRate(), baud);
        std::uint8_t response = 0xFF;
        // A generous wait: the port was just reopened and a loaded machine may be slow to answer.
        EXPECT_EQ(Version(&response, 2000), kProtocolOk) << baud;
    }
    for (int baud : {0, -9600}) {
        EXPECT_FALSE(device.Open(module.OpenPath(), baud)) << baud;
        EXPECT_EQ(device.LastOpenError(), kSerialBadBaudRate);
        EXPECT_NE(device.LastOpenErrorText().find("baud rate"), std::string::npos)
            << device.LastOpenErrorText();
        EXPECT_FALSE(device.IsOpen());
    }
}

// The rest of an answer too long for its command comes off the line before the exchange ends,
// whether it arrives in full or stops half-way, so the next command reads its own answer.
TEST_F(SerialIntegration, RestOfAnOversizedAnswerIsNotReadAsTheNextAnswer) {
    module.SetPacing(115200);
    for (const std::optional<std::size_t> stopAfter : {std::optional<std::size_t>{}, {1006}}) {
        ModuleFaults faults;
        faults.setCommandData = 3000;
        faults.stopAfter = stopAfter;
        module.SetFaults(faults);
        std::uint8_t response = 0xFF;
        EXPECT_EQ(device.Protocol().SetCameraAngle(SupportedCommandsFor(1), kTimeoutMs, 1, &response),
                  kProtocolTooMuchData);
        module.SetFaults({});
        EXPECT_EQ(Version(&response), kProtocolOk) << (stopAfter ? "stopped" : "whole");
        EXPECT_EQ(response, 0);
    }
}

// -1 is the one value that waits without limit; any other negative time-out checks once.
TEST_F(SerialIntegration, OnlyMinusOneWaitsWithoutLimit) {
    for (int timeout : {-2, -1000, INT_MIN}) {
        auto wait =
            std::async(std::launch::async, [&] { return device.Connection().WaitForBytes(timeout, 1); });
        const bool returned = wait.wait_for(2s) == std::future_status::ready;
        if (!returned)
            device.Close();  // wakes the endless wait so that the test can end
        EXPECT_TRUE(returned) << timeout;
        EXPECT_EQ(wait.get(), -1) << timeout;
    }
}

// A wait without limit is for an answer from this port; closing the port ends it.
TEST_F(SerialIntegration, WaitWithoutLimitEndsWhenThePortCloses) {
    for (int i = 0; i < 20; ++i) {
        auto wait = std::async(std::launch::async, [&] { return device.Connection().WaitForBytes(-1, 1); });
        std::this_thread::sleep_for(1ms);
        device.Close();
        const bool returned = wait.wait_for(2s) == std::future_status::ready;
        if (!returned) {
            // Something to read on a new port lets the test end.
            ASSERT_TRUE(device.Open(module.OpenPath(), 921600));
            const std::uint8_t byte[] = {1};
            module.PushUnsolicited(byte);
        }
        ASSERT_TRUE(returned) << "pass " << i;
        EXPECT_EQ(wait.get(), -1);
        ASSERT_TRUE(device.Open(module.OpenPath(), 921600));
    }
}

// The windows close and reconnect from their own thread while a worker may be exchanging. Run
// under ThreadSanitizer, this shows that no write or wait touches the port while it closes.
TEST_F(SerialIntegration, CloseAndReopenWhileAnotherThreadExchanges) {
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::thread worker([&] {
        while (!stop.load()) {
            std::uint8_t response = 0xFF;
            if (Version(&response, 20) == kProtocolOk && response == 0)
                ++answered;
        }
    });
    int reopened = 0;
    for (int i = 0; i < 50; ++i) {
        device.Close();
        if (!device.Open(module.OpenPath(), 921600))
            break;
        ++reopened;
        // Long enough for a whole exchange on a slow (sanitized) build between two closes.
        std::this_thread::sleep_for(20ms);
    }
    stop = true;
    worker.join();
    EXPECT_EQ(reopened, 50) << device.LastOpenErrorText();
    EXPECT_GT(answered.load(), 0);
    std::uint8_t response = 0xFF;
    EXPECT_EQ(Version(&response), kProtocolOk);
}
