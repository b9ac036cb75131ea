// Album files, album backups and the ./DBBack copy: layouts, round trips, and that a refused or
// failed load leaves the store, ./DB and Application.ini exactly as they were.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "files/atomic_file.h"
#include "files/file_operate.h"
#include "files/text_codec.h"
#include "image/img_conv.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"
#include "registration_test_support.h"
#include "test_folder.h"

#ifndef _WIN32
#include "huge_files.h"
#endif

using namespace qzm;
using namespace qzm::testing;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kUserRecord = 264;
constexpr std::size_t kDataRecord = 4144;

AlbumData MakeAlbum(int size, std::uint8_t flag = 7) {
    AlbumData album{size, flag, {}};
    for (int i = 0; i < size; ++i) {
        album.bytes.push_back(static_cast<std::uint8_t>(i * 13 + 1));
    }
    return album;
}

std::string Le32(std::int32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    return bytes;
}

int FieldAt(const std::string& bytes, std::size_t offset) {
    int value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

int IniInt(const char* key) {
    int value = -1;
    CFileOperate::ReadIniInt("Application", key, -1, "./Application.ini", value);
    return value;
}

class AlbumFileTest : public ::testing::Test {
protected:
    void AddUser(int id, const std::string& name, const std::vector<int>& dataNumbers) {
        ASSERT_EQ(store_.Users().AddUser(id, name), 0);
        for (const int n : dataNumbers) {
            ASSERT_EQ(
                store_.Users().AddDataWithDate(MakeFace(id * 10 + n), id, n, "2023/12/0" + std::to_string(n)),
                0);
        }
    }

    ScopedWorkingFolder folder_;
    CRegUserStore store_;
};

TEST_F(AlbumFileTest, StoreWithoutUsersGivesHeaderAlbumAndCounts) {
    CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 7);
    const AlbumData album = MakeAlbum(100, 3);
    ASSERT_EQ(WriteAlbumFile(store_, album, "empty.qzc"), 0);
    const std::string bytes = ReadFile("empty.qzc");
    ASSERT_EQ(bytes.size(), 100u + 16u);
    EXPECT_EQ(bytes.substr(0, 8), Le32(100) + "\x03\0\0\0"s);
    EXPECT_EQ(bytes.substr(8, 100), std::string(album.bytes.begin(), album.bytes.end()));
    EXPECT_EQ(FieldAt(bytes, 108), 0);
    EXPECT_EQ(FieldAt(bytes, 112), 7);
}

TEST_F(AlbumFileTest, RecordsFollowTheEntryOrderBothWays) {
    AddUser(4, "Bob", {2, 0});
    ASSERT_EQ(WriteAlbumFile(store_, MakeAlbum(40), "bob.qzc"), 0);
    const std::string bytes = ReadFile("bob.qzc");
    ASSERT_EQ(bytes.size(), 40 + 16 + kUserRecord + 2 * kDataRecord);
    const std::size_t user = 56;
    EXPECT_EQ(FieldAt(bytes, user), 4);
    EXPECT_EQ(bytes.substr(user + 4, 256), "B\0o\0b\0"s + std::string(250, '\0'));
    EXPECT_EQ(FieldAt(bytes, user + 260), 2);
    const std::size_t first = user + kUserRecord;
    const std::size_t second = first + kDataRecord;
    EXPECT_EQ(FieldAt(bytes, first), 2);
    EXPECT_EQ(FieldAt(bytes, second), 0);
    const std::string date = Utf8ToUtf16LeBytes("2023/12/02");
    EXPECT_EQ(bytes.substr(first + 4, 32), date + std::string(32 - date.size(), '\0'));
    EXPECT_EQ(bytes.substr(first + 36, 12), Le32(64) + Le32(64) + Le32(0x21000044));
    const CImageData face = MakeFace(42);
    EXPECT_EQ(bytes.substr(first + 48, 4096),
              std::string(reinterpret_cast<const char*>(face.Plane(0)), 4096));

    ASSERT_EQ(store_.Users().DeleteAllUsers(), 0);
    AlbumData album;
    ASSERT_EQ(ReadAlbumFile(store_, "bob.qzc", album), 0);
    EXPECT_EQ(DataNumbers(store_.Users(), 4), (std::vector<int>{2, 0}));
}

