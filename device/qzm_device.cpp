#include "device/qzm_device.h"

#include "device/qzm_frame.h"

namespace qzm {

CQZMDevice::CQZMDevice(PortEnumerationRoots roots)
    : connection_(std::move(roots)),
      protocol_(&connection_),
      supportedCommands_(SupportedCommandsFor(kBasicDevice)) {}

int CQZMDevice::GetVersion(VersionInfo* version, std::uint8_t* response) {
    static const SupportedCommands kVersionOnly = {0x00};
    VersionAnswer answer;
    const int result = protocol_.GetVersion(kVersionOnly, LookupTimeout(kCmdGetVersion),
                                            version ? &answer : nullptr, response);
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

int CQZMDevice::SetSizeRange(const CRange ranges[3], std::uint8_t* response) {
    return protocol_.SetSizeRange(supportedCommands_, LookupTimeout(kCmdSetSizeRange), ranges, response);
}

int CQZMDevice::DeleteUser(int count, int user, std::uint8_t* response) {
    timeoutParameters_.registeredCount = count;
    return protocol_.DeleteUser(supportedCommands_, LookupTimeout(kCmdDeleteUser),
                                static_cast<std::uint16_t>(user), response);
}

int CQZMDevice::DeleteData(int count, int user, int data, std::uint8_t* response) {
    timeoutParameters_.registeredCount = count;
    return protocol_.DeleteData(supportedCommands_, LookupTimeout(kCmdDeleteData),
                                static_cast<std::uint16_t>(user), static_cast<std::uint8_t>(data), response);
}

int CQZMDevice::GetUserData(int user, bool present[10], std::uint8_t* response) {
    return protocol_.GetUserData(supportedCommands_, LookupTimeout(kCmdGetUserData),
                                 static_cast<std::uint16_t>(user), present, response);
}

}  // namespace qzm
