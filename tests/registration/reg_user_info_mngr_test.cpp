// The registered-user store: numbering, the files it writes through, loading damaged stores and
// keeping memory and disk in step when a write fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "files/atomic_file.h"
#include "registration/reg_user_info_mngr.h"
#include "registration_test_support.h"
#include "test_folder.h"

using namespace qzm;
using namespace qzm::testing;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

const fs::path kStore = "DB/RegistData";

// A write-through failure: the file to be replaced is a folder, so every later write of it fails.
void BlockFile(const fs::path& path) {
    fs::remove(path);
    fs::create_directories(path);
}

class UserStoreTest : public ::testing::Test {
protected:
    void AddUserWithData(int id, const std::vector<int>& dataNumbers) {
        ASSERT_EQ(store_.AddUser(id, "user" + std::to_string(id)), 0);
        for (const int n : dataNumbers) {
            ASSERT_EQ(store_.AddDataWithDate(MakeFace(n), id, n, "2024/03/0" + std::to_string(n % 10)), 0);
        }
    }

    ScopedWorkingFolder folder_;
    CRegUserInfoMngr store_;
};

TEST_F(UserStoreTest, FreedNumberIsReusedAndUserListKeepsAddingOrder) {
    ASSERT_EQ(store_.Load(), 0);  // no User.dat yet: an empty store
    for (int i = 0; i < 3; ++i) {
        const int id = store_.FindFreeUserNumber();
        ASSERT_EQ(id, i);
        ASSERT_EQ(store_.AddUser(id, "u" + std::to_string(i)), 0);
    }
    ASSERT_EQ(store_.DeleteUser(1), 0);
    EXPECT_FALSE(fs::exists(kStore / "001"));
    ASSERT_EQ(store_.FindFreeUserNumber(), 1);
    ASSERT_EQ(store_.AddUser(1, "again"), 0);

    EXPECT_EQ(ReadFile(kStore / "User.dat"), "000\r\n002\r\n001\r\n");
    EXPECT_EQ(ReadFile(kStore / "001/UserInfo.dat"), "1\r\nagain\r\n\r\n");
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(Ids(reloaded), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(reloaded.FindFreeUserNumber(), 3);
}

TEST_F(UserStoreTest, EntriesKeepTheirOrderAndFilesTheirLayout) {
    ASSERT_EQ(store_.AddUser(7, "X"), 0);
    ASSERT_EQ(store_.AddDataWithDate(MakeFace(3), 7, 3, "2024/01/02"), 0);
    ASSERT_EQ(store_.AddData(MakeFace(0), 7, 0), 0);
    EXPECT_EQ(store_.FindFreeDataNumber(7), 1);

    EXPECT_EQ(ReadFile(kStore / "007/UserInfo.dat"), "7\r\nX\r\n3,0\r\n");
    EXPECT_EQ(ReadFile(kStore / "007/03.dat"), "3\r\n2024/01/02\r\n64\r\n64\r\n");
    const CImageData face = MakeFace(3);
    const std::string image = ReadFile(kStore / "007/03");
    ASSERT_EQ(image.size(), 12u + 4096u);
    EXPECT_EQ(image.substr(0, 12), "\x40\0\0\0\x40\0\0\0\x44\0\0\x21"s);
    EXPECT_EQ(image.substr(12), std::string(reinterpret_cast<const char*>(face.Plane(0)), 4096));

    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(DataNumbers(reloaded, 7), (std::vector<int>{3, 0}));
    CImageData read = MakeFace(99);
    ASSERT_EQ(reloaded.GetRegisteredImage(7, 3, read), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read.Plane(0)), 4096), image.substr(12));
}

TEST_F(UserStoreTest, FreeDataNumberOfFullAndUnknownUser) {
    AddUserWithData(4, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0});
    EXPECT_EQ(store_.FindFreeDataNumber(4), -1);
    EXPECT_EQ(store_.FindFreeDataNumber(5), -2);
    EXPECT_EQ(store_.TotalDataCount(), 10);
}

