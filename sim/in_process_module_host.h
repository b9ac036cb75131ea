// Runs the emulated module inside the program and hands out serial ports that lead to it, so that the
// built-in simulated module needs neither a pseudo-terminal nor a driver, on every system.
//
// Between the module and the PC's port lie two byte queues of a serial driver's size, one each way. A port
// behaves as an ISerialPort on a real line: one port at a time may have the line open (another gets
// kSerialBusy), its writes wait while the module has not taken the bytes before, and when the module stops
// (Stop, or the host goes away) the open port reports the device gone, as if the cable were pulled. A port
// opened while the module is not running finds nothing there (kSerialNotFound). Bytes the module sends
// while no port is open go nowhere, as on a line with nothing plugged in.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device/serial_port.h"
#include "sim/module_server.h"

namespace qzm {

struct InProcessLine;

class CInProcessModuleHost {
public:
    // Bytes each direction holds before the sender waits.
    static constexpr std::size_t kLineCapacity = 64 * 1024;

    explicit CInProcessModuleHost(ModuleIdentity identity = ModuleIdentity::Basic());
    ~CInProcessModuleHost();

    CInProcessModuleHost(const CInProcessModuleHost&) = delete;
    CInProcessModuleHost& operator=(const CInProcessModuleHost&) = delete;

    // Starts answering. False with a reason when already running or the thread cannot start.
    bool Start(std::string* errorText = nullptr);
    // Stops answering; a port that has the line open reports the device gone from now on (also after a
    // new Start, as a new module is a new line). Returns promptly. Safe to call when not running.
    void Stop();
    bool Running() const;

    // A port to the module, not yet open. It may outlive the host (it then finds nothing there).
    std::unique_ptr<ISerialPort> NewPort();

    void SetFaults(const ModuleFaults& faults) { server_.SetFaults(faults); }
    ModuleFaults Faults() const { return server_.Faults(); }
    // Baud rate whose line time the answers and requests take (baud / 10 bytes per second); 0 = unpaced.
    void SetPacing(std::uint32_t baud) { server_.SetPacing(baud); }
    std::uint32_t Pacing() const { return server_.Pacing(); }
    bool PushUnsolicited(std::span<const std::uint8_t> bytes) { return server_.PushUnsolicited(bytes); }

    CModuleEmulator& Emulator() { return server_.Emulator(); }

    std::uint64_t BytesReceived() const { return server_.BytesReceived(); }
    std::uint64_t BytesSent() const { return server_.BytesSent(); }
    std::uint64_t CommandsHandled() const { return server_.CommandsHandled(); }

private:
    const std::shared_ptr<InProcessLine> line_;  // shared with the ports; thread-safe on its own
    std::mutex lifecycleMutex_;                  // serialises Start and Stop
    CModuleServer server_;
};

}  // namespace qzm
