#include "registration/album_file.h"

#include <array>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include "files/file_operate.h"
#include "files/text_codec.h"
#include "image/img_conv.h"
#include "registration/flush_files.h"
#include "registration/le_bytes.h"
#include "registration/reg_user_store.h"

namespace qzm {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kAlbumHeaderSize = 8;
constexpr std::size_t kNameFieldBytes = 256;
constexpr std::size_t kMaxNameUnits = 127;  // leaves room for a terminating zero unit
constexpr std::size_t kDateFieldBytes = 32;
constexpr std::size_t kMaxDateUnits = 15;
constexpr int kFaceSide = 64;
constexpr std::size_t kFacePixelBytes = kFaceSide * kFaceSide;
constexpr std::size_t kFacesPerFlush = 250;
constexpr char kRestoreStaging[] = "./DB.restoring";
constexpr char kReplacedDb[] = "./DB.old";

struct FileUser {
    int id = 0;
    std::string name;
    std::vector<RegisteredFace> data;
};

// The faces' pixels point into the file's bytes, which must outlive the content.
struct AlbumFileContent {
    AlbumData album;
    int registCount = 0;
    int dataCount = 0;
    std::vector<FileUser> users;
};

bool IsHoldable(const AlbumData& album) {
    return album.size >= 0 && album.size <= kMaxAlbumSize &&
           static_cast<std::size_t>(album.size) <= album.bytes.size();
}

void AppendAlbumHeader(std::vector<std::uint8_t>& bytes, const AlbumData& album) {
    AppendLe32(bytes, album.size);
    bytes.push_back(album.flag);
    bytes.insert(bytes.end(), 3, 0);
    bytes.insert(bytes.end(), album.bytes.begin(), album.bytes.begin() + album.size);
}

// A text as UTF-16LE in a zero-filled field, cut whole characters at a time.
void AppendTextField(std::vector<std::uint8_t>& bytes, const std::string& text, std::size_t maxUnits,
                     std::size_t fieldBytes) {
    const std::string units = Utf8ToUtf16LeBytes(Utf16Truncate(text, maxUnits));
    bytes.insert(bytes.end(), units.begin(), units.end());
    bytes.insert(bytes.end(), fieldBytes - units.size(), 0);
}

// Bounds-checked reading through a file image.
class FieldReader {
public:
    explicit FieldReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool Int(int& value) {
        const std::uint8_t* at = Take(4);
        if (at != nullptr) {
            value = ReadLe32(at);
        }
        return at != nullptr;
    }
    // A UTF-16LE text up to its zero unit; false when the field is not in the file, holds no zero
    // unit or the text could not be stored in a line.
    bool Text(std::size_t fieldBytes, std::string& text) {
        const std::uint8_t* at = Take(fieldBytes);
        if (at == nullptr) {
            return false;
        }
        std::size_t length = 0;
        while (length + 1 < fieldBytes && (at[length] != 0 || at[length + 1] != 0)) {
            length += 2;
        }
        if (length + 1 >= fieldBytes) {
            return false;
        }
        text = Utf16LeBytesToUtf8(std::string_view(reinterpret_cast<const char*>(at), length));
        return IsStorableText(text);
    }
    const std::uint8_t* Take(std::size_t count) {
        if (bytes_.size() - position_ < count) {
            return nullptr;
        }
        const std::uint8_t* at = bytes_.data() + position_;
        position_ += count;
        return at;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t position_ = 0;
};

// The face's pixels stay in the file's bytes.
bool ParseDataRecord(FieldReader& reader, std::array<bool, CRegUserInfoMngr::kMaxDataPerUser>& seen,
                     RegisteredFace& data) {
    if (!reader.Int(data.dataNumber) || data.dataNumber < 0 ||
        data.dataNumber >= CRegUserInfoMngr::kMaxDataPerUser || seen[data.dataNumber] ||
        !reader.Text(kDateFieldBytes, data.date) || !reader.Int(data.width) || !reader.Int(data.height) ||
        !reader.Int(data.format)) {
        return false;
    }
    seen[data.dataNumber] = true;
    // The store holds registered faces only; a larger image could never be shown or saved again.
    std::size_t pixelBytes = 0;
    if (PixelByteCount(data.width, data.height, data.format, pixelBytes) != 0 || pixelBytes == 0 ||
        pixelBytes > kFacePixelBytes) {
        return false;
    }
    const std::uint8_t* pixels = reader.Take(pixelBytes);
    data.pixels = {pixels, pixels != nullptr ? pixelBytes : 0};
    return pixels != nullptr;
}

bool ParseUserRecord(FieldReader& reader, std::array<bool, CRegUserInfoMngr::kMaxUsers>& seen,
                     FileUser& user) {
    int dataCount = 0;
    if (!reader.Int(user.id) || user.id < 0 || user.id >= CRegUserInfoMngr::kMaxUsers || seen[user.id] ||
        !reader.Text(kNameFieldBytes, user.name) || !reader.Int(dataCount) || dataCount < 0 ||
        dataCount > CRegUserInfoMngr::kMaxDataPerUser) {
        return false;
    }
    seen[user.id] = true;
    std::array<bool, CRegUserInfoMngr::kMaxDataPerUser> seenData{};
    user.data.resize(static_cast<std::size_t>(dataCount));
    for (RegisteredFace& data : user.data) {
        if (!ParseDataRecord(reader, seenData, data)) {
            return false;
        }
    }
    return true;
}

// Everything the store will take from the file, checked before anything is changed.
int ParseAlbumFile(const std::vector<std::uint8_t>& bytes, AlbumFileContent& content) {
    FieldReader reader(bytes);
    AlbumData& album = content.album;
    const std::uint8_t* header = reader.Take(kAlbumHeaderSize);
    if (header == nullptr) {
        return -1;
    }
    album.size = ReadLe32(header);
    album.flag = header[4];
    const std::uint8_t* albumBytes = album.size >= 0 && album.size <= kMaxAlbumSize
                                         ? reader.Take(static_cast<std::size_t>(album.size))
                                         : nullptr;
    int userCount = 0;
    if (albumBytes == nullptr || !reader.Int(userCount) || !reader.Int(content.registCount) ||
        userCount < 0 || userCount > CRegUserInfoMngr::kMaxUsers) {
        return -1;
    }
    album.bytes.assign(albumBytes, albumBytes + album.size);
    std::array<bool, CRegUserInfoMngr::kMaxUsers> seenUsers{};
    content.users.resize(static_cast<std::size_t>(userCount));
    for (FileUser& user : content.users) {
        if (!ParseUserRecord(reader, seenUsers, user)) {
            return -1;
        }
        content.dataCount += static_cast<int>(user.data.size());
    }
    // Bytes after the last record are ignored: other writers may leave some.
    return 0;
}

// Builds the file's users as a store in `staged`'s folder. The files are flushed to the disk as
// they go, 250 faces at a time, while the bar still moves: the flush before the swap, with
// the bar standing still, then has little left to do.
int BuildStagedStore(CRegUserStore& store, const AlbumFileContent& content, CRegUserInfoMngr& staged) {
    const auto faceWritten = [&store] { store.AdvanceProgress(); };
    std::size_t unflushedFaces = 0;
    for (const FileUser& user : content.users) {
        if (staged.AddUserWithFaces(user.id, user.name, user.data, faceWritten) != 0) {
            return -1;
        }
        unflushedFaces += user.data.size();
        if (unflushedFaces >= kFacesPerFlush) {
            if (FlushFileSystemOf(staged.Folder()) != 0) {
                return -1;
            }
            unflushedFaces = 0;
        }
    }
    return 0;
}

// Copies regular files and real folders; anything else (links, devices) is left out.
int CopyTreeChecked(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (!fs::is_directory(target, ec)) {
        return -1;
    }
    if (!fs::is_directory(fs::symlink_status(source, ec))) {
        return 0;
    }
    for (fs::directory_iterator it(source, ec); it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            return -1;
        }
        const fs::file_status status = it->symlink_status(ec);
        const fs::path to = target / it->path().filename();
        if (fs::is_directory(status)) {
            if (CopyTreeChecked(it->path(), to) != 0) {
                return -1;
            }
        } else if (fs::is_regular_file(status) &&
                   !fs::copy_file(it->path(), to, fs::copy_options::overwrite_existing, ec)) {
            return -1;
        }
    }
    return ec ? -1 : 0;
}

int CopyIniInt(const char* fromKey, const char* toKey) {
    int value = 0;
    CFileOperate::ReadIniInt("Application", fromKey, 0, kApplicationIni, value);
    return CFileOperate::WriteIniInt("Application", toKey, kApplicationIni, value);
}

}  // namespace

