#include "sim/simulated_module_port.h"

#include <filesystem>

namespace qzm {

CSimulatedModulePort::CSimulatedModulePort(std::string name, ModuleIdentity identity, std::string storeFile)
    : name_(std::move(name)), identity_(std::move(identity)), storeFile_(std::move(storeFile)) {}

CSimulatedModulePort::~CSimulatedModulePort() {
    Stop();
}

std::unique_ptr<ISerialPort> CSimulatedModulePort::Start(const std::string&, std::string* errorText) {
    if (host_ && host_->Running())
        return host_->NewPort();
    host_ = std::make_unique<CInProcessModuleHost>(identity_);
    // The scene moves with the clock. By default one person is in front of the camera, who can be
    // registered and is then recognised.
    host_->Emulator().SetScene(scene_);
    host_->Emulator().SetSceneClock(SceneClock::kWallTime);
    host_->Emulator().SetExecutionAnswers(answers_);
    std::error_code ec;
    // A damaged store file is left alone (not overwritten) and the module starts empty.
    if (std::filesystem::exists(storeFile_, ec) && !host_->Emulator().LoadStore(storeFile_)) {
        if (errorText)
            *errorText = "the simulated module's store " + storeFile_ + " cannot be read";
    } else {
        host_->Emulator().SetStoreFile(storeFile_);
    }
    if (!host_->Start(errorText)) {
        host_.reset();
        return nullptr;
    }
    return host_->NewPort();
}

void CSimulatedModulePort::Stop() {
    if (host_)
        host_->Stop();
    host_.reset();
}

}  // namespace qzm
