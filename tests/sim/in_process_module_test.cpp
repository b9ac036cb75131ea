// The emulated module inside the program: the serial port that leads to it keeps the serial port's
// contract, and the PC's device facade works through it as through a real line.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "device/qzm_device.h"
#include "sim/in_process_module_host.h"
#include "sim_test_support.h"
#include "test_folder.h"

namespace qzm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using WaitResult = ISerialPort::WaitResult;

// Get Version as the PC sends it: sync byte, command, no data; and the length of its answer.
const std::vector<std::uint8_t> kGetVersion = {0xFE, 0x00, 0x00, 0x00};
const std::size_t kVersionAnswerSize = kResponseHeaderSize + ModuleIdentity::Basic().VersionAnswer().size();

// Reads until count bytes arrived or the port stops being readable.
std::vector<std::uint8_t> ReadAnswer(ISerialPort& port, std::size_t count) {
    std::vector<std::uint8_t> answer;
    std::uint8_t buffer[256];
    while (answer.size() < count && port.WaitReadable() == WaitResult::kReadable) {
        const long n = port.Read(buffer, sizeof buffer);
        if (n < 0)
            break;
        answer.insert(answer.end(), buffer, buffer + n);
    }
    return answer;
}

TEST(InProcessPort, OpensOnlyOnARunningModuleAndOneAtATime) {
    CInProcessModuleHost host(ModuleIdentity::Extended());
    auto first = host.NewPort();
    auto second = host.NewPort();
    EXPECT_EQ(first->Open("Simulated module", 921600, 0), kSerialNotFound);
    EXPECT_FALSE(first->IsOpen());
    EXPECT_FALSE(first->LastErrorText().empty());

    ASSERT_TRUE(host.Start());
    ASSERT_EQ(first->Open("Simulated module", 921600, 0), kSerialOk);
    EXPECT_TRUE(first->IsOpen());
    EXPECT_EQ(second->Open("Simulated module", 921600, 0), kSerialBusy);
    first->Close();
    ASSERT_EQ(second->Open("Simulated module", 921600, 0), kSerialOk);

    ASSERT_TRUE(second->Write(kGetVersion.data(), kGetVersion.size(), 1000));
    const std::vector<std::uint8_t> answer = ReadAnswer(*second, kVersionAnswerSize);
    ASSERT_EQ(answer.size(), kVersionAnswerSize);
    EXPECT_EQ(answer[0], 0xFE);
    EXPECT_EQ(answer[1], 0x00);
    EXPECT_EQ(host.CommandsHandled(), 1u);
}

// Stopping the module is the cable pulled: every way into the open port says so at once, and stays
// so after a new start (a new line), where only a new open finds the module again.
TEST(InProcessPort, AStoppedModuleIsGoneForTheOpenPort) {
    CInProcessModuleHost host;
    ASSERT_TRUE(host.Start());
    auto port = host.NewPort();
    ASSERT_EQ(port->Open("m", 9600, 0), kSerialOk);
    auto waiting = std::async(std::launch::async, [&] { return port->WaitReadable(); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout) << "nothing was sent, nothing to read";
    host.Stop();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), WaitResult::kGone);
    std::uint8_t byte = 0;
    EXPECT_LT(port->Read(&byte, 1), 0);
    EXPECT_FALSE(port->Write(kGetVersion.data(), kGetVersion.size(), 1000));

    ASSERT_TRUE(host.Start());
    EXPECT_EQ(port->WaitReadable(), WaitResult::kGone);
    ASSERT_EQ(port->Open("m", 9600, 0), kSerialOk);
    ASSERT_TRUE(port->Write(kGetVersion.data(), kGetVersion.size(), 1000));
    EXPECT_EQ(ReadAnswer(*port, kVersionAnswerSize).size(), kVersionAnswerSize);

    // The port may outlive the module it led to.
    auto late = host.NewPort();
    host.Stop();
    EXPECT_EQ(late->Open("m", 9600, 0), kSerialNotFound);
}

