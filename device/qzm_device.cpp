#include "device/qzm_device.h"

namespace qzm {

namespace {
// The wait per byte for a command whose time-out is not configured.
constexpr int kDefaultTimeoutMs = 1000;
}  // namespace

CQZMDevice::CQZMDevice(PortEnumerationRoots roots)
    : connection_(std::move(roots)),
      protocol_(&connection_),
      supportedCommands_(SupportedCommandsFor(kBasicDevice)) {}

int CQZMDevice::TimeoutFor(std::uint8_t) const {
    return kDefaultTimeoutMs;
}

int CQZMDevice::GetVersion(VersionInfo* version, std::uint8_t* response) {
    static const SupportedCommands kVersionOnly = {0x00};
    VersionAnswer answer;
    const int result =
        protocol_.GetVersion(kVersionOnly, TimeoutFor(0x00), version ? &answer : nullptr, response);
    if (result != kProtocolOk || *response != 0)
        return result;
    version->model.clear();
    for (const std::uint8_t byte : answer.model) {
        // Each byte is one character (Latin-1), so the text keeps all 12 of them.
        if (byte < 0x80) {
            version->model.push_back(static_cast<char>(byte));
        } else {
            version->model.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            version->model.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    version->major = answer.major;
    version->minor = answer.minor;
    version->release = answer.release;
    version->revision = answer.revision;
    return result;
}

void CQZMDevice::SetDeviceType(int type) {
    if (type == deviceType_.load())
        return;
    deviceType_ = type;
    supportedCommands_ = SupportedCommandsFor(type);
}

}  // namespace qzm
