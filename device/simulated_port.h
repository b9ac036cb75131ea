// A module emulated inside the program, offered as one more port, so that the program can be tried
// without hardware. The program's top layer supplies the emulator; the controller only starts it and
// opens the serial port it hands over, through the same connection as a real port.
#pragma once

#include <memory>
#include <string>

#include "device/serial_port.h"

namespace qzm {

class ISimulatedPort {
public:
    virtual ~ISimulatedPort() = default;
    // The name listed after the real ports.
    virtual std::string Name() const = 0;
    // Whether connecting to portName means this module (a replayed recording is named by its file).
    virtual bool Serves(const std::string& portName) const { return portName == Name(); }
    // Starts the emulator for portName if it is not running and returns a port to it, not yet
    // open (the connection opens it under portName); null with a reason when it cannot start.
    virtual std::unique_ptr<ISerialPort> Start(const std::string& portName, std::string* errorText) = 0;
    virtual void Stop() = 0;
};

}  // namespace qzm
