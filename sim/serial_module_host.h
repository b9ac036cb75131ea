// Serves the emulated module on a serial port through the device layer's ISerialPort, so that a PC on the
// other end of a null-modem cable (or a port pair of a port emulator) talks to it as to a module. This is
// how qzm-module-sim runs on Windows, which has no pseudo-terminals.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "device/serial_port.h"
#include "sim/module_server.h"

namespace qzm {

class CSerialModuleHost : public CServedModule {
public:
    // The rate the port is opened at when no pacing asks for another.
    static constexpr int kDefaultBaud = 921600;

    explicit CSerialModuleHost(ModuleIdentity identity,
                               std::unique_ptr<ISerialPort> port = CreateSerialPort());
    ~CSerialModuleHost();

    // Opens portName (at the pacing rate, or kDefaultBaud when unpaced) and starts answering. False with a
    // reason when the port cannot be opened or the host already runs.
    bool Start(const std::string& portName, std::string* errorText = nullptr);
    // Stops answering and closes the port. Returns within a short chunk of line time.
    void Stop();

private:
    std::mutex lifecycleMutex_;  // serialises Start and Stop (the port is used by the line between them)
    const std::unique_ptr<ISerialPort> port_;
};

}  // namespace qzm