int WriteAlbumFile(CRegUserStore& store, const AlbumData& album, const std::string& path) {
    if (!IsHoldable(album)) {
        return -1;
    }
    const CRegUserInfoMngr& users = store.Users();
    const std::vector<UserSummary> list = users.GetUserList();
    store.StartProgress(users.TotalDataCount());
    int registCount = 0;
    CFileOperate::ReadIniInt("Application", "RegistCount", 0, kApplicationIni, registCount);

    std::vector<std::uint8_t> bytes;
    AppendAlbumHeader(bytes, album);
    AppendLe32(bytes, static_cast<int>(list.size()));
    AppendLe32(bytes, registCount);
    for (const UserSummary& summary : list) {
        CUserInfo user;
        users.GetUserInfo(summary.id, user);
        AppendLe32(bytes, user.Id());
        AppendTextField(bytes, user.Name(), kMaxNameUnits, kNameFieldBytes);
        AppendLe32(bytes, static_cast<int>(user.Entries().size()));
        for (const UserDataEntry& entry : user.Entries()) {
            // A missing or unreadable image file goes out as a blank face.
            CImageData image;
            image.Allocate(kFaceSide, nullptr, kFaceSide, kFormatGrey8, 1);
            users.GetRegisteredImage(user.Id(), entry.dataNumber, image);
            AppendLe32(bytes, entry.dataNumber);
            AppendTextField(bytes, entry.registrationDate, kMaxDateUnits, kDateFieldBytes);
            AppendLe32(bytes, kFaceSide);
            AppendLe32(bytes, kFaceSide);
            AppendLe32(bytes, kFormatGrey8);
            bytes.insert(bytes.end(), image.Plane(0), image.Plane(0) + image.PlaneSize(0));
            store.AdvanceProgress();
        }
    }
    return CFileOperate::WriteWholeFile(path, bytes);
}

