// Text files, whole files, listings and folder trees, and the safety of replacing a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "files/atomic_file.h"
#include "files/file_operate.h"
#include "files/program_args.h"
#include "files/utf8_path.h"
#include "test_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "huge_files.h"
using namespace qzm::testing;
#endif

using namespace qzm;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class FileOperateTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder_;
};

TEST(SplitTextTest, KeepsEmptyPieces) {
    struct Case {
        std::string text;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b", ""}}, {"a\n\nb", {"a", "", "b"}}, {"", {""}},
        {"\n", {"", ""}},           {"abc", {"abc"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitText(c.text, "\n"), c.pieces) << c.text;
    }
    EXPECT_EQ(SplitText("1\t\t3", "\t"), (std::vector<std::string>{"1", "", "3"}));
    EXPECT_EQ(SplitText("a,b", ""), (std::vector<std::string>{"a,b"}));
}

TEST(ParseLeadingIntTest, BehavesLikeStrtol) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"42", 42},
        {"  -7", -7},
        {"+5", 5},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"0x10", 0},
        {"- 3", 0},
        {"\t9\r", 9},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLeadingInt(c.text), c.value) << c.text;
    }
}

TEST_F(FileOperateTest, TextLinesRoundTripInWindows1252WithCrLf) {
    const std::vector<std::string> lines = {"001", "Ren\xC3\xA9\x65 M\xC3\xBCller", "", "\xE2\x82\xAC 5"};
    ASSERT_EQ(CFileOperate::WriteTextLines("names.dat", lines), 0);
    EXPECT_EQ(ReadFile("names.dat"),
              "001\r\nRen\xE9"
              "e M\xFCller\r\n\r\n\x80 5\r\n");
    std::vector<std::string> back;
    ASSERT_EQ(CFileOperate::ReadTextLines("names.dat", back), 0);
    EXPECT_EQ(back, lines);
}

TEST_F(FileOperateTest, NameOutsideWindows1252SwitchesWholeFileToUtf16) {
    const std::vector<std::string> lines = {"Anna", "\xE5\xB1\xB1\xE7\x94\xB0", "\xF0\x9F\x98\x80"};
    ASSERT_EQ(CFileOperate::WriteTextLines("names.dat", lines), 0);
    const std::string bytes = ReadFile("names.dat");
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(bytes.substr(0, 14),
              "\xFF\xFE"
              "A\0n\0n\0a\0\r\0\n\0"s);
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    std::vector<std::string> back;
    ASSERT_EQ(CFileOperate::ReadTextLines("names.dat", back), 0);
    EXPECT_EQ(back, lines);
}

TEST_F(FileOperateTest, ReadTextLinesLineEnds) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb", {"a", "b"}},              // last line without a line end is kept
        {"a\r\nb\r\n", {"a", "b"}},          // no empty line after the final line end
        {"a\nb\r\r\n\r\n", {"a", "b", ""}},  // bare LF, a run of CRs, a real empty line
        {"", {}},
        {"a\0\r\0\n\0b\0"s, {"a", "b"}},  // UTF-16LE without a byte-order mark
        {"\xEF\xBB\xBF"
         "x\r\n",
         {"x"}},
    };
    for (const Case& c : cases) {
        WriteFile("t.txt", c.bytes);
        std::vector<std::string> lines{"kept"};
        ASSERT_EQ(CFileOperate::ReadTextLines("t.txt", lines), 0);
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.lines);
    }
    std::vector<std::string> lines;
    EXPECT_EQ(CFileOperate::ReadTextLines("missing.txt", lines), -1);
    WriteFile("be.txt", "\xFE\xFF\0a\0\n"s);
    EXPECT_EQ(CFileOperate::ReadTextLines("be.txt", lines), -1);
}

