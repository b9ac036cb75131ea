#include "sim/module_emulator.h"

#include "device/qzm_frame.h"

namespace qzm {

namespace {

ModuleReply Answer(std::uint8_t code, std::vector<std::uint8_t> data = {}) {
    return ModuleReply{code, std::move(data), false};
}

}  // namespace

CModuleEmulator::CModuleEmulator(ModuleIdentity identity) : identity_(std::move(identity)) {}

std::span<const CModuleEmulator::CommandEntry> CModuleEmulator::Commands() {
    static constexpr CommandEntry kCommands[] = {
        {kCmdGetVersion, 0, false, false, &CModuleEmulator::OnGetVersion},
        {kCmdSetCameraAngle, 1, false, true, &CModuleEmulator::OnSetCameraAngle},
        {kCmdSetThreshold, 8, false, true, &CModuleEmulator::OnSetThreshold},
        {kCmdSetSizeRange, 12, false, true, &CModuleEmulator::OnSetSizeRange},
        {kCmdSetFaceAngle, 2, false, true, &CModuleEmulator::OnSetFaceAngle},
    };
    return kCommands;
}

const CModuleEmulator::CommandEntry* CModuleEmulator::Find(std::uint8_t code) const {
    for (const CommandEntry& entry : Commands()) {
        if (entry.code != code)
            continue;
        if (entry.extendedOnly && !identity_.HasExtendedCommandSet())
            return nullptr;
        return &entry;
    }
    return nullptr;
}

bool CModuleEmulator::Knows(std::uint8_t code) const {
    std::lock_guard lock(mutex_);
    return Find(code) != nullptr;
}

ModuleReply CModuleEmulator::Handle(const ParsedFrame& frame) {
    if (frame.tooLong)
        return Answer(kRespFrameTooLong);
    std::lock_guard lock(mutex_);
    const CommandEntry* entry = Find(frame.code);
    if (entry == nullptr)
        return Answer(kRespUnknownCommand);
    ModuleReply reply;
    if (entry->dataLength != kAnyLength && frame.data.size() != static_cast<std::size_t>(entry->dataLength)) {
        reply = Answer(kRespBadLength);
    } else {
        reply = (this->*(entry->handler))(frame.data);
    }
    reply.setCommand = entry->setCommand;
    return reply;
}

ModuleIdentity CModuleEmulator::Identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void CModuleEmulator::SetIdentity(const ModuleIdentity& identity) {
    std::lock_guard lock(mutex_);
    identity_ = identity;
}

StoredSettings CModuleEmulator::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void CModuleEmulator::SetSettings(const StoredSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

ModuleReply CModuleEmulator::OnGetVersion(std::span<const std::uint8_t>) {
    return Answer(kRespOk, identity_.VersionAnswer());
}

ModuleReply CModuleEmulator::OnSetCameraAngle(std::span<const std::uint8_t> data) {
    if (data[0] > 3)
        return Answer(kRespBadParameter);
    settings_.cameraAngle = data[0];
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetThreshold(std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < settings_.thresholds.size(); ++i)
        settings_.thresholds[i] = GetLE16(&data[2 * i]);
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetSizeRange(std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < settings_.sizeRanges.size(); ++i)
        settings_.sizeRanges[i] = GetLE16(&data[2 * i]);
    return Answer(kRespOk);
}

ModuleReply CModuleEmulator::OnSetFaceAngle(std::span<const std::uint8_t> data) {
    if (data[0] > 2 || data[1] > 1)
        return Answer(kRespBadParameter);
    settings_.yawCode = data[0];
    settings_.rollCode = data[1];
    return Answer(kRespOk);
}

}  // namespace qzm