TEST_F(AlbumFileTest, RoundTripThroughAnEmptiedStoreGivesIdenticalFiles) {
    ASSERT_EQ(store_.Users().AddUser(3, "\xE5\xB1\xB1\xE7\x94\xB0"), 0);
    ASSERT_EQ(store_.Users().AddData(MakeFace(1), 3, 4), 0);
    ASSERT_EQ(store_.Users().AddData(MakeFace(2), 3, 1), 0);
    AddUser(0, "Zo\xC3\xAB", {});
    AddUser(7, "Max", {9, 0, 5});
    ASSERT_EQ(store_.Users().DeleteData(7, 0), 0);
    CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 5);
    const AlbumData album = MakeAlbum(300, 1);
    ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", album), 0);
    const auto before = SnapshotTree("DB");

    ASSERT_EQ(WriteAlbumFile(store_, album, "all.qzc"), 0);
    ASSERT_EQ(store_.Users().DeleteAllUsers(), 0);
    CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 0);
    AlbumData read;
    ASSERT_EQ(ReadAlbumFile(store_, "all.qzc", read), 0);

    EXPECT_EQ(SnapshotTree("DB"), before);
    EXPECT_EQ(IniInt("RegistCount"), 5);
    EXPECT_EQ(read.size, album.size);
    EXPECT_EQ(read.flag, album.flag);
    EXPECT_EQ(read.bytes, album.bytes);
    EXPECT_EQ(Ids(store_.Users()), (std::vector<int>{3, 0, 7}));
    CRegUserInfoMngr reloaded;
    ASSERT_EQ(reloaded.Load(), 0);
    EXPECT_EQ(DataNumbers(reloaded, 7), (std::vector<int>{9, 5}));
}

// Album files and backups chosen by the user live under names in any script; the store itself may
// sit in a working folder named so.
TEST_F(AlbumFileTest, AlbumFilesUnderNamesInAnyScript) {
    AddUser(2, "Jos\xC3\xA9 M\xC3\xBCller", {1, 3});
    AddUser(5, "\xE5\xB1\xB1\xE7\x94\xB0", {0});
    const AlbumData album = MakeAlbum(64, 1);
    const fs::path folder = folder_.path() / u8"Jos\u00e9 M\u00fcller";
    fs::create_directory(folder);
    const std::string folderText = "./Jos\xC3\xA9 M\xC3\xBCller/";
    const std::string file = folderText + "\xE5\xB1\xB1\xE7\x94\xB0.qzc";
    const std::string backup = folderText + "\xE5\xB1\xB1\xE7\x94\xB0.qzb";
    ASSERT_EQ(WriteAlbumFile(store_, album, file), 0);
    ASSERT_EQ(WriteAlbumBackup(backup, album), 0);
    EXPECT_TRUE(fs::is_regular_file(folder / u8"\u5c71\u7530.qzc"));
    EXPECT_TRUE(fs::is_regular_file(folder / u8"\u5c71\u7530.qzb"));
    const std::string written = ReadFile(folder / u8"\u5c71\u7530.qzc");

    ASSERT_EQ(store_.Users().DeleteAllUsers(), 0);
    AlbumData read;
    ASSERT_EQ(ReadAlbumFile(store_, file, read), 0);
    EXPECT_EQ(read.bytes, album.bytes);
    EXPECT_EQ(Ids(store_.Users()), (std::vector<int>{2, 5}));
    EXPECT_EQ(DataNumbers(store_.Users(), 2), (std::vector<int>{1, 3}));
    AlbumData readBackup;
    ASSERT_EQ(ReadAlbumBackup(backup, readBackup), 0);
    EXPECT_EQ(readBackup.bytes, album.bytes);
    // Written again from the reloaded store: the same bytes.
    ASSERT_EQ(WriteAlbumFile(store_, album, file), 0);
    EXPECT_EQ(ReadFile(folder / u8"\u5c71\u7530.qzc"), written);
}

