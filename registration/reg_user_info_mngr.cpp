#include "registration/reg_user_info_mngr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "files/file_operate.h"
#include "files/local_time.h"
#include "files/text_codec.h"
#include "files/utf8_path.h"
#include "registration/flush_files.h"
#include "registration/le_bytes.h"

namespace qzm {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kImageHeaderSize = 12;

std::string ZeroPadded(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

bool IsUserNumber(int id) {
    return id >= 0 && id < CRegUserInfoMngr::kMaxUsers;
}

std::string TodayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    LocalTime(now, local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d", &local);
    return text;
}

// A file of a store that is flushed later. The old file goes first: some file systems flush a file
// that is truncated and written again at once, which is the wait this write avoids.
int WriteUnflushed(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    fs::remove(Utf8Path(path), ec);
    std::FILE* file = OpenFileUtf8(path, "wb");
    if (file == nullptr) {
        return -1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        fs::remove(Utf8Path(path), ec);
    }
    return ok ? 0 : -1;
}

}  // namespace

bool IsStorableText(const std::string& text) {
    return IsValidUtf8(text) && text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

int PixelByteCount(int width, int height, int format, std::size_t& bytes) {
    int size = 0;
    if (CImgConv(width, height, format, format).GetConvertImgSize(&size, nullptr, nullptr, false) != 0) {
        return -1;
    }
    bytes = static_cast<std::size_t>(size);
    return 0;
}

// ---- CUserInfo ----

CUserInfo::CUserInfo(int slotCount) : slotUsed_(static_cast<std::size_t>(std::max(slotCount, 0)), 0) {}

bool CUserInfo::IsSlotUsed(int dataNumber) const {
    return dataNumber >= 0 && dataNumber < SlotCount() && slotUsed_[dataNumber] != 0;
}

int CUserInfo::FindFreeDataNumber() const {
    for (int n = 0; n < SlotCount(); ++n) {
        if (slotUsed_[n] == 0) {
            return n;
        }
    }
    return -1;
}

int CUserInfo::AddEntry(const UserDataEntry& entry) {
    if (entry.dataNumber < 0 || entry.dataNumber >= SlotCount() || slotUsed_[entry.dataNumber] != 0) {
        return -1;
    }
    entries_.push_back(entry);
    slotUsed_[entry.dataNumber] = 1;
    return 0;
}

bool CUserInfo::RemoveEntry(int dataNumber) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [dataNumber](const UserDataEntry& e) { return e.dataNumber == dataNumber; });
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    slotUsed_[dataNumber] = 0;
    return true;
}

void CUserInfo::ClearEntries() {
    entries_.clear();
    std::fill(slotUsed_.begin(), slotUsed_.end(), 0);
}

// ---- CRegUserInfoMngr ----

CRegUserInfoMngr::CRegUserInfoMngr(std::string folder, StoreWrites writes)
    : folder_(std::move(folder)), writes_(writes) {}
CRegUserInfoMngr::~CRegUserInfoMngr() = default;
CRegUserInfoMngr::CRegUserInfoMngr(CRegUserInfoMngr&&) noexcept = default;
CRegUserInfoMngr& CRegUserInfoMngr::operator=(CRegUserInfoMngr&&) noexcept = default;

int CRegUserInfoMngr::WriteLines(const std::string& path, const std::vector<std::string>& lines) const {
    return writes_ == StoreWrites::kFlushEach ? CFileOperate::WriteTextLines(path, lines)
                                              : WriteUnflushed(path, CFileOperate::EncodeTextLines(lines));
}

std::string CRegUserInfoMngr::UserFolder(int id) const {
    return folder_ + "/" + ZeroPadded(id, 3);
}

std::string CRegUserInfoMngr::DataPath(int id, int dataNumber) const {
    return UserFolder(id) + "/" + ZeroPadded(dataNumber, 2);
}

CUserInfo* CRegUserInfoMngr::Find(int id) const {
    for (const auto& user : users_) {
        if (user->Id() == id) {
            return user.get();
        }
    }
    return nullptr;
}

