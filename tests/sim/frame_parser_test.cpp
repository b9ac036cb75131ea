#include "sim/frame_parser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "device/qzm_frame.h"

namespace qzm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = CModuleFrameParser::Clock;
using std::chrono::milliseconds;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A Load Album frame: 0xFE 0x21, length 4, 32-bit length of what follows, album size, flag field, album data.
Bytes LoadAlbumFrame(std::uint32_t albumSize, std::uint8_t fill = kFrameSync) {
    Bytes frame = {kFrameSync, kCmdLoadAlbum};
    PutLE16(frame, 4);
    PutLE32(frame, albumSize + 8);
    PutLE32(frame, albumSize);
    PutLE32(frame, 0x01);
    frame.insert(frame.end(), albumSize, fill);
    return frame;
}

// Feeds the chunks at 1 ms intervals and gathers every frame.
std::vector<ParsedFrame> FeedChunks(CModuleFrameParser& parser, const Bytes& bytes,
                                    std::vector<std::size_t> cuts) {
    std::vector<ParsedFrame> frames;
    Clock::time_point t{};
    std::size_t start = 0;
    cuts.push_back(bytes.size());
    for (std::size_t cut : cuts) {
        auto got = parser.Feed(std::span(bytes).subspan(start, cut - start), t);
        frames.insert(frames.end(), got.begin(), got.end());
        start = cut;
        t += milliseconds(1);
    }
    return frames;
}

std::vector<std::size_t> EveryByte(std::size_t n) {
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < n; ++i)
        cuts.push_back(i);
    return cuts;
}

const Bytes kGetVersion = BuildCommandFrame(kCmdGetVersion, {});
const Bytes kSetAngle = BuildCommandFrame(kCmdSetCameraAngle, Bytes{2});
const Bytes kSetThreshold = BuildCommandFrame(kCmdSetThreshold, Bytes{1, 2, 0xFE, 4, 5, 6, 0xFE, 0xFE});

TEST(FrameParser, SplitMergedAndByteWiseInputGiveTheSameFrames) {
    const Bytes stream = Concat({kGetVersion, kSetThreshold, kSetAngle});
    std::mt19937 random(7);
    std::vector<std::vector<std::size_t>> splits = {{},  EveryByte(stream.size()), {1}, {3}, {4}, {5, 6},
                                                    {12}};
    for (int i = 0; i < 20; ++i) {
        std::vector<std::size_t> cuts;
        for (std::size_t p = 1; p < stream.size(); ++p) {
            if (random() % 3 == 0)
                cuts.push_back(p);
        }
        splits.push_back(cuts);
    }
    for (const auto& cuts : splits) {
        CModuleFrameParser parser;
        auto frames = FeedChunks(parser, stream, cuts);
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].code, kCmdGetVersion);
        EXPECT_TRUE(frames[0].data.empty());
        EXPECT_EQ(frames[1].code, kCmdSetThreshold);
        EXPECT_EQ(frames[1].data, Bytes(kSetThreshold.begin() + 4, kSetThreshold.end()));
        EXPECT_EQ(frames[2].code, kCmdSetCameraAngle);
        EXPECT_EQ(frames[2].data, Bytes{2});
        EXPECT_FALSE(parser.InFrame());
        EXPECT_EQ(parser.SkippedBytes(), 0u);
    }
}

TEST(FrameParser, BytesBeforeSyncAreSkipped) {
    struct Case {
        Bytes junk;
    } cases[] = {{{0x00}}, {{0x01, 0x02, 0x03}}, {{0xFF, 0xFD, 0x7E, 0x00, 0x00, 0x00, 0x00}}};
    for (const Case& c : cases) {
        CModuleFrameParser parser;
        auto frames = parser.Feed(Concat({c.junk, kSetAngle}), Clock::time_point{});
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].code, kCmdSetCameraAngle);
        EXPECT_EQ(parser.SkippedBytes(), c.junk.size());
    }
}

