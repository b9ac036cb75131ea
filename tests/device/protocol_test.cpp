// The exchange rules, against a scripted connection: what the module sends back decides the result.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <vector>

#include "device/qzm_frame.h"
#include "device/qzm_protocol.h"

using namespace qzm;

namespace {

// Answers each Send with a scripted byte string, as a module on the other end of the line would.
class ScriptedConnection : public CConnection {
public:
    std::vector<std::uint8_t> answer;
    std::vector<std::vector<std::uint8_t>> sent;

    int Send(int length, const std::uint8_t* bytes) override {
        sent.emplace_back(bytes, bytes + length);
        pending.assign(answer.begin(), answer.end());
        return 0;
    }
    int Receive(int& count, std::uint8_t* destination) override {
        int n = 0;
        while (n < count && !pending.empty()) {
            destination[n++] = pending.front();
            pending.pop_front();
        }
        count = n;
        return 0;
    }
    bool HasBytes(int count) override { return static_cast<int>(pending.size()) >= count; }

    std::deque<std::uint8_t> pending;
};

struct TraceRecord {
    int direction;
    std::string label;
    std::vector<std::uint8_t> bytes;
};

class RecordingTrace : public FrameTrace {
public:
    std::vector<TraceRecord> records;
    void Trace(int direction, const std::string& label, int length, const std::uint8_t* bytes) override {
        records.push_back({direction, label, std::vector<std::uint8_t>(bytes, bytes + length)});
    }
};

std::vector<std::uint8_t> Header(std::uint8_t sync, std::uint8_t code, std::uint32_t length) {
    std::vector<std::uint8_t> h = {sync, code};
    PutLE32(h, length);
    return h;
}

std::vector<std::uint8_t> VersionData() {
    std::vector<std::uint8_t> d = {'Q', 'Z', 'M', '-', 'K', '2', '0', '0', ' ', ' ', 0, 0, 1, 2, 3};
    PutLE32(d, 0x01020304);
    return d;
}

constexpr int kShortTimeoutMs = 30;

}  // namespace

struct ExchangeCase {
    const char* name;
    std::vector<std::uint8_t> answer;
    bool setCommand;  // Set Camera Angle (accepts no data) instead of Get Version
    int expectedResult;
    int expectedResponse;         // -1: not to be checked
    std::size_t expectedTraceIn;  // bytes of the traced answer; 0 = no answer traced
};

class ProtocolExchangeTest : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(ProtocolExchangeTest, ResultCodeAndTrace) {
    const ExchangeCase& c = GetParam();
    ScriptedConnection line;
    line.answer = c.answer;
    RecordingTrace trace;
    CQZMProtocol protocol(&line, &trace);
    const SupportedCommands all = SupportedCommandsFor(1);
    std::uint8_t response = 0x77;
    VersionAnswer version;
    const int result = c.setCommand ? protocol.SetCameraAngle(all, kShortTimeoutMs, 2, &response)
                                    : protocol.GetVersion(all, kShortTimeoutMs, &version, &response);
    EXPECT_EQ(result, c.expectedResult);
    if (c.expectedResponse >= 0) {
        EXPECT_EQ(response, c.expectedResponse);
    }
    ASSERT_FALSE(trace.records.empty());
    EXPECT_EQ(trace.records[0].direction, 1);
    if (c.expectedTraceIn == 0) {
        EXPECT_EQ(trace.records.size(), 1u);
    } else {
        ASSERT_EQ(trace.records.size(), 2u);
        EXPECT_EQ(trace.records[1].direction, -1);
        EXPECT_EQ(trace.records[1].label, c.setCommand ? "Set Camera Angle" : "Get Version");
        EXPECT_EQ(trace.records[1].bytes.size(), c.expectedTraceIn);
        EXPECT_TRUE(
            std::equal(trace.records[1].bytes.begin(), trace.records[1].bytes.end(), c.answer.begin()));
    }
}