void CRegUserInfoMngr::Clear() {
    users_.clear();
    userNumberUsed_.fill(0);
    userOrder_.clear();
}

void CRegUserInfoMngr::FinishInterruptedReplace() const {
    std::error_code ec;
    const std::string old = folder_ + ".old";
    if (!fs::is_directory(Utf8Path(folder_), ec)) {
        // A swap stopped between its two renames. A set-aside store is the one the module holds:
        // it had not yet been sent the new album, or it refused it.
        for (const std::string& kept : {SetAsideFolder(), old}) {
            if (fs::is_directory(Utf8Path(kept), ec)) {
                fs::rename(Utf8Path(kept), Utf8Path(folder_), ec);
                break;
            }
        }
    }
    CFileOperate::DeleteFolderTree(old);
    CFileOperate::DeleteFolderTree(SetAsideFolder());
    CFileOperate::DeleteFolderTree(StagingFolder());
}

int CRegUserInfoMngr::Load() {
    Clear();
    FinishInterruptedReplace();
    const std::string listPath = folder_ + "/User.dat";
    std::error_code ec;
    if (!fs::exists(Utf8Path(listPath), ec)) {
        return 0;
    }
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(listPath, lines) != 0) {
        return -1;
    }
    std::vector<int> listed;
    for (const std::string& line : lines) {
        const int id = ParseLeadingInt(line);
        listed.push_back(id);
        if (IsUserNumber(id) && userNumberUsed_[id] == 0) {
            userNumberUsed_[id] = 1;
            userOrder_.push_back(id);
        }
    }
    std::array<bool, kMaxUsers> loaded{};
    for (const int id : listed) {
        if (!IsUserNumber(id) || loaded[id]) {
            return -1;
        }
        auto user = std::make_unique<CUserInfo>(kMaxDataPerUser);
        if (LoadUserInfo(id, *user) != 0) {
            return -1;
        }
        loaded[id] = true;
        users_.push_back(std::move(user));
    }
    return 0;
}

int CRegUserInfoMngr::SaveUserList() const {
    if (CFileOperate::CreateFolderTree(folder_) != 0) {
        return -1;
    }
    std::vector<std::string> lines;
    for (const int id : userOrder_) {
        lines.push_back(ZeroPadded(id, 3));
    }
    return WriteLines(folder_ + "/User.dat", lines);
}

int CRegUserInfoMngr::SaveUserListChange() const {
    return writes_ == StoreWrites::kFlushOnReplace ? 0 : SaveUserList();
}

int CRegUserInfoMngr::SaveUserInfo(const CUserInfo& user) const {
    if (CFileOperate::CreateFolderTree(UserFolder(user.Id())) != 0) {
        return -1;
    }
    std::string numbers;
    for (const UserDataEntry& entry : user.Entries()) {
        if (!numbers.empty()) {
            numbers += ',';
        }
        numbers += std::to_string(entry.dataNumber);
    }
    return WriteLines(UserFolder(user.Id()) + "/UserInfo.dat",
                      {std::to_string(user.Id()), user.Name(), numbers});
}

int CRegUserInfoMngr::LoadUserInfo(int id, CUserInfo& user) const {
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(UserFolder(id) + "/UserInfo.dat", lines) != 0 || lines.size() < 3) {
        return -1;
    }
    // A file of another user (copied by hand) would give two users the same number.
    if (ParseLeadingInt(lines[0]) != id) {
        return -1;
    }
    CUserInfo loaded(kMaxDataPerUser);
    loaded.SetId(id);
    loaded.SetName(lines[1]);
    for (const std::string& piece : SplitText(lines[2], ",")) {
        if (piece.empty()) {
            continue;
        }
        UserDataEntry entry;
        const int dataNumber = ParseLeadingInt(piece);
        if (dataNumber < 0 || dataNumber >= kMaxDataPerUser || ReadDataFile(id, dataNumber, entry) != 0 ||
            loaded.AddEntry(entry) != 0) {
            return -1;
        }
    }
    user = loaded;
    return 0;
}

