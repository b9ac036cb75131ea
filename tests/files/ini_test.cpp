// The ini reader and writer: the observable rules every settings and time-out file relies on.
#include <gtest/gtest.h>

#include "files/file_operate.h"
#include "test_folder.h"

using namespace qzm;
using namespace std::string_literals;

namespace {

class IniTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder_;
};

TEST_F(IniTest, ReadRules) {
    struct Case {
        const char* name;
        std::string file;
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "[App]\r\nPort=/dev/ttyUSB0\r\n", "App", "Port", "/dev/ttyUSB0"},
        {"letter case of names", "[aPP]\r\nPORT=x\r\n", "App", "port", "x"},
        {"value keeps its case", "[A]\r\nk=MiXeD\r\n", "A", "k", "MiXeD"},
        {"blanks around", "  [ A ]  \r\n  k  =   v w  \r\n", "A", "k", "v w"},
        {"double quotes", "[A]\r\nk= \" padded \" \r\n", "A", "k", " padded "},
        {"single quotes", "[A]\r\nk='x'\r\n", "A", "k", "x"},
        {"only one pair of quotes", "[A]\r\nk=\"\"x\"\"\r\n", "A", "k", "\"x\""},
        {"unbalanced quote kept", "[A]\r\nk=\"x\r\n", "A", "k", "\"x"},
        {"first key wins", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "1"},
        {"first section wins", "[A]\r\nj=1\r\n[B]\r\nk=2\r\n[A]\r\nk=3\r\n", "A", "k", "default"},
        {"key of another section", "[A]\r\nj=1\r\n[B]\r\nk=2\r\n", "A", "k", "default"},
        {"empty value is no default", "[A]\r\nk=\r\n", "A", "k", ""},
        {"equals sign in value", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
        {"commented key", "[A]\r\n;k=1\r\n", "A", "k", "default"},
        {"LF only, no final line end", "[A]\nk=lf", "A", "k", "lf"},
        {"UTF-8 with mark", "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n", "A", "k", "\xC3\xA9"},
        {"UTF-16LE with mark", "\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0"s, "A", "k", "\xC3\xA9"},
        {"Windows-1252 from an old editor", "[A]\r\nk=Jos\xE9\r\n", "A", "k", "Jos\xC3\xA9"},
        {"keys with dash and underscore", "[Face_20]\r\n15_30=4\r\n[Recognition]\r\n0-10=2\r\n",
         "Recognition", "0-10", "2"},
    };
    for (const Case& c : cases) {
        WriteFile("t.ini", c.file);
        std::string value = "unset";
        EXPECT_EQ(CFileOperate::ReadIniString(c.section, c.key, "default", "./t.ini", value), 0);
        EXPECT_EQ(value, c.expected) << c.name;
    }
}

TEST_F(IniTest, MissingFileGivesDefault) {
    std::string value;
    EXPECT_EQ(CFileOperate::ReadIniString("A", "k", "fallback", "./none.ini", value), 0);
    EXPECT_EQ(value, "fallback");
    int number = 0;
    EXPECT_EQ(CFileOperate::ReadIniInt("A", "k", 921600, "./none.ini", number), 0);
    EXPECT_EQ(number, 921600);
    EXPECT_EQ(CFileOperate::ReadIniInt("A", "k", -1, "./none.ini", number), 0);
    EXPECT_EQ(number, -1);
}

TEST_F(IniTest, ValuesAreCutTo511Characters) {
    const std::string longValue(600, 'x');
    WriteFile("t.ini", "[A]\r\nk=" + longValue + "\r\ne=" + std::string(510, 'y') + "\xF0\x9F\x98\x80\r\n");
    std::string value;
    CFileOperate::ReadIniString("A", "k", "", "t.ini", value);
    EXPECT_EQ(value, std::string(511, 'x'));
    // A character needing two UTF-16 units does not fit into the last unit and is left out whole.
    CFileOperate::ReadIniString("A", "e", "", "t.ini", value);
    EXPECT_EQ(value, std::string(510, 'y'));
    CFileOperate::ReadIniString("A", "missing", longValue, "t.ini", value);
    EXPECT_EQ(value.size(), 511u);
}

TEST_F(IniTest, ReadIntConvertsLikeStrtol) {
    WriteFile("t.ini", "[A]\r\nn=42\r\nneg=-5\r\ntext=abc\r\nlead=12px\r\nq=\"7\"\r\nempty=\r\n");
    struct Case {
        const char* key;
        int expected;
    };
    const Case cases[] = {{"n", 42}, {"neg", -5},  {"text", 0}, {"lead", 12},
                          {"q", 7},  {"empty", 0}, {"none", 99}};
    for (const Case& c : cases) {
        int value = -123;
        CFileOperate::ReadIniInt("A", c.key, 99, "t.ini", value);
        EXPECT_EQ(value, c.expected) << c.key;
    }
}

