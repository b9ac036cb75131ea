// The PC's copy of the face-recognition registrations: users (a number and a name) and, per user,
// up to ten registered faces with their date and 64 x 64 image. Every change is written through at
// once to a folder tree, so the program never holds unsaved changes:
//
//   <folder>/User.dat          one line per user, the user number as "%03d", in the store's order
//   <folder>/NNN/              one folder per user, NNN = user number "%03d"
//   <folder>/NNN/UserInfo.dat  "%d" user number, the name, the data numbers "3,0" (empty line: none)
//   <folder>/NNN/MM.dat        MM = data number "%02d": "%d" data number, date "%Y/%m/%d",
//                              "%d" image width, "%d" image height
//   <folder>/NNN/MM            the image: width, height, format code (32-bit little-endian each),
//                              then the pixel bytes
//
// Text files have CR LF line ends and are Windows-1252, or UTF-16LE with a byte-order mark when a
// name needs characters outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/image_data.h"

namespace qzm {

inline constexpr char kRegistDataFolder[] = "./DB/RegistData";
// The module's album as saved at the last connection end or album file load; it belongs to the
// registrations and goes when they all go.
inline constexpr char kAlbumBackupPath[] = "./DB/qzcxx.qzb";

// True when a name or date can be stored in a line of a text file: valid UTF-8 without line breaks
// or NUL characters (which would shift the lines or change how the file is decoded).
bool IsStorableText(const std::string& text);

// Byte count of an image's pixels as CImageData holds them with packed rows; -1 for a shape it
// cannot hold.
int PixelByteCount(int width, int height, int format, std::size_t& bytes);

struct UserDataEntry {
    int dataNumber = -1;
    std::string registrationDate;  // "%Y/%m/%d", local date of the registration
    int imageWidth = 0;
    int imageHeight = 0;
};

struct UserSummary {
    int id = -1;
    std::string name;
    int dataCount = 0;
};

// One user with its registered data, in the order they were added.
class CUserInfo {
public:
    static constexpr int kDefaultSlotCount = 10;

    explicit CUserInfo(int slotCount = kDefaultSlotCount);
    CUserInfo(const CUserInfo&) = default;
    CUserInfo& operator=(const CUserInfo&) = default;
    CUserInfo(CUserInfo&&) noexcept = default;
    CUserInfo& operator=(CUserInfo&&) noexcept = default;
    virtual ~CUserInfo() = default;

    int Id() const { return id_; }
    void SetId(int id) { id_ = id; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    const std::vector<UserDataEntry>& Entries() const { return entries_; }
    int SlotCount() const { return static_cast<int>(slotUsed_.size()); }
    bool IsSlotUsed(int dataNumber) const;
    // Lowest data number not in use, -1 when every slot is used.
    int FindFreeDataNumber() const;

    // Appends an entry. -1, nothing changed, when the number is outside the slots or already used.
    int AddEntry(const UserDataEntry& entry);
    // Removes the entry with that number; false when there is none.
    bool RemoveEntry(int dataNumber);
    void ClearEntries();

private:
    int id_ = -1;
    std::string name_;
    std::vector<UserDataEntry> entries_;
    std::vector<std::uint8_t> slotUsed_;
};

// How a store's files reach the disk. The live store writes and flushes every file as it changes,
// so no change is lost. A replacement store being built writes its files without waiting for the
// disk and its User.dat only once, when ReplaceWith flushes it before it is swapped in: nothing
// reads it before, and User.dat would otherwise be rewritten for each of up to 500 users.
enum class StoreWrites { kFlushEach, kFlushOnReplace };

// A registered face to be stored. The pixels (the image's first plane, as its image file keeps
// them) are not copied: whoever made the face keeps them, an image or an album file's bytes.
struct RegisteredFace {
    int dataNumber = 0;
    std::string date;  // "%Y/%m/%d"
    int width = 0;
    int height = 0;
    int format = 0;
    std::span<const std::uint8_t> pixels;

    static RegisteredFace Of(int dataNumber, const std::string& date, const CImageData& image) {
        return {dataNumber,     date,           image.Width(),
                image.Height(), image.Format(), {image.Plane(0), image.PlaneSize(0)}};
    }
};

class CRegUserInfoMngr {
public:
    static constexpr int kMaxUsers = 500;
    static constexpr int kMaxDataPerUser = CUserInfo::kDefaultSlotCount;

    explicit CRegUserInfoMngr(std::string folder = kRegistDataFolder,
                              StoreWrites writes = StoreWrites::kFlushEach);
    virtual ~CRegUserInfoMngr();
    CRegUserInfoMngr(CRegUserInfoMngr&&) noexcept;
    CRegUserInfoMngr& operator=(CRegUserInfoMngr&&) noexcept;

    const std::string& Folder() const { return folder_; }

    // Reads the store from its folder; a missing User.dat is an empty store (0). A user that cannot
    // be read (missing or damaged files, numbers out of range, a number listed twice) stops the
    // load with -1: the users read so far stay, and every number User.dat lists stays taken and
    // listed, so that a number the module may still hold data for is never given to a new user.
    int Load();

