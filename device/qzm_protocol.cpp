#include "device/qzm_protocol.h"

#include <algorithm>
#include <cstring>

#include "device/qzm_frame.h"

namespace qzm {

namespace {

constexpr CommandInfo kGetVersion{kCmdGetVersion, kCmdGetVersion, "Get Version", 19};
constexpr CommandInfo kSetCameraAngle{kCmdSetCameraAngle, kCmdSetCameraAngle, "Set Camera Angle", 0};
constexpr CommandInfo kSetThreshold{kCmdSetThreshold, kCmdSetThreshold, "Set Threshold", 0};
constexpr CommandInfo kSetSizeRange{kCmdSetSizeRange, kCmdSetSizeRange, "Set Size Range", 0};
constexpr CommandInfo kSetFaceAngle{kCmdSetFaceAngle, kCmdSetFaceAngle, "Set Face Detection Angle", 0};
constexpr CommandInfo kRegister{kCmdRegister, kCmdRegister, "Registration", 4100};
constexpr CommandInfo kDeleteData{kCmdDeleteData, kCmdDeleteData, "Delete Data", 0};
constexpr CommandInfo kDeleteUser{kCmdDeleteUser, kCmdDeleteUser, "Delete User", 0};
constexpr CommandInfo kDeleteAll{kCmdDeleteAll, kCmdDeleteAll, "Delete All", 0};
constexpr CommandInfo kGetUserData{kCmdGetUserData, kCmdGetUserData,
                                   "Get presence registration Data of one person", 2};
constexpr CommandInfo kSaveAlbum{kCmdSaveAlbum, kCmdSaveAlbum, "Save Album", 816040};
constexpr CommandInfo kLoadAlbum{kCmdLoadAlbum, kCmdLoadAlbum, "Load Album", 0};

CommandInfo ExecuteInfo(std::uint8_t code, int imageOption) {
    return {code, kCmdExecute, "Execute", static_cast<std::uint32_t>(ExecAnswerCapacity(imageOption))};
}

std::vector<std::uint8_t> UserData(std::uint16_t user) {
    std::vector<std::uint8_t> data;
    PutLE16(data, user);
    return data;
}

}  // namespace

SupportedCommands SupportedCommandsFor(int deviceType) {
    // As the module lists them, in its order. The extended list names 0x16 twice; that hides no
    // command: every code the program sends is in it once.
    if (deviceType == kExtendedDevice) {
        return {kCmdGetVersion,   kCmdSetCameraAngle, kCmdGetCameraAngle, kCmdExecute,      kCmdExecuteEx,
                kCmdSetThreshold, kCmdGetThreshold,   kCmdSetSizeRange,   kCmdGetSizeRange, kCmdSetFaceAngle,
                kCmdGetFaceAngle, kCmdUnknown0F,      kCmdRegister,       kCmdDeleteData,   kCmdDeleteUser,
                kCmdDeleteAll,    kCmdGetUserData,    kCmdUnknown16,      kCmdSaveAlbum,    kCmdLoadAlbum,
                kCmdWriteFlash,   kCmdReformatFlash,  kCmdUnknown16,      kCmdUnknown80,    kCmdUnknown81};
    }
    return {kCmdGetVersion,   kCmdSetCameraAngle, kCmdGetCameraAngle, kCmdExecute,      kCmdSetThreshold,
            kCmdGetThreshold, kCmdSetSizeRange,   kCmdGetSizeRange,   kCmdSetFaceAngle, kCmdGetFaceAngle,
            kCmdUnknown0F,    kCmdRegister,       kCmdDeleteData,     kCmdDeleteUser,   kCmdDeleteAll,
            kCmdGetUserData,  kCmdUnknown16,      kCmdUnknown80,      kCmdUnknown81};
}

CQZMProtocol::CQZMProtocol(CConnection* connection, FrameTrace* trace)
    : connection_(connection), trace_(trace) {}

bool CQZMProtocol::IsSupported(const SupportedCommands& supported, std::uint8_t code) {
    return std::find(supported.begin(), supported.end(), code) != supported.end();
}

int CQZMProtocol::Command(const SupportedCommands& supported, int timeoutMs, const CommandInfo& info,
                          std::span<const std::uint8_t> data, std::uint8_t* response, bool haveDestination) {
    if (connection_ == nullptr)
        return kProtocolNoConnection;
    if (response == nullptr || !haveDestination)
        return kProtocolMissingArgument;
    if (!IsSupported(supported, info.checkedCode))
        return kProtocolNotSupported;
    const std::vector<std::uint8_t> frame = BuildCommandFrame(info.code, data);
    return Transact(timeoutMs, info, frame, response);
}

int CQZMProtocol::Transact(int timeoutMs, const CommandInfo& info, std::span<const std::uint8_t> frame,
                           std::uint8_t* response) {
    if (connection_ == nullptr)
        return kProtocolNoConnection;
    if (response == nullptr)
        return kProtocolMissingArgument;
    answerLength_ = 0;
    connection_->Send(static_cast<int>(frame.size()), frame.data());
    TraceFrame(1, info, frame.size(), frame.data());
    return Exchange(timeoutMs, info, response);
}

int CQZMProtocol::Exchange(int timeoutMs, const CommandInfo& info, std::uint8_t* response) {
    const std::size_t needed = kAnswerOffset + info.capacity;
    if (buffer_.size() < needed)
        buffer_.resize(needed);
    std::uint8_t* header = buffer_.data();

    std::uint32_t got = 0;
    // A header that starts and then stops is a garbled answer, not a silent module.
    if (!ReadBytes(timeoutMs, kResponseHeaderSize, header, &got) && got == 0)
        return kProtocolTimeout;
    if (got < kResponseHeaderSize) {
        TraceFrame(-1, info, got, header);
        return kProtocolShortHeader;
    }
    if (header[0] != kFrameSync) {
        TraceFrame(-1, info, kResponseHeaderSize, header);
        return kProtocolBadSync;
    }
    const std::uint32_t length = GetLE32(header + 2);
    if (length == kInvalidDataLength) {
        TraceFrame(-1, info, kResponseHeaderSize, header);
        return kProtocolBadLength;
    }
    *response = header[1];
    if (length == 0) {
        TraceFrame(-1, info, kResponseHeaderSize, header);
        return kProtocolOk;
    }
    // Only what the command can hold is stored, so a module announcing gigabytes cannot make the
    // program allocate for them.
    const std::uint32_t wanted = std::min(length, info.capacity);
    got = 0;
    if (!ReadBytes(timeoutMs, wanted, header + kAnswerOffset, &got)) {
        TraceFrame(-1, info, kResponseHeaderSize, header);
        return kProtocolTimeout;
    }
    answerLength_ = got;
    TraceFrame(-1, info, kResponseHeaderSize + got, header);
    if (length <= info.capacity)
        return kProtocolOk;
    // The rest still comes down the line; left there it would be read as the next command's answer.
    DiscardBytes(timeoutMs, length - wanted);
    return kProtocolTooMuchData;
}

void CQZMProtocol::DiscardBytes(int timeoutMs, std::uint32_t count) {
    std::uint8_t scratch[4096];
    while (count > 0 && connection_->WaitForBytes(timeoutMs, 1) == 0) {
        int taken = static_cast<int>(std::min<std::uint32_t>(count, sizeof scratch));
        connection_->Receive(taken, scratch);
        if (taken == 0)
            break;
        count -= static_cast<std::uint32_t>(taken);
    }
}

bool CQZMProtocol::ReadBytes(int timeoutMs, std::uint32_t count, std::uint8_t* destination,
                             std::uint32_t* got) {
    *got = 0;
    while (*got < count) {
        const int chunk =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(connection_->GetReadChunk()), count - *got);
        if (connection_->WaitForBytes(timeoutMs, chunk) == -1)
            return false;
        // Take everything that is already there: the time-out still applies to each byte that
        // has not arrived, and a long answer is not taken one lock at a time.
        int taken = static_cast<int>(count - *got);
        connection_->Receive(taken, destination + *got);
        if (taken == 0)
            break;
        *got += static_cast<std::uint32_t>(taken);
    }
    return true;
}

