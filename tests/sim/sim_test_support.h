// Helpers shared by the emulator tests: command frames, and reading an execution answer back with the PC's
// own parser.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/qzm_device.h"
#include "device/qzm_frame.h"
#include "device/qzm_results.h"
#include "sim/frame_parser.h"
#include "sim/module_emulator.h"

namespace qzm::simtest {

using Bytes = std::vector<std::uint8_t>;

inline ParsedFrame Frame(std::uint8_t code, Bytes data = {}) {
    ParsedFrame frame;
    frame.code = code;
    frame.lengthField = static_cast<std::uint16_t>(data.size());
    frame.announcedLength = frame.lengthField;
    frame.data = std::move(data);
    return frame;
}

// Every function on.
constexpr std::uint8_t kAllFlags1 = 0xFF;
constexpr std::uint8_t kAllFlags2 = 0x03;

// Settings under which every face, body and hand in view is reported.
inline StoredSettings WideOpenSettings() {
    StoredSettings s;
    s.thresholds = {1, 1, 1, 0};
    s.sizeRanges = {20, 8192, 20, 8192, 20, 8192};
    s.yawCode = 2;
    s.rollCode = 1;
    return s;
}

// The program's side of a line just opened to the extended emulator: the version read as the
// program reads it on connecting, its command set taken, every detection let through.
inline void ConnectExtended(CQZMDevice& device, CModuleEmulator& emulator) {
    VersionInfo version;
    std::uint8_t response = 0xFF;
    ASSERT_EQ(device.GetVersion(&version, &response), kProtocolOk);
    device.SetDeviceType(CQZMDevice::DeviceTypeForVersion(version));
    ASSERT_EQ(device.DeviceType(), kExtendedDevice);
    emulator.SetSettings(WideOpenSettings());
}

// An execution answer as the PC reads it.
struct ParsedExec {
    std::uint8_t responseCode = 0xFF;
    std::size_t length = 0;
    CRawExecResult raw;
    CExecResult result;
    Bytes pixels;
};

inline ParsedExec ParseExecData(const Bytes& data, std::uint8_t flags1, std::uint8_t flags2, bool fiveScores,
                                int option) {
    ParsedExec parsed;
    parsed.length = data.size();
    parsed.pixels.assign(ExecImageSize(option), 0);
    ParseExecPayload(data, flags1, flags2, fiveScores, option, parsed.pixels.data(), parsed.pixels.size(),
                     &parsed.raw);
    DecodeExecResult(parsed.raw, &parsed.result);
    return parsed;
}

// Runs one execution (0x04 when fiveScores, else 0x03) and parses the answer.
inline ParsedExec RunExec(CModuleEmulator& emulator, std::uint8_t flags1, std::uint8_t flags2, int option,
                          bool fiveScores) {
    ModuleReply reply = emulator.Handle(
        Frame(fiveScores ? kCmdExecuteEx : kCmdExecute, {flags1, flags2, static_cast<std::uint8_t>(option)}));
    ParsedExec parsed = ParseExecData(reply.data, flags1, flags2, fiveScores, option);
    parsed.responseCode = reply.responseCode;
    return parsed;
}

}  // namespace qzm::simtest