    // Adds a user without data. -1, nothing changed, when the number is outside 0..499 or taken,
    // the name is not valid UTF-8 or holds a line break, or a file cannot be written.
    int AddUser(int id, const std::string& name);
    // Adds a user with its faces at once: each face's files (faceWritten is called after each),
    // then the user's UserInfo.dat and User.dat once. -1, nothing changed, as for AddUser and
    // AddDataWithDate.
    int AddUserWithFaces(int id, const std::string& name, const std::vector<RegisteredFace>& faces,
                         const std::function<void()>& faceWritten);
    // Registers an image under a free data number, dated today. The image and its MM.dat are
    // written before UserInfo.dat lists them, so a failed write never leaves a listed entry without
    // its files. -1, nothing changed, for an unknown user, a number outside 0..9 or in use, an
    // image without pixels, or a failed write.
    int AddData(const CImageData& image, int userId, int dataNumber);
    int AddDataWithDate(const CImageData& image, int userId, int dataNumber, const std::string& date);
    // -1, nothing changed, for an unknown user, a name as refused by AddUser or a failed write.
    int RenameUser(int id, const std::string& name);

    std::vector<UserSummary> GetUserList() const;
    // Copies the user into `user`; -1 when the number is not in the store.
    int GetUserInfo(int id, CUserInfo& user) const;
    int TotalDataCount() const;

    // Removes the user and its folder. -1 for an unknown user or when User.dat cannot be written
    // (then nothing changed).
    int DeleteUser(int id);
    // Removes one entry with its files, or with -1 every entry (only UserInfo.dat stays in the
    // folder). -1, nothing changed, for an unknown user, a number outside -1..9 or a failed write.
    int DeleteData(int userId, int dataNumber);
    // Removes every user, also numbers kept taken by a failed load, and the album backup file.
    // -1 when a file could not be written.
    int DeleteAllUsers();

    // Lowest free data number of the user; -1 when all ten are used, -2 for an unknown user.
    int FindFreeDataNumber(int userId) const;
    // Lowest user number not taken, -1 when all 500 are.
    int FindFreeUserNumber() const;
    // False when a user with another number has exactly this name (letter case counts).
    bool IsNameUnique(const std::string& name, int id) const;

    // Copies the pixel bytes of the stored image into `image`'s first plane. -1, `image`
    // unchanged, when the file cannot be read or holds more bytes than that plane.
    int GetRegisteredImage(int userId, int dataNumber, CImageData& image) const;

    // Writes User.dat (creating the folder), also for an empty store.
    int SaveUserList() const;

    // Where a replacement store is built before ReplaceWith swaps it in.
    std::string StagingFolder() const { return folder_ + ".new"; }
    // Where a replaced store is kept while the module has not yet taken the replacement's album.
    std::string SetAsideFolder() const { return folder_ + ".previous"; }
    // Writes the other store's User.dat when it waited for the swap, flushes its files to the disk,
    // swaps its folder in for this store's folder and takes over its users. This store's folder and
    // users go to `previous` when one is given (a store for SetAsideFolder()), else they are deleted
    // once the new folder is in place. Load finishes a swap a crash broke off and drops a set-aside
    // store. -1, this store unchanged, when a write, the flush or a rename fails.
    int ReplaceWith(CRegUserInfoMngr&& staged, CRegUserInfoMngr* previous = nullptr);

    // Reads an image file (12-byte header: width, height, format code, then the pixel bytes of the
    // image's first plane). -1, `image` unchanged, when the file is shorter than its header and pixels, or
    // the shape is not one an image can hold.
    static int ReadImageFile(const std::string& path, CImageData& image);

private:
    std::string UserFolder(int id) const;
    std::string DataPath(int id, int dataNumber) const;
    CUserInfo* Find(int id) const;
    void FinishInterruptedReplace() const;
    int WriteLines(const std::string& path, const std::vector<std::string>& lines) const;
    int WriteImageFile(const std::string& path, const RegisteredFace& face) const;
    // A change of User.dat: written at once, or at the swap (kFlushOnReplace).
    int SaveUserListChange() const;
    int SaveUserInfo(const CUserInfo& user) const;
    int LoadUserInfo(int id, CUserInfo& user) const;
    int ReadDataFile(int userId, int dataNumber, UserDataEntry& entry) const;
    int WriteDataFiles(int userId, const RegisteredFace& face) const;
    // Lists the face in the user's entries and writes its files; -1, nothing changed, for a number
    // outside the slots or in use, a date that cannot be stored, no pixels or a failed write.
    int AddFace(CUserInfo& user, const RegisteredFace& face) const;
    void RemoveDataFiles(int userId, int dataNumber) const;
    void Clear();

    std::string folder_;
    StoreWrites writes_;
    std::vector<std::unique_ptr<CUserInfo>> users_;
    std::array<std::uint8_t, kMaxUsers> userNumberUsed_{};
    std::vector<int> userOrder_;
};

}  // namespace qzm
