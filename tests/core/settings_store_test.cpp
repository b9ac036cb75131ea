// The settings store over Application.ini, Settings.ini, Debug.ini and DefSettings.dat.
#include <gtest/gtest.h>

#include "core/settings_store.h"
#include "files/file_operate.h"
#include "test_folder.h"

using namespace qzm;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder_;  // before the store, which works in it
    CSettingsStore store_;
};

TEST_F(SettingsStoreTest, NoFilesGiveTheDefaults) {
    std::string port = "unset";
    int baud = 0;
    store_.ReadPortSettings(port, baud);
    EXPECT_EQ(port, "");
    EXPECT_EQ(baud, 921600);
    EXPECT_EQ(store_.ReadAutoConnect(), 0);
    EXPECT_EQ(store_.ReadCameraAngle(), 0);
    EXPECT_EQ(store_.ReadOutputLogFlag(), 0);
    EXPECT_EQ(store_.ReadRegistCount(), 0);
    EXPECT_EQ(store_.ReadRegistCountBack(), 0);
    EXPECT_EQ(store_.ReadLimitLogBlock(), 150);
    EXPECT_EQ(store_.ReadExecuteImage(), 1);
    EXPECT_EQ(store_.ReadPrevSelectFile(), "./QZMAlbum.qzc");
    EXPECT_EQ(store_.ReadPrevImageFolder(), "");
    EXPECT_EQ(store_.ReadMaxBlockNum(), 0);
    EXPECT_EQ(store_.ReadMaxFileNum(), 0);
    EXPECT_FALSE(store_.DebugIniExists());

    FunctionSwitches flags;
    flags.fill(true);
    store_.ReadActiveFunctions(flags);
    EXPECT_EQ(flags, FunctionSwitches{});

    ExecSettings s;
    s.threshold[0] = s.yawAngle = s.rollAngle = 7;
    store_.ReadThresholds(s.threshold);
    store_.ReadSizeRanges(s.sizeRange);
    store_.ReadFaceAngle(s.yawAngle, s.rollAngle);
    for (int t : s.threshold) {
        EXPECT_EQ(t, -1);
    }
    for (const CRange& r : s.sizeRange) {
        EXPECT_EQ(r, CRange(-1, 65535));
    }
    EXPECT_EQ(s.yawAngle, -1);
    EXPECT_EQ(s.rollAngle, -1);
    EXPECT_FALSE(std::filesystem::exists("Application.ini"));  // reads never create files
}