// Interrupt wakes a wait and a stalled write from another thread and holds until the next open; a
// write the module takes nothing of gives up after its stall time.
TEST(InProcessPort, InterruptAndStallEndWaitsAndWrites) {
    CInProcessModuleHost host;
    host.SetPacing(10);  // one byte a second: the line fills and stays full
    ASSERT_TRUE(host.Start());
    auto port = host.NewPort();
    ASSERT_EQ(port->Open("m", 9600, 0), kSerialOk);
    const std::vector<std::uint8_t> flood(CInProcessModuleHost::kLineCapacity + 4096, 0x55);

    auto start = Clock::now();
    EXPECT_FALSE(port->Write(flood.data(), flood.size(), 100));
    EXPECT_GE(Clock::now() - start, 100ms);
    EXPECT_LT(Clock::now() - start, 900ms) << "given up after the stall time, not at the next byte";

    struct Case {
        const char* what;
        std::function<bool()> blocked;  // true when it ended for the interrupt
    };
    const Case cases[] = {
        {"wait", [&] { return port->WaitReadable() == WaitResult::kInterrupted; }},
        {"write", [&] { return !port->Write(flood.data(), flood.size(), 60000); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(port->Open("m", 9600, 0), kSerialOk);
        auto blocked = std::async(std::launch::async, c.blocked);
        EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout);
        port->Interrupt();
        ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(blocked.get());
        EXPECT_EQ(port->WaitReadable(), WaitResult::kInterrupted) << "until the next open";
    }
    port->Close();
    start = Clock::now();
    host.Stop();
    EXPECT_LT(Clock::now() - start, 2s) << "a stop does not wait for the paced line";
}

// Paced, the answers take their line time through the in-process line too.
TEST(InProcessPort, PacingHoldsAnswersToTheLineRate) {
    CInProcessModuleHost host;
    host.SetPacing(96000);  // 9600 bytes a second
    ASSERT_TRUE(host.Start());
    auto port = host.NewPort();
    ASSERT_EQ(port->Open("m", 96000, 0), kSerialOk);
    const std::vector<std::uint8_t> unasked(4800, 0xA5);
    const auto start = Clock::now();
    ASSERT_TRUE(host.PushUnsolicited(unasked));
    EXPECT_EQ(ReadAnswer(*port, unasked.size()), unasked);
    EXPECT_GE(Clock::now() - start, 450ms);
    EXPECT_LT(Clock::now() - start, 5s);
}

// The PC's device facade over the in-process port: an execution with its image, a registration,
// and the module stopped in the middle of an exchange.
class InProcessDevice : public ::testing::Test {
protected:
    InProcessDevice() : device(PortEnumerationRoots{root.path().string(), root.path().string()}) {}

    void SetUp() override {
        ASSERT_TRUE(module.Start());
        ASSERT_TRUE(device.Open("Simulated module", 921600, module.NewPort()));
        simtest::ConnectExtended(device, module.Emulator());
    }

    ScopedWorkingFolder root;  // no time-out files: every wait is 1 s per byte
    CInProcessModuleHost module{ModuleIdentity::Extended()};
    CQZMDevice device;
};

TEST_F(InProcessDevice, ExecutesWithImageAndRegisters) {
    module.Emulator().SetFacesInView(1);
    const bool all[kFunctionCount] = {true, true, true, true, true, true, true, true, true, true};
    CImageData image;
    ASSERT_EQ(image.Allocate(320, nullptr, 240, kFormatGrey8, 1), 0);
    CExecResult result;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(device.Execute(kImage320x240, 40, 2, 1, all, 0, &image, &result, &response), kProtocolOk);
    EXPECT_EQ(response, 0);
    EXPECT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 240);

    CImageData face;
    ASSERT_EQ(face.Allocate(64, nullptr, 64, kFormatGrey8, 1), 0);
    ASSERT_EQ(device.Register(0, 8, 1, &face, &response), kProtocolOk);
    EXPECT_EQ(response, 0);
    EXPECT_EQ(module.Emulator().RegisteredEntries(), 1u);
    ASSERT_EQ(device.Execute(kImage320x240, 40, 2, 1, all, 0, &image, &result, &response), kProtocolOk);
    ASSERT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(result.faces[0].recognition.userId, 8);
}

TEST_F(InProcessDevice, AModuleStoppedMidExchangeIsLostAtOnce) {
    ModuleFaults silent;
    silent.silent = true;
    module.SetFaults(silent);
    const std::uint64_t handled = module.CommandsHandled();
    const auto start = Clock::now();
    auto asked = std::async(std::launch::async, [&] {
        VersionInfo version;
        std::uint8_t response = 0xFF;
        return device.GetVersion(&version, &response);
    });
    while (module.CommandsHandled() == handled)
        std::this_thread::sleep_for(1ms);
    module.Stop();
    ASSERT_EQ(asked.wait_for(10s), std::future_status::ready) << "the exchange ends as the module goes";
    EXPECT_NE(asked.get(), kProtocolOk);
    EXPECT_TRUE(device.Connection().IsLost());
    EXPECT_LT(Clock::now() - start, 10s);

    // Started again, the module is found by a new open.
    module.SetFaults({});
    ASSERT_TRUE(module.Start());
    ASSERT_TRUE(device.Open("Simulated module", 921600, module.NewPort()));
    EXPECT_FALSE(device.Connection().IsLost());
    VersionInfo version;
    std::uint8_t response = 0xFF;
    EXPECT_EQ(device.GetVersion(&version, &response), kProtocolOk);
}

}  // namespace
}  // namespace qzm
