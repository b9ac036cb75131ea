#include "sim/simulated_module_port.h"

namespace qzm {

CSimulatedModulePort::CSimulatedModulePort(std::string name, ModuleIdentity identity)
    : name_(std::move(name)), identity_(std::move(identity)) {}

CSimulatedModulePort::~CSimulatedModulePort() {
    Stop();
}

std::string CSimulatedModulePort::Start(std::string* errorText) {
    if (host_ && host_->Running())
        return host_->OpenPath();
    host_ = std::make_unique<CPtyModuleHost>(identity_);
    if (!host_->Start({}, errorText)) {
        host_.reset();
        return {};
    }
    return host_->OpenPath();
}

void CSimulatedModulePort::Stop() {
    if (host_)
        host_->Stop();
    host_.reset();
}

}  // namespace qzm
