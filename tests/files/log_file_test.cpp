// The result, debug and error logs, with a fixed clock instead of waiting for real time to pass.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <thread>

#include "files/demo_logger.h"
#include "files/local_time.h"
#include "files/log_file.h"
#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kT0 = 1700000000;  // a fixed moment; names are computed in local time
const std::string kBom = "\xEF\xBB\xBF";

std::string DailyName(std::int64_t t) {
    return "./Log/" + FormatLocalTime(t, "%Y%m%d") + ".log";
}
std::string DebugName(std::int64_t t) {
    return "./Log/" + FormatLocalTime(t, "%Y%m%d%H%M%S") + ".log";
}

std::size_t Count(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

// Local calendar fields that map back to the same moment, on any thread.
TEST(LocalTimeTest, FieldsMapBackToTheMoment) {
    for (const std::time_t t : {std::time_t{86400}, std::time_t{kT0}, std::time_t{kT0 + 86399},
                                std::time_t{2000000000}, std::time(nullptr)}) {
        std::tm local{};
        ASSERT_TRUE(LocalTime(t, local)) << t;
        EXPECT_GE(local.tm_year, 70);
        EXPECT_GE(local.tm_mday, 1);
        EXPECT_EQ(std::mktime(&local), t) << t;
    }
    std::tm early{};
    std::thread([&early] { LocalTime(std::time_t{kT0}, early); }).join();
    std::tm here{};
    ASSERT_TRUE(LocalTime(std::time_t{kT0}, here));
    EXPECT_EQ(early.tm_hour, here.tm_hour);
    EXPECT_EQ(early.tm_yday, here.tm_yday);
}

class LogFileTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder_;
    std::int64_t now_ = kT0;
    CLogFileBase::Clock Clock() {
        return [this] { return now_; };
    }
};

TEST_F(LogFileTest, DailyLogCreatedWithBomThenAppended) {
    CLogFileOpe log;
    log.SetClock(Clock());
    EXPECT_EQ(log.WriteLog("early\n", false, kT0), -1);  // not open: nothing written
    ASSERT_EQ(log.Open(), 0);
    EXPECT_EQ(log.GetFileName(), DailyName(kT0));
    EXPECT_EQ(log.Open(), 1);  // already open
    ASSERT_EQ(log.WriteLog("Face\t1  \nAge\t30\n", false, kT0), 0);
    log.Close();
    const std::string stamp = FormatLocalTime(kT0, "%Y/%m/%d %H:%M:%S");
    EXPECT_EQ(ReadFile(DailyName(kT0)), kBom + stamp + "\r\nFace\t1\r\nAge\t30\r\n\r\n");

    now_ = kT0 + 60;
    ASSERT_EQ(log.Open(), 1);  // same day: appended
    ASSERT_EQ(log.WriteLog("Caf\xC3\xA9", true, now_), 0);
    log.Close();
    const std::string content = ReadFile(DailyName(kT0));
    EXPECT_EQ(Count(content, kBom), 1u);
    EXPECT_EQ(content.substr(content.size() - 7), "Caf\xC3\xA9\r\n");

    now_ = kT0 + 86400;
    ASSERT_EQ(log.Open(), 0);  // a new day: a new file with its own mark
    log.WriteLog("next", true, now_);
    EXPECT_NE(log.GetFileName(), DailyName(kT0));
    EXPECT_EQ(ReadFile(log.GetFileName()), kBom + "next\r\n");
}

TEST_F(LogFileTest, DebugLogRotatesAfterMaxBlocksNamedByBlockTime) {
    WriteFile("Debug.ini", "[Log]\r\nMaxBlockNum=3\r\n");
    CDebugLogFileOpe log;
    log.SetClock(Clock());
    ASSERT_EQ(log.Open(), 0);
    EXPECT_EQ(log.GetFileName(), DebugName(kT0));
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(log.WriteBlock(kT0 + 10 * i, "block " + std::to_string(i) + " Jos\xC3\xA9 \n"), 0);
    }
    log.Close();
    // Windows-1252, CR LF, trailing blanks gone; the fourth block starts the file named after the third.
    EXPECT_EQ(ReadFile(DebugName(kT0)),
              "block 1 Jos\xE9\r\n\r\nblock 2 Jos\xE9\r\n\r\nblock 3 Jos\xE9\r\n\r\n");
    EXPECT_EQ(ReadFile(DebugName(kT0 + 30)), "block 4 Jos\xE9\r\n\r\n");
    EXPECT_EQ(log.WriteBlock(kT0, "closed"), -1);
}

