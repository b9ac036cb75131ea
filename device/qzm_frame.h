// Byte layout of the module's command and response frames, shared by the program and the emulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzm {

constexpr std::uint8_t kFrameSync = 0xFE;
constexpr std::size_t kCommandHeaderSize = 4;   // sync, code, 16-bit length
constexpr std::size_t kResponseHeaderSize = 6;  // sync, response code, 32-bit length
constexpr std::uint32_t kInvalidDataLength = 0xFFFFFFFFu;

// Command codes the program knows. The module lists the kCmdUnknown codes among its commands, but
// what they do is not known and the program sends none of them.
enum CommandCode : std::uint8_t {
    kCmdGetVersion = 0x00,
    kCmdSetCameraAngle = 0x01,
    kCmdGetCameraAngle = 0x02,
    kCmdExecute = 0x03,
    kCmdExecuteEx = 0x04,
    kCmdSetThreshold = 0x05,
    kCmdGetThreshold = 0x06,
    kCmdSetSizeRange = 0x07,
    kCmdGetSizeRange = 0x08,
    kCmdSetFaceAngle = 0x09,
    kCmdGetFaceAngle = 0x0A,
    kCmdUnknown0F = 0x0F,
    kCmdRegister = 0x10,
    kCmdDeleteData = 0x11,
    kCmdDeleteUser = 0x12,
    kCmdDeleteAll = 0x13,
    kCmdGetUserData = 0x15,
    kCmdUnknown16 = 0x16,
    kCmdSaveAlbum = 0x20,
    kCmdLoadAlbum = 0x21,
    kCmdWriteFlash = 0x22,
    kCmdReformatFlash = 0x30,
    kCmdUnknown80 = 0x80,
    kCmdUnknown81 = 0x81,
};

inline void PutLE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

inline std::uint16_t GetLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// 0xFE, code, 16-bit data length, data. The caller keeps data under 64 KiB; Load Album has a frame of its
// own.
inline std::vector<std::uint8_t> BuildCommandFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> frame;
    frame.reserve(kCommandHeaderSize + data.size());
    frame.push_back(kFrameSync);
    frame.push_back(code);
    PutLE16(frame, static_cast<std::uint16_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

// 0xFE, response code, 32-bit data length, data.
inline std::vector<std::uint8_t> BuildResponseFrame(std::uint8_t responseCode,
                                                    std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> frame;
    frame.reserve(kResponseHeaderSize + data.size());
    frame.push_back(kFrameSync);
    frame.push_back(responseCode);
    PutLE32(frame, static_cast<std::uint32_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

}  // namespace qzm
