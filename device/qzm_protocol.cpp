#include "device/qzm_protocol.h"

#include <algorithm>
#include <cstring>

#include "device/qzm_frame.h"

namespace qzm {

namespace {

constexpr CommandInfo kGetVersion{kCmdGetVersion, kCmdGetVersion, "Get Version", 19};
constexpr CommandInfo kSetCameraAngle{kCmdSetCameraAngle, kCmdSetCameraAngle, "Set Camera Angle", 0};

}  // namespace

SupportedCommands SupportedCommandsFor(int deviceType) {
    if (deviceType == 1) {
        return {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0F, 0x10,
                0x11, 0x12, 0x13, 0x15, 0x16, 0x20, 0x21, 0x22, 0x30, 0x16, 0x80, 0x81};
    }
    return {0x00, 0x01, 0x02, 0x03, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
            0x0F, 0x10, 0x11, 0x12, 0x13, 0x15, 0x16, 0x80, 0x81};
}

CQZMProtocol::CQZMProtocol(CConnection* connection, FrameTrace* trace)
    : connection_(connection), trace_(trace) {}

int CQZMProtocol::Command(const SupportedCommands& supported, int timeoutMs, const CommandInfo& info,
                          std::span<const std::uint8_t> data, std::uint8_t* response, bool haveDestination) {
    if (connection_ == nullptr)
        return kProtocolNoConnection;
    if (response == nullptr || !haveDestination)
        return kProtocolMissingArgument;
    if (std::find(supported.begin(), supported.end(), info.checkedCode) == supported.end()) {
        return kProtocolNotSupported;
    }
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
    // Only what the command can hold is read; the rest of an oversized answer is never waited
    // for (the next command's send discards it), so a module announcing gigabytes cannot make
    // the program wait or allocate for them.
    const std::uint32_t wanted = std::min(length, info.capacity);
    got = 0;
    if (!ReadBytes(timeoutMs, wanted, header + kAnswerOffset, &got)) {
        TraceFrame(-1, info, kResponseHeaderSize, header);
        return kProtocolTimeout;
    }
    answerLength_ = got;
    TraceFrame(-1, info, kResponseHeaderSize + got, header);
    return length > info.capacity ? kProtocolTooMuchData : kProtocolOk;
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

}  // namespace qzm
