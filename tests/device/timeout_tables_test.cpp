// Which time-out each command gets, from the files beside the program or the 1-second default.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/timeout_tables.h"
#include "test_folder.h"

using namespace qzm;

namespace {

TimeoutParameters Functions(std::initializer_list<int> on) {
    TimeoutParameters p;
    p.baudRate = 921600;
    for (int k : on)
        p.functions[k] = true;
    return p;
}

class TimeoutTablesTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder;
};

}  // namespace

TEST_F(TimeoutTablesTest, WithoutFilesEveryWaitIsOneSecondPerValue) {
    CTimeoutTables tables;
    for (int type : {0, 1}) {
        for (std::uint8_t code : {0x00, 0x01, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13, 0x15}) {
            EXPECT_EQ(tables.Lookup(code, type, {}), 1000) << int(code) << " type " << type;
        }
    }
    // Body, hand, face and direction with an image: four functions and the image, 1 s each.
    TimeoutParameters p = Functions({0, 1, 2, 3});
    p.imageOption = 1;
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kImageRule, 0, p) + tables.Lookup(0x03, 0, p), 5000);
    EXPECT_EQ(tables.Lookup(0x03, 0, Functions({})), 0);
}

TEST_F(TimeoutTablesTest, CodesWithoutRuleWaitWithoutLimit) {
    CTimeoutTables tables;
    for (std::uint8_t code : {0x20, 0x21, 0x22, 0x30})
        EXPECT_EQ(tables.Lookup(code, 0, {}), -1) << int(code);
    for (std::uint8_t code : {0x20, 0x21, 0x22, 0x30})
        EXPECT_EQ(tables.Lookup(code, 1, {}), 1000) << int(code);
    for (std::uint8_t code : {0x0B, 0x14, 0x16, 0x80, 0xFF})
        EXPECT_EQ(tables.Lookup(code, 1, {}), -1) << int(code);
    EXPECT_EQ(CTimeoutTables::AlbumTimeoutSeconds(3, 9600), -1);
}

TEST_F(TimeoutTablesTest, CommandTablesReadOnceAndDeleteKeysCrossed) {
    WriteFile("CmdTimeout.ini",
              "[Command]\r\nGetVersion=2\r\nDeleteUser=4\r\nDeleteData=6\r\nReformatFlash=9\r\nGetRegistDara="
              "x\r\n");
    WriteFile("RegTimeout.ini", "[DeleteUser]\r\n0-9=11\r\n[DeleteData]\r\n0-9=12\r\n");
    CTimeoutTables tables;
    WriteFile("CmdTimeout.ini", "[Command]\r\nGetVersion=7\r\n");
    EXPECT_EQ(tables.Lookup(0x00, 0, {}), 2000);
    // Delete Data is 0x11, Delete User 0x12; their keys are the other way round.
    EXPECT_EQ(tables.Lookup(0x11, 1, {}), 4000);
    EXPECT_EQ(tables.Lookup(0x12, 1, {}), 6000);
    EXPECT_EQ(tables.Lookup(0x11, 0, {}), 11000);
    EXPECT_EQ(tables.Lookup(0x12, 0, {}), 12000);
    EXPECT_EQ(tables.Lookup(0x30, 1, {}), 9000);
    EXPECT_EQ(tables.Lookup(0x15, 0, {}), 0);  // not a number: no wait at all
}

TEST_F(TimeoutTablesTest, CountKeyedRulesAndTheGrowingWait) {
    WriteFile("RegTimeout.ini", "[Registration]\r\n0-9=3\r\n10Over=-1\r\n");
    WriteFile("AlbumTimeout.ini", "[WriteFlash]\r\n0-9=2\r\n10Over=-1\r\n[SaveAlbum]\r\n921600=15\r\n");
    CTimeoutTables tables;
    const struct {
        int count;
        int ms;
    } cases[] = {{0, 3000},  {9, 3000},  {10, 7000}, {37, 7000},
                 {38, 8000}, {65, 8000}, {66, 9000}, {-1, 1000}};
    for (const auto& c : cases) {
        TimeoutParameters p;
        p.registeredCount = c.count;
        EXPECT_EQ(tables.Lookup(0x10, 0, p), c.ms) << c.count;
        EXPECT_EQ(tables.Lookup(0x22, 1, p), c.ms == 3000 ? 2000 : c.ms) << c.count;
    }
    EXPECT_EQ(CTimeoutTables::AlbumTimeoutSeconds(0, 921600), 15);
    EXPECT_EQ(CTimeoutTables::AlbumTimeoutSeconds(0, 57600), 1);
    EXPECT_EQ(CTimeoutTables::AlbumTimeoutSeconds(2, 38), 8);
}