void CQZMProtocol::TraceFrame(int direction, const CommandInfo& info, std::size_t length,
                              const std::uint8_t* bytes) {
    if (trace_ == nullptr)
        return;
    trace_->Trace(direction, info.label, static_cast<int>(length), bytes);
}

int CQZMProtocol::GetVersion(const SupportedCommands& supported, int timeoutMs, VersionAnswer* version,
                             std::uint8_t* response) {
    const int result = Command(supported, timeoutMs, kGetVersion, {}, response, version != nullptr);
    if (result != kProtocolOk || *response != 0)
        return result;
    const std::span<const std::uint8_t> data = AnswerData();
    *version = VersionAnswer{};
    std::memcpy(version->model, data.data(), std::min<std::size_t>(data.size(), sizeof version->model));
    if (data.size() >= 19) {
        version->major = data[12];
        version->minor = data[13];
        version->release = data[14];
        version->revision = static_cast<std::int32_t>(GetLE32(data.data() + 15));
    }
    return result;
}

int CQZMProtocol::SetCameraAngle(const SupportedCommands& supported, int timeoutMs, std::uint8_t angleCode,
                                 std::uint8_t* response) {
    const std::uint8_t data[1] = {angleCode};
    return Command(supported, timeoutMs, kSetCameraAngle, data, response);
}

int CQZMProtocol::SetThreshold(const SupportedCommands& supported, int timeoutMs, const int thresholds[4],
                               std::uint8_t* response) {
    std::vector<std::uint8_t> data;
    if (thresholds != nullptr) {
        for (int i = 0; i < 4; ++i)
            PutLE16(data, static_cast<std::uint16_t>(thresholds[i]));
    }
    return Command(supported, timeoutMs, kSetThreshold, data, response, thresholds != nullptr);
}