int CRegUserInfoMngr::ReadDataFile(int userId, int dataNumber, UserDataEntry& entry) const {
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(DataPath(userId, dataNumber) + ".dat", lines) != 0 || lines.size() < 4) {
        return -1;
    }
    entry = {dataNumber, lines[1], ParseLeadingInt(lines[2]), ParseLeadingInt(lines[3])};
    return 0;
}

int CRegUserInfoMngr::WriteDataFiles(int userId, const RegisteredFace& face) const {
    if (CFileOperate::CreateFolderTree(UserFolder(userId)) != 0) {
        return -1;
    }
    const std::string path = DataPath(userId, face.dataNumber);
    if (WriteImageFile(path, face) != 0) {
        return -1;
    }
    if (WriteLines(path + ".dat", {std::to_string(face.dataNumber), face.date, std::to_string(face.width),
                                   std::to_string(face.height)}) != 0) {
        RemoveDataFiles(userId, face.dataNumber);
        return -1;
    }
    return 0;
}

int CRegUserInfoMngr::AddFace(CUserInfo& user, const RegisteredFace& face) const {
    if (!IsStorableText(face.date) || face.pixels.empty() ||
        user.AddEntry({face.dataNumber, face.date, face.width, face.height}) != 0) {
        return -1;
    }
    if (WriteDataFiles(user.Id(), face) != 0) {
        user.RemoveEntry(face.dataNumber);
        return -1;
    }
    return 0;
}

void CRegUserInfoMngr::RemoveDataFiles(int userId, int dataNumber) const {
    std::error_code ec;
    const std::string path = DataPath(userId, dataNumber);
    fs::remove(Utf8Path(path), ec);
    fs::remove(Utf8Path(path + ".dat"), ec);
}

int CRegUserInfoMngr::AddUser(int id, const std::string& name) {
    return AddUserWithFaces(id, name, {}, {});
}

int CRegUserInfoMngr::AddUserWithFaces(int id, const std::string& name,
                                       const std::vector<RegisteredFace>& faces,
                                       const std::function<void()>& faceWritten) {
    if (!IsUserNumber(id) || userNumberUsed_[id] != 0 || Find(id) != nullptr || !IsStorableText(name)) {
        return -1;
    }
    auto user = std::make_unique<CUserInfo>(kMaxDataPerUser);
    user->SetId(id);
    user->SetName(name);
    for (const RegisteredFace& face : faces) {
        if (AddFace(*user, face) != 0) {
            CFileOperate::DeleteFolderTree(UserFolder(id));
            return -1;
        }
        if (faceWritten) {
            faceWritten();
        }
    }
    if (SaveUserInfo(*user) != 0) {
        CFileOperate::DeleteFolderTree(UserFolder(id));
        return -1;
    }
    users_.push_back(std::move(user));
    userNumberUsed_[id] = 1;
    userOrder_.push_back(id);
    if (SaveUserListChange() != 0) {
        // Not listed in User.dat, the user would vanish at the next start.
        users_.pop_back();
        userNumberUsed_[id] = 0;
        userOrder_.pop_back();
        CFileOperate::DeleteFolderTree(UserFolder(id));
        return -1;
    }
    return 0;
}

int CRegUserInfoMngr::AddData(const CImageData& image, int userId, int dataNumber) {
    return AddDataWithDate(image, userId, dataNumber, TodayText());
}

int CRegUserInfoMngr::AddDataWithDate(const CImageData& image, int userId, int dataNumber,
                                      const std::string& date) {
    CUserInfo* user = Find(userId);
    if (user == nullptr || AddFace(*user, RegisteredFace::Of(dataNumber, date, image)) != 0) {
        return -1;
    }
    if (SaveUserInfo(*user) != 0) {
        user->RemoveEntry(dataNumber);
        RemoveDataFiles(userId, dataNumber);
        return -1;
    }
    return 0;
}