TEST_F(LogFileTest, RotationWithinOneSecondLosesNoBlock) {
    WriteFile("Debug.ini", "[Log]\r\nMaxBlockNum=1\r\nMaxFileNum=1\r\n");
    CDebugLogFileOpe log;
    log.SetClock(Clock());
    ASSERT_EQ(log.Open(), 0);
    log.WriteBlock(kT0 + 5, "one");
    log.WriteBlock(kT0 + 5, "two");
    log.WriteBlock(kT0 + 5, "three");
    log.Close();
    // The file in use is never deleted by the clean-up, and a reopen appends instead of truncating.
    EXPECT_EQ(ReadFile(DebugName(kT0 + 5)), "two\r\nthree\r\n");
    EXPECT_EQ(log.GetFileList(), std::vector<std::string>{DebugName(kT0 + 5)});
}

TEST_F(LogFileTest, CleanUpKeepsNewestFilesByName) {
    WriteFile("Debug.ini", "[Log]\r\nMaxFileNum=2\r\n");
    fs::create_directory("Log");
    const std::vector<std::string> older = {"20200101.log", "20200101080000.log", "20200102.log",
                                            "20200102090000.log", "20200103070000.log"};
    for (const std::string& name : older) {
        WriteFile("Log/" + name, "old");
    }
    WriteFile("Log/QZM_Error.log", "errors");
    WriteFile("Log/keep.txt", "other");

    CDebugLogFileOpe log;
    log.SetClock(Clock());
    ASSERT_EQ(log.Open(), 0);
    std::vector<std::string> names;
    CFileOperate::ListFiles("./Log/*", names);
    const std::string current = fs::path(DebugName(kT0)).filename().string();
    std::vector<std::string> expected = {"20200103070000.log", "QZM_Error.log", "keep.txt", current};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST_F(LogFileTest, WithoutLogSectionOneFileAndNothingDeleted) {
    WriteFile("Debug.ini", "; no settings\r\n");
    fs::create_directory("Log");
    WriteFile("Log/20200101.log", "old");
    CDebugLogFileOpe log;
    log.SetClock(Clock());
    ASSERT_EQ(log.Open(), 0);
    for (int i = 0; i < 50; ++i) {
        log.WriteBlock(kT0 + i, "b");
    }
    log.Close();
    std::vector<std::string> names;
    CFileOperate::ListFiles("./Log/*.log", names);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(ReadFile(DebugName(kT0)).size(), 150u);
}

TEST_F(LogFileTest, LoggerWritesNothingWithoutDebugIni) {
    CDemoLogger logger(Clock());
    EXPECT_FALSE(logger.IsDebugEnabled());
    logger.Log("result", true);
    logger.Log("result", false);
    EXPECT_FALSE(fs::exists("Log"));
    EXPECT_EQ(logger.GetErrorLogFileName(), "./Log/QZM_Error.log");
}

TEST_F(LogFileTest, LoggerWithDebugIniWritesDebugAndErrorLogs) {
    WriteFile("Debug.ini", "");
    {
        CDemoLogger logger(Clock());
        ASSERT_TRUE(logger.IsDebugEnabled());
        logger.Log("normal\n", false);
        now_ += 1;
        logger.Log("failed\n", true);
        EXPECT_EQ(logger.GetDebugLogFileName(), DebugName(kT0));
    }
    EXPECT_EQ(ReadFile(DebugName(kT0)), "normal\r\n\r\nfailed\r\n\r\n");
    const std::string stamp = FormatLocalTime(kT0 + 1, "%c");
    EXPECT_EQ(ReadFile("Log/QZM_Error.log"), stamp + "\r\nfailed\r\n\r\n");
    {
        CDemoLogger again(Clock());
        again.Log("second run", true);
    }
    EXPECT_EQ(ReadFile("Log/QZM_Error.log"), stamp + "\r\nfailed\r\n\r\n" + stamp + "\r\nsecond run\r\n");
}

// A working folder named in any script takes the logs: the daily log and the debug logs are
// created, appended to and rotated there.
TEST_F(LogFileTest, LogsInAFolderNamedInAnyScript) {
    for (const std::u8string name : {u8"Jos\u00e9 M\u00fcller", u8"\u5c71\u7530"}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const fs::path folder = folder_.path() / name;
        fs::create_directory(folder);
        fs::current_path(folder);
        WriteFile("Debug.ini", "[Log]\r\nMaxBlockNum=1\r\n");
        {
            CLogFileOpe log;
            log.SetClock(Clock());
            ASSERT_EQ(log.Open(), 0);
            ASSERT_EQ(log.WriteLog("one", true, kT0), 0);
        }
        {
            CDemoLogger logger(Clock());
            logger.Log("first", false);
            now_ += 1;
            logger.Log("second", false);
        }
        EXPECT_EQ(ReadFile(folder / "Log" / DailyName(kT0).substr(6)), kBom + "one\r\n");
        std::size_t logs = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder / "Log"))
            logs += entry.path().extension() == ".log";
        EXPECT_GE(logs, 2u);  // the daily log and at least the newest debug log
        fs::current_path(folder_.path());
        now_ = kT0;
    }
}

}  // namespace