int CQZMProtocol::SetSizeRange(const SupportedCommands& supported, int timeoutMs, const CRange ranges[3],
                               std::uint8_t* response) {
    std::vector<std::uint8_t> data;
    if (ranges != nullptr) {
        for (int i = 0; i < 3; ++i) {
            PutLE16(data, static_cast<std::uint16_t>(ranges[i].min));
            PutLE16(data, static_cast<std::uint16_t>(ranges[i].max));
        }
    }
    return Command(supported, timeoutMs, kSetSizeRange, data, response, ranges != nullptr);
}

int CQZMProtocol::SetFaceAngle(const SupportedCommands& supported, int timeoutMs, std::uint8_t yawCode,
                               std::uint8_t rollCode, std::uint8_t* response) {
    const std::uint8_t data[2] = {yawCode, rollCode};
    return Command(supported, timeoutMs, kSetFaceAngle, data, response);
}

int CQZMProtocol::Execute(const SupportedCommands& supported, int timeoutMs, FunctionRequestBytes flags,
                          int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity,
                          CRawExecResult* raw, std::uint8_t* response) {
    return RunExecute(ExecuteInfo(kCmdExecute, imageOption), supported, timeoutMs, flags, imageOption, pixels,
                      pixelCapacity, raw, response);
}

int CQZMProtocol::ExecuteEx(const SupportedCommands& supported, int timeoutMs, FunctionRequestBytes flags,
                            int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity,
                            CRawExecResult* raw, std::uint8_t* response) {
    return RunExecute(ExecuteInfo(kCmdExecuteEx, imageOption), supported, timeoutMs, flags, imageOption,
                      pixels, pixelCapacity, raw, response);
}

int CQZMProtocol::RunExecute(const CommandInfo& info, const SupportedCommands& supported, int timeoutMs,
                             FunctionRequestBytes flags, int imageOption, std::uint8_t* pixels,
                             std::size_t pixelCapacity, CRawExecResult* raw, std::uint8_t* response) {
    const std::uint8_t request[3] = {flags.flags1, flags.flags2, static_cast<std::uint8_t>(imageOption)};
    const int result = Command(supported, timeoutMs, info, request, response, raw != nullptr);
    if (result != kProtocolOk || *response != 0)
        return result;
    ParseExecPayload(AnswerData(), flags.flags1, flags.flags2, info.code == kCmdExecuteEx, imageOption,
                     pixels, pixelCapacity, raw);
    return result;
}

int CQZMProtocol::Register(const SupportedCommands& supported, int timeoutMs, std::uint16_t user,
                           std::uint8_t data, std::uint8_t* response) {
    std::vector<std::uint8_t> request = UserData(user);
    request.push_back(data);
    return Command(supported, timeoutMs, kRegister, request, response);
}

int CQZMProtocol::DeleteData(const SupportedCommands& supported, int timeoutMs, std::uint16_t user,
                             std::uint8_t data, std::uint8_t* response) {
    std::vector<std::uint8_t> request = UserData(user);
    request.push_back(data);
    return Command(supported, timeoutMs, kDeleteData, request, response);
}

int CQZMProtocol::DeleteUser(const SupportedCommands& supported, int timeoutMs, std::uint16_t user,
                             std::uint8_t* response) {
    return Command(supported, timeoutMs, kDeleteUser, UserData(user), response);
}

int CQZMProtocol::DeleteAll(const SupportedCommands& supported, int timeoutMs, std::uint8_t* response) {
    return Command(supported, timeoutMs, kDeleteAll, {}, response);
}

int CQZMProtocol::GetUserData(const SupportedCommands& supported, int timeoutMs, std::uint16_t user,
                              bool present[10], std::uint8_t* response) {
    const int result =
        Command(supported, timeoutMs, kGetUserData, UserData(user), response, present != nullptr);
    if (result != kProtocolOk || *response != 0)
        return result;
    const std::span<const std::uint8_t> answer = AnswerData();
    const unsigned bits = answer.size() >= 2 ? GetLE16(answer.data()) : answer.size() == 1 ? answer[0] : 0u;
    for (int j = 0; j < 10; ++j)
        present[j] = ((bits >> j) & 1u) != 0;
    return result;
}

int CQZMProtocol::SaveAlbum(const SupportedCommands& supported, int timeoutMs, std::uint8_t* response) {
    return Command(supported, timeoutMs, kSaveAlbum, {}, response);
}

int CQZMProtocol::LoadAlbum(const SupportedCommands& supported, int timeoutMs, std::uint32_t size,
                            std::uint8_t flag, const std::uint8_t* album, std::uint8_t* response) {
    if (connection_ == nullptr)
        return kProtocolNoConnection;
    if (response == nullptr || (album == nullptr && size > 0))
        return kProtocolMissingArgument;
    if (!IsSupported(supported, kCmdLoadAlbum))
        return kProtocolNotSupported;
    std::vector<std::uint8_t> frame = {kFrameSync, kCmdLoadAlbum};
    frame.reserve(16 + static_cast<std::size_t>(size));
    PutLE16(frame, 4);
    PutLE32(frame, size + 8);
    PutLE32(frame, size);
    frame.push_back(flag);
    frame.insert(frame.end(), 3, 0);
    if (size > 0)
        frame.insert(frame.end(), album, album + size);
    return Transact(timeoutMs, kLoadAlbum, frame, response);
}

}  // namespace qzm
