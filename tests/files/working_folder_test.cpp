// Choosing the working folder: beside the program in the build folder, the user's data folder for
// an installed program, filled with the delivered files without ever replacing the user's own.
#include "files/working_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
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
        return PrepareWorkingFolder(programFolder.string(), DeliveredDataFolders(programFolder.string()),
                                    user.string(), choice);
    }

    TestFolder root;
    const fs::path bin = root.path() / "prefix" / "bin";
    const fs::path data = root.path() / "prefix" / "share" / "qzm-demo";
    const fs::path user = root.path() / "home" / ".local" / "share" / "qzm-demo";
};

TEST_F(WorkingFolderTest, BuildFolderWithItsFilesStaysTheWorkingFolder) {
    WriteFile(bin / "DefSettings.dat", "beside the program");
    WorkingFolderChoice choice;
    EXPECT_EQ(Prepare(bin, choice), kWorkingFolderOk);
    EXPECT_EQ(choice.folder, bin.string());
    EXPECT_FALSE(choice.perUser);
    EXPECT_EQ(choice.copied, 0);
    EXPECT_FALSE(fs::exists(user));
}

// First start of an installed program, then later starts: the user's changes survive, a file the
// user deleted comes back, and no temporary copy is left behind.
TEST_F(WorkingFolderTest, InstalledProgramWorksInTheUserFolderAndKeepsTheUsersFiles) {
    WorkingFolderChoice choice;
    ASSERT_EQ(Prepare(bin, choice), kWorkingFolderOk);
    EXPECT_EQ(choice.folder, user.string());
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

TEST_F(WorkingFolderTest, FailuresAreReported) {
    // A delivered file found nowhere: the folder is still chosen, with everything else in it.
    fs::remove(data / "RegTimeout.ini");
    WorkingFolderChoice choice;
    EXPECT_EQ(Prepare(bin, choice), kWorkingFolderIncomplete);
    EXPECT_EQ(choice.folder, user.string());
    EXPECT_EQ(choice.copied, static_cast<int>(kDeliveredFiles.size()) - 1);
    EXPECT_FALSE(fs::exists(user / "RegTimeout.ini"));

    // No user folder: none known, or it cannot be created under a file.
    WriteFile(root.path() / "file", "");
    for (const std::string& folder : {std::string(), (root.path() / "file" / "qzm-demo").string()}) {
        EXPECT_EQ(PrepareWorkingFolder(bin.string(), {data.string()}, folder, choice),
                  kWorkingFolderNoUserFolder)
            << folder;
        EXPECT_TRUE(choice.folder.empty());
    }
}

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

TEST(DeliveredDataFoldersTest, BesideTheProgramThenTheInstalledDataFolder) {
    EXPECT_EQ(DeliveredDataFolders("/opt/qzm/bin"),
              (std::vector<std::string>{"/opt/qzm/bin", "/opt/qzm/share/qzm-demo"}));
    EXPECT_TRUE(DeliveredDataFolders("").empty());
}

// Every file in data/ is delivered, so each must be in the list of files copied for the user.
TEST(DeliveredFilesTest, ListMatchesTheDataFolder) {
    std::set<std::string> inData = Names(QZM_DATA_DIR);
    std::erase_if(inData, [](const std::string& name) { return name == "CMakeLists.txt" || name[0] == '.'; });
    EXPECT_EQ(inData, kAllDelivered);
}

}  // namespace
