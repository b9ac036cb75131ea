// Album files (".qzc"), album backups (".qzb") and the copy of ./DB kept while a connection is open.
//
// Album file, little-endian, fields packed:
//   0       4      album size S (signed)
//   4       1      album flag
//   5       3      zero
//   8       S      album bytes (the module's own format, opaque here)
//   8+S     4      user count U
//   12+S    4      registration counter (RegistCount of ./Application.ini)
//   16+S    ...    U user records in the store's order
// User record, 264 bytes, then its data records in the user's order:
//   0 user number (4), 4 name (256: UTF-16LE, at most 127 units, rest zero), 260 data count D (4)
// Data record, 48 bytes and the pixels:
//   0 data number (4), 4 date "%Y/%m/%d" (32: UTF-16LE, at most 15 units, rest zero), 36 width (4),
//   40 height (4), 44 format code (4), 48 pixels (the byte count of that shape, at most that of a
//   registered face; the writer writes 64 x 64 grey, 4096 bytes)
// Every text field ends with a zero unit. Bytes after the last record are no part of the file.
//
// Album backup: album size S (4), album flag (1), three zero bytes, the S album bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registration/reg_user_info_mngr.h"

namespace qzm {

class CRegUserStore;

inline constexpr int kMaxAlbumSize = 816032;    // the largest album a module sends
inline constexpr int kMinBackupAlbumSize = 32;  // smaller albums are not worth keeping
inline constexpr std::size_t kMinBackupFileSize = 40;
// The largest files the readers take; larger ones are refused before they are read. An album file
// of the largest album and 500 users with ten registered faces each (header 8, counts 8, user
// records 264, data records 48 and 4096 pixel bytes):
inline constexpr std::size_t kMaxAlbumFileSize = 8 + kMaxAlbumSize + 8 + 500 * 264 + 5000 * (48 + 4096);
inline constexpr std::size_t kMaxBackupFileSize = 8 + kMaxAlbumSize;
inline constexpr char kSuppliedAlbumBackupPath[] = "./qzd00.qzb";  // an empty album, delivered
inline constexpr char kDbFolder[] = "./DB";
inline constexpr char kDbBackupFolder[] = "./DBBack";
inline constexpr char kApplicationIni[] = "./Application.ini";

// The module's album as the PC holds it. `size` bytes of `bytes` are the album.
struct AlbumData {
    int size = 0;
    std::uint8_t flag = 0;
    std::vector<std::uint8_t> bytes;
};

// Writes the album with every user and registered image of the store. The progress counts the
// data records. -1, nothing written, when the album's size is negative, above kMaxAlbumSize or
// beyond its bytes, or when the file cannot be written (an existing file then stays as it was).
int WriteAlbumFile(CRegUserStore& store, const AlbumData& album, const std::string& path);

// Replaces the store with the users of an album file, sets RegistCount from it, keeps its album in
// ./DB/qzcxx.qzb (none for an album below kMinBackupAlbumSize) and hands the album back. The whole
// file is checked first; the new store is built beside the old one and swapped in. -1 for a file
// that cannot be read or fails a check, or a write that fails: then the store, ./DB, RegistCount
// and `album` are as before. A file larger than kMaxAlbumFileSize is refused unread. The progress
// counts the data records and ends at 0.
int ReadAlbumFile(CRegUserStore& store, const std::string& path, AlbumData& album);

// An album file load for a caller that sends the album to the module afterwards: what the load
// replaced (the store, RegistCount, ./DB/qzcxx.qzb) is kept until the module has taken the album,
// so that the PC side can follow the module when it does not.
class CAlbumFileLoad {
public:
    explicit CAlbumFileLoad(CRegUserStore& store);
    // Drops the replaced store of a load that was not reverted.
    virtual ~CAlbumFileLoad();
    CAlbumFileLoad(const CAlbumFileLoad&) = delete;
    CAlbumFileLoad& operator=(const CAlbumFileLoad&) = delete;

    // As ReadAlbumFile; -1 once a load was applied.
    int Apply(const std::string& path, AlbumData& album);
    // Puts back the store, RegistCount and ./DB/qzcxx.qzb as they were before Apply. -1 when
    // nothing was applied or a step fails.
    int Revert();

private:
    int ApplySteps(const std::string& path, AlbumData& album);
    int RestoreFiles();

    CRegUserStore& store_;
    CRegUserInfoMngr previous_;  // the replaced store, in its set-aside folder
    int previousRegistCount_ = 0;
    std::optional<std::vector<std::uint8_t>> previousBackup_;  // none: there was no backup file
    bool registCountChanged_ = false;
    bool backupChanged_ = false;
    bool applied_ = false;
};

// -1, nothing written, for an album below kMinBackupAlbumSize or not as WriteAlbumFile accepts,
// or when the file cannot be written.
int WriteAlbumBackup(const std::string& path, const AlbumData& album);
// -1, `album` unchanged, for a file that cannot be read, is shorter than kMinBackupFileSize or
// longer than kMaxBackupFileSize, or whose size field is negative, above kMaxAlbumSize or beyond
// the file.
int ReadAlbumBackup(const std::string& path, AlbumData& album);

// The backup sent at connection start: ./DB/qzcxx.qzb, or the delivered one when it is missing.
std::string ChooseAlbumBackupPath();

// Copies ./DB (an empty folder when there is none) to ./DBBack and RegistCount to RegistCountBack.
// -1 when a copy fails; no partial ./DBBack is left then.
int BackupRegistrationData();

// Puts ./DBBack back as ./DB and RegistCountBack as RegistCount, then reloads the store. The copy
// is made beside ./DB and swapped in, so a failed copy leaves ./DB as it was (-1). Nothing happens
// (0) when there is no ./DBBack.
int RestoreRegistrationData(CRegUserStore& store);

// Puts ./DB back when a restore stopped between its renames; removes what such a stop left.
void FinishInterruptedRestore();

}  // namespace qzm
