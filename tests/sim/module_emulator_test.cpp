#include "sim/module_emulator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/qzm_frame.h"
#include "sim/module_faults.h"

namespace qzm {
namespace {

using Bytes = std::vector<std::uint8_t>;

ParsedFrame Frame(std::uint8_t code, Bytes data = {}) {
    ParsedFrame frame;
    frame.code = code;
    frame.lengthField = static_cast<std::uint16_t>(data.size());
    frame.announcedLength = frame.lengthField;
    frame.data = std::move(data);
    return frame;
}

TEST(ModuleEmulator, VersionAnswerOfEachPersonality) {
    struct Case {
        ModuleIdentity identity;
        Bytes expected;
    } cases[] = {
        {ModuleIdentity::Basic(),
         {'Q', 'Z', 'M', '-', 'K', '1', '0', '0', ' ', ' ', ' ', ' ', 1, 1, 0, 0x00, 0x04, 0x00, 0x00}},
        {ModuleIdentity::Extended(),
         {'Q', 'Z', 'M', '-', 'K', '2', '0', '0', ' ', ' ', ' ', ' ', 1, 2, 0, 0x00, 0x08, 0x00, 0x00}},
        {ModuleIdentity{"AB", 3, 4, 5, 0x12345678},
         {'A', 'B', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 3, 4, 5, 0x78, 0x56, 0x34, 0x12}},
        {ModuleIdentity{"ABCDEFGHIJKLMNO", 255, 255, 255, 0xFFFFFFFF},
         {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 255, 255, 255, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator(c.identity);
        ModuleReply reply = emulator.Handle(Frame(kCmdGetVersion));
        EXPECT_EQ(reply.responseCode, kRespOk);
        EXPECT_EQ(reply.data, c.expected);
        EXPECT_FALSE(reply.setCommand);
    }
    EXPECT_FALSE(ModuleIdentity::Basic().HasExtendedCommandSet());
    EXPECT_TRUE(ModuleIdentity::Extended().HasExtendedCommandSet());
}

TEST(ModuleEmulator, SetCommandsStoreTheirValues) {
    CModuleEmulator emulator;
    struct Case {
        std::uint8_t code;
        Bytes data;
    } cases[] = {
        {kCmdSetCameraAngle, {3}},
        {kCmdSetThreshold, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF, 0xFF}},
        {kCmdSetSizeRange, {20, 0, 0x20, 0x03, 30, 0, 0x40, 0x01, 40, 0, 0x80, 0x02}},
        {kCmdSetFaceAngle, {2, 1}},
    };
    for (const Case& c : cases) {
        ModuleReply reply = emulator.Handle(Frame(c.code, c.data));
        EXPECT_EQ(reply.responseCode, kRespOk) << int(c.code);
        EXPECT_TRUE(reply.data.empty());
        EXPECT_TRUE(reply.setCommand);
    }
    StoredSettings s = emulator.Settings();
    EXPECT_EQ(s.cameraAngle, 3);
    EXPECT_EQ(s.thresholds, (std::array<std::uint16_t, 4>{0x0201, 0x0403, 0x0605, 0xFFFF}));
    EXPECT_EQ(s.sizeRanges, (std::array<std::uint16_t, 6>{20, 800, 30, 320, 40, 640}));
    EXPECT_EQ(s.yawCode, 2);
    EXPECT_EQ(s.rollCode, 1);
}

TEST(ModuleEmulator, WrongDataLengthOrValueIsRefusedAndChangesNothing) {
    struct Case {
        std::uint8_t code;
        Bytes data;
        std::uint8_t expected;
    } cases[] = {
        {kCmdGetVersion, {0}, kRespBadLength},
        {kCmdSetCameraAngle, {}, kRespBadLength},
        {kCmdSetCameraAngle, {1, 1}, kRespBadLength},
        {kCmdSetThreshold, Bytes(7, 1), kRespBadLength},
        {kCmdSetThreshold, Bytes(9, 1), kRespBadLength},
        {kCmdSetSizeRange, Bytes(11, 1), kRespBadLength},
        {kCmdSetSizeRange, Bytes(13, 1), kRespBadLength},
        {kCmdSetFaceAngle, {1}, kRespBadLength},
        {kCmdSetFaceAngle, {1, 1, 1}, kRespBadLength},
        {kCmdSetCameraAngle, {4}, kRespBadParameter},
        {kCmdSetFaceAngle, {3, 0}, kRespBadParameter},
        {kCmdSetFaceAngle, {0, 2}, kRespBadParameter},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator;
        const StoredSettings before = emulator.Settings();
        ModuleReply reply = emulator.Handle(Frame(c.code, c.data));
        EXPECT_EQ(reply.responseCode, c.expected)
            << "code " << int(c.code) << ", " << c.data.size() << " bytes";
        EXPECT_TRUE(reply.data.empty());
        EXPECT_EQ(emulator.Settings(), before);
    }
}

TEST(ModuleEmulator, UnknownOrNotEmulatedCommandsAreRefused) {
    struct Case {
        ModuleIdentity identity;
        std::vector<std::uint8_t> unknown;
        std::vector<std::uint8_t> known;
    } cases[] = {
        {ModuleIdentity::Basic(),
         {0x02, 0x04, 0x06, 0x08, 0x0A, 0x0F, 0x16, 0x20, 0x21, 0x22, 0x30, 0x80, 0x81, 0xFF},
         {0x00, 0x01, 0x03, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13, 0x15}},
        {ModuleIdentity::Extended(),
         {0x02, 0x06, 0x08, 0x0A, 0x0F, 0x16, 0x22, 0x30, 0x80, 0x81, 0xFF},
         {0x00, 0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13, 0x15, 0x20, 0x21}},
    };
    for (const Case& c : cases) {
        CModuleEmulator emulator(c.identity);
        for (std::uint8_t code : c.unknown) {
            ModuleReply reply = emulator.Handle(Frame(code));
            EXPECT_EQ(reply.responseCode, kRespUnknownCommand) << int(code);
            EXPECT_TRUE(reply.data.empty());
            EXPECT_FALSE(emulator.Knows(code));
        }
        for (std::uint8_t code : c.known)
            EXPECT_TRUE(emulator.Knows(code)) << int(code);
    }
}

TEST(ModuleEmulator, TooLongAlbumIsRefused) {
    CModuleEmulator emulator(ModuleIdentity::Extended());
    ParsedFrame frame = Frame(kCmdLoadAlbum);
    frame.tooLong = true;
    EXPECT_EQ(emulator.Handle(frame).responseCode, kRespFrameTooLong);
}

TEST(ModuleFaultsEncoding, EachFaultPutsItsBytesOnTheLine) {
    const ModuleReply version{0x00, {0xA1, 0xA2, 0xA3}, false};
    const ModuleReply set{0x00, {}, true};
    auto faults = [](auto change) {
        ModuleFaults f;
        change(f);
        return f;
    };
    struct Case {
        const char* name;
        ModuleReply reply;
        ModuleFaults faults;
        Bytes expected;
    } cases[] = {
        {"none", version, {}, {0xFE, 0x00, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"silent", version, faults([](ModuleFaults& f) { f.silent = true; }), {}},
        {"truncated payload leaves other answers whole",
         version,
         faults([](ModuleFaults& f) { f.truncatePayloadAt = 1; }),
         {0xFE, 0x00, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"truncated payload with a length to match",
         ModuleReply{0x00, {1, 2, 3, 4, 5}, false, true},
         faults([](ModuleFaults& f) { f.truncatePayloadAt = 2; }),
         {0xFE, 0x00, 2, 0, 0, 0, 1, 2}},
        {"truncated payload then stopped",
         ModuleReply{0x00, {1, 2, 3, 4, 5}, false, true},
         faults([](ModuleFaults& f) {
             f.truncatePayloadAt = 3;
             f.stopAfter = 7;
         }),
         {0xFE, 0x00, 3, 0, 0, 0, 1}},
        {"silent wins over junk",
         version,
         faults([](ModuleFaults& f) {
             f.silent = true;
             f.junkBefore = 4;
         }),
         {}},
        {"stop after 7",
         version,
         faults([](ModuleFaults& f) { f.stopAfter = 7; }),
         {0xFE, 0, 3, 0, 0, 0, 0xA1}},
        {"stop after 2", version, faults([](ModuleFaults& f) { f.stopAfter = 2; }), {0xFE, 0}},
        {"stop after 0", version, faults([](ModuleFaults& f) { f.stopAfter = 0; }), {}},
        {"stop after more than the answer",
         version,
         faults([](ModuleFaults& f) { f.stopAfter = 100; }),
         {0xFE, 0x00, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"bad sync",
         version,
         faults([](ModuleFaults& f) { f.badSync = true; }),
         {0xFC, 0x00, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"short header", version, faults([](ModuleFaults& f) { f.shortHeader = true; }), {0xFE, 0x00, 3}},
        {"bad length",
         version,
         faults([](ModuleFaults& f) { f.badLength = true; }),
         {0xFE, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"set data on a set command",
         set,
         faults([](ModuleFaults& f) { f.setCommandData = 3; }),
         {0xFE, 0x00, 3, 0, 0, 0, 0x00, 0x01, 0x02}},
        {"set data leaves other answers alone",
         version,
         faults([](ModuleFaults& f) { f.setCommandData = 3; }),
         {0xFE, 0x00, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"response code keeps the data",
         version,
         faults([](ModuleFaults& f) { f.responseCode = 0x42; }),
         {0xFE, 0x42, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3}},
        {"response code on a set command",
         set,
         faults([](ModuleFaults& f) { f.responseCode = 0x07; }),
         {0xFE, 0x07, 0, 0, 0, 0}},
        {"junk before",
         set,
         faults([](ModuleFaults& f) { f.junkBefore = 2; }),
         {JunkByte(0), JunkByte(1), 0xFE, 0x00, 0, 0, 0, 0}},
        {"junk stays when the answer is cut",
         set,
         faults([](ModuleFaults& f) {
             f.junkBefore = 1;
             f.stopAfter = 1;
         }),
         {JunkByte(0), 0xFE}},
        {"bad sync and bad length together",
         set,
         faults([](ModuleFaults& f) { f.badSync = f.badLength = true; }),
         {0xFC, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeAnswer(c.reply, c.faults), c.expected) << c.name;
    }
}

TEST(ModuleFaultsEncoding, JunkNeverLooksLikeASyncByte) {
    for (std::size_t i = 0; i < 1024; ++i)
        EXPECT_NE(JunkByte(i), kFrameSync) << i;
}

TEST(ModuleIdentityText, ParseVersion) {
    struct Case {
        const char* text;
        bool ok;
        std::uint8_t major = 0, minor = 0, release = 0;
        std::uint32_t revision = 0;
    } cases[] = {
        {"1.2.0.2048", true, 1, 2, 0, 2048},
        {"255.255.255.4294967295", true, 255, 255, 255, 4294967295u},
        {"0.0.0.0", true, 0, 0, 0, 0},
        {"256.0.0.0", false},
        {"1.2.3.4294967296", false},
        {"1.2.3", false},
        {"1.2.3.4.5", false},
        {"1..3.4", false},
        {"1.2.3.", false},
        {"-1.2.3.4", false},
        {"1.2.3.4 ", false},
        {"a.b.c.d", false},
        {"", false},
    };
    for (const Case& c : cases) {
        ModuleIdentity identity = ModuleIdentity::Basic();
        EXPECT_EQ(ParseVersionText(c.text, identity), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(identity.VersionAnswer(), ModuleIdentity::Basic().VersionAnswer()) << c.text;
            continue;
        }
        EXPECT_EQ(identity.major, c.major);
        EXPECT_EQ(identity.minor, c.minor);
        EXPECT_EQ(identity.release, c.release);
        EXPECT_EQ(identity.revision, c.revision);
    }
}

}  // namespace
}  // namespace qzm
