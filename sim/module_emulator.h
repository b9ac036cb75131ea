// The command side of the emulated module: takes one parsed command frame and gives the answer the module
// sends.
//
// Commands are dispatched through a table with one entry per command code (its fixed data length, whether
// only the extended command set has it, whether it is a set command, and its handler), so that further
// commands are added as one entry and one handler each.
//
// Response codes of the emulator (one byte, the second header byte of every answer):
//   0x00  kRespOk              the command was carried out
//   0xC0  kRespUnknownCommand  the command code is unknown, not emulated, or not in this personality's set
//   0xC1  kRespBadLength       the data length does not match the command
//   0xC2  kRespBadParameter    a value is outside its range (camera angle 0..3, yaw code 0..2, roll code
//   0..1) 0xC3  kRespFrameTooLong    a Load Album frame announced more than the largest album (816032 + 8
//   bytes)
// They stay clear of 0x01 and 0x02 (registration messages of their own on the PC) and of 0x20 (the PC's
// preset for album failures without an answer), so that the PC shows them as plain error codes.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "sim/frame_parser.h"
#include "sim/module_faults.h"
#include "sim/module_identity.h"

namespace qzm {

enum EmulatorResponseCode : std::uint8_t {
    kRespOk = 0x00,
    kRespUnknownCommand = 0xC0,
    kRespBadLength = 0xC1,
    kRespBadParameter = 0xC2,
    kRespFrameTooLong = 0xC3,
};

// The detection settings the module keeps, as the PC last set them (the initial values are the emulator's own
// power-on values).
struct StoredSettings {
    std::uint8_t cameraAngle = 0;                                    // 0..3: 0°, 90°, 180°, 270°
    std::array<std::uint16_t, 4> thresholds = {500, 500, 500, 500};  // body, hand, face, recognition
    std::array<std::uint16_t, 6> sizeRanges = {40,   1000, 40,
                                               1000, 40,   1000};  // min, max for body, hand, face
    std::uint8_t yawCode = 0;                                      // 0 = ±30°, 1 = ±60°, 2 = ±90°
    std::uint8_t rollCode = 0;                                     // 0 = ±15°, 1 = ±45°

    bool operator==(const StoredSettings&) const = default;
};

class CModuleEmulator {
public:
    explicit CModuleEmulator(ModuleIdentity identity = ModuleIdentity::Basic());
    virtual ~CModuleEmulator() = default;

    CModuleEmulator(const CModuleEmulator&) = delete;
    CModuleEmulator& operator=(const CModuleEmulator&) = delete;

    // The answer to one command frame (before faults). Safe to call while other threads read the state.
    ModuleReply Handle(const ParsedFrame& frame);

    ModuleIdentity Identity() const;
    void SetIdentity(const ModuleIdentity& identity);
    StoredSettings Settings() const;
    void SetSettings(const StoredSettings& settings);

    // True when this personality answers the code with something other than kRespUnknownCommand.
    bool Knows(std::uint8_t code) const;

private:
    using Handler = ModuleReply (CModuleEmulator::*)(std::span<const std::uint8_t> data);
    static constexpr int kAnyLength = -1;  // the handler checks the length itself

    struct CommandEntry {
        std::uint8_t code;
        int dataLength;  // exact data length, or kAnyLength
        bool extendedOnly;
        bool setCommand;
        Handler handler;
    };
    static std::span<const CommandEntry> Commands();
    const CommandEntry* Find(std::uint8_t code) const;  // mutex_ held

    // Handlers run with mutex_ held and the data length already checked.
    ModuleReply OnGetVersion(std::span<const std::uint8_t> data);
    ModuleReply OnSetCameraAngle(std::span<const std::uint8_t> data);
    ModuleReply OnSetThreshold(std::span<const std::uint8_t> data);
    ModuleReply OnSetSizeRange(std::span<const std::uint8_t> data);
    ModuleReply OnSetFaceAngle(std::span<const std::uint8_t> data);

    mutable std::mutex mutex_;  // guards identity_ and settings_
    ModuleIdentity identity_;
    StoredSettings settings_;
};

}  // namespace qzm