TEST_F(FileOperateTest, WholeFilesKeepEveryByte) {
    std::vector<std::uint8_t> bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_EQ(CFileOperate::WriteWholeFile("album.qzc", bytes), 0);
    std::vector<std::uint8_t> back;
    ASSERT_EQ(CFileOperate::ReadWholeFile("album.qzc", back), 0);
    EXPECT_EQ(back, bytes);
    ASSERT_EQ(CFileOperate::WriteWholeFile("empty.bin", nullptr, 0), 0);
    EXPECT_EQ(CFileOperate::ReadWholeFile("empty.bin", back), 0);
    EXPECT_TRUE(back.empty());

    EXPECT_EQ(CFileOperate::ReadWholeFile("", back), -1);
    EXPECT_EQ(CFileOperate::ReadWholeFile("missing", back), -1);
    fs::create_directory("folder");
    EXPECT_EQ(CFileOperate::ReadWholeFile("folder", back), -1);
    EXPECT_EQ(CFileOperate::WriteWholeFile("folder", bytes), -1);
    EXPECT_EQ(CFileOperate::WriteWholeFile("no/such/folder/x", bytes), -1);
}

#ifndef _WIN32
TEST_F(FileOperateTest, FilesLargerThanTheirKindAreRefusedUnread) {
    MakeSparseFile("huge", off_t{1} << 40);
    MakeSparseFile("above-default", kMaxWholeFileSize + 1);
    MakeSparseFile("above-text", kMaxTextFileSize + 1);
    MakeSparseFile("Settings.ini", off_t{1} << 40);
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    const auto whole = [](const char* path) {
        return [path] {
            std::vector<std::uint8_t> bytes;
            return CFileOperate::ReadWholeFile(path, bytes);
        };
    };
    const auto lines = [](const char* path) {
        return [path] {
            std::vector<std::string> read;
            return CFileOperate::ReadTextLines(path, read);
        };
    };
    ExpectRefusedInLittleMemory({
        {"huge file", whole("huge")},
        {"above the default limit", whole("above-default")},
        {"endless device", whole("/dev/zero")},
        {"pipe without a writer", whole("pipe")},
        {"huge text", lines("huge")},
        {"text above its limit", lines("above-text")},
        {"ini value of a huge ini is the default",
         [] {
             int value = 0;
             CFileOperate::ReadIniInt("A", "k", 7, "Settings.ini", value);
             return value == 7 ? -1 : 0;
         }},
        {"ini write into a huge ini", [] { return CFileOperate::WriteIniInt("A", "k", "Settings.ini", 1); }},
    });
    EXPECT_EQ(fs::file_size("Settings.ini"), std::uintmax_t{1} << 40);

    // Up to the limit is read; one byte more is not.
    WriteFile("small", std::string(100, 'x'));
    std::vector<std::uint8_t> bytes{1, 2};
    EXPECT_EQ(CFileOperate::ReadWholeFile("small", bytes, 100), 0);
    EXPECT_EQ(bytes.size(), 100u);
    EXPECT_EQ(CFileOperate::ReadWholeFile("small", bytes, 99), -1);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(FileOperateTest, MemoryRunningOutIsAnOrdinaryFailure) {
    if (!kCanLimitMemory) {
        GTEST_SKIP() << "a sanitizer build cannot limit its memory";
    }
    MakeSparseFile("big", off_t{48} << 20);  // within the default limit, beyond the memory left
    ExpectRefusedInLittleMemory({{"file beyond the memory left", [] {
                                      std::vector<std::uint8_t> bytes;
                                      return CFileOperate::ReadWholeFile("big", bytes);
                                  }}});
}

#endif  // !_WIN32

// Files beyond their kind's limit and devices are refused also where no memory limit can be set.
TEST_F(FileOperateTest, OversizedFilesAndDevicesAreRefused) {
    struct Case {
        const char* path;
        std::uintmax_t size;  // 0: not made by the test
        std::size_t limit;
    } const cases[] = {
        {"above-default", kMaxWholeFileSize + 1, kMaxWholeFileSize},
        {"above-text", kMaxTextFileSize + 1, kMaxTextFileSize},
        {"at-text", kMaxTextFileSize, kMaxTextFileSize - 1},
#ifdef _WIN32
        {"NUL", 0, kMaxWholeFileSize},
        {"CON", 0, kMaxWholeFileSize},
#else
        {"/dev/zero", 0, kMaxWholeFileSize},
        {"/dev/null", 0, kMaxWholeFileSize},
#endif
    };
    for (const Case& c : cases) {
        if (c.size > 0) {
            WriteFile(c.path, "");
            fs::resize_file(c.path, c.size);
        }
        std::vector<std::uint8_t> bytes{1};
        EXPECT_EQ(CFileOperate::ReadWholeFile(c.path, bytes, c.limit), -1) << c.path;
        EXPECT_TRUE(bytes.empty()) << c.path;
    }
    std::vector<std::string> lines;
    EXPECT_EQ(CFileOperate::ReadTextLines("above-text", lines), -1);
    EXPECT_TRUE(lines.empty());
}

TEST_F(FileOperateTest, InterruptedWriteLeavesOldFileIntact) {
    const std::vector<std::string> oldLines = {"001", "002"};
    ASSERT_EQ(CFileOperate::WriteTextLines("User.dat", oldLines), 0);
    const std::string oldBytes = ReadFile("User.dat");

    for (WriteFault fault : {WriteFault::kDiskFull, WriteFault::kCrashBeforeRename}) {
        InjectWriteFaultForTest(fault);
        EXPECT_EQ(CFileOperate::WriteTextLines("User.dat", {"999"}), -1);
        EXPECT_EQ(ReadFile("User.dat"), oldBytes);
        std::vector<std::string> lines;
        ASSERT_EQ(CFileOperate::ReadTextLines("User.dat", lines), 0);
        EXPECT_EQ(lines, oldLines);
    }
    // A full disk leaves no temporary file; a crash may, but it does not show in the listings.
    std::vector<std::string> names;
    ASSERT_EQ(CFileOperate::ListFiles("./*.dat", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"User.dat"});

    InjectWriteFaultForTest(WriteFault::kCrashBeforeRename);
    EXPECT_EQ(CFileOperate::WriteIniInt("A", "k", "./App.ini", 2), -1);
    EXPECT_FALSE(fs::exists("App.ini"));

    // The fault hits one write only; the next one goes through.
    ASSERT_EQ(CFileOperate::WriteTextLines("User.dat", {"999"}), 0);
    EXPECT_EQ(ReadFile("User.dat"), "999\r\n");
}

#ifndef _WIN32
TEST_F(FileOperateTest, ReplacingKeepsPermissionsAndOwner) {
    WriteFile("Settings.ini", "[A]\r\n");
    ASSERT_EQ(::chmod("Settings.ini", 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown("Settings.ini", 4242, 4343), 0);
    }
    ASSERT_EQ(CFileOperate::WriteIniInt("A", "k", "Settings.ini", 1), 0);
    struct stat st {};
    ASSERT_EQ(::stat("Settings.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4242u);
        EXPECT_EQ(st.st_gid, 4343u);
    }
}

#endif  // !_WIN32

// The three writers behind the settings, the registration files and the album files.
struct Writer {
    const char* what;
    int (*write)(const std::string& path);
    std::string written;  // the file's bytes after a write
};
const Writer kWriters[] = {
    {"ini value", [](const std::string& p) { return CFileOperate::WriteIniInt("A", "k", p, 1); },
     "[A]\r\nk=1\r\n"},
    {"text lines", [](const std::string& p) { return CFileOperate::WriteTextLines(p, {"001"}); }, "001\r\n"},
    {"whole file", [](const std::string& p) { return CFileOperate::WriteWholeFile(p, "album", 5); }, "album"},
};

#ifndef _WIN32
TEST_F(FileOperateTest, ReadOnlyFilesAreNotReplaced) {
    // Also as root, who could write into them: the user made them read-only.
    for (const Writer& writer : kWriters) {
        for (const mode_t mode : {0444, 0400, 0044}) {
            WriteFile("locked", "old");
            ASSERT_EQ(::chmod("locked", mode), 0);
            EXPECT_EQ(writer.write("locked"), -1) << writer.what << " " << mode;
            EXPECT_EQ(ReadFile("locked"), "old") << writer.what;
            fs::remove("link");
            fs::create_symlink("locked", "link");
            EXPECT_EQ(writer.write("link"), -1) << writer.what << " through a link";
            EXPECT_EQ(ReadFile("locked"), "old") << writer.what;
            ASSERT_EQ(::chmod("locked", 0644), 0);
        }
    }
    std::vector<std::string> names;
    ASSERT_EQ(CFileOperate::ListFiles("./.*", names), -1);  // no temporary file left behind
}
#endif  // !_WIN32

// The user's read-only mark stops every writer, on every system; clearing it lets them write again.
TEST_F(FileOperateTest, ReadOnlyMarkStopsTheWriters) {
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    for (const Writer& writer : kWriters) {
        WriteFile("locked", "old");
        fs::permissions("locked", readOnly);
        EXPECT_EQ(writer.write("locked"), -1) << writer.what;
        EXPECT_EQ(ReadFile("locked"), "old") << writer.what;
        fs::permissions("locked", fs::perms::owner_write, fs::perm_options::add);
        WriteFile("locked", "");
        EXPECT_EQ(writer.write("locked"), 0) << writer.what;
        EXPECT_EQ(ReadFile("locked"), writer.written) << writer.what;
    }
    std::vector<std::string> names;
    EXPECT_EQ(CFileOperate::ListFiles("./.*", names), -1);  // no temporary file left behind
}

// Replacing an existing file, again and again, leaves exactly the new bytes under the name and no
// other file: CR LF, a lone CR or LF and a 0x1A byte are data, never translated.
TEST_F(FileOperateTest, ReplacingAnExistingFileKeepsBytesExactly) {
    const std::string contents[] = {"a\r\nb\nc\r\r\n\x1A\0end"s, "\r\n", "", std::string(70000, '\n')};
    for (int round = 0; round < 2; ++round) {
        for (const std::string& bytes : contents) {
            ASSERT_EQ(ReplaceFileContents("data.bin", bytes), 0);
            EXPECT_EQ(ReadFile("data.bin"), bytes);
            std::vector<std::uint8_t> read;
            ASSERT_EQ(CFileOperate::ReadWholeFile("data.bin", read), 0);
            EXPECT_EQ(std::string(read.begin(), read.end()), bytes);
        }
    }
    std::vector<std::string> names;
    ASSERT_EQ(CFileOperate::ListFiles("./*", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"data.bin"});
}

// A reader that keeps the file open does not see it change under it. Windows refuses to replace a
// file opened without leave to delete it (as C files are): the write fails and the file is left
// exactly as it was, with no temporary file beside it.
TEST_F(FileOperateTest, ReplacingAFileHeldOpenByAReader) {
    WriteFile("Settings.ini", "[A]\r\nk=0\r\n");
    std::FILE* reader = OpenFileUtf8("Settings.ini", "rb");
    ASSERT_NE(reader, nullptr);
    const int result = CFileOperate::WriteIniInt("A", "k", "Settings.ini", 1);
    char seen[16] = {};
    EXPECT_EQ(std::fread(seen, 1, sizeof seen, reader), 10u);
    EXPECT_EQ(std::string(seen), "[A]\r\nk=0\r\n");
    std::fclose(reader);
#ifdef _WIN32
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ReadFile("Settings.ini"), "[A]\r\nk=0\r\n");
    EXPECT_FALSE(CFileOperate::FirstWriteFailure().reason.empty());
    CFileOperate::ForgetWriteFailure();
#else
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile("Settings.ini"), "[A]\r\nk=1\r\n");
#endif
    std::vector<std::string> names;
    ASSERT_EQ(CFileOperate::ListFiles("./*", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Settings.ini"});
    // Once the reader has let go, the write goes through.
    EXPECT_EQ(CFileOperate::WriteIniInt("A", "k", "Settings.ini", 2), 0);
}

// Names in any script reach the file system as they are: what is written under a name is found
// under the same name by the system, the listings and the readers, in folders named the same way.
TEST_F(FileOperateTest, Utf8NamesReachTheFileSystemIntact) {
    const std::u8string names[] = {u8"Jos\u00e9 M\u00fcller", u8"\u5c71\u7530", u8"\U0001F600 smile"};
    for (const std::u8string& wide : names) {
        const std::string name(reinterpret_cast<const char*>(wide.data()), wide.size());
        SCOPED_TRACE(name);
        const fs::path folder(wide);
        ASSERT_EQ(CFileOperate::CreateFolderTree("./" + name + "/" + name), 0);
        EXPECT_TRUE(fs::is_directory(folder / folder));
        EXPECT_EQ(PathUtf8(Utf8Path("./" + name).filename()), name);

        const std::string dat = name + "/" + name + ".dat";
        ASSERT_EQ(CFileOperate::WriteTextLines(dat, {name}), 0);
        ASSERT_EQ(CFileOperate::WriteIniString("A", "Who", name + "/" + name + ".ini", name), 0);
        ASSERT_EQ(CFileOperate::WriteWholeFile(name + "/" + name + ".qzc", "album", 5), 0);
        EXPECT_TRUE(fs::is_regular_file(folder / (wide + u8".dat")));
        EXPECT_EQ(ReadFile(folder / (wide + u8".qzc")), "album");

        std::vector<std::string> lines;
        ASSERT_EQ(CFileOperate::ReadTextLines(dat, lines), 0);
        EXPECT_EQ(lines, std::vector<std::string>{name});
        std::string value;
        CFileOperate::ReadIniString("A", "Who", "", name + "/" + name + ".ini", value);
        EXPECT_EQ(value, name);

        std::vector<std::string> listed;
        ASSERT_EQ(CFileOperate::ListFiles("./" + name + "/*", listed), 0);
        EXPECT_EQ(listed, (std::vector<std::string>{name + ".dat", name + ".ini", name + ".qzc"}));
        listed.clear();
        ASSERT_EQ(CFileOperate::ListSubfolders("./" + name + "/*", listed), 0);
        EXPECT_EQ(listed, std::vector<std::string>{name});
        EXPECT_EQ(CFileOperate::GetFileNameAndExt(dat), name + ".dat");

        CFileOperate::CopyFolderTree("./" + name, "./copy of " + name);
        EXPECT_EQ(ReadFile(fs::path(u8"copy of " + wide) / (wide + u8".qzc")), "album");
        CFileOperate::DeleteFolderTree("./copy of " + name);
        CFileOperate::DeleteFolderTree("./" + name);
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_FALSE(fs::exists(fs::path(u8"copy of " + wide)));
    }
}

TEST_F(FileOperateTest, ReadOnlyFolderStillTakesItsWritableFiles) {
    fs::create_directory("ro");
    for (const Writer& writer : kWriters) {
        // The folder refuses the temporary file: the file is written where it is.
        WriteFile("ro/file", "[A]\r\nk=0000000000\r\n");  // longer than any new content
#ifndef _WIN32
        ASSERT_EQ(::chmod("ro/file", 0600), 0);
#endif
        InjectWriteFaultForTest(WriteFault::kNoTempFile);
        EXPECT_EQ(writer.write("ro/file"), 0) << writer.what;
        EXPECT_EQ(ReadFile("ro/file"), writer.written) << writer.what;
#ifndef _WIN32
        struct stat st {};
        ASSERT_EQ(::stat("ro/file", &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << writer.what;
#endif
        // A file that is not there cannot be made without the folder.
        InjectWriteFaultForTest(WriteFault::kNoTempFile);
        EXPECT_EQ(writer.write("ro/new"), -1) << writer.what;
        EXPECT_FALSE(fs::exists("ro/new")) << writer.what;
    }

#ifndef _WIN32
    // A real read-only folder; root writes into it all the same, but the result is the same.
    WriteFile("ro/file", "old");
    ASSERT_EQ(::chmod("ro", 0555), 0);
    EXPECT_EQ(CFileOperate::WriteTextLines("ro/file", {"new"}), 0);
    EXPECT_EQ(ReadFile("ro/file"), "new\r\n");
    if (::geteuid() != 0) {
        EXPECT_EQ(CFileOperate::WriteTextLines("ro/new", {"new"}), -1);
    }
    ASSERT_EQ(::chmod("ro", 0755), 0);
#endif
    std::vector<std::string> names;
    EXPECT_EQ(CFileOperate::ListFiles("./ro/*", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"file"});
}

// A caller several layers up names the file it could not write, with the system's reason; a failure
// on another thread is not this thread's.
TEST_F(FileOperateTest, FailedWritesNameTheirFileAndReason) {
    WriteFile("plain", "a file where a folder should be");
    struct Case {
        const char* path;
        int (*write)(const std::string&);
        const char* reason;
    } const cases[] = {
        {"no/such/folder/x",
         [](const std::string& p) {
             return CFileOperate::WriteWholeFile(p, {1, 2});
         },
         "No such file or directory"},
        {"plain/User.dat", [](const std::string& p) { return CFileOperate::WriteTextLines(p, {"001"}); },
         "Not a directory"},
        {"plain/App.ini", [](const std::string& p) { return CFileOperate::WriteIniInt("A", "k", p, 1); },
         "Not a directory"},
        {"plain/sub", [](const std::string& p) { return CFileOperate::CreateFolderTree(p); },
         "Not a directory"},
    };
    for (const Case& c : cases) {
        CFileOperate::ForgetWriteFailure();
        EXPECT_EQ(c.write(c.path), -1) << c.path;
        EXPECT_EQ(CFileOperate::FirstWriteFailure().path, c.path);
#ifdef _WIN32
        // The system's own words, in the user's language.
        EXPECT_FALSE(CFileOperate::FirstWriteFailure().reason.empty()) << c.path;
#else
        EXPECT_EQ(CFileOperate::FirstWriteFailure().reason, c.reason) << c.path;
#endif
    }
    // The first failure is the one kept: it stopped the work.
    EXPECT_EQ(CFileOperate::WriteWholeFile("no/such/folder/z", {1}), -1);
    EXPECT_EQ(CFileOperate::FirstWriteFailure().path, "plain/sub");
    CFileOperate::ForgetWriteFailure();
    ASSERT_EQ(CFileOperate::WriteTextLines("ok.dat", {"1"}), 0);
    std::thread([] { CFileOperate::WriteWholeFile("no/such/folder/y", {1}); }).join();
    EXPECT_EQ(CFileOperate::FirstWriteFailure().path, "");
}

TEST_F(FileOperateTest, ListFilesAndSubfolders) {
    fs::create_directories("Log/sub.log");
    for (const char* name :
         {"20240102.log", "20240101120000.log", "20240101.log", "QZM_Error.log", "a.LOG", "notes.txt"}) {
        WriteFile(std::string("Log/") + name, "x");
    }
    std::vector<std::string> names{"first"};
    ASSERT_EQ(CFileOperate::ListFiles("./Log/*.log", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "20240101.log", "20240101120000.log", "20240102.log",
                                               "QZM_Error.log", "a.LOG"}));
    names.clear();
    ASSERT_EQ(CFileOperate::ListFiles("Log/2024010?.log", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"20240101.log", "20240102.log"}));
    names.clear();
    EXPECT_EQ(CFileOperate::ListFiles("./Log/*.qzc", names), -1);
    EXPECT_EQ(CFileOperate::ListFiles("./NoFolder/*", names), -1);
    EXPECT_TRUE(names.empty());
    ASSERT_EQ(CFileOperate::ListSubfolders("./Log/*", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"sub.log"});
}

TEST_F(FileOperateTest, FolderTreesCopyAndDelete) {
    fs::create_directories("DB/RegistData/000");
    WriteFile("DB/RegistData/User.dat", "000\r\n");
    WriteFile("DB/RegistData/000/00", "img");
    fs::create_directories("outside");
    WriteFile("outside/precious", "keep");
#ifndef _WIN32
    fs::create_directory_symlink(fs::absolute("outside"), "DB/link");
#endif

    CFileOperate::CopyFolderTree("./DB", "./DBBack");
    EXPECT_EQ(ReadFile("DBBack/RegistData/User.dat"), "000\r\n");
    EXPECT_EQ(ReadFile("DBBack/RegistData/000/00"), "img");
#ifndef _WIN32
    EXPECT_FALSE(fs::exists("DBBack/link"));  // a linked folder is not followed
#endif

    WriteFile("DBBack/RegistData/User.dat", "old");
    CFileOperate::CopyFolderFiles("./DB/RegistData", "./DBBack/RegistData");
    EXPECT_EQ(ReadFile("DBBack/RegistData/User.dat"), "000\r\n");

    // Copying a folder into a folder inside itself ends.
    CFileOperate::CopyFolderTree("./DBBack", "./DBBack/inner");
    EXPECT_EQ(ReadFile("DBBack/inner/RegistData/000/00"), "img");
    EXPECT_FALSE(fs::exists("DBBack/inner/inner"));

    CFileOperate::DeleteFolderFiles("./DB/RegistData");
    EXPECT_FALSE(fs::exists("DB/RegistData/User.dat"));
    EXPECT_TRUE(fs::exists("DB/RegistData/000/00"));

    CFileOperate::DeleteFolderTree("./DB");
    EXPECT_FALSE(fs::exists("DB"));
    EXPECT_EQ(ReadFile("outside/precious"), "keep");  // the link went, not what it pointed to

    EXPECT_EQ(CFileOperate::CreateFolderTree("./a/b/c"), 0);
    EXPECT_TRUE(fs::is_directory("a/b/c"));
    EXPECT_EQ(CFileOperate::CreateFolderTree("./a/b/c"), 0);
    CFileOperate::DeleteFolderTree("./missing");  // nothing happens
}

// C files opened by a UTF-8 name keep every byte: no line-end translation, and append appends.
TEST_F(FileOperateTest, CFilesOpenedByUtf8NameKeepTheirBytes) {
    const std::string name = "Jos\xC3\xA9 \xE5\xB1\xB1\xE7\x94\xB0.log";
    for (const char* mode : {"wb", "ab"}) {
        std::FILE* file = OpenFileUtf8(name, mode);
        ASSERT_NE(file, nullptr) << mode;
        EXPECT_FALSE(IsTerminal(file));
        std::fputs("a\nb\r\n\x1A", file);
        ASSERT_EQ(std::fclose(file), 0);
    }
    EXPECT_EQ(ReadFile(fs::path(u8"Jos\u00e9 \u5c71\u7530.log")),
              "a\nb\r\n\x1A"
              "a\nb\r\n\x1A");
    std::FILE* file = OpenFileUtf8(name, "rb");
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 12u);
    std::fclose(file);
    EXPECT_EQ(OpenFileUtf8("missing/" + name, "rb"), nullptr);
    EXPECT_FALSE(LastSystemErrorText().empty());
}

// The arguments as the program was given them, in order, argv[0] included.
TEST(ProgramArgsTest, ArgumentsArriveInOrder) {
    const std::vector<std::string> given = ::testing::internal::GetArgvs();
    std::vector<char*> argv;
    for (const std::string& arg : given)
        argv.push_back(const_cast<char*>(arg.c_str()));
    const std::vector<std::string> args = Utf8Arguments(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(args.size(), given.size());
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args[0].find("qzm_files_tests"), std::string::npos) << args[0];
    for (std::size_t i = 1; i < args.size(); ++i)
        EXPECT_EQ(args[i], given[i]);
}

TEST(FileNameTest, LastPathComponent) {
    struct Case {
        const char* path;
        const char* name;
    } const cases[] = {
        {"./DB/a.qzc", "a.qzc"},
        {"a.qzc", "a.qzc"},
        {"./DB/", ""},
        {"/", ""},
#ifdef _WIN32
        {"C:\\Users\\Jos\xC3\xA9\\a.qzc", "a.qzc"},  // either separator on Windows
        {"C:\\x/y\\b", "b"},
#else
        {"C:\\Users\\a.qzc", "C:\\Users\\a.qzc"},  // a backslash is part of a Linux name
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CFileOperate::GetFileNameAndExt(c.path), c.name) << c.path;
    }
}

