// Choosing the working folder: beside the program in the build folder, the user's data folder for
// an installed program, filled with the delivered files without ever replacing the user's own.
#include "files/working_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "files/utf8_path.h"
#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.insert(PathUtf8(entry.path().filename()));
    return names;
}

const std::set<std::string> kAllDelivered(kDeliveredFiles.begin(), kDeliveredFiles.end());

// An installation laid out as `cmake --install` lays it: <prefix>/bin and <prefix>/share/qzm-demo
// with every delivered file, each holding its own name; and a home folder for the user.
class WorkingFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin);
        fs::create_directories(data);
        for (const char* name : kDeliveredFiles)
            WriteFile(data / name, std::string("delivered ") + name);
    }

    int Prepare(const fs::path& programFolder, WorkingFolderChoice& choice) {
        // On Windows the installed files sit beside the program; `data` stands in for them there.
        std::vector<std::string> dataFolders = DeliveredDataFolders(PathUtf8(programFolder));
        dataFolders.push_back(PathUtf8(data));
        return PrepareWorkingFolder(PathUtf8(programFolder), dataFolders, PathUtf8(user), choice);
    }

    TestFolder root;
    const fs::path bin = root.path() / "prefix" / "bin";
    const fs::path data = root.path() / "prefix" / "share" / "qzm-demo";
    // The user's name in the path, in more than one script.
    const fs::path user =
        root.path() / u8"Jos\u00e9 M\u00fcller \u5c71\u7530" / ".local" / "share" / "qzm-demo";
};

TEST_F(WorkingFolderTest, BuildFolderWithItsFilesStaysTheWorkingFolder) {
    WriteFile(bin / "DefSettings.dat", "beside the program");
    WorkingFolderChoice choice;
    EXPECT_EQ(Prepare(bin, choice), kWorkingFolderOk);
    EXPECT_EQ(choice.folder, PathUtf8(bin));
    EXPECT_FALSE(choice.perUser);
    EXPECT_EQ(choice.copied, 0);
    EXPECT_FALSE(fs::exists(user));
}

// First start of an installed program, then later starts: the user's changes survive, a file the
// user deleted comes back, and no temporary copy is left behind.
TEST_F(WorkingFolderTest, InstalledProgramWorksInTheUserFolderAndKeepsTheUsersFiles) {
    WorkingFolderChoice choice;
    ASSERT_EQ(Prepare(bin, choice), kWorkingFolderOk);
    EXPECT_EQ(choice.folder, PathUtf8(user));
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.copied, static_cast<int>(kDeliveredFiles.size()));
    EXPECT_EQ(Names(user), kAllDelivered);
    for (const char* name : kDeliveredFiles)
        EXPECT_EQ(ReadFile(user / name), ReadFile(data / name)) << name;

    WriteFile(user / "CmdTimeout.ini", "the user's own time-outs");
    fs::remove(user / "qzd00.qzb");
    WriteFile(user / "Settings.ini", "the user's settings");
    ASSERT_EQ(Prepare(bin, choice), kWorkingFolderOk);
    EXPECT_EQ(choice.copied, 1);
    EXPECT_EQ(ReadFile(user / "CmdTimeout.ini"), "the user's own time-outs");
    EXPECT_EQ(ReadFile(user / "qzd00.qzb"), "delivered qzd00.qzb");
    EXPECT_EQ(ReadFile(user / "Settings.ini"), "the user's settings");
    std::set<std::string> expected = kAllDelivered;
    expected.insert("Settings.ini");
    EXPECT_EQ(Names(user), expected);
}

// A program folder that holds the files but takes no writes (a read-only copy of the program): the
// user folder gets its files from beside the program. The folder's missing owner write permission
// makes it read-only also for root.
#ifndef _WIN32
TEST_F(WorkingFolderTest, ReadOnlyProgramFolderHandsItsFilesToTheUserFolder) {
    const fs::path copy = root.path() / "copy";
    fs::create_directories(copy);
    for (const char* name : kDeliveredFiles)
        WriteFile(copy / name, std::string("beside ") + name);
    fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(IsWritableFolder(copy.string()));
    WorkingFolderChoice choice;
    EXPECT_EQ(Prepare(copy, choice), kWorkingFolderOk);
    fs::permissions(copy, fs::perms::owner_all);
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(ReadFile(user / "FullImageInfo.dat"), "beside FullImageInfo.dat");
}
#endif  // !_WIN32