TEST_F(AlbumFileTest, LongNamesAreCutWithoutSplittingACharacter) {
    const std::string smile = "\xF0\x9F\x98\x80";  // two UTF-16 units
    struct Case {
        std::string name;
        std::string stored;
    };
    const std::vector<Case> cases = {
        {std::string(126, 'a') + smile, std::string(126, 'a')},
        {std::string(125, 'a') + smile, std::string(125, 'a') + smile},
        {std::string(127, 'b') + "c", std::string(127, 'b')},
        {std::string(300, 'd'), std::string(127, 'd')},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        AddUser(static_cast<int>(i), cases[i].name, {});
    }
    ASSERT_EQ(WriteAlbumFile(store_, MakeAlbum(0), "long.qzc"), 0);
    AlbumData album;
    ASSERT_EQ(ReadAlbumFile(store_, "long.qzc", album), 0);
    const std::vector<UserSummary> users = store_.Users().GetUserList();
    ASSERT_EQ(users.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(users[i].name, cases[i].stored) << i;
    }
}

TEST_F(AlbumFileTest, AlbumTooSmallToKeepRemovesTheOldBackup) {
    AddUser(1, "a", {0});
    ASSERT_EQ(WriteAlbumFile(store_, MakeAlbum(31), "small.qzc"), 0);
    ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", MakeAlbum(64)), 0);
    AlbumData album;
    ASSERT_EQ(ReadAlbumFile(store_, "small.qzc", album), 0);
    EXPECT_EQ(album.size, 31);
    EXPECT_FALSE(fs::exists("DB/qzcxx.qzb"));
    EXPECT_EQ(ChooseAlbumBackupPath(), "./qzd00.qzb");
    ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", MakeAlbum(32)), 0);
    EXPECT_EQ(ChooseAlbumBackupPath(), "./DB/qzcxx.qzb");
}

TEST_F(AlbumFileTest, WriterRefusesAnAlbumItCannotHold) {
    WriteFile("old.qzc", "previous");
    AlbumData beyondBytes = MakeAlbum(40);
    beyondBytes.size = 41;
    for (const AlbumData& album :
         {AlbumData{-1, 0, {}}, beyondBytes,
          AlbumData{kMaxAlbumSize + 1, 0, std::vector<std::uint8_t>(kMaxAlbumSize + 1)}}) {
        EXPECT_EQ(WriteAlbumFile(store_, album, "old.qzc"), -1);
        EXPECT_EQ(WriteAlbumBackup("old.qzc", album), -1);
    }
    EXPECT_EQ(ReadFile("old.qzc"), "previous");
}

