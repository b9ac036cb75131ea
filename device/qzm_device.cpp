#include "device/qzm_device.h"

#include <algorithm>
#include <cstring>

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

int CQZMDevice::SetCameraAngle(int angleCode, std::uint8_t* response) {
    return protocol_.SetCameraAngle(supportedCommands_, LookupTimeout(kCmdSetCameraAngle),
                                    static_cast<std::uint8_t>(angleCode), response);
}

int CQZMDevice::SetThreshold(const int thresholds[4], std::uint8_t* response) {
    return protocol_.SetThreshold(supportedCommands_, LookupTimeout(kCmdSetThreshold), thresholds, response);
}

int CQZMDevice::SetSizeRange(const CRange ranges[3], std::uint8_t* response) {
    return protocol_.SetSizeRange(supportedCommands_, LookupTimeout(kCmdSetSizeRange), ranges, response);
}

int CQZMDevice::SetFaceAngle(int yawCode, int rollCode, std::uint8_t* response) {
    return protocol_.SetFaceAngle(supportedCommands_, LookupTimeout(kCmdSetFaceAngle),
                                  static_cast<std::uint8_t>(yawCode), static_cast<std::uint8_t>(rollCode),
                                  response);
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

int CQZMDevice::DeleteAll(int count, std::uint8_t* response) {
    timeoutParameters_.registeredCount = count;
    return protocol_.DeleteAll(supportedCommands_, LookupTimeout(kCmdDeleteAll), response);
}

int CQZMDevice::GetUserData(int user, bool present[10], std::uint8_t* response) {
    return protocol_.GetUserData(supportedCommands_, LookupTimeout(kCmdGetUserData),
                                 static_cast<std::uint16_t>(user), present, response);
}

int CQZMDevice::Execute(int imageOption, int minFaceSize, int yawCode, int rollCode, const bool functions[10],
                        int recognitionUserCount, CImageData* image, CExecResult* result,
                        std::uint8_t* response) {
    if (functions == nullptr || result == nullptr)
        return kProtocolMissingArgument;
    TimeoutParameters& p = timeoutParameters_;
    p.baudRate = connection_.BaudRate();
    p.imageOption = imageOption;
    std::copy(functions, functions + kFunctionCount, p.functions);
    p.minFaceSize = minFaceSize;
    p.yawCode = yawCode;
    p.rollCode = rollCode;
    p.recognitionUserCount = recognitionUserCount;
    const int timeout = LookupTimeout(CTimeoutTables::kImageRule) + LookupTimeout(kCmdExecute);

    const FunctionRequestBytes flags = FlagsFromSwitches(functions);
    const bool wantsImage = ExecImageSize(imageOption) > 0;
    std::uint8_t* pixels = wantsImage && image != nullptr ? image->Plane(0) : nullptr;
    const std::size_t capacity = pixels != nullptr ? image->PlaneCapacity(0) : 0;
    CRawExecResult raw;
    const int code = SendExecute(timeout, flags, imageOption, pixels, capacity, &raw, response);
    if (code != kProtocolOk || *response != 0)
        return code;
    DecodeExecResult(raw, result);
    // Without an image the image is 0 x 0, so no earlier frame is shown under these results.
    if (image != nullptr)
        SetExecImageSize(raw, image);
    return code;
}

int CQZMDevice::SendExecute(int timeoutMs, FunctionRequestBytes flags, int imageOption, std::uint8_t* pixels,
                            std::size_t capacity, CRawExecResult* raw, std::uint8_t* response) {
    // The extended command set answers with five expression scores.
    return DeviceType() == kExtendedDevice ? protocol_.ExecuteEx(supportedCommands_, timeoutMs, flags,
                                                                 imageOption, pixels, capacity, raw, response)
                                           : protocol_.Execute(supportedCommands_, timeoutMs, flags,
                                                               imageOption, pixels, capacity, raw, response);
}

int CQZMDevice::ExecuteImageOnly(CImageData* image, std::uint8_t* response) {
    if (image == nullptr)
        return kProtocolMissingArgument;
    timeoutParameters_.baudRate = connection_.BaudRate();
    // The preview frame is always 160 x 120, whatever the buffer held before.
    image->Allocate(160, nullptr, 120, kFormatGrey8, 1);
    const bool none[kFunctionCount] = {};
    CRawExecResult raw;
    const int code = SendExecute(LookupTimeout(CTimeoutTables::kPreviewImageRule), FlagsFromSwitches(none),
                                 kImage160x120, image->Plane(0), image->PlaneCapacity(0), &raw, response);
    if (code != kProtocolOk || *response != 0)
        return code;
    SetExecImageSize(raw, image);
    return code;
}

int CQZMDevice::Register(int count, int user, int data, CImageData* image, std::uint8_t* response) {
    if (image == nullptr || image->Plane(0) == nullptr)
        return kProtocolMissingArgument;
    timeoutParameters_.registeredCount = count;
    const int code =
        protocol_.Register(supportedCommands_, LookupTimeout(kCmdRegister), static_cast<std::uint16_t>(user),
                           static_cast<std::uint8_t>(data), response);
    if (code != kProtocolOk || *response != 0)
        return code;
    const std::span<const std::uint8_t> answer = protocol_.AnswerData();
    if (answer.size() < 4)
        return kProtocolBadLength;
    const int width = GetLE16(answer.data());
    const int height = GetLE16(answer.data() + 2);
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels > 4096 || pixels != answer.size() - 4 || pixels > image->PlaneCapacity(0))
        return kProtocolBadLength;
    if (image->SetSize(width, height) != 0)
        return kProtocolBadLength;
    if (pixels > 0)
        std::memcpy(image->Plane(0), answer.data() + 4, pixels);
    return code;
}

int CQZMDevice::SaveAlbum(std::uint32_t* size, std::uint8_t* flag, std::vector<std::uint8_t>* album,
                          std::uint8_t* response) {
    if (size == nullptr || flag == nullptr || album == nullptr)
        return kProtocolMissingArgument;
    timeoutParameters_.baudRate = connection_.BaudRate();
    const int code = protocol_.SaveAlbum(supportedCommands_, LookupTimeout(kCmdSaveAlbum), response);
    if (code != kProtocolOk || *response != 0)
        return code;
    const std::span<const std::uint8_t> answer = protocol_.AnswerData();
    if (answer.size() < 40)
        return kProtocolBadLength;
    const std::uint32_t stated = GetLE32(answer.data());
    if (stated > kMaxAlbumSize || stated != answer.size() - 8)
        return kProtocolBadLength;
    *size = stated;
    *flag = answer[4];
    album->assign(answer.begin() + 8, answer.end());
    return code;
}

int CQZMDevice::LoadAlbum(std::uint32_t size, std::uint8_t flag, const std::uint8_t* album,
                          std::uint8_t* response) {
    if (size > kMaxAlbumSize)
        return kProtocolBadLength;
    timeoutParameters_.baudRate = connection_.BaudRate();
    return protocol_.LoadAlbum(supportedCommands_, LookupTimeout(kCmdLoadAlbum), size, flag, album, response);
}

}  // namespace qzm
