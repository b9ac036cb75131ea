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

class CInProcessModuleHost : public CServedModule {
public:
    // Bytes each direction holds before the sender waits.
    static constexpr std::size_t kLineCapacity = 64 * 1024;

    explicit CInProcessModuleHost(ModuleIdentity identity = ModuleIdentity::Basic());
    ~CInProcessModuleHost();

    // Starts answering. False with a reason when already running or the thread cannot start.
    bool Start(std::string* errorText = nullptr);
    // Stops answering; a port that has the line open reports the device gone from now on (also after a
    // new Start, as a new module is a new line). Returns promptly. Safe to call when not running.
    void Stop();

    // A port to the module, not yet open. It may outlive the host (it then finds nothing there).
    std::unique_ptr<ISerialPort> NewPort();

private:
    const std::shared_ptr<InProcessLine> line_;  // shared with the ports; thread-safe on its own
    std::mutex lifecycleMutex_;                  // serialises Start and Stop
};

}  // namespace qzm
