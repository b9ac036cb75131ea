// A hand check of the Windows serial port against the emulator, run under Wine with a COM port of
// the prefix mapped to the emulator's pseudo-terminal (scripts/wine-serial-check.sh builds and runs
// it). Not a unit test: it needs that mapping and a running emulator.
//
// usage: wine_port_check.exe PORT BAUD SIGNAL-FILE
// Talks to the module on PORT, then creates SIGNAL-FILE and expects the emulator to be ended, after
// which the port must report the device gone instead of waiting for ever.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/qzm_frame.h"
#include "device/qzm_protocol.h"
#include "device/rs232_connection.h"

using namespace qzm;
using Clock = std::chrono::steady_clock;

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT BAUD SIGNAL-FILE\n", argv[0]);
        return 2;
    }
    const std::string port = argv[1];
    const int baud = std::atoi(argv[2]);

    std::string listed;
    for (const auto& name : EnumerateSerialPorts({}))
        listed += name + " ";
    std::printf("listed ports: %s\n", listed.c_str());
    Check(IsCharacterDevice(port), "IsCharacterDevice(" + port + ")");
    Check(IsCharacterDevice(R"(\\.\)" + port), "IsCharacterDevice(\\\\.\\" + port + ")");
    Check(!IsCharacterDevice("COM199"), "COM199 is no device");

    {
        auto missing = CreateSerialPort();
        const SerialError e = missing->Open("COM199", baud, 0);
        Check(e == kSerialNotFound && !missing->LastErrorText().empty(),
              "COM199 not found: " + std::to_string(e) + " \"" + missing->LastErrorText() + "\"");
    }

    CRS232Connection connection;
    const bool open = connection.Open(port, baud);
    Check(open, "open " + port + " at " + std::to_string(baud) + ": " +
                    std::to_string(connection.LastError()) + " " + connection.LastErrorText());
    {
        // Windows keeps a COM port to one handle; Wine does not, so this is only reported.
        auto second = CreateSerialPort();
        const SerialError e = second->Open(port, baud, 0);
        std::printf("note  second open of the port: %d \"%s\" (on Windows: %d)\n", e,
                    second->LastErrorText().c_str(), kSerialBusy);
    }

    CQZMProtocol protocol(&connection);
    const SupportedCommands extended = SupportedCommandsFor(kExtendedDevice);
    auto start = Clock::now();
    int versions = 0;
    VersionAnswer version;
    for (int i = 0; i < 200; ++i) {
        std::uint8_t response = 0xFF;
        if (protocol.GetVersion(extended, 2000, &version, &response) == kProtocolOk && response == 0)
            ++versions;
    }
    Check(versions == 200, "200 version requests answered: " + std::to_string(versions) + " in " +
                               std::to_string(MsSince(start)) + " ms, model \"" +
                               std::string(reinterpret_cast<const char*>(version.model), 12) + "\" " +
                               std::to_string(version.major) + "." + std::to_string(version.minor));

    // Executions with the 320 x 240 image: long answers that arrive in many pieces.
    start = Clock::now();
    int images = 0;
    std::vector<std::uint8_t> pixels(320 * 240);
    for (int i = 0; i < 5; ++i) {
        CRawExecResult raw;
        std::uint8_t response = 0xFF;
        if (protocol.Execute(extended, 10000, FunctionRequestBytes{}, 1, pixels.data(), pixels.size(), &raw,
                             &response) == kProtocolOk &&
            response == 0)
            ++images;
    }
    Check(images == 5, "5 executions with a 76800-byte image: " + std::to_string(images) + " in " +
                           std::to_string(MsSince(start)) + " ms");
    connection.Close();

    // A reader blocked on an idle line wakes when told to, also after the wait has looked at the
    // port a few times.
    auto raw = CreateSerialPort();
    SerialError opened = raw->Open(port, baud, 1);
    Check(opened == kSerialOk, "raw open with RTS on: " + raw->LastErrorText());
    {
        std::thread waker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            raw->Interrupt();
        });
        start = Clock::now();
        const auto result = raw->WaitReadable();
        waker.join();
        Check(result == ISerialPort::WaitResult::kInterrupted,
              "idle wait interrupted after " + std::to_string(MsSince(start)) + " ms");
        Check(!raw->Write(reinterpret_cast<const std::uint8_t*>("x"), 1, 1000),
              "write refused while interrupted");
    }
    // The wake-up is cleared by the next open; then the port is read until the emulator is ended.
    opened = raw->Open(port, baud, 0);
    Check(opened == kSerialOk, "reopen: " + raw->LastErrorText());
    const std::uint8_t getVersion[4] = {kFrameSync, kCmdGetVersion, 0, 0};
    std::atomic<bool> finished{false};
    std::atomic<int> answerBytes{0};
    std::atomic<int> outcome{-2};
    std::thread reader([&] {
        std::uint8_t buffer[4096];
        for (;;) {
            const auto ready = raw->WaitReadable();
            if (ready != ISerialPort::WaitResult::kReadable) {
                outcome = ready == ISerialPort::WaitResult::kGone ? 0 : 1;
                break;
            }
            const long n = raw->Read(buffer, sizeof buffer);
            if (n < 0) {
                outcome = -1;
                break;
            }
            answerBytes += static_cast<int>(n);
        }
        finished = true;
    });
    // The request goes out while the reader has long been waiting, so the answer ends its wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Check(raw->Write(getVersion, 4, 2000), "raw version request written");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Check(answerBytes.load() == 6 + 19, "raw answer of " + std::to_string(answerBytes.load()) + " bytes");
    std::ofstream(argv[3]) << "end the emulator\n";
    start = Clock::now();
    while (!finished.load() && MsSince(start) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool gone = finished.load();
    if (!gone)
        raw->Interrupt();
    reader.join();
    Check(gone && outcome.load() != 1, "device gone noticed (" +
                                           std::string(outcome.load() == 0    ? "wait said gone"
                                                       : outcome.load() == -1 ? "read failed"
                                                                              : "no: interrupted") +
                                           ") after " + std::to_string(MsSince(start)) + " ms");
    const bool written = raw->Write(getVersion, 4, 1000);
    Check(!written, "write after the device went fails: " + raw->LastErrorText());
    raw->Close();
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks FAILED");
    return failures == 0 ? 0 : 1;
}
