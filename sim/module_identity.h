// What the emulated module reports about itself in its version answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qzm {

struct ModuleIdentity {
    static constexpr std::size_t kModelLength = 12;  // model text on the wire, not terminated
    static constexpr std::size_t kVersionAnswerLength = 19;

    std::string model;  // padded with spaces (or cut) to 12 bytes on the wire
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t release = 0;
    std::uint32_t revision = 0;

    // "QZM-K100    " 1.1.0.1024: the basic command set.
    static ModuleIdentity Basic();
    // "QZM-K200    " 1.2.0.2048: minor version 2 tells the PC that the extended command set (album) is there.
    static ModuleIdentity Extended();

    // The PC picks the extended command set exactly when the minor version is 2.
    bool HasExtendedCommandSet() const { return minor == 2; }

    // The 12 model bytes as sent: the text cut to 12 bytes or padded with spaces.
    std::string WireModel() const;
    // The 19-byte version answer: model, major, minor, release, 32-bit little-endian revision.
    std::vector<std::uint8_t> VersionAnswer() const;
};

// "basic" or "extended"; false for any other name.
bool IdentityForPersonality(std::string_view name, ModuleIdentity& identity);

// "A.B.C.D" with A, B, C in 0..255 and D in 0..4294967295, decimal; sets the four numbers of identity.
// Returns false (identity unchanged) for anything else.
bool ParseVersionText(std::string_view text, ModuleIdentity& identity);

}  // namespace qzm