TEST_F(AlbumFileTest, BackupSizesAtTheLimits) {
    EXPECT_EQ(WriteAlbumBackup("a.qzb", MakeAlbum(31)), -1);
    EXPECT_FALSE(fs::exists("a.qzb"));
    ASSERT_EQ(WriteAlbumBackup("a.qzb", MakeAlbum(32, 9)), 0);
    const std::string bytes = ReadFile("a.qzb");
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 8), Le32(32) + "\x09\0\0\0"s);

    const std::string album32 = bytes.substr(8);
    struct Case {
        const char* what;
        std::string file;
        int result;
        int size;
    };
    const Case cases[] = {
        {"39 bytes", bytes.substr(0, 39), -1, 0},
        {"40 bytes", bytes, 0, 32},
        {"reserved bytes not read", Le32(32) + "\x09\xAA\xBB\xCC"s + album32, 0, 32},
        {"bytes after the album", bytes + "tail", 0, 32},
        {"smaller album in a longer file", Le32(10) + "\x09\0\0\0"s + album32, 0, 10},
        {"size beyond the file", Le32(33) + "\x09\0\0\0"s + album32, -1, 0},
        {"negative size", Le32(-1) + "\x09\0\0\0"s + album32, -1, 0},
        {"size above the largest album", Le32(kMaxAlbumSize + 1) + "\x09\0\0\0"s + album32, -1, 0},
    };
    for (const Case& c : cases) {
        WriteFile("b.qzb", c.file);
        AlbumData album = MakeAlbum(5, 1);
        EXPECT_EQ(ReadAlbumBackup("b.qzb", album), c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(album.size, c.size) << c.what;
            EXPECT_EQ(album.flag, 9) << c.what;
            EXPECT_EQ(std::string(album.bytes.begin(), album.bytes.end()), album32.substr(0, c.size))
                << c.what;
        } else {
            EXPECT_EQ(album.size, 5) << c.what;
            EXPECT_EQ(album.bytes, MakeAlbum(5).bytes) << c.what;
        }
    }
    AlbumData album;
    EXPECT_EQ(ReadAlbumBackup("missing.qzb", album), -1);
}

// A valid file of users 4 (data 2, 0), 9 (no data) and 1 (data 5), then a different current store:
// every damaged variant of the file must be refused with nothing changed.
class RefusedAlbumFileTest : public AlbumFileTest {
protected:
    static constexpr std::size_t kAlbum = 40;
    static constexpr std::size_t kBob = 16 + kAlbum;
    static constexpr std::size_t kBobData2 = kBob + kUserRecord;
    static constexpr std::size_t kBobData0 = kBobData2 + kDataRecord;
    static constexpr std::size_t kEve = kBobData0 + kDataRecord;
    static constexpr std::size_t kAnn = kEve + kUserRecord;
    static constexpr std::size_t kAnnData5 = kAnn + kUserRecord;

    void SetUp() override {
        AddUser(4, "Bob", {2, 0});
        AddUser(9, "Eve", {});
        AddUser(1, "Ann", {5});
        ASSERT_EQ(WriteAlbumFile(store_, MakeAlbum(kAlbum), "valid.qzc"), 0);
        valid_ = ReadFile("valid.qzc");
        ASSERT_EQ(valid_.size(), kAnnData5 + kDataRecord);

        ASSERT_EQ(store_.Users().DeleteAllUsers(), 0);
        AddUser(0, "Current", {3});
        CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 2);
        ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", MakeAlbum(50)), 0);
        dbBefore_ = SnapshotTree("DB");
        iniBefore_ = ReadFile("Application.ini");
    }

    void ExpectRefused(const std::string& file, const std::string& what) {
        WriteFile("damaged.qzc", file);
        AlbumData album = MakeAlbum(3);
        ASSERT_EQ(ReadAlbumFile(store_, "damaged.qzc", album), -1) << what;
        EXPECT_EQ(album.bytes, MakeAlbum(3).bytes) << what;
        ExpectUnchanged(what);
    }

    void ExpectUnchanged(const std::string& what) {
        EXPECT_EQ(Ids(store_.Users()), std::vector<int>{0}) << what;
        EXPECT_EQ(DataNumbers(store_.Users(), 0), std::vector<int>{3}) << what;
        EXPECT_EQ(SnapshotTree("DB"), dbBefore_) << what;
        EXPECT_EQ(ReadFile("Application.ini"), iniBefore_) << what;
    }

    std::string Patched(std::size_t offset, const std::string& bytes) const {
        return valid_.substr(0, offset) + bytes + valid_.substr(offset + bytes.size());
    }

    std::string valid_;
    std::map<std::string, std::string> dbBefore_;
    std::string iniBefore_;
};

