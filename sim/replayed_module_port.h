// A recording offered to the program as a module: the port name is the entry's prefix followed by
// the recording's path, so that the port remembered for the next start names the recording too.
// The recording answers the executions; registrations and albums work as in the simulated module.
#pragma once

#include <memory>
#include <string>

#include "record/replay_source.h"
#include "sim/simulated_module_port.h"

namespace qzm {

// The module that was recorded: its model and firmware over base, so that the program picks the
// recorded module's command set.
ModuleIdentity RecordedIdentity(const CReplaySource& replay,
                                ModuleIdentity base = ModuleIdentity::Extended());
// Executions answered with replay's runs; replay must outlive the emulator answering with them.
CModuleEmulator::ExecutionAnswers AnswersFrom(CReplaySource& replay);

class CReplayedModulePort : public ISimulatedPort {
public:
    // The file where the replayed module keeps its registrations, apart from the simulated
    // module's, since both may run side by side.
    static constexpr const char* kStoreFile = "./ReplayedModule.album";

    // name: the entry listed; prefix: what a port name serving a recording begins with.
    CReplayedModulePort(std::string name, std::string prefix);
    ~CReplayedModulePort() override;

    std::string PortNameFor(const std::string& recordingPath) const { return prefix_ + recordingPath; }

    std::string Name() const override { return name_; }
    bool Serves(const std::string& portName) const override;
    std::unique_ptr<ISerialPort> Start(const std::string& portName, std::string* errorText) override;
    void Stop() override;

private:
    const std::string name_;
    const std::string prefix_;
    std::string path_;  // the recording being replayed
    // The module goes before the recording it answers from.
    std::unique_ptr<CReplaySource> replay_;
    std::unique_ptr<CSimulatedModulePort> module_;
};

}  // namespace qzm