int ReadAlbumFile(CRegUserStore& store, const std::string& path, AlbumData& album) {
    CAlbumFileLoad load(store);
    return load.Apply(path, album);
}

CAlbumFileLoad::CAlbumFileLoad(CRegUserStore& store)
    : store_(store), previous_(store.Users().SetAsideFolder()) {}

CAlbumFileLoad::~CAlbumFileLoad() {
    if (applied_) {
        CFileOperate::DeleteFolderTree(previous_.Folder());
    }
}

int CAlbumFileLoad::Apply(const std::string& path, AlbumData& album) {
    if (applied_) {
        return -1;
    }
    store_.StartProgress(0);
    int result = -1;
    try {
        result = ApplySteps(path, album);
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (result != 0) {
        CFileOperate::DeleteFolderTree(store_.Users().StagingFolder());
        RestoreFiles();
    }
    store_.EndProgress();
    return result;
}

int CAlbumFileLoad::ApplySteps(const std::string& path, AlbumData& album) {
    std::vector<std::uint8_t> bytes;
    AlbumFileContent content;
    if (CFileOperate::ReadWholeFile(path, bytes, kMaxAlbumFileSize) != 0 ||
        ParseAlbumFile(bytes, content) != 0) {
        return -1;
    }
    previousBackup_.reset();
    std::error_code ec;
    if (fs::exists(kAlbumBackupPath, ec)) {
        std::vector<std::uint8_t> backup;
        if (CFileOperate::ReadWholeFile(kAlbumBackupPath, backup, kMaxBackupFileSize) != 0) {
            return -1;  // it could not be put back
        }
        previousBackup_ = std::move(backup);
    }
    CFileOperate::ReadIniInt("Application", "RegistCount", 0, kApplicationIni, previousRegistCount_);

    CRegUserInfoMngr& users = store_.Users();
    CRegUserInfoMngr staged(users.StagingFolder(), StoreWrites::kFlushOnReplace);
    CFileOperate::DeleteFolderTree(staged.Folder());
    store_.StartProgress(content.dataCount);
    if (BuildStagedStore(store_, content, staged) != 0 ||
        CFileOperate::WriteIniInt("Application", "RegistCount", kApplicationIni, content.registCount) != 0) {
        return -1;
    }
    registCountChanged_ = true;
    if (content.album.size >= kMinBackupAlbumSize) {
        backupChanged_ = WriteAlbumBackup(kAlbumBackupPath, content.album) == 0;
    } else {
        // The old store's album must not be sent with the new store's users.
        backupChanged_ = fs::remove(kAlbumBackupPath, ec) || !ec;
    }
    if (!backupChanged_ || users.ReplaceWith(std::move(staged), &previous_) != 0) {
        return -1;
    }
    applied_ = true;
    album = std::move(content.album);
    return 0;
}

int CAlbumFileLoad::Revert() {
    if (!applied_) {
        return -1;
    }
    // A store that had no folder gets one to swap back in.
    std::error_code ec;
    if ((!fs::is_directory(previous_.Folder(), ec) && previous_.SaveUserList() != 0) ||
        store_.Users().ReplaceWith(std::move(previous_)) != 0) {
        return -1;
    }
    applied_ = false;
    return RestoreFiles();
}

// RegistCount goes back through the ini layer, so that values written meanwhile by others stay.
int CAlbumFileLoad::RestoreFiles() {
    int result = 0;
    if (registCountChanged_ &&
        CFileOperate::WriteIniInt("Application", "RegistCount", kApplicationIni, previousRegistCount_) != 0) {
        result = -1;
    }
    if (backupChanged_) {
        std::error_code ec;
        if (previousBackup_ ? CFileOperate::WriteWholeFile(kAlbumBackupPath, *previousBackup_) != 0
                            : !fs::remove(kAlbumBackupPath, ec) && ec) {
            result = -1;
        }
    }
    registCountChanged_ = false;
    backupChanged_ = false;
    return result;
}

int WriteAlbumBackup(const std::string& path, const AlbumData& album) {
    if (album.size < kMinBackupAlbumSize || !IsHoldable(album)) {
        return -1;
    }
    std::vector<std::uint8_t> bytes;
    AppendAlbumHeader(bytes, album);
    return CFileOperate::WriteWholeFile(path, bytes);
}

int ReadAlbumBackup(const std::string& path, AlbumData& album) {
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadWholeFile(path, bytes, kMaxBackupFileSize) != 0 ||
        bytes.size() < kMinBackupFileSize) {
        return -1;
    }
    const int size = ReadLe32(bytes.data());
    if (size < 0 || size > kMaxAlbumSize ||
        static_cast<std::size_t>(size) > bytes.size() - kAlbumHeaderSize) {
        return -1;
    }
    album.size = size;
    album.flag = bytes[4];
    album.bytes.assign(bytes.begin() + kAlbumHeaderSize, bytes.begin() + kAlbumHeaderSize + size);
    return 0;
}

