#include "sim/replayed_module_port.h"

namespace qzm {

ModuleIdentity RecordedIdentity(const CReplaySource& replay, ModuleIdentity base) {
    base.model = replay.Session().model;
    ParseVersionText(replay.Session().firmware, base);
    return base;
}

CModuleEmulator::ExecutionAnswers AnswersFrom(CReplaySource& replay) {
    return [&replay](std::span<const std::uint8_t> request, bool fiveScores) {
        return replay.Answer(request, fiveScores);
    };
}

CReplayedModulePort::CReplayedModulePort(std::string name, std::string prefix)
    : name_(std::move(name)), prefix_(std::move(prefix)) {}

CReplayedModulePort::~CReplayedModulePort() {
    Stop();
}

bool CReplayedModulePort::Serves(const std::string& portName) const {
    return portName.size() > prefix_.size() && portName.compare(0, prefix_.size(), prefix_) == 0;
}

std::unique_ptr<ISerialPort> CReplayedModulePort::Start(const std::string& portName, std::string* errorText) {
    const std::string path = portName.substr(prefix_.size());
    if (module_ && path == path_)
        return module_->Start(portName, errorText);
    Stop();
    auto replay = std::make_unique<CReplaySource>();
    std::string why;
    if (replay->Open(path, &why) != kRecordOk) {
        if (errorText)
            *errorText = "the recording " + path + " cannot be replayed: " + why;
        return nullptr;
    }
    auto module = std::make_unique<CSimulatedModulePort>(portName, RecordedIdentity(*replay), kStoreFile);
    module->SetExecutionAnswers(AnswersFrom(*replay));
    std::unique_ptr<ISerialPort> opened = module->Start(portName, errorText);
    if (opened == nullptr)
        return nullptr;
    path_ = path;
    replay_ = std::move(replay);
    module_ = std::move(module);
    return opened;
}

void CReplayedModulePort::Stop() {
    module_.reset();
    replay_.reset();
    path_.clear();
}

}  // namespace qzm