TEST(FrameParser, PartialFrameIsAbandonedAfterAGapOfMoreThan100ms) {
    struct Case {
        const char* name;
        Bytes partial;
        milliseconds gap;
        std::size_t expectedFrames;  // frames after the good one is sent
    } cases[] = {
        // The interrupted Set Threshold would otherwise swallow the good frame as its data.
        {"in data", {0xFE, 0x05, 0x08, 0x00, 0x01, 0x02}, milliseconds(101), 1},
        {"after sync", {0xFE}, milliseconds(101), 1},
        {"in length", {0xFE, 0x05, 0x08}, milliseconds(150), 1},
        {"in album prefix", {0xFE, 0x21, 0x04, 0x00, 0x10, 0x00}, milliseconds(101), 1},
        {"exactly 100 ms is still one frame", {0xFE, 0x05, 0x08, 0x00, 0x01, 0x02}, milliseconds(100), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CModuleFrameParser parser;
        Clock::time_point t{};
        EXPECT_TRUE(parser.Feed(c.partial, t).empty());
        EXPECT_TRUE(parser.InFrame());
        auto frames = parser.Feed(kGetVersion, t + c.gap);
        ASSERT_EQ(frames.size(), c.expectedFrames);
        if (c.expectedFrames == 1) {
            EXPECT_EQ(frames[0].code, kCmdGetVersion);
            EXPECT_EQ(parser.AbandonedFrames(), 1u);
            EXPECT_FALSE(parser.InFrame());
        }
    }
}

TEST(FrameParser, LoadAlbumCollectsEverythingItsPrefixAnnounces) {
    for (std::uint32_t size : {0u, 1u, 1000u, 70000u}) {
        SCOPED_TRACE(size);
        const Bytes frame = LoadAlbumFrame(size);
        const Bytes stream = Concat({frame, kGetVersion});
        for (const auto& cuts : {std::vector<std::size_t>{}, std::vector<std::size_t>{5, 9, 17, 100},
                                 std::vector<std::size_t>{frame.size() - 1, frame.size() + 1}}) {
            CModuleFrameParser parser;
            std::vector<std::size_t> inRange;
            for (std::size_t c : cuts) {
                if (c < stream.size())
                    inRange.push_back(c);
            }
            auto frames = FeedChunks(parser, stream, inRange);
            ASSERT_EQ(frames.size(), 2u);
            EXPECT_EQ(frames[0].code, kCmdLoadAlbum);
            EXPECT_EQ(frames[0].lengthField, 4u);
            EXPECT_FALSE(frames[0].tooLong);
            EXPECT_EQ(frames[0].announcedLength, size + 8);
            EXPECT_EQ(frames[0].data, Bytes(frame.begin() + 4, frame.end()));
            EXPECT_EQ(frames[1].code, kCmdGetVersion);
        }
    }
}

TEST(FrameParser, LoadAlbumOfTheLargestSizeIsAcceptedOneMoreByteIsTooLong) {
    {
        CModuleFrameParser parser;
        auto frames = parser.Feed(LoadAlbumFrame(CModuleFrameParser::kLargestAlbum), Clock::time_point{});
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_FALSE(frames[0].tooLong);
        EXPECT_EQ(frames[0].data.size(), 4u + 8u + CModuleFrameParser::kLargestAlbum);
    }
    {
        // Reported as soon as the prefix is in; the rest of the frame, 0xFE bytes included, is discarded and
        // the frame after it is found.
        CModuleFrameParser parser;
        const Bytes frame = LoadAlbumFrame(CModuleFrameParser::kLargestAlbum + 1);
        auto frames = parser.Feed(std::span(frame).first(8), Clock::time_point{});
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(frames[0].tooLong);
        EXPECT_EQ(frames[0].code, kCmdLoadAlbum);
        EXPECT_TRUE(frames[0].data.empty());
        EXPECT_EQ(frames[0].announcedLength, CModuleFrameParser::kMaxLoadAlbumLength + 1);
        auto rest =
            parser.Feed(Concat({Bytes(frame.begin() + 8, frame.end()), kSetAngle}), Clock::time_point{});
        ASSERT_EQ(rest.size(), 1u);
        EXPECT_EQ(rest[0].code, kCmdSetCameraAngle);
        EXPECT_EQ(parser.SkippedBytes(), frame.size() - 8);
    }
}

TEST(FrameParser, GarbledHugeAlbumLengthStopsDiscardingWhenTheLineGoesQuiet) {
    CModuleFrameParser parser;
    Bytes garbled = {kFrameSync, kCmdLoadAlbum, 0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x22};
    Clock::time_point t{};
    auto frames = parser.Feed(garbled, t);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].tooLong);
    EXPECT_TRUE(parser.Feed(kGetVersion, t + milliseconds(50)).empty());  // still inside the announced length
    frames = parser.Feed(kGetVersion, t + milliseconds(200));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, kCmdGetVersion);
}

TEST(FrameParser, LoadAlbumCodeWithAnotherLengthFieldIsAnOrdinaryFrame) {
    CModuleFrameParser parser;
    auto frames = parser.Feed(BuildCommandFrame(kCmdLoadAlbum, Bytes{1, 2, 3}), Clock::time_point{});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].lengthField, 3u);
    EXPECT_EQ(frames[0].data, (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace qzm
