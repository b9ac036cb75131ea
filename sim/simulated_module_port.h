// The emulator offered to the program as its built-in "Simulated module" port: started inside the
// program on first use and reached through a port of its own (sim/in_process_module_host.h), which the
// ordinary connection opens, on every system.
#pragma once

#include <memory>
#include <string>

#include "device/simulated_port.h"
#include "sim/in_process_module_host.h"
#include "sim/module_identity.h"

namespace qzm {

class CSimulatedModulePort : public ISimulatedPort {
public:
    // The file in the working folder where the simulated module keeps its registrations between
    // runs, as a module keeps them in its own memory.
    static constexpr const char* kStoreFile = "./SimulatedModule.album";

    // name: the port name to list (the program's own text for it).
    CSimulatedModulePort(std::string name, ModuleIdentity identity = ModuleIdentity::Extended(),
                         std::string storeFile = kStoreFile);
    ~CSimulatedModulePort() override;

    // What the camera sees from the next start on: SceneKind::kSingle (the default) is one person
    // looking at the camera, who can be registered and is then recognised.
    void SetScene(SceneKind scene) { scene_ = scene; }
    SceneKind Scene() const { return scene_; }

    // Executions answered from elsewhere (a recording replayed) from the next start on.
    void SetExecutionAnswers(CModuleEmulator::ExecutionAnswers answers) { answers_ = std::move(answers); }

    std::string Name() const override { return name_; }
    std::unique_ptr<ISerialPort> Start(const std::string& portName, std::string* errorText) override;
    void Stop() override;

private:
    const std::string name_;
    ModuleIdentity identity_;
    const std::string storeFile_;
    SceneKind scene_ = SceneKind::kSingle;
    CModuleEmulator::ExecutionAnswers answers_;
    std::unique_ptr<CInProcessModuleHost> host_;
};

}  // namespace qzm
