// Feeds arbitrary album files to the album file reader over a small store. A refused file must
// leave the store, every file under ./DB, ./Application.ini and the caller's album exactly as they
// were; an accepted one must give a store the writer can save again. Runs in its own temporary
// working folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "files/file_operate.h"
#include "fuzz/fuzz_folder.h"
#include "image/img_conv.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"

namespace fs = std::filesystem;
using namespace qzm;
using namespace qzm::fuzz;

namespace {

std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator("DB")) {
        files[entry.path().string()] = entry.is_directory() ? "/" : ReadBytes(entry.path());
    }
    files["Application.ini"] = ReadBytes("Application.ini");
    return files;
}

std::vector<UserSummary> UserList(const CRegUserStore& store) {
    return store.Users().GetUserList();
}

bool SameUsers(const std::vector<UserSummary>& a, const std::vector<UserSummary>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].name != b[i].name || a[i].dataCount != b[i].dataCount) {
            return false;
        }
    }
    return true;
}

struct Baseline {
    Baseline() {
        EnterOwnFolder("qzm-album-file-fuzz");
        Build();
        files = Snapshot();
        users = UserList(store);
    }

    void Build() {
        CImageData face;
        face.Allocate(64, nullptr, 64, kFormatGrey8, 1);
        CRegUserInfoMngr& mngr = store.Users();
        Require(mngr.AddUser(0, "Base") == 0 && mngr.AddDataWithDate(face, 0, 1, "2024/01/01") == 0 &&
                    mngr.AddUser(3, "\xC3\x9Cmlaut") == 0 &&
                    mngr.AddDataWithDate(face, 3, 0, "2024/01/02") == 0,
                "cannot build the store");
        CFileOperate::WriteIniInt("Application", "RegistCount", kApplicationIni, 2);
        AlbumData album{40, 1, std::vector<std::uint8_t>(40, 0x11)};
        Require(WriteAlbumBackup(kAlbumBackupPath, album) == 0, "cannot write the backup");
    }

    // Puts the baseline back after an accepted file replaced it.
    void Reset() {
        fs::remove_all("DB");
        for (const auto& [path, bytes] : files) {
            if (bytes == "/") {
                fs::create_directories(path);
            } else {
                fs::create_directories(fs::path(path).parent_path().empty() ? "."
                                                                            : fs::path(path).parent_path());
                std::ofstream(path, std::ios::binary) << bytes;
            }
        }
        Require(store.Users().Load() == 0, "cannot reload the baseline");
    }

    CRegUserStore store;
    std::map<std::string, std::string> files;
    std::vector<UserSummary> users;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Baseline baseline;
    fs::remove("input.qzc");
    std::ofstream("input.qzc", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    AlbumData album{3, 9, {1, 2, 3}};
    const int result = ReadAlbumFile(baseline.store, "input.qzc", album);
    Require(baseline.store.DoneCount() == 0, "a load left its progress behind");
    if (result != 0) {
        Require(album.size == 3 && album.flag == 9 && album.bytes == std::vector<std::uint8_t>{1, 2, 3},
                "refused file changed the album");
        Require(SameUsers(UserList(baseline.store), baseline.users), "refused file changed the store");
        Require(Snapshot() == baseline.files, "refused file changed the files");
        return 0;
    }
    Require(album.size >= 0 && album.size <= kMaxAlbumSize && album.bytes.size() == std::size_t(album.size),
            "accepted album out of range");
    Require(UserList(baseline.store).size() <= CRegUserInfoMngr::kMaxUsers, "too many users");
    CRegUserInfoMngr reloaded;
    Require(reloaded.Load() == 0 && SameUsers(reloaded.GetUserList(), UserList(baseline.store)),
            "accepted store does not load back");
    Require(WriteAlbumFile(baseline.store, album, "output.qzc") == 0, "accepted store cannot be saved");
    baseline.Reset();
    return 0;
}
