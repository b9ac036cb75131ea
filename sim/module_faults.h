// Exchange failures the emulated module can be told to show, and the bytes it then puts on the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qzm {

// One answer of the module before faults are applied: response code and data.
struct ModuleReply {
    std::uint8_t responseCode = 0;
    std::vector<std::uint8_t> data;
    bool setCommand = false;     // the answer to a set command (it normally carries no data)
    bool resultPayload = false;  // the answer to an execution (counts, entries, image)
};

// Every fault is off by default. They combine in this order when an answer is encoded:
//   silent        -> nothing at all is sent, every other fault is ignored;
//   truncatePayloadAt -> an execution answer's data is cut after this many bytes and the header's length
//                    says so: a well-formed answer whose result payload is short (other answers unchanged);
//   responseCode  -> replaces the response code of every answer (the data is kept);
//   setCommandData-> answers to set commands carry this many data bytes (0x00, 0x01, ...) with a matching
//                    length field;
//   badLength     -> the header's data length is 0xFFFFFFFF and no data follows;
//   badSync       -> the first header byte is kBadSyncByte instead of 0xFE;
//   shortHeader   -> only the first kShortHeaderBytes header bytes are sent, then nothing;
//   stopAfter     -> the answer is cut after this many bytes (0 drops it, leaving only the junk);
//   junkBefore    -> this many junk bytes (never 0xFE) go on the line before the answer.
// With onlyCommand set they apply to the answers to that command code alone, so that one command can
// fail on a module that otherwise works (connects, answers everything else).
struct ModuleFaults {
    static constexpr std::uint8_t kBadSyncByte = 0xFC;  // 0xFE with one bit flipped, as a line error would
    static constexpr std::size_t kShortHeaderBytes = 3;

    bool silent = false;
    std::optional<std::size_t> truncatePayloadAt;
    std::optional<std::size_t> stopAfter;
    bool badSync = false;
    bool shortHeader = false;
    bool badLength = false;
    std::optional<std::size_t> setCommandData;
    std::optional<std::uint8_t> responseCode;
    std::size_t junkBefore = 0;
    std::optional<std::uint8_t> onlyCommand;

    // The faults for the answer to this command code: all of them, or none when they are meant for
    // another command.
    ModuleFaults For(std::uint8_t commandCode) const;

    bool operator==(const ModuleFaults&) const = default;
};

// The junk byte sent at position index before an answer; a fixed pattern that never contains 0xFE.
std::uint8_t JunkByte(std::size_t index);

// The bytes the module puts on the line for reply under faults (empty when silent).
std::vector<std::uint8_t> EncodeAnswer(const ModuleReply& reply, const ModuleFaults& faults);

}  // namespace qzm