TEST_F(RefusedAlbumFileTest, EveryTruncationIsRefused) {
    for (std::size_t length = 0; length < valid_.size(); ++length) {
        WriteFile("cut.qzc", valid_.substr(0, length));
        AlbumData album;
        ASSERT_EQ(ReadAlbumFile(store_, "cut.qzc", album), -1) << length;
    }
    ExpectRefused(valid_.substr(0, kAnnData5 + 48), "last pixels missing");
    AlbumData album;
    EXPECT_EQ(ReadAlbumFile(store_, "missing.qzc", album), -1);
}

TEST_F(RefusedAlbumFileTest, DamagedFieldsAreRefused) {
    const std::string newline = "\x0A\0"s;
    struct Case {
        const char* what;
        std::size_t offset;
        std::string bytes;
    };
    const Case cases[] = {
        {"negative album size", 0, Le32(-1)},
        {"album above the largest size", 0, Le32(kMaxAlbumSize + 1)},
        {"album size beyond the file", 0, Le32(0x7FFFFFFF)},
        {"negative user count", kBob - 8, Le32(-1)},
        {"more users than numbers", kBob - 8, Le32(501)},
        {"more users than records", kBob - 8, Le32(4)},
        {"negative user number", kBob, Le32(-1)},
        {"user number 500", kEve, Le32(500)},
        {"user number twice", kAnn, Le32(4)},
        {"line break in a name", kEve + 4, newline},
        {"carriage return in a name", kEve + 6, "\x0D\0"s},
        {"negative data count", kEve + 260, Le32(-1)},
        {"more data than slots", kBob + 260, Le32(11)},
        {"more data than records", kAnn + 260, Le32(2)},
        {"negative data number", kBobData2, Le32(-1)},
        {"data number 10", kAnnData5, Le32(10)},
        {"data number twice", kBobData0, Le32(2)},
        {"line break in a date", kBobData0 + 4, newline},
        {"image without pixels", kAnnData5 + 36, Le32(0)},
        {"unknown image format", kAnnData5 + 44, Le32(0x12345678)},
        {"pixels beyond the file", kAnnData5 + 36, Le32(65)},
        {"huge image", kBobData2 + 36, Le32(0x10000) + Le32(0x10000)},
        // Every text field ends with a zero unit.
        {"name of 128 units without an end", kEve + 4, std::string(256, 'n')},
        {"date of 16 units without an end", kBobData0 + 4, std::string(32, '2')},
    };
    for (const Case& c : cases) {
        ExpectRefused(Patched(c.offset, c.bytes), c.what);
    }
    // The store holds registered faces; a larger image is refused even when its pixels are there.
    ExpectRefused(Patched(kAnnData5 + 40, Le32(65)) + std::string(64, '\0'), "image larger than a face");

    AlbumData album;
    ASSERT_EQ(ReadAlbumFile(store_, "valid.qzc", album), 0);
    EXPECT_EQ(Ids(store_.Users()), (std::vector<int>{4, 9, 1}));
}

TEST_F(RefusedAlbumFileTest, BytesAfterTheLastRecordAndFullFieldsAreAccepted) {
    const std::string name127 = std::string(254, 'n') + "\0\0"s;
    const std::string date15 = std::string(30, '2') + "\0\0"s;
    struct Case {
        const char* what;
        std::string file;
        std::vector<int> ids;
        std::size_t eveNameUnits;
    };
    const Case cases[] = {
        {"a byte after the last record", valid_ + "x", {4, 9, 1}, 3},
        {"a record's worth of zeros after the last", valid_ + std::string(kDataRecord, '\0'), {4, 9, 1}, 3},
        {"last image smaller, its rest left over", Patched(kAnnData5 + 40, Le32(63)), {4, 9, 1}, 3},
        {"fewer users than records", Patched(kBob - 8, Le32(2)), {4, 9}, 3},
        {"name of 127 units", Patched(kEve + 4, name127), {4, 9, 1}, 127},
        {"date of 15 units", Patched(kBobData0 + 4, date15), {4, 9, 1}, 3},
    };
    for (const Case& c : cases) {
        WriteFile("accepted.qzc", c.file);
        AlbumData album;
        ASSERT_EQ(ReadAlbumFile(store_, "accepted.qzc", album), 0) << c.what;
        EXPECT_EQ(album.bytes, MakeAlbum(kAlbum).bytes) << c.what;
        EXPECT_EQ(Ids(store_.Users()), c.ids) << c.what;
        EXPECT_EQ(DataNumbers(store_.Users(), 4), (std::vector<int>{2, 0})) << c.what;
        CUserInfo eve;
        ASSERT_EQ(store_.Users().GetUserInfo(9, eve), 0);
        EXPECT_EQ(Utf16Length(eve.Name()), c.eveNameUnits) << c.what;
    }
}

