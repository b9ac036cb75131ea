// Cuts the bytes the PC sends into command frames, the way the module's receiver does.
//
// A command frame is 0xFE, the command code, a 16-bit little-endian data length and the data. Load Album
// (0x21) is the one frame whose data does not fit 16 bits: its length field holds 4, and those four data
// bytes are a 32-bit little-endian length of everything that follows; the parser collects that too.
//
// Resynchronisation rules, so that a garbled frame never blocks the next good one:
// - bytes outside a frame that are not 0xFE are skipped;
// - a partial frame is abandoned when more than 100 ms pass between two of its bytes; the byte that arrives
// after
//   the gap is then looked at as if no frame had begun;
// - a Load Album frame longer than the largest album (816032 + 8 bytes after the prefix) is reported at once
// as
//   a frame that is too long, and the rest of it is discarded: exactly the length it announced, or until the
//   line has been quiet for 100 ms, whichever comes first (a garbled length field must not swallow later
//   frames).
//
// Not thread-safe: one receiving thread owns a parser.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzm {

struct ParsedFrame {
    std::uint8_t code = 0;
    std::uint16_t lengthField = 0;   // the 16-bit length as received (4 for Load Album)
    std::vector<std::uint8_t> data;  // every byte after the 4-byte header; for Load Album the 32-bit prefix
                                     // followed by everything it announced
    bool tooLong = false;  // Load Album beyond the largest album; data is empty, the rest is discarded
    std::uint32_t announcedLength = 0;  // Load Album: the 32-bit prefix value; otherwise lengthField
};

class CModuleFrameParser {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kByteGapTimeout{100};
    static constexpr std::uint32_t kLargestAlbum = 816032;
    static constexpr std::uint32_t kMaxLoadAlbumLength =
        kLargestAlbum + 8;  // size and flag fields come first
    static constexpr std::uint16_t kLoadAlbumLengthField = 4;

    // Takes bytes that arrived together at time now (one byte or a burst) and returns the frames they
    // completed, in order. A frame split over several calls is completed by the call that brings its last
    // byte.
    [[nodiscard]] std::vector<ParsedFrame> Feed(std::span<const std::uint8_t> bytes, Clock::time_point now);

    // Forgets any partial frame.
    void Reset();

    // True while a frame (or the discarded rest of a too long one) has begun and not ended.
    bool InFrame() const { return state_ != State::kHunt; }

    // Bytes outside any frame (before a sync byte, or the discarded rest of a too long album).
    std::uint64_t SkippedBytes() const { return skippedBytes_; }
    // Partial frames given up because of a gap between bytes.
    std::uint64_t AbandonedFrames() const { return abandonedFrames_; }

private:
    enum class State { kHunt, kCode, kLength, kAlbumPrefix, kData, kDiscard };

    // Consumes bytes from the front of `bytes` for the current state; appends a completed frame to `out`.
    std::size_t Step(std::span<const std::uint8_t> bytes, std::vector<ParsedFrame>& out);
    void Emit(std::vector<ParsedFrame>& out);

    State state_ = State::kHunt;
    ParsedFrame frame_;           // the frame being collected
    std::uint8_t lengthLow_ = 0;  // first byte of the 16-bit length
    bool haveLengthLow_ = false;
    std::size_t need_ = 0;           // kData / kAlbumPrefix: total data bytes the frame holds
    std::uint32_t discardLeft_ = 0;  // kDiscard: bytes of the too long frame still to drop
    Clock::time_point lastByte_{};
    std::uint64_t skippedBytes_ = 0;
    std::uint64_t abandonedFrames_ = 0;
};

}  // namespace qzm