TEST_F(UserStoreTest, DeletingOneEntryAndAllEntries) {
    AddUserWithData(2, {0, 5, 7});
    ASSERT_EQ(store_.DeleteData(2, 5), 0);
    EXPECT_FALSE(fs::exists(kStore / "002/05"));
    EXPECT_FALSE(fs::exists(kStore / "002/05.dat"));
    EXPECT_TRUE(fs::exists(kStore / "002/07"));
    EXPECT_EQ(ReadFile(kStore / "002/UserInfo.dat"), "2\r\nuser2\r\n0,7\r\n");
    EXPECT_EQ(store_.FindFreeDataNumber(2), 1);

    ASSERT_EQ(store_.DeleteData(2, -1), 0);
    EXPECT_EQ(SnapshotTree(kStore / "002"),
              (std::map<std::string, std::string>{{"UserInfo.dat", "2\r\nuser2\r\n\r\n"}}));
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(reloaded.GetUserList().at(0).dataCount, 0);
}

TEST_F(UserStoreTest, NameUniquenessCountsLetterCase) {
    ASSERT_EQ(store_.AddUser(0, "Anna"), 0);
    struct Case {
        const char* name;
        int id;
        bool unique;
    };
    const Case cases[] = {{"anna", 1, true}, {"ANNA", 1, true}, {"Anna", 1, false}, {"Anna", 0, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(store_.IsNameUnique(c.name, c.id), c.unique) << c.name << " " << c.id;
    }
    EXPECT_EQ(store_.AddUser(1, "anna"), 0);
}

TEST_F(UserStoreTest, NamesOutsideWindows1252SurviveSaveAndLoad) {
    struct Case {
        std::string name;
        bool needsUtf16;
    };
    const std::vector<Case> cases = {
        {"\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7", true},          // Greek
        {"\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E", true},  // CJK
        {"smile \xF0\x9F\x98\x80", true},                            // beyond the 16-bit range
        {"Zo\xC3\xAB \xE2\x82\xAC", false},                          // in Windows-1252
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ASSERT_EQ(store_.AddUser(static_cast<int>(i), cases[i].name), 0);
        const std::string bytes = ReadFile(kStore / ("00" + std::to_string(i)) / "UserInfo.dat");
        EXPECT_EQ(bytes.rfind("\xFF\xFE", 0) == 0, cases[i].needsUtf16) << i;
    }
    ASSERT_EQ(store_.RenameUser(3, cases[1].name), 0);
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    const std::vector<UserSummary> users = reloaded.GetUserList();
    ASSERT_EQ(users.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(users[i].name, cases[i].name);
    }
    EXPECT_EQ(users[3].name, cases[1].name);
}

TEST_F(UserStoreTest, RefusedChangesLeaveMemoryAndDiskAsTheyWere) {
    AddUserWithData(3, {1});
    const auto before = SnapshotTree("DB");
    const std::vector<std::string> badTexts = {"two\nlines", "carriage\rreturn", "nul\0inside"s, "\xFF\xFE"};
    for (const std::string& text : badTexts) {
        EXPECT_EQ(store_.AddUser(4, text), -1);
        EXPECT_EQ(store_.RenameUser(3, text), -1);
        EXPECT_EQ(store_.AddDataWithDate(MakeFace(0), 3, 0, text), -1);
    }
    for (const int id : {-1, 500, 3}) {
        EXPECT_EQ(store_.AddUser(id, "n"), -1) << id;
    }
    const std::pair<int, int> badSlots[] = {{3, -1}, {3, 10}, {3, 1}, {9, 0}};  // user, data number
    for (const auto& [id, dataNumber] : badSlots) {
        EXPECT_EQ(store_.AddData(MakeFace(0), id, dataNumber), -1) << id << " " << dataNumber;
    }
    EXPECT_EQ(store_.AddData(CImageData(), 3, 2), -1);
    EXPECT_EQ(store_.DeleteData(3, 10), -1);
    EXPECT_EQ(store_.DeleteData(3, -2), -1);
    EXPECT_EQ(store_.DeleteData(9, 0), -1);
    EXPECT_EQ(store_.DeleteUser(9), -1);

    EXPECT_EQ(SnapshotTree("DB"), before);
    EXPECT_EQ(Ids(store_), std::vector<int>{3});
    EXPECT_EQ(store_.GetUserList()[0].name, "user3");
    EXPECT_EQ(DataNumbers(store_, 3), std::vector<int>{1});
}

// Each case damages user 1 of the store 0, 1, 2 (or User.dat itself). The load stops there, keeps
// the users read before, and no number User.dat lists is given to a new user.
TEST_F(UserStoreTest, DamagedStoreStopsLoadingButKeepsListedNumbersTaken) {
    struct Case {
        const char* what;
        const char* file;  // below DB/RegistData
        std::string content;
        std::vector<int> loaded;
    };
    const std::vector<Case> cases = {
        {"user file missing", "001/UserInfo.dat", "", {0}},
        {"user file with two lines", "001/UserInfo.dat", "1\r\nuser1\r\n", {0}},
        {"user file of another number", "001/UserInfo.dat", "2\r\nuser1\r\n0\r\n", {0}},
        {"data number out of range", "001/UserInfo.dat", "1\r\nuser1\r\n0,12\r\n", {0}},
        {"negative data number", "001/UserInfo.dat", "1\r\nuser1\r\n-1\r\n", {0}},
        {"data number twice", "001/UserInfo.dat", "1\r\nuser1\r\n0,0\r\n", {0}},
        {"data file missing", "001/00.dat", "", {0}},
        {"data file with three lines", "001/00.dat", "0\r\n2024/03/00\r\n64\r\n", {0}},
        {"user listed twice", "User.dat", "000\r\n001\r\n001\r\n002\r\n", {0, 1}},
        {"user number out of range", "User.dat", "000\r\n700\r\n001\r\n002\r\n", {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all("DB");
        CRegUserInfoMngr store;
        for (int id = 0; id < 3; ++id) {
            ASSERT_EQ(store.AddUser(id, "user" + std::to_string(id)), 0);
            ASSERT_EQ(store.AddDataWithDate(MakeFace(id), id, 0, "2024/03/00"), 0);
        }
        if (c.content.empty()) {
            fs::remove(kStore / c.file);
        } else {
            WriteFile(kStore / c.file, c.content);
        }

        CRegUserInfoMngr damaged;
        EXPECT_EQ(damaged.Load(), -1);
        EXPECT_EQ(Ids(damaged), c.loaded);
        EXPECT_EQ(damaged.AddUser(1, "taken"), -1);
        EXPECT_EQ(damaged.AddUser(2, "taken"), -1);
        EXPECT_EQ(damaged.FindFreeUserNumber(), 3);
        ASSERT_EQ(damaged.AddUser(3, "new"), 0);
        // Written back, User.dat still holds every number, so the next start keeps them taken.
        CRegUserInfoMngr next;
        next.Load();
        EXPECT_EQ(next.FindFreeUserNumber(), 4);

        ASSERT_EQ(damaged.DeleteAllUsers(), 0);
        EXPECT_EQ(damaged.FindFreeUserNumber(), 0);
        EXPECT_EQ(ReadFile(kStore / "User.dat"), "");
        EXPECT_FALSE(fs::exists(kStore / "001"));
        EXPECT_FALSE(fs::exists(kStore / "002"));
    }
}

TEST_F(UserStoreTest, DeleteAllUsersRemovesTheAlbumBackup) {
    AddUserWithData(0, {0});
    AddUserWithData(1, {});
    WriteFile("DB/qzcxx.qzb", "album");
    ASSERT_EQ(store_.DeleteAllUsers(), 0);
    EXPECT_TRUE(store_.GetUserList().empty());
    EXPECT_FALSE(fs::exists("DB/qzcxx.qzb"));
    EXPECT_EQ(SnapshotTree(kStore), (std::map<std::string, std::string>{{"User.dat", ""}}));
}

TEST_F(UserStoreTest, FailedWritesUndoTheChangeInMemory) {
    // A full disk while the new user's file is written: the number stays free.
    InjectWriteFaultForTest(WriteFault::kDiskFull);
    EXPECT_EQ(store_.AddUser(0, "a"), -1);
    EXPECT_TRUE(store_.GetUserList().empty());
    ASSERT_EQ(store_.FindFreeUserNumber(), 0);
    ASSERT_EQ(store_.AddUser(0, "a"), 0);

    // The image cannot be written: no entry, no files.
    InjectWriteFaultForTest(WriteFault::kCrashBeforeRename);
    EXPECT_EQ(store_.AddData(MakeFace(1), 0, 0), -1);
    EXPECT_TRUE(DataNumbers(store_, 0).empty());
    EXPECT_FALSE(fs::exists(kStore / "000/00"));

    InjectWriteFaultForTest(WriteFault::kDiskFull);
    EXPECT_EQ(store_.RenameUser(0, "b"), -1);
    EXPECT_EQ(store_.GetUserList()[0].name, "a");
    EXPECT_EQ(ReadFile(kStore / "000/UserInfo.dat"), "0\r\na\r\n\r\n");

    ASSERT_EQ(store_.AddData(MakeFace(1), 0, 0), 0);
    const auto before = SnapshotTree(kStore);
    BlockFile(kStore / "000/UserInfo.dat");
    // UserInfo.dat cannot list a new entry: its files are taken back.
    EXPECT_EQ(store_.AddData(MakeFace(2), 0, 1), -1);
    EXPECT_FALSE(fs::exists(kStore / "000/01"));
    EXPECT_FALSE(fs::exists(kStore / "000/01.dat"));
    EXPECT_EQ(store_.DeleteData(0, 0), -1);
    EXPECT_EQ(store_.DeleteData(0, -1), -1);
    EXPECT_EQ(DataNumbers(store_, 0), std::vector<int>{0});
    EXPECT_TRUE(fs::exists(kStore / "000/00"));

    fs::remove_all(kStore / "000/UserInfo.dat");
    WriteFile(kStore / "000/UserInfo.dat", before.at("000/UserInfo.dat"));
    BlockFile(kStore / "User.dat");
    // User.dat cannot be written: the user is neither added nor deleted.
    EXPECT_EQ(store_.AddUser(1, "c"), -1);
    EXPECT_FALSE(fs::exists(kStore / "001"));
    EXPECT_EQ(store_.DeleteUser(0), -1);
    EXPECT_EQ(Ids(store_), std::vector<int>{0});
    EXPECT_TRUE(fs::exists(kStore / "000/00"));
    EXPECT_EQ(store_.FindFreeUserNumber(), 1);
}

TEST_F(UserStoreTest, ImageFilesAreCheckedBeforeUse) {
    AddUserWithData(0, {0});
    CImageData small = MakeFace(5, 32);
    EXPECT_EQ(store_.GetRegisteredImage(0, 0, small), -1);  // 4096 bytes do not fit into 1024
    EXPECT_EQ(small.Plane(0)[1023], MakeFace(5, 32).Plane(0)[1023]);
    EXPECT_EQ(store_.GetRegisteredImage(0, 10, small), -1);

    const std::string header = "\x40\0\0\0\x40\0\0\0\x44\0\0\x21"s;
    struct Case {
        const char* what;
        std::string bytes;
        int result;
    };
    const Case cases[] = {
        {"complete", header + std::string(4096, 'p'), 0},
        {"pixels cut short", header + std::string(4095, 'p'), -1},
        {"header cut short", header.substr(0, 11), -1},
        {"unknown format", "\x40\0\0\0\x40\0\0\0\x99\0\0\x21"s + std::string(4096, 'p'), -1},
        {"negative width", "\xC0\xFF\xFF\xFF\x40\0\0\0\x44\0\0\x21"s + std::string(4096, 'p'), -1},
        {"huge shape, small file", "\0\0\1\0\0\1\0\0\x44\0\0\x21"s + std::string(4096, 'p'), -1},
    };
    for (const Case& c : cases) {
        WriteFile("image", c.bytes);
        CImageData image = MakeFace(1);
        EXPECT_EQ(CRegUserInfoMngr::ReadImageFile("image", image), c.result) << c.what;
        EXPECT_EQ(image.Width(), 64) << c.what;
        EXPECT_EQ(image.Plane(0)[0], c.result == 0 ? 'p' : MakeFace(1).Plane(0)[0]) << c.what;
    }
}

// An album file's users are built as a separate store: a user with all its faces at once, User.dat
// only at the swap. A face that cannot be written leaves the user out; a swap whose User.dat cannot
// be written leaves the live store as it was.
TEST_F(UserStoreTest, StoreBeingBuiltTakesUsersWithTheirFacesAndListsThemAtTheSwap) {
    AddUserWithData(0, {0});
    const auto before = SnapshotTree(kStore);
    const CImageData four = MakeFace(4);
    const CImageData one = MakeFace(1);
    const std::vector<RegisteredFace> faces = {RegisteredFace::Of(4, "2024/03/04", four),
                                               RegisteredFace::Of(1, "2024/03/01", one)};
    int written = 0;
    const auto count = [&written] { ++written; };
    const auto build = [&](CRegUserInfoMngr& staged) {
        ASSERT_EQ(staged.AddUserWithFaces(5, "f\xC3\xBCnf", faces, count), 0);
        ASSERT_EQ(staged.AddUserWithFaces(7, "seven", {}, count), 0);
        fs::create_directories("DB/RegistData.new/008/01/in the way");
        EXPECT_EQ(staged.AddUserWithFaces(8, "eight", faces, count), -1);
        EXPECT_FALSE(fs::exists("DB/RegistData.new/008"));
        EXPECT_EQ(Ids(staged), (std::vector<int>{5, 7}));
    };
    CRegUserInfoMngr blocked(store_.StagingFolder(), StoreWrites::kFlushOnReplace);
    build(blocked);
    EXPECT_EQ(written, 3);
    EXPECT_TRUE(fs::exists("DB/RegistData.new/005/UserInfo.dat"));
    EXPECT_FALSE(fs::exists("DB/RegistData.new/User.dat"));
    fs::create_directories("DB/RegistData.new/User.dat/in the way");
    EXPECT_EQ(store_.ReplaceWith(std::move(blocked)), -1);
    EXPECT_EQ(Ids(store_), std::vector<int>{0});
    EXPECT_EQ(SnapshotTree(kStore), before);

    fs::remove_all("DB/RegistData.new");
    CRegUserInfoMngr staged(store_.StagingFolder(), StoreWrites::kFlushOnReplace);
    build(staged);
    ASSERT_EQ(store_.ReplaceWith(std::move(staged)), 0);
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(Ids(reloaded), (std::vector<int>{5, 7}));
    EXPECT_EQ(DataNumbers(reloaded, 5), (std::vector<int>{4, 1}));
    EXPECT_EQ(reloaded.GetUserList().front().name, "f\xC3\xBCnf");
    EXPECT_EQ(ReadFile(kStore / "User.dat"), "005\r\n007\r\n");
}

// A working folder named in any script holds the store: files written unflushed, the flush before
// the swap, the swap and a reload all reach the same files.
TEST_F(UserStoreTest, StoreInAFolderNamedInAnyScript) {
    const fs::path folder = folder_.path() / u8"\u5c71\u7530 Jos\u00e9";
    fs::create_directory(folder);
    fs::current_path(folder);
    AddUserWithData(0, {0, 1});
    const CImageData face = MakeFace(3);
    CRegUserInfoMngr staged(store_.StagingFolder(), StoreWrites::kFlushOnReplace);
    ASSERT_EQ(staged.AddUserWithFaces(4, "\xE5\xB1\xB1\xE7\x94\xB0",
                                      {RegisteredFace::Of(3, "2024/03/03", face)}, [] {}),
              0);
    ASSERT_EQ(store_.ReplaceWith(std::move(staged)), 0);
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(Ids(reloaded), std::vector<int>{4});
    EXPECT_EQ(DataNumbers(reloaded, 4), std::vector<int>{3});
    EXPECT_EQ(reloaded.GetUserList().front().name, "\xE5\xB1\xB1\xE7\x94\xB0");
    EXPECT_EQ(ReadFile(folder / kStore / "User.dat"), "004\r\n");
    fs::current_path(folder_.path());
}

TEST_F(UserStoreTest, ReplacementStoreIsSwappedInAndABrokenSwapUndone) {
    AddUserWithData(0, {0});
    CRegUserInfoMngr staged(store_.StagingFolder());
    ASSERT_EQ(staged.AddUser(5, "five"), 0);
    ASSERT_EQ(store_.ReplaceWith(std::move(staged)), 0);
    EXPECT_EQ(Ids(store_), std::vector<int>{5});
    EXPECT_FALSE(fs::exists(kStore / "000"));
    EXPECT_FALSE(fs::exists("DB/RegistData.new"));
    EXPECT_FALSE(fs::exists("DB/RegistData.old"));
    ASSERT_EQ(store_.AddUser(6, "six"), 0);
    EXPECT_EQ(ReadFile(kStore / "User.dat"), "005\r\n006\r\n");

    // A crash between the two renames: the old store is put back, the new one dropped.
    const auto before = SnapshotTree(kStore);
    fs::rename(kStore, "DB/RegistData.old");
    fs::create_directories("DB/RegistData.new/009");
    CRegUserInfoMngr restarted;
    ASSERT_EQ(restarted.Load(), 0);
    EXPECT_EQ(Ids(restarted), (std::vector<int>{5, 6}));
    EXPECT_EQ(SnapshotTree(kStore), before);
    EXPECT_FALSE(fs::exists("DB/RegistData.new"));
    EXPECT_FALSE(fs::exists("DB/RegistData.old"));
}

}  // namespace