#ifndef _WIN32
TEST_F(RefusedAlbumFileTest, FilesLargerThanTheLargestAreRefusedUnread) {
    MakeSparseFile("huge.qzc", off_t{1} << 40);
    MakeSparseFile("above.qzc", kMaxAlbumFileSize + 1);
    MakeSparseFile("huge.qzb", off_t{1} << 40);
    MakeSparseFile("above.qzb", kMaxBackupFileSize + 1);
    const auto file = [this](const char* path) {
        return [this, path] {
            AlbumData album;
            return ReadAlbumFile(store_, path, album);
        };
    };
    const auto backup = [](const char* path) {
        return [path] {
            AlbumData album;
            return ReadAlbumBackup(path, album);
        };
    };
    ExpectRefusedInLittleMemory({
        {"huge album file", file("huge.qzc")},
        {"album file above the largest", file("above.qzc")},
        {"endless device as album file", file("/dev/zero")},
        {"huge backup", backup("huge.qzb")},
        {"backup above the largest", backup("above.qzb")},
        {"endless device as backup", backup("/dev/zero")},
    });
    ExpectUnchanged("huge files");

    // The largest sizes themselves are read.
    WriteFile("largest.qzc", valid_ + std::string(kMaxAlbumFileSize - valid_.size(), '\0'));
    AlbumData album;
    ASSERT_EQ(ReadAlbumFile(store_, "largest.qzc", album), 0);
    EXPECT_EQ(Ids(store_.Users()), (std::vector<int>{4, 9, 1}));
    const std::string backupFile = Le32(kMaxAlbumSize) + "\x01\0\0\0"s + std::string(kMaxAlbumSize, 'a');
    WriteFile("largest.qzb", backupFile);
    ASSERT_EQ(ReadAlbumBackup("largest.qzb", album), 0);
    EXPECT_EQ(album.size, kMaxAlbumSize);
}
#endif  // !_WIN32

// The user's read-only mark on a file stops the write that needs it, on every system.
void MarkReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(RefusedAlbumFileTest, FailedWritesWhileApplyingChangeNothing) {
    WriteFile("valid.qzc", valid_);
    // The new store cannot be written.
    InjectWriteFaultForTest(WriteFault::kDiskFull);
    ExpectRefused(valid_, "store write fails");
    EXPECT_FALSE(fs::exists("DB/RegistData.new"));

    // The album backup cannot be written, after RegistCount already was.
    MarkReadOnly("DB/qzcxx.qzb");
    ExpectRefused(valid_, "backup write fails");
    EXPECT_EQ(IniInt("RegistCount"), 2);
    EXPECT_FALSE(fs::exists("DB/RegistData.new"));

    // An album backup that could not be put back stops the load before anything is written.
    fs::permissions("DB/qzcxx.qzb", fs::perms::owner_write, fs::perm_options::add);
    fs::remove("DB/qzcxx.qzb");
    fs::create_directories("DB/qzcxx.qzb");
    dbBefore_ = SnapshotTree("DB");
    ExpectRefused(valid_, "backup cannot be read");
}

