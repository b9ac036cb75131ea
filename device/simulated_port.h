// A module emulated inside the program, offered as one more port, so that the program can be tried
// without hardware. The program's top layer supplies the emulator; the controller only starts it and
// opens the path it gives like any serial port.
#pragma once

#include <string>

namespace qzm {

class ISimulatedPort {
public:
    virtual ~ISimulatedPort() = default;
    // The name listed after the real ports.
    virtual std::string Name() const = 0;
    // Whether connecting to portName means this module (a replayed recording is named by its file).
    virtual bool Serves(const std::string& portName) const { return portName == Name(); }
    // Starts the emulator for portName if it is not running; the path to open, or empty with a
    // reason.
    virtual std::string Start(const std::string& portName, std::string* errorText) = 0;
    virtual void Stop() = 0;
};

}  // namespace qzm