int CRegUserInfoMngr::RenameUser(int id, const std::string& name) {
    CUserInfo* user = Find(id);
    if (user == nullptr || !IsStorableText(name)) {
        return -1;
    }
    const std::string previous = user->Name();
    user->SetName(name);
    if (SaveUserInfo(*user) != 0) {
        user->SetName(previous);
        return -1;
    }
    return 0;
}

std::vector<UserSummary> CRegUserInfoMngr::GetUserList() const {
    std::vector<UserSummary> list;
    for (const auto& user : users_) {
        list.push_back({user->Id(), user->Name(), static_cast<int>(user->Entries().size())});
    }
    return list;
}

int CRegUserInfoMngr::GetUserInfo(int id, CUserInfo& user) const {
    const CUserInfo* found = Find(id);
    if (found == nullptr) {
        return -1;
    }
    user = *found;
    return 0;
}

int CRegUserInfoMngr::TotalDataCount() const {
    int count = 0;
    for (const auto& user : users_) {
        count += static_cast<int>(user->Entries().size());
    }
    return count;
}

int CRegUserInfoMngr::DeleteUser(int id) {
    const auto it =
        std::find_if(users_.begin(), users_.end(), [id](const auto& user) { return user->Id() == id; });
    if (it == users_.end()) {
        return -1;
    }
    // User.dat first: a listed user without its folder would break the next start.
    const std::vector<int> previousOrder = userOrder_;
    userOrder_.erase(std::remove(userOrder_.begin(), userOrder_.end(), id), userOrder_.end());
    userNumberUsed_[id] = 0;
    if (SaveUserListChange() != 0) {
        userOrder_ = previousOrder;
        userNumberUsed_[id] = 1;
        return -1;
    }
    users_.erase(it);
    CFileOperate::DeleteFolderTree(UserFolder(id));
    return 0;
}

int CRegUserInfoMngr::DeleteData(int userId, int dataNumber) {
    CUserInfo* user = Find(userId);
    if (user == nullptr || dataNumber < -1 || dataNumber >= user->SlotCount()) {
        return -1;
    }
    const CUserInfo previous = *user;
    if (dataNumber == -1) {
        user->ClearEntries();
    } else {
        user->RemoveEntry(dataNumber);
    }
    if (SaveUserInfo(*user) != 0) {
        *user = previous;
        return -1;
    }
    if (dataNumber != -1) {
        RemoveDataFiles(userId, dataNumber);
        return 0;
    }
    std::vector<std::string> names;
    CFileOperate::ListFiles(UserFolder(userId) + "/*", names);
    std::error_code ec;
    for (const std::string& name : names) {
        if (name != "UserInfo.dat") {
            fs::remove(Utf8Path(UserFolder(userId) + "/" + name), ec);
        }
    }
    return 0;
}

int CRegUserInfoMngr::DeleteAllUsers() {
    int result = 0;
    for (const UserSummary& user : GetUserList()) {
        if (DeleteUser(user.id) != 0) {
            result = -1;
        }
    }
    // Numbers kept taken by a failed load; their folders may hold whatever could not be read.
    if (result == 0 && !userOrder_.empty()) {
        const std::vector<int> reserved = userOrder_;
        userOrder_.clear();
        if (SaveUserListChange() != 0) {
            userOrder_ = reserved;
            result = -1;
        } else {
            for (const int id : reserved) {
                userNumberUsed_[id] = 0;
                CFileOperate::DeleteFolderTree(UserFolder(id));
            }
        }
    }
    std::error_code ec;
    fs::remove(Utf8Path(kAlbumBackupPath), ec);
    return result;
}

int CRegUserInfoMngr::FindFreeDataNumber(int userId) const {
    const CUserInfo* user = Find(userId);
    return user == nullptr ? -2 : user->FindFreeDataNumber();
}

int CRegUserInfoMngr::FindFreeUserNumber() const {
    for (int id = 0; id < kMaxUsers; ++id) {
        if (userNumberUsed_[id] == 0) {
            return id;
        }
    }
    return -1;
}

