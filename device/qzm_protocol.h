// Command frames and the one-command-one-answer exchange with the module.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/connection.h"
#include "device/exec_settings.h"
#include "device/qzm_results.h"

namespace qzm {

// Result of every protocol and device operation. kProtocolOk means the answer arrived whole; the
// module's response code is then valid and may still be non-zero.
enum ProtocolResult : int {
    kProtocolOk = 0,
    kProtocolNoConnection = -1,
    kProtocolMissingArgument = -2,
    kProtocolNotSupported = -3,
    kProtocolTimeout = -20,
    kProtocolShortHeader = -21,
    kProtocolBadSync = -22,
    kProtocolBadLength = -25,
    kProtocolTooMuchData = -31,
};

// Command codes a device accepts, one entry per code.
// The module's command set, told by its version: the extended one adds the album commands and the
// execution with five expression scores.
enum DeviceType : int { kBasicDevice = 0, kExtendedDevice = 1 };

using SupportedCommands = std::vector<std::int32_t>;
SupportedCommands SupportedCommandsFor(int deviceType);

// Optional observer of every frame sent (direction 1) and received (direction -1).
class FrameTrace {
public:
    virtual ~FrameTrace() = default;
    virtual void Trace(int direction, const std::string& label, int length, const std::uint8_t* bytes) = 0;
};

// The 19-byte answer to Get Version.
struct VersionAnswer {
    std::uint8_t model[12] = {};
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t release = 0;
    std::int32_t revision = 0;
};

// What one command is: its code, the code checked against the supported list, the trace label
// and the most answer data it accepts.
struct CommandInfo {
    std::uint8_t code;
    std::uint8_t checkedCode;
    const char* label;
    std::uint32_t capacity;
};

class CQZMProtocol {
public:
    explicit CQZMProtocol(CConnection* connection, FrameTrace* trace = nullptr);
    virtual ~CQZMProtocol() = default;
    CQZMProtocol(const CQZMProtocol&) = delete;
    CQZMProtocol& operator=(const CQZMProtocol&) = delete;

    // The hook must stay valid while commands run; null removes it.
    void SetTrace(FrameTrace* trace) { trace_ = trace; }

    int GetVersion(const SupportedCommands& supported, int timeoutMs, VersionAnswer* version,
                   std::uint8_t* response);
    int SetCameraAngle(const SupportedCommands& supported, int timeoutMs, std::uint8_t angleCode,
                       std::uint8_t* response);

    // thresholds: Body, Hand, Face, Recognition; ranges: Body, Hand, Face. The low 16 bits go out.
    int SetThreshold(const SupportedCommands& supported, int timeoutMs, const int thresholds[4],
                     std::uint8_t* response);
    int SetSizeRange(const SupportedCommands& supported, int timeoutMs, const CRange ranges[3],
                     std::uint8_t* response);
    int SetFaceAngle(const SupportedCommands& supported, int timeoutMs, std::uint8_t yawCode,
                     std::uint8_t rollCode, std::uint8_t* response);

    // Execute (0x03, three-value expression) and ExecuteEx (0x04, five scores); both are checked as
    // 0x03. On success with response code 0 the answer is parsed into raw, its image pixels going to
    // pixels (at most pixelCapacity bytes).
    int Execute(const SupportedCommands& supported, int timeoutMs, FunctionRequestBytes flags,
                int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity, CRawExecResult* raw,
                std::uint8_t* response);
    int ExecuteEx(const SupportedCommands& supported, int timeoutMs, FunctionRequestBytes flags,
                  int imageOption, std::uint8_t* pixels, std::size_t pixelCapacity, CRawExecResult* raw,
                  std::uint8_t* response);

    // Registration answer (width, height, pixels) in AnswerData().
    int Register(const SupportedCommands& supported, int timeoutMs, std::uint16_t user, std::uint8_t data,
                 std::uint8_t* response);
    int DeleteData(const SupportedCommands& supported, int timeoutMs, std::uint16_t user, std::uint8_t data,
                   std::uint8_t* response);
    int DeleteUser(const SupportedCommands& supported, int timeoutMs, std::uint16_t user,
                   std::uint8_t* response);
    int DeleteAll(const SupportedCommands& supported, int timeoutMs, std::uint8_t* response);
    // present[j] tells whether data number j of the user is registered; an answer without data means none.
    int GetUserData(const SupportedCommands& supported, int timeoutMs, std::uint16_t user, bool present[10],
                    std::uint8_t* response);
    // Save Album answer (size, flag field, album) in AnswerData().
    int SaveAlbum(const SupportedCommands& supported, int timeoutMs, std::uint8_t* response);
    // The one frame whose 16-bit length does not give the data length: it holds 4, and a 32-bit
    // length of everything after it follows.
    int LoadAlbum(const SupportedCommands& supported, int timeoutMs, std::uint32_t size, std::uint8_t flag,
                  const std::uint8_t* album, std::uint8_t* response);

    // The answer of the last command: data as received, valid until the next command.
    std::span<const std::uint8_t> AnswerData() const {
        return {buffer_.data() + kAnswerOffset, answerLength_};
    }
    std::size_t ResponseBufferCapacity() const { return buffer_.size(); }

protected:
    static bool IsSupported(const SupportedCommands& supported, std::uint8_t code);
    // Checks, frames, sends and exchanges one ordinary command. On kProtocolOk AnswerData()
    // holds the answer.
    int Command(const SupportedCommands& supported, int timeoutMs, const CommandInfo& info,
                std::span<const std::uint8_t> data, std::uint8_t* response, bool haveDestination = true);
    // Sends a frame already built (checks done by the caller) and reads the answer.
    int Transact(int timeoutMs, const CommandInfo& info, std::span<const std::uint8_t> frame,
                 std::uint8_t* response);

private:
    int RunExecute(const CommandInfo& info, const SupportedCommands& supported, int timeoutMs,
                   FunctionRequestBytes flags, int imageOption, std::uint8_t* pixels,
                   std::size_t pixelCapacity, CRawExecResult* raw, std::uint8_t* response);

    static constexpr std::size_t kAnswerOffset = 6;  // the header sits in front of the data

    int Exchange(int timeoutMs, const CommandInfo& info, std::uint8_t* response);
    // Reads up to count bytes to destination; false when a byte did not come within timeoutMs.
    bool ReadBytes(int timeoutMs, std::uint32_t count, std::uint8_t* destination, std::uint32_t* got);
    // Takes up to count bytes off the line without keeping them, until a byte does not come
    // within timeoutMs.
    void DiscardBytes(int timeoutMs, std::uint32_t count);
    void TraceFrame(int direction, const CommandInfo& info, std::size_t length, const std::uint8_t* bytes);

    CConnection* connection_;  // not owned
    FrameTrace* trace_;        // not owned
    // Header and data of the last answer; grown to the largest answer seen, never shrunk, so
    // repeated executions do not allocate the image-sized buffer again.
    std::vector<std::uint8_t> buffer_;
    std::uint32_t answerLength_ = 0;
};

}  // namespace qzm