static std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ProtocolExchangeTest,
    ::testing::Values(
        ExchangeCase{"Complete", BuildResponseFrame(0, VersionData()), false, kProtocolOk, 0, 25},
        ExchangeCase{"Silence", {}, false, kProtocolTimeout, -1, 0},
        ExchangeCase{"ShortHeader", {0xFE, 0x00, 0x13}, false, kProtocolShortHeader, -1, 3},
        ExchangeCase{"BadSync", Concat(Header(0xFD, 0, 19), VersionData()), false, kProtocolBadSync, -1, 6},
        ExchangeCase{"BadLength", Header(0xFE, 0, 0xFFFFFFFF), false, kProtocolBadLength, -1, 6},
        ExchangeCase{"StopsMidway", Concat(Header(0xFE, 0, 19), {1, 2, 3}), false, kProtocolTimeout, 0, 6},
        ExchangeCase{"RefusedWithoutData", Header(0xFE, 0x42, 0), false, kProtocolOk, 0x42, 6},
        ExchangeCase{"TooMuchForGetVersion", Concat(Header(0xFE, 0, 20), std::vector<std::uint8_t>(20, 7)),
                     false, kProtocolTooMuchData, 0, 25},
        ExchangeCase{"SetAccepted", Header(0xFE, 0, 0), true, kProtocolOk, 0, 6},
        ExchangeCase{"DataOnSetCommand", Concat(Header(0xFE, 0, 2), {9, 9}), true, kProtocolTooMuchData, 0,
                     6},
        ExchangeCase{"DataOnSetCommandNeverSent", Header(0xFE, 0, 2), true, kProtocolTooMuchData, 0, 6}),
    [](const auto& info) { return std::string(info.param.name); });

// The part of an oversized answer that is not kept must still come off the line: left there, it
// would arrive after the next command was sent and be read as that command's answer.
TEST(ProtocolTest, OversizedAnswerIsTakenOffTheLineWithoutKeepingIt) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> answer;
        bool setCommand;
        std::size_t kept;
    } cases[] = {
        {"version one byte too long", Concat(Header(0xFE, 0, 20), std::vector<std::uint8_t>(20, 7)), false,
         19},
        {"data on a set command", Concat(Header(0xFE, 0, 5000), std::vector<std::uint8_t>(5000, 9)), true, 0},
        {"announced more than came", Concat(Header(0xFE, 0, 100), std::vector<std::uint8_t>(30, 7)), false,
         19},
    };
    for (const auto& c : cases) {
        ScriptedConnection line;
        line.answer = c.answer;
        CQZMProtocol protocol(&line);
        std::uint8_t response = 0xFF;
        VersionAnswer version;
        const int result = c.setCommand ? protocol.SetCameraAngle(SupportedCommandsFor(0), 30, 1, &response)
                                        : protocol.GetVersion({0x00}, 30, &version, &response);
        EXPECT_EQ(result, kProtocolTooMuchData) << c.name;
        EXPECT_EQ(response, 0) << c.name;
        EXPECT_EQ(protocol.AnswerData().size(), c.kept) << c.name;
        EXPECT_TRUE(line.pending.empty()) << c.name << ": " << line.pending.size() << " bytes left";
        EXPECT_LE(protocol.ResponseBufferCapacity(), 6u + 19u) << c.name;
    }
}

TEST(ProtocolTest, RefusesBeforeSending) {
    ScriptedConnection line;
    std::uint8_t response = 0;
    VersionAnswer version;
    CQZMProtocol noLine(nullptr);
    EXPECT_EQ(noLine.GetVersion({0x00}, 10, &version, &response), kProtocolNoConnection);
    EXPECT_EQ(noLine.GetVersion({0x00}, 10, nullptr, nullptr), kProtocolNoConnection);

    CQZMProtocol protocol(&line);
    EXPECT_EQ(protocol.GetVersion({0x00}, 10, nullptr, &response), kProtocolMissingArgument);
    EXPECT_EQ(protocol.GetVersion({0x00}, 10, &version, nullptr), kProtocolMissingArgument);
    EXPECT_EQ(protocol.SetCameraAngle(SupportedCommandsFor(0), 10, 0, nullptr), kProtocolMissingArgument);
    EXPECT_EQ(protocol.GetVersion({0x01, 0x03}, 10, &version, &response), kProtocolNotSupported);
    EXPECT_EQ(protocol.SetCameraAngle({0x00}, 10, 0, &response), kProtocolNotSupported);
    EXPECT_TRUE(line.sent.empty());
}