std::string ChooseAlbumBackupPath() {
    std::error_code ec;
    return fs::is_regular_file(kAlbumBackupPath, ec) ? kAlbumBackupPath : kSuppliedAlbumBackupPath;
}

int BackupRegistrationData() {
    CFileOperate::DeleteFolderTree(kDbBackupFolder);
    if (CopyTreeChecked(kDbFolder, kDbBackupFolder) != 0 ||
        CopyIniInt("RegistCount", "RegistCountBack") != 0) {
        // A partial copy restored later would lose registrations.
        CFileOperate::DeleteFolderTree(kDbBackupFolder);
        return -1;
    }
    return 0;
}

int RestoreRegistrationData(CRegUserStore& store) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(kDbBackupFolder, ec))) {
        return 0;
    }
    CFileOperate::DeleteFolderTree(kRestoreStaging);
    CFileOperate::DeleteFolderTree(kReplacedDb);
    if (CopyTreeChecked(kDbBackupFolder, kRestoreStaging) != 0 || FlushFileSystemOf(kRestoreStaging) != 0) {
        CFileOperate::DeleteFolderTree(kRestoreStaging);
        return -1;
    }
    const bool hadDb = fs::is_directory(kDbFolder, ec);
    if (hadDb) {
        fs::rename(kDbFolder, kReplacedDb, ec);
    }
    if (!ec) {
        fs::rename(kRestoreStaging, kDbFolder, ec);
        if (ec && hadDb) {
            std::error_code undo;
            fs::rename(kReplacedDb, kDbFolder, undo);
        }
    }
    if (ec) {
        CFileOperate::DeleteFolderTree(kRestoreStaging);
        return -1;
    }
    CFileOperate::DeleteFolderTree(kReplacedDb);
    const int countResult = CopyIniInt("RegistCountBack", "RegistCount");
    const int loadResult = store.Users().Load();
    return countResult == 0 && loadResult == 0 ? 0 : -1;
}

void FinishInterruptedRestore() {
    std::error_code ec;
    if (!fs::is_directory(kDbFolder, ec) && fs::is_directory(kReplacedDb, ec)) {
        fs::rename(kReplacedDb, kDbFolder, ec);
    } else {
        CFileOperate::DeleteFolderTree(kReplacedDb);
    }
    CFileOperate::DeleteFolderTree(kRestoreStaging);
}

}  // namespace qzm