TEST_F(FileOperateTest, ImageInfoTable) {
    WriteFile(
        "FullImageInfo.dat",
        "; model\twidth\theight\r\nQZM-K100\t640\t480\r\nshort\t1\r\n\r\nQZM-K200\t1280\t960\textra\r\n");
    std::vector<ImageInfoEntry> entries;
    ASSERT_EQ(CFileOperate::ReadImageInfoTable(entries), 0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "QZM-K100");
    EXPECT_EQ(entries[0].width, 640);
    EXPECT_EQ(entries[0].height, 480);
    EXPECT_EQ(entries[1].name, "QZM-K200");
    EXPECT_EQ(entries[1].width, 1280);
    EXPECT_EQ(entries[1].height, 960);
    fs::remove("FullImageInfo.dat");
    EXPECT_EQ(CFileOperate::ReadImageInfoTable(entries), -1);
}

TEST(DeliveredDataTest, ImageInfoTableFromDataFolder) {
    std::vector<ImageInfoEntry> entries;
    ASSERT_EQ(CFileOperate::ReadImageInfoTable(entries, QZM_DATA_DIR "/FullImageInfo.dat"), 0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "QZM-K100");
    EXPECT_EQ(entries[1].name, "QZM-K200");
    // Both models report results in the 640 x 480 space of the emulated camera.
    EXPECT_EQ(entries[1].width, 640);
    EXPECT_EQ(entries[1].height, 480);
}

}  // namespace