TEST(ProtocolTest, FramesAndDecodesVersion) {
    ScriptedConnection line;
    line.answer = BuildResponseFrame(0, VersionData());
    CQZMProtocol protocol(&line);
    std::uint8_t response = 0xFF;
    VersionAnswer version;
    ASSERT_EQ(protocol.GetVersion({0x00}, 100, &version, &response), kProtocolOk);
    EXPECT_EQ(line.sent.at(0), (std::vector<std::uint8_t>{0xFE, 0x00, 0x00, 0x00}));
    EXPECT_EQ(response, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(version.model), 12),
              std::string("QZM-K200  \0\0", 12));
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 2);
    EXPECT_EQ(version.release, 3);
    EXPECT_EQ(version.revision, 0x01020304);

    // The same answer to a set command is data it does not accept.
    ASSERT_EQ(protocol.SetCameraAngle(SupportedCommandsFor(0), 100, 3, &response), kProtocolTooMuchData);
    EXPECT_EQ(line.sent.at(1), (std::vector<std::uint8_t>{0xFE, 0x01, 0x01, 0x00, 0x03}));
}

TEST(ProtocolTest, ResponseBufferIsReusedNotShrunk) {
    ScriptedConnection line;
    line.answer = BuildResponseFrame(0, VersionData());
    CQZMProtocol protocol(&line);
    std::uint8_t response = 0;
    VersionAnswer version;
    ASSERT_EQ(protocol.GetVersion({0x00}, 100, &version, &response), kProtocolOk);
    const std::size_t capacity = protocol.ResponseBufferCapacity();
    line.answer = Header(0xFE, 0, 0);
    ASSERT_EQ(protocol.SetCameraAngle({0x01}, 100, 0, &response), kProtocolOk);
    EXPECT_EQ(protocol.ResponseBufferCapacity(), capacity);
    EXPECT_TRUE(protocol.AnswerData().empty());
}

TEST(ProtocolTest, SupportedListsOfBothDeviceTypes) {
    const SupportedCommands basic = SupportedCommandsFor(0);
    EXPECT_EQ(basic.size(), 19u);
    const SupportedCommands extended = SupportedCommandsFor(1);
    EXPECT_EQ(extended.size(), 25u);
    EXPECT_EQ(std::count(extended.begin(), extended.end(), 0x16), 2);
    for (int code : {0x04, 0x20, 0x21, 0x22, 0x30}) {
        EXPECT_EQ(std::count(basic.begin(), basic.end(), code), 0) << code;
        EXPECT_EQ(std::count(extended.begin(), extended.end(), code), 1) << code;
    }
    // The doubled 0x16 hides no command the program sends.
    for (int code : {0x00, 0x01, 0x03, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13, 0x15, 0x04, 0x20, 0x21})
        EXPECT_EQ(std::count(extended.begin(), extended.end(), code), 1) << code;
}

TEST(ConnectionBaseTest, WaitForBytesTimeOuts) {
    ScriptedConnection line;
    EXPECT_EQ(line.WaitForBytes(0, 1), -1);
    EXPECT_EQ(line.WaitForBytes(5, 1), -1);
    line.pending = {1, 2};
    EXPECT_EQ(line.WaitForBytes(0, 2), 0);
    EXPECT_EQ(line.WaitForBytes(-1, 1), 0);
}