TEST_F(TimeoutTablesTest, ExecutionSectionsAndKeys) {
    WriteFile("ExecTimeout.ini",
              "[Function]\r\nBodyDitect=2\r\nExpression=3\r\n"
              "[Face_20]\r\n45_90=5\r\n15_30=7\r\n[Face_64]\r\n45_90=6\r\n"
              "[Recognition]\r\n0-10=1\r\n11-20=2\r\n201-500=4\r\n");
    const struct {
        std::initializer_list<int> on;
        int minFace, yaw, roll, users, ms;
    } cases[] = {
        {{0, 8}, 20, 0, 0, 0, 5000}, {{2}, 20, 2, 1, 0, 5000},
        {{2}, 64, 2, 1, 0, 6000},    {{2}, 63, 0, 0, 0, 7000},
        {{2}, 20, 5, 0, 0, 1000},    {{9}, 20, 0, 0, 10, 1000},
        {{9}, 20, 0, 0, 11, 2000},   {{9}, 20, 0, 0, 500, 4000},
        {{9}, 20, 0, 0, 600, 1000},  {{3, 4, 5, 6, 7}, 20, 0, 0, 0, 5000},
    };
    for (const auto& c : cases) {
        CTimeoutTables tables;
        TimeoutParameters p = Functions(c.on);
        p.minFaceSize = c.minFace;
        p.yawCode = c.yaw;
        p.rollCode = c.roll;
        p.recognitionUserCount = c.users;
        EXPECT_EQ(tables.Lookup(0x04, 1, p), c.ms)
            << c.minFace << " " << c.yaw << " " << c.roll << " " << c.users;
    }
}

TEST_F(TimeoutTablesTest, BaudRateChangeRecomputesOnlyTheImageWait) {
    WriteFile("ImgTimeout.ini", "[QVGA]\r\n921600=2\r\n115200=3\r\n[160x120]\r\n921600=4\r\n115200=5\r\n");
    WriteFile("ExecTimeout.ini", "[Function]\r\nBodyDitect=2\r\n");
    CTimeoutTables tables;
    TimeoutParameters p = Functions({0});
    p.imageOption = 1;
    EXPECT_EQ(tables.Lookup(0x03, 0, p), 2000);
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kImageRule, 0, p), 2000);
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kPreviewImageRule, 0, p), 4000);

    // The files change behind the program's back: cached values stay until a parameter changes.
    WriteFile("ExecTimeout.ini", "[Function]\r\nBodyDitect=9\r\n");
    p.baudRate = 115200;
    EXPECT_EQ(tables.Lookup(0x03, 0, p), 2000);
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kImageRule, 0, p), 3000);
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kPreviewImageRule, 0, p), 5000);
    p.functions[1] = true;
    EXPECT_EQ(tables.Lookup(0x03, 0, p), 10000);
    p.imageOption = 7;
    EXPECT_EQ(tables.Lookup(CTimeoutTables::kImageRule, 0, p), 1000);
}