bool CRegUserInfoMngr::IsNameUnique(const std::string& name, int id) const {
    return std::none_of(users_.begin(), users_.end(),
                        [&](const auto& user) { return user->Id() != id && user->Name() == name; });
}

int CRegUserInfoMngr::GetRegisteredImage(int userId, int dataNumber, CImageData& image) const {
    if (!IsUserNumber(userId) || dataNumber < 0 || dataNumber >= kMaxDataPerUser) {
        return -1;
    }
    CImageData stored;
    if (ReadImageFile(DataPath(userId, dataNumber), stored) != 0 ||
        stored.PlaneSize(0) > image.PlaneSize(0)) {
        return -1;
    }
    if (stored.PlaneSize(0) > 0) {
        std::memcpy(image.Plane(0), stored.Plane(0), stored.PlaneSize(0));
    }
    return 0;
}

int CRegUserInfoMngr::ReplaceWith(CRegUserInfoMngr&& staged, CRegUserInfoMngr* previous) {
    if (&staged == this || staged.folder_ == folder_ ||
        (previous != nullptr && (previous == this || previous == &staged || previous->folder_ == folder_ ||
                                 previous->folder_ == staged.folder_)) ||
        (staged.writes_ == StoreWrites::kFlushOnReplace &&
         (staged.SaveUserList() != 0 || FlushFileSystemOf(staged.folder_) != 0))) {
        return -1;
    }
    std::error_code ec;
    const std::string aside = previous != nullptr ? previous->folder_ : folder_ + ".old";
    CFileOperate::DeleteFolderTree(aside);
    const bool hadFolder = fs::is_directory(Utf8Path(folder_), ec);
    if (hadFolder) {
        fs::rename(Utf8Path(folder_), Utf8Path(aside), ec);
        if (ec) {
            return -1;
        }
    }
    fs::rename(Utf8Path(staged.folder_), Utf8Path(folder_), ec);
    if (ec) {
        if (hadFolder) {
            fs::rename(Utf8Path(aside), Utf8Path(folder_), ec);
        }
        return -1;
    }
    if (previous != nullptr) {
        previous->users_ = std::move(users_);
        previous->userNumberUsed_ = userNumberUsed_;
        previous->userOrder_ = std::move(userOrder_);
    } else {
        CFileOperate::DeleteFolderTree(aside);
    }
    users_ = std::move(staged.users_);
    userNumberUsed_ = staged.userNumberUsed_;
    userOrder_ = std::move(staged.userOrder_);
    staged.Clear();
    return 0;
}

int CRegUserInfoMngr::WriteImageFile(const std::string& path, const RegisteredFace& face) const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kImageHeaderSize + face.pixels.size());
    AppendLe32(bytes, face.width);
    AppendLe32(bytes, face.height);
    AppendLe32(bytes, face.format);
    bytes.insert(bytes.end(), face.pixels.begin(), face.pixels.end());
    if (writes_ == StoreWrites::kFlushEach) {
        return CFileOperate::WriteWholeFile(path, bytes);
    }
    return WriteUnflushed(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

int CRegUserInfoMngr::ReadImageFile(const std::string& path, CImageData& image) {
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadWholeFile(path, bytes) != 0 || bytes.size() < kImageHeaderSize) {
        return -1;
    }
    const int width = ReadLe32(bytes.data());
    const int height = ReadLe32(bytes.data() + 4);
    const int format = ReadLe32(bytes.data() + 8);
    std::size_t pixelBytes = 0;
    if (PixelByteCount(width, height, format, pixelBytes) != 0 ||
        bytes.size() - kImageHeaderSize < pixelBytes) {
        return -1;
    }
    const std::uint8_t* planes[CImageData::kPlaneCount] = {bytes.data() + kImageHeaderSize, nullptr, nullptr};
    CImageData loaded;
    if (loaded.Allocate(width, planes, height, format, 1) != 0) {
        return -1;
    }
    image = std::move(loaded);
    return 0;
}

}  // namespace qzm
