// Where qzm-module-sim serves the emulator: the serial port of --port, else a pseudo-terminal where the
// system has them. The platform's file (module_serving_posix.cpp, module_serving_win32.cpp) chooses.
#pragma once

#include <memory>
#include <string>

#include "sim/module_server.h"
#include "sim/sim_options.h"

namespace qzm {

class IModuleServing {
public:
    virtual ~IModuleServing() = default;
    virtual CModuleServer& Server() = 0;
    // Starts serving as the options ask; openWhere receives the path or port the PC opens.
    virtual bool Start(const SimOptions& options, std::string* openWhere, std::string* errorText) = 0;
    virtual void Stop() = 0;
};

// Serving on the serial port options.portName through the device layer.
std::unique_ptr<IModuleServing> MakeSerialServing(const ModuleIdentity& identity);
// The serving the options and the platform call for.
std::unique_ptr<IModuleServing> MakeModuleServing(const SimOptions& options);

}  // namespace qzm