// Only a code without a rule may wait without limit: a negative value in a file counts as
// missing, and a value beyond an hour as an hour, so no value turns into an endless or an
// overflowing wait.
TEST_F(TimeoutTablesTest, FileValuesNeverWaitWithoutLimitOrOverflow) {
    const struct {
        const char* value;
        int ms;
    } cases[] = {
        {"-2", 1000},      {"-1", 1000},      {"-2147483648", 1000}, {"0", 0},
        {"3600", 3600000}, {"3601", 3600000}, {"2147484", 3600000},  {"99999999999", 3600000},
    };
    for (const auto& c : cases) {
        const std::string v = c.value;
        WriteFile("CmdTimeout.ini", "[Command]\r\nGetVersion=" + v + "\r\n");
        WriteFile("ImgTimeout.ini", "[QVGA]\r\n921600=" + v + "\r\n");
        WriteFile("ExecTimeout.ini", "[Function]\r\nBodyDitect=" + v + "\r\n");
        WriteFile("RegTimeout.ini", "[DeleteAll]\r\n0-9=" + v + "\r\n");
        WriteFile("AlbumTimeout.ini", "[SaveAlbum]\r\n921600=" + v + "\r\n");
        CTimeoutTables tables;
        TimeoutParameters p = Functions({0});
        p.imageOption = 1;
        EXPECT_EQ(tables.Lookup(0x00, 1, p), c.ms) << v;
        EXPECT_EQ(tables.Lookup(CTimeoutTables::kImageRule, 1, p), c.ms) << v;
        EXPECT_EQ(tables.Lookup(0x03, 1, p), c.ms) << v;
        // In a count-keyed file -1 is the growing wait, 7 s for a small count.
        EXPECT_EQ(tables.Lookup(0x13, 0, p), v == "-1" ? 7000 : c.ms) << v;
        EXPECT_EQ(tables.Lookup(0x20, 1, p), c.ms) << v;
        EXPECT_EQ(CTimeoutTables::AlbumTimeoutSeconds(0, 921600), c.ms / 1000) << v;
    }

    // Every function at the limit still adds up without overflow.
    WriteFile("ExecTimeout.ini",
              "[Function]\r\nBodyDitect=99999\r\nHandDitect=99999\r\nFaceDir=99999\r\nAge=99999\r\n"
              "Gender=99999\r\nGaze=99999\r\nBlink=99999\r\nExpression=99999\r\n"
              "[Face_20]\r\n15_30=99999\r\n[Recognition]\r\n0-10=99999\r\n");
    CTimeoutTables tables;
    TimeoutParameters all = Functions({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(tables.Lookup(0x04, 1, all), 10 * 3600000);

    // The growing wait is capped as well, and never reached through a negative count.
    WriteFile("RegTimeout.ini", "[Registration]\r\n10Over=-1\r\n");
    TimeoutParameters many;
    many.registeredCount = 2147483647;
    EXPECT_EQ(tables.Lookup(0x10, 0, many), 3600000);
}

// The delivered files give every command a wait that lets an answer arrive, whatever functions and
// image the user picks.
TEST_F(TimeoutTablesTest, DeliveredFilesGiveEveryExecutionTimeToAnswer) {
    for (const char* name :
         {"CmdTimeout.ini", "ExecTimeout.ini", "ImgTimeout.ini", "RegTimeout.ini", "AlbumTimeout.ini"}) {
        std::filesystem::copy_file(std::filesystem::path(QZM_DATA_DIR) / name, folder.path() / name);
    }
    CTimeoutTables tables;
    for (int baud : {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600}) {
        for (int image : {0, 1, 2}) {
            for (const std::initializer_list<int> on : {std::initializer_list<int>{}, {2}, {0, 1, 2, 3, 9}}) {
                TimeoutParameters p = Functions(on);
                p.baudRate = baud;
                p.imageOption = image;
                EXPECT_GE(tables.Lookup(CTimeoutTables::kImageRule, 1, p) + tables.Lookup(0x04, 1, p), 1000)
                    << baud << " image " << image << " functions " << on.size();
            }
        }
        TimeoutParameters p;
        p.baudRate = baud;
        EXPECT_GE(tables.Lookup(CTimeoutTables::kPreviewImageRule, 1, p), 1000) << baud;
        // The album's line time fits into its wait.
        EXPECT_GE(tables.Lookup(0x20, 1, p), 816040 * 10 / baud * 1000) << baud;
        EXPECT_GE(tables.Lookup(0x21, 1, p), 816040 * 10 / baud * 1000) << baud;
    }
    for (int type : {0, 1}) {
        for (std::uint8_t code : {0x00, 0x01, 0x05, 0x07, 0x09, 0x10, 0x11, 0x12, 0x13, 0x15})
            EXPECT_GE(tables.Lookup(code, type, {}), 1000) << int(code) << " type " << type;
    }
}
