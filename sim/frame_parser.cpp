#include "sim/frame_parser.h"

#include <algorithm>

#include "device/qzm_frame.h"

namespace qzm {

void CModuleFrameParser::Reset() {
    state_ = State::kHunt;
    frame_ = ParsedFrame{};
    haveLengthLow_ = false;
    need_ = 0;
    discardLeft_ = 0;
}

std::vector<ParsedFrame> CModuleFrameParser::Feed(std::span<const std::uint8_t> bytes,
                                                  Clock::time_point now) {
    std::vector<ParsedFrame> out;
    if (bytes.empty())
        return out;
    if (state_ != State::kHunt && now - lastByte_ > kByteGapTimeout) {
        ++abandonedFrames_;
        Reset();
    }
    lastByte_ = now;
    while (!bytes.empty())
        bytes = bytes.subspan(Step(bytes, out));
    return out;
}

void CModuleFrameParser::Emit(std::vector<ParsedFrame>& out) {
    out.push_back(std::move(frame_));
    Reset();
}

std::size_t CModuleFrameParser::Step(std::span<const std::uint8_t> bytes, std::vector<ParsedFrame>& out) {
    switch (state_) {
        case State::kHunt: {
            auto sync = std::find(bytes.begin(), bytes.end(), kFrameSync);
            std::size_t skipped = static_cast<std::size_t>(sync - bytes.begin());
            skippedBytes_ += skipped;
            if (sync == bytes.end())
                return skipped;
            frame_ = ParsedFrame{};
            state_ = State::kCode;
            return skipped + 1;
        }
        case State::kCode:
            frame_.code = bytes[0];
            haveLengthLow_ = false;
            state_ = State::kLength;
            return 1;
        case State::kLength:
            if (!haveLengthLow_) {
                lengthLow_ = bytes[0];
                haveLengthLow_ = true;
                return 1;
            }
            frame_.lengthField = static_cast<std::uint16_t>(lengthLow_ | (bytes[0] << 8));
            frame_.announcedLength = frame_.lengthField;
            need_ = frame_.lengthField;
            if (frame_.code == kCmdLoadAlbum && frame_.lengthField == kLoadAlbumLengthField) {
                state_ = State::kAlbumPrefix;
            } else if (need_ == 0) {
                Emit(out);
            } else {
                frame_.data.reserve(need_);
                state_ = State::kData;
            }
            return 1;
        case State::kAlbumPrefix: {
            frame_.data.push_back(bytes[0]);
            if (frame_.data.size() < kLoadAlbumLengthField)
                return 1;
            std::uint32_t announced = GetLE32(frame_.data.data());
            frame_.announcedLength = announced;
            if (announced > kMaxLoadAlbumLength) {
                frame_.tooLong = true;
                frame_.data.clear();
                discardLeft_ = announced;
                out.push_back(std::move(frame_));
                frame_ = ParsedFrame{};
                state_ = State::kDiscard;
                return 1;
            }
            need_ = kLoadAlbumLengthField + static_cast<std::size_t>(announced);
            if (announced == 0) {
                Emit(out);
            } else {
                frame_.data.reserve(need_);
                state_ = State::kData;
            }
            return 1;
        }
        case State::kData: {
            std::size_t take = std::min(bytes.size(), need_ - frame_.data.size());
            frame_.data.insert(frame_.data.end(), bytes.begin(),
                               bytes.begin() + static_cast<std::ptrdiff_t>(take));
            if (frame_.data.size() == need_)
                Emit(out);
            return take;
        }
        case State::kDiscard: {
            std::size_t take = std::min<std::size_t>(bytes.size(), discardLeft_);
            discardLeft_ -= static_cast<std::uint32_t>(take);
            skippedBytes_ += take;
            if (discardLeft_ == 0)
                Reset();
            return take;
        }
    }
    return bytes.size();
}

}  // namespace qzm
