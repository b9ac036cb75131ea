// Command line of qzm-module-sim.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/emulated_scene.h"
#include "sim/module_faults.h"
#include "sim/module_identity.h"

namespace qzm {

struct SimOptions {
    ModuleIdentity identity = ModuleIdentity::Basic();
    ModuleFaults faults;
    std::uint32_t paceBaud = 0;
    std::string linkPath;
    std::string portName;   // serve on this serial port instead of a pseudo-terminal; empty: none
    std::string storePath;  // registrations kept in this album file between runs; empty: none
    std::uint64_t seed = 1;
    bool wallClock = false;  // the scene follows the clock instead of moving on per execution
    SceneKind scene = SceneKind::kFree;
    int facesInView = -1;    // -1: the chosen scene; 0..64 faces posed in view
    std::string replayPath;  // executions answered from this recording
    bool loop = false;       // the recording from the start again after its last run
    bool help = false;
};

// Exit status for a command line that cannot be used.
constexpr int kUsageExitCode = 2;

// Reads the arguments after the program name. Options take their value as the next argument or after '='
// ("--pace 9600", "--pace=9600"). --personality sets model and version; --model and --version given anywhere
// on the line override them. Returns false with a message in error for anything it cannot use.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

std::string SimUsageText();

}  // namespace qzm