// An album file of users 0, 1, ... with ten faces each, built directly: filling a store would take
// long.
std::string LargeAlbumFile(int users) {
    std::string file = Le32(40) + "\x01\0\0\0"s + std::string(40, 'a') + Le32(users) + Le32(users);
    const std::string date = Utf8ToUtf16LeBytes("2024/01/01");
    for (int id = 0; id < users; ++id) {
        file += Le32(id) + "U\0"s + std::string(254, '\0') + Le32(10);
        for (int n = 0; n < 10; ++n) {
            file += Le32(n) + date + std::string(32 - date.size(), '\0') + Le32(64) + Le32(64) +
                    Le32(kFormatGrey8) + std::string(4096, static_cast<char>(id + n));
        }
    }
    return file;
}

TEST_F(RefusedAlbumFileTest, FailedLateLoadKeepsIniValuesWrittenMeanwhile) {
    WriteFile("large.qzc", LargeAlbumFile(25));
    MarkReadOnly("DB/qzcxx.qzb");  // the load fails at its last write
    std::atomic<bool> loading{true};
    std::thread other([&] {
        while (loading.load() && store_.DoneCount() == 0) {
            std::this_thread::yield();
        }
        CFileOperate::WriteIniString("Application", "PrevSelectFile", "./Application.ini", "./other.qzc");
    });
    AlbumData album;
    const int result = ReadAlbumFile(store_, "large.qzc", album);
    loading = false;
    other.join();
    EXPECT_EQ(result, -1);
    std::string previous;
    CFileOperate::ReadIniString("Application", "PrevSelectFile", "", "./Application.ini", previous);
    EXPECT_EQ(previous, "./other.qzc");
    EXPECT_EQ(IniInt("RegistCount"), 2);
    EXPECT_EQ(SnapshotTree("DB"), dbBefore_);
    EXPECT_EQ(Ids(store_.Users()), std::vector<int>{0});
}

// A start after a crash while an album load waited for the module, or inside one of its swaps.
TEST_F(RefusedAlbumFileTest, StartAfterACrashAroundTheModuleKeepsTheStoreTheModuleHolds) {
    struct Case {
        const char* what;
        const char* storeMovedTo;  // where the crash left the store's folder; null: in place
        std::vector<int> ids;
    };
    // The last case keeps the file's users; the others go back to the one current user.
    const Case cases[] = {
        {"inside the swap of the load", "DB/RegistData.new", {0}},
        {"inside the swap back", "DB/RegistData.old", {0}},
        {"while the module answers", nullptr, {4, 9, 1}},
    };
    const auto before = SnapshotTree("DB/RegistData");
    for (const Case& c : cases) {
        CAlbumFileLoad load(store_);
        AlbumData album;
        ASSERT_EQ(load.Apply("valid.qzc", album), 0) << c.what;
        if (c.storeMovedTo != nullptr) {
            fs::rename("DB/RegistData", c.storeMovedTo);
        }
        CRegUserStore restarted;
        ASSERT_EQ(restarted.Load(), 0) << c.what;
        EXPECT_EQ(Ids(restarted.Users()), c.ids) << c.what;
        for (const char* leftover : {"DB/RegistData.previous", "DB/RegistData.old", "DB/RegistData.new"}) {
            EXPECT_FALSE(fs::exists(leftover)) << c.what << " " << leftover;
        }
        if (c.ids == std::vector<int>{0}) {
            EXPECT_EQ(SnapshotTree("DB/RegistData"), before) << c.what;
        }
        ASSERT_EQ(store_.Users().Load(), 0);
    }
}