TEST_F(IniTest, WriteReplacesInPlaceAndKeepsEverythingElse) {
    WriteFile("t.ini",
              "; settings of the camera\r\n[Camera]\r\n  CAMERAANGLE = 1 ; old\r\nOther=x\r\n\r\n"
              "[Threshold]\r\n; body first\r\nBody=500\r\n");
    ASSERT_EQ(CFileOperate::WriteIniInt("camera", "CameraAngle", "t.ini", 3), 0);
    EXPECT_EQ(ReadFile("t.ini"),
              "; settings of the camera\r\n[Camera]\r\nCAMERAANGLE=3\r\nOther=x\r\n\r\n"
              "[Threshold]\r\n; body first\r\nBody=500\r\n");

    // A new key goes after the section's last line, before the blank line that separates it.
    ASSERT_EQ(CFileOperate::WriteIniString("Camera", "New", "t.ini", "n"), 0);
    ASSERT_EQ(CFileOperate::WriteIniInt("Threshold", "Hand", "t.ini", 400), 0);
    // A new section is appended.
    ASSERT_EQ(CFileOperate::WriteIniInt("FaceAngle", "YawAngle", "t.ini", 2), 0);
    EXPECT_EQ(ReadFile("t.ini"),
              "; settings of the camera\r\n[Camera]\r\nCAMERAANGLE=3\r\nOther=x\r\nNew=n\r\n\r\n"
              "[Threshold]\r\n; body first\r\nBody=500\r\nHand=400\r\n[FaceAngle]\r\nYawAngle=2\r\n");
    int value = 0;
    CFileOperate::ReadIniInt("Camera", "CameraAngle", 0, "t.ini", value);
    EXPECT_EQ(value, 3);
}

TEST_F(IniTest, WriteCreatesFileAsUtf8WithCrLf) {
    ASSERT_EQ(CFileOperate::WriteIniString("Application", "COMPortName", "./App.ini", "/dev/ttyUSB0"), 0);
    ASSERT_EQ(
        CFileOperate::WriteIniString("Application", "PrevSelectFile", "./App.ini", "./Alb\xC3\xBCm.qzc"), 0);
    EXPECT_EQ(ReadFile("App.ini"),
              "[Application]\r\nCOMPortName=/dev/ttyUSB0\r\nPrevSelectFile=./Alb\xC3\xBCm.qzc\r\n");
    // A file without a final line end, one with a UTF-8 mark, and a UTF-16 one are rewritten as UTF-8.
    WriteFile("a.ini", "[A]\nk=1");
    ASSERT_EQ(CFileOperate::WriteIniInt("A", "j", "a.ini", 2), 0);
    EXPECT_EQ(ReadFile("a.ini"), "[A]\r\nk=1\r\nj=2\r\n");
    WriteFile("b.ini", "\xEF\xBB\xBF[A]\r\n");
    ASSERT_EQ(CFileOperate::WriteIniInt("A", "k", "b.ini", 1), 0);
    EXPECT_EQ(ReadFile("b.ini"), "\xEF\xBB\xBF[A]\r\nk=1\r\n");
    WriteFile("c.ini", "\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0"s);
    ASSERT_EQ(CFileOperate::WriteIniInt("A", "n", "c.ini", 5), 0);
    EXPECT_EQ(ReadFile("c.ini"), "[A]\r\nk=\xC3\xA9\r\nn=5\r\n");
}

TEST_F(IniTest, WriteRefusesTextThatWouldBreakTheFile) {
    WriteFile("t.ini", "[A]\r\nk=1\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"A", "k", "2\r\n[Other]\r\nx=1"},
        {"A", "k\nj", "1"},
        {"A", "k=j", "1"},
        {"", "k", "1"},
        {"A]", "k", "1"},
        {"A", "", "1"},
        {"A", ";k", "1"},
        {"A", "[k", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CFileOperate::WriteIniString(c.section, c.key, "t.ini", c.value), -1) << c.key << c.value;
    }
    EXPECT_EQ(ReadFile("t.ini"), "[A]\r\nk=1\r\n");
    // An unreadable or unwritable place fails without touching anything.
    EXPECT_EQ(CFileOperate::WriteIniInt("A", "k", "./no/folder.ini", 1), -1);
    std::filesystem::create_directory("dir.ini");
    EXPECT_EQ(CFileOperate::WriteIniInt("A", "k", "dir.ini", 1), -1);
}

}  // namespace