// A folder that takes files is writable; a file, a missing folder and a name that is no valid
// UTF-8 are not. Asking leaves nothing behind.
TEST_F(WorkingFolderTest, WritableFolderIsOneThatTakesFiles) {
    WriteFile(root.path() / "file", "");
    const struct Case {
        std::string folder;
        bool writable;
    } cases[] = {
        {PathUtf8(bin), true},
        {PathUtf8(root.path() / u8"\u5c71\u7530"), true},
        {PathUtf8(root.path() / "file"), false},
        {PathUtf8(root.path() / "missing"), false},
        {"", false},
    };
    fs::create_directory(root.path() / u8"\u5c71\u7530");
    for (const Case& c : cases) {
        EXPECT_EQ(IsWritableFolder(c.folder), c.writable) << c.folder;
    }
    EXPECT_TRUE(fs::is_empty(bin));
    EXPECT_TRUE(fs::is_empty(root.path() / u8"\u5c71\u7530"));
}

// The running test program's folder is known and holds it.
TEST(ProgramFolderTest, IsTheFolderOfTheRunningProgram) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::is_directory(Utf8Path(folder)));
    bool holdsProgram = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(Utf8Path(folder)))
        holdsProgram |= PathUtf8(entry.path().filename()).rfind("qzm_files_tests", 0) == 0;
    EXPECT_TRUE(holdsProgram) << folder;
}

TEST_F(WorkingFolderTest, FailuresAreReported) {
    // A delivered file found nowhere: the folder is still chosen, with everything else in it.
    fs::remove(data / "RegTimeout.ini");
    WorkingFolderChoice choice;
    EXPECT_EQ(Prepare(bin, choice), kWorkingFolderIncomplete);
    EXPECT_EQ(choice.folder, PathUtf8(user));
    EXPECT_EQ(choice.copied, static_cast<int>(kDeliveredFiles.size()) - 1);
    EXPECT_FALSE(fs::exists(user / "RegTimeout.ini"));

    // No user folder: none known, or it cannot be created under a file.
    WriteFile(root.path() / "file", "");
    for (const std::string& folder : {std::string(), PathUtf8(root.path() / "file" / "qzm-demo")}) {
        EXPECT_EQ(PrepareWorkingFolder(PathUtf8(bin), {PathUtf8(data)}, folder, choice),
                  kWorkingFolderNoUserFolder)
            << folder;
        EXPECT_TRUE(choice.folder.empty());
    }
}

#ifndef _WIN32
TEST(UserDataFolderTest, FollowsTheXdgRules) {
    struct Case {
        const char* xdgDataHome;
        const char* home;
        const char* folder;
    };
    const Case cases[] = {
        {"/data/me", "/home/me", "/data/me/qzm-demo"},
        {"", "/home/me", "/home/me/.local/share/qzm-demo"},
        {"relative/data", "/home/me", "/home/me/.local/share/qzm-demo"},  // not absolute: ignored
        {"", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserDataFolder(c.xdgDataHome, c.home), c.folder) << c.xdgDataHome << " " << c.home;
}
#else
// The per-user data folder of Windows programs, named for the program.
TEST(UserDataFolderTest, IsInTheLocalApplicationData) {
    const std::string folder = UserDataFolder();
    ASSERT_FALSE(folder.empty());
    const fs::path path = Utf8Path(folder);
    EXPECT_EQ(PathUtf8(path.filename()), "QZM-K Demo");
    EXPECT_TRUE(fs::is_directory(path.parent_path())) << folder;
}
#endif

TEST(DeliveredDataFoldersTest, BesideTheProgramThenTheInstalledDataFolder) {
    const std::vector<std::string> folders = DeliveredDataFolders("/opt/qzm/bin");
#ifdef _WIN32
    EXPECT_EQ(folders, std::vector<std::string>{"/opt/qzm/bin"});  // installed beside the program
#else
    EXPECT_EQ(folders, (std::vector<std::string>{"/opt/qzm/bin", "/opt/qzm/share/qzm-demo"}));
#endif
    EXPECT_TRUE(DeliveredDataFolders("").empty());
}

// Every file in data/ is delivered, so each must be in the list of files copied for the user.
TEST(DeliveredFilesTest, ListMatchesTheDataFolder) {
    std::set<std::string> inData = Names(QZM_DATA_DIR);
    std::erase_if(inData, [](const std::string& name) { return name == "CMakeLists.txt" || name[0] == '.'; });
    EXPECT_EQ(inData, kAllDelivered);
}

}  // namespace