TEST_F(AlbumFileTest, ProgressCountsDataRecordsAndCanBeWatched) {
    EXPECT_EQ(store_.ProgressFraction(), 0.0);
    for (int id = 0; id < 20; ++id) {
        AddUser(id, "u" + std::to_string(id), {0, 1, 2, 3, 4});
    }
    AddUser(20, "none", {});
    std::atomic<bool> running{true};
    std::atomic<int> samples{0};
    std::thread watcher([&] {
        while (running.load()) {
            EXPECT_LE(store_.DoneCount(), 100);
            EXPECT_LE(store_.ProgressFraction(), 1.0);
            ++samples;
        }
    });
    const int written = WriteAlbumFile(store_, MakeAlbum(40), "p.qzc");
    const int writeDone = store_.DoneCount();
    AlbumData album;
    const int read = ReadAlbumFile(store_, "p.qzc", album);
    running = false;
    watcher.join();
    ASSERT_EQ(written, 0);
    ASSERT_EQ(read, 0);
    EXPECT_EQ(writeDone, 100);
    // A load ends with nothing done, so the next operation starts from 0.
    EXPECT_EQ(store_.TotalCount(), 100);
    EXPECT_EQ(store_.DoneCount(), 0);
    EXPECT_EQ(store_.ProgressFraction(), 0.0);
    EXPECT_GT(samples.load(), 0);

    ASSERT_EQ(WriteAlbumFile(store_, MakeAlbum(40), "p.qzc"), 0);
    ASSERT_EQ(store_.DoneCount(), 100);
    EXPECT_EQ(ReadAlbumFile(store_, "missing.qzc", album), -1);
    EXPECT_EQ(store_.DoneCount(), 0);
    EXPECT_EQ(store_.ProgressFraction(), 0.0);
}

TEST_F(AlbumFileTest, RegistrationDataBackupAndRestore) {
    AddUser(2, "a", {1});
    AddUser(5, "b", {});
    ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", MakeAlbum(40)), 0);
    CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 4);
    const auto atStart = SnapshotTree("DB");
    ASSERT_EQ(BackupRegistrationData(), 0);
    EXPECT_EQ(SnapshotTree("DBBack"), atStart);
    EXPECT_EQ(IniInt("RegistCountBack"), 4);

    ASSERT_EQ(store_.Users().DeleteUser(2), 0);
    AddUser(0, "c", {0, 1});
    CFileOperate::WriteIniInt("Application", "RegistCount", "./Application.ini", 9);
    ASSERT_EQ(RestoreRegistrationData(store_), 0);
    EXPECT_EQ(SnapshotTree("DB"), atStart);
    EXPECT_EQ(IniInt("RegistCount"), 4);
    EXPECT_EQ(Ids(store_.Users()), (std::vector<int>{2, 5}));
    EXPECT_FALSE(fs::exists("DB.restoring"));
    EXPECT_FALSE(fs::exists("DB.old"));

    fs::remove_all("DBBack");
    AddUser(0, "c", {});
    const auto now = SnapshotTree("DB");
    EXPECT_EQ(RestoreRegistrationData(store_), 0);
    EXPECT_EQ(SnapshotTree("DB"), now);

    // A store that started without ./DB goes back to empty.
    fs::remove_all("DB");
    ASSERT_EQ(BackupRegistrationData(), 0);
    AddUser(1, "added", {0});
    ASSERT_EQ(RestoreRegistrationData(store_), 0);
    EXPECT_TRUE(store_.Users().GetUserList().empty());
    EXPECT_TRUE(SnapshotTree("DB").empty());
}

TEST_F(AlbumFileTest, RestoreBrokenOffIsUndoneAtStart) {
    AddUser(3, "kept", {});
    fs::rename("DB", "DB.old");
    fs::create_directories("DB.restoring/RegistData");
    CRegUserStore restarted;
    ASSERT_EQ(restarted.Load(), 0);
    EXPECT_EQ(Ids(restarted.Users()), std::vector<int>{3});
    EXPECT_FALSE(fs::exists("DB.old"));
    EXPECT_FALSE(fs::exists("DB.restoring"));
}

}  // namespace