TEST(ProtocolTest, RequestFramesOfEveryCommand) {
    ScriptedConnection line;
    line.answer = Header(0xFE, 0, 0);
    CQZMProtocol protocol(&line);
    const SupportedCommands all = SupportedCommandsFor(1);
    std::uint8_t r = 0;
    bool present[10];
    const int thresholds[4] = {500, 0x1234, -1, 70000};
    const CRange ranges[3] = {{40, 480}, {40, 0x10000 + 7}, {64, 400}};
    const std::uint8_t album[3] = {0xA1, 0xA2, 0xA3};
    struct {
        int result;
        std::vector<std::uint8_t> frame;
    } const expected[] = {
        {protocol.SetThreshold(all, 50, thresholds, &r),
         {0xFE, 0x05, 8, 0, 0xF4, 0x01, 0x34, 0x12, 0xFF, 0xFF, 0x70, 0x11}},
        {protocol.SetSizeRange(all, 50, ranges, &r),
         {0xFE, 0x07, 12, 0, 40, 0, 0xE0, 0x01, 40, 0, 7, 0, 64, 0, 0x90, 0x01}},
        {protocol.SetFaceAngle(all, 50, 2, 1, &r), {0xFE, 0x09, 2, 0, 2, 1}},
        {protocol.Register(all, 50, 0x0102, 9, &r), {0xFE, 0x10, 3, 0, 0x02, 0x01, 9}},
        {protocol.DeleteData(all, 50, 499, 3, &r), {0xFE, 0x11, 3, 0, 0xF3, 0x01, 3}},
        {protocol.DeleteUser(all, 50, 499, &r), {0xFE, 0x12, 2, 0, 0xF3, 0x01}},
        {protocol.DeleteAll(all, 50, &r), {0xFE, 0x13, 0, 0}},
        {protocol.GetUserData(all, 50, 7, present, &r), {0xFE, 0x15, 2, 0, 7, 0}},
        {protocol.SaveAlbum(all, 50, &r), {0xFE, 0x20, 0, 0}},
        {protocol.LoadAlbum(all, 50, 3, 0x5A, album, &r),
         {0xFE, 0x21, 4, 0, 11, 0, 0, 0, 3, 0, 0, 0, 0x5A, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
    };
    ASSERT_EQ(line.sent.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(expected[i].result, kProtocolOk) << i;
        EXPECT_EQ(line.sent[i], expected[i].frame) << i;
    }
    for (bool p : present)
        EXPECT_FALSE(p);
}

TEST(ProtocolTest, LoadAlbumFrameOfThousandBytes) {
    ScriptedConnection line;
    line.answer = Header(0xFE, 0, 0);
    RecordingTrace trace;
    CQZMProtocol protocol(&line, &trace);
    const std::vector<std::uint8_t> album(1000, 0x33);
    std::uint8_t r = 0xFF;
    ASSERT_EQ(protocol.LoadAlbum(SupportedCommandsFor(1), 50, 1000, 1, album.data(), &r), kProtocolOk);
    const std::vector<std::uint8_t>& frame = line.sent.at(0);
    ASSERT_EQ(frame.size(), 1016u);
    EXPECT_EQ(GetLE16(frame.data() + 2), 4);
    EXPECT_EQ(GetLE32(frame.data() + 4), 1008u);
    EXPECT_EQ(GetLE32(frame.data() + 8), 1000u);
    EXPECT_EQ(trace.records.at(0).label, "Load Album");
    EXPECT_EQ(trace.records.at(0).bytes.size(), 1016u);
    // The basic command set has no album commands: refused before anything is sent.
    EXPECT_EQ(protocol.LoadAlbum(SupportedCommandsFor(0), 50, 1000, 1, album.data(), &r),
              kProtocolNotSupported);
    EXPECT_EQ(protocol.SaveAlbum(SupportedCommandsFor(0), 50, &r), kProtocolNotSupported);
    EXPECT_EQ(line.sent.size(), 1u);
}

TEST(ProtocolTest, PresenceBits) {
    ScriptedConnection line;
    line.answer = BuildResponseFrame(0, std::vector<std::uint8_t>{0x01, 0x02});
    CQZMProtocol protocol(&line);
    bool present[10];
    std::uint8_t r = 0xFF;
    ASSERT_EQ(protocol.GetUserData(SupportedCommandsFor(0), 50, 1, present, &r), kProtocolOk);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(present[j], j == 0 || j == 9) << j;
    EXPECT_EQ(protocol.GetUserData(SupportedCommandsFor(0), 50, 1, nullptr, &r), kProtocolMissingArgument);
}