TEST_F(SettingsStoreTest, FunctionMask) {
    struct Case {
        const char* stored;
        std::array<bool, 10> flags;
    };
    const Case cases[] = {
        {"1023", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"4", {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"513", {1, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"3072", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // bits above the ten functions are ignored
        {"face", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        WriteFile("Settings.ini", std::string("[ActiveFunction]\r\nFunction=") + c.stored + "\r\n");
        FunctionSwitches flags{};
        store_.ReadActiveFunctions(flags);
        EXPECT_EQ(flags, c.flags) << c.stored;
    }
    FunctionSwitches flags{};
    flags[2] = flags[9] = true;
    ASSERT_EQ(store_.WriteActiveFunctions(flags), 0);
    int mask = 0;
    CFileOperate::ReadIniInt("ActiveFunction", "Function", 0, "./Settings.ini", mask);
    EXPECT_EQ(mask, 4 + 512);
}

TEST_F(SettingsStoreTest, PackedSizeRanges) {
    struct Case {
        int packed;
        CRange range;
    };
    const Case cases[] = {
        {20 * 65536 + 100, CRange(20, 100)},
        {-1, CRange(-1, 65535)},
        {64 * 65536 + 8192, CRange(64, 8192)},
        {0, CRange(0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CSettingsStore::UnpackSizeRange(c.packed), c.range) << c.packed;
    }
    EXPECT_EQ(CSettingsStore::PackSizeRange(CRange(20, 100)), 20 * 65536 + 100);
    EXPECT_EQ(CSettingsStore::PackSizeRange(CRange(-1, -1)), -1);

    WriteFile("Settings.ini", "[SizeRange]\r\nBody=1310820\r\nHand=-1\r\n");
    CRange ranges[3];
    store_.ReadSizeRanges(ranges);
    EXPECT_EQ(ranges[0], CRange(20, 100));
    EXPECT_EQ(ranges[1], CRange(-1, 65535));
    EXPECT_EQ(ranges[2], CRange(-1, 65535));

    const CRange written[3] = {CRange(30, 8192), CRange(40, 8192), CRange(64, 4096)};
    ASSERT_EQ(store_.WriteSizeRanges(written), 0);
    store_.ReadSizeRanges(ranges);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ranges[i], written[i]);
    }
}

TEST_F(SettingsStoreTest, WritesReadBackAndKeepTheOtherKeys) {
    ASSERT_EQ(store_.WritePortSettings("/dev/ttyUSB1", 115200), 0);
    ASSERT_EQ(store_.WritePrevSelectFile("/home/u/Alb\xC3\xBCm.qzc"), 0);
    ASSERT_EQ(store_.WriteRegistCount(12), 0);
    ASSERT_EQ(store_.WritePrevImageFolder("/home/u/Bilder"), 0);
    ASSERT_EQ(store_.WritePortSettings("/dev/ttyUSB0", 921600), 0);  // rewrites in place
    const int thresholds[4] = {100, 200, 300, 0};
    ASSERT_EQ(store_.WriteThresholds(thresholds), 0);
    ASSERT_EQ(store_.WriteFaceAngle(2, 1), 0);

    std::string port;
    int baud = 0;
    store_.ReadPortSettings(port, baud);
    EXPECT_EQ(port, "/dev/ttyUSB0");
    EXPECT_EQ(baud, 921600);
    EXPECT_EQ(store_.ReadPrevSelectFile(), "/home/u/Alb\xC3\xBCm.qzc");
    EXPECT_EQ(store_.ReadPrevImageFolder(), "/home/u/Bilder");
    EXPECT_EQ(
        ReadFile("Application.ini"),
        "[Application]\r\nCOMPortName=/dev/ttyUSB0\r\nBaudRate=921600\r\n"
        "PrevSelectFile=/home/u/Alb\xC3\xBCm.qzc\r\nRegistCount=12\r\nPrevImageFolder=/home/u/Bilder\r\n");
    EXPECT_EQ(ReadFile("Settings.ini"),
              "[Threshold]\r\nBody=100\r\nHand=200\r\nFace=300\r\nRecognition=0\r\n"
              "[FaceAngle]\r\nYawAngle=2\r\nRollAngle=1\r\n");
}

TEST_F(SettingsStoreTest, DebugIniLimits) {
    WriteFile("Debug.ini", "[log]\r\nmaxblocknum=3\r\nMaxFileNum = 2\r\n");
    EXPECT_TRUE(store_.DebugIniExists());
    EXPECT_EQ(store_.ReadMaxBlockNum(), 3);
    EXPECT_EQ(store_.ReadMaxFileNum(), 2);
}

TEST_F(SettingsStoreTest, DefaultSettingsFile) {
    struct Case {
        const char* name;
        std::string content;
        int result;
    };
    const Case cases[] = {
        {"two comment lines, three data lines",
         "; defaults\r\n; thresholds, sizes, "
         "angles\r\n500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n1\t0\r\n",
         0},
        {"extra fields and lines ignored",
         "500\t500\t500\t500\t9\r\n30\t8192\t40\t8192\t64\t8192\r\n1\t0\t7\r\nmore\r\n", 0},
        {"short threshold line", "500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n1\t0\r\n", -1},
        {"short size line", "500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\r\n1\t0\r\n", -1},
        {"short angle line", "500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n1\r\n", -1},
        {"only two data lines", ";c\r\n500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n", -1},
    };
    for (const Case& c : cases) {
        WriteFile("DefSettings.dat", c.content);
        ExecSettings defaults;
        EXPECT_EQ(store_.LoadDefaultSettings(defaults), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(defaults.threshold[3], 500);
            EXPECT_EQ(defaults.sizeRange[2], CRange(64, 8192));
            EXPECT_EQ(defaults.yawAngle, 1);
            EXPECT_EQ(defaults.rollAngle, 0);
        } else {
            EXPECT_EQ(defaults, ExecSettings{}) << c.name;  // untouched: every value -1
        }
    }
    std::filesystem::remove("DefSettings.dat");
    ExecSettings defaults;
    EXPECT_EQ(store_.LoadDefaultSettings(defaults), -1);
}

TEST(DeliveredDefaultsTest, MatchTheExecutionPageInitialValues) {
    CSettingsStore store(QZM_DATA_DIR);
    ExecSettings defaults;
    ASSERT_EQ(store.LoadDefaultSettings(defaults), 0);
    for (int t : defaults.threshold) {
        EXPECT_EQ(t, 500);
    }
    EXPECT_EQ(defaults.sizeRange[0], CRange(30, 8192));
    EXPECT_EQ(defaults.sizeRange[1], CRange(40, 8192));
    EXPECT_EQ(defaults.sizeRange[2], CRange(64, 8192));
    EXPECT_EQ(defaults.yawAngle, 0);
    EXPECT_EQ(defaults.rollAngle, 0);
}

}  // namespace
