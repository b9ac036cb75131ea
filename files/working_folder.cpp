#include "files/working_folder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "files/atomic_file.h"
#include "files/file_operate.h"
#include "files/utf8_path.h"

namespace qzm {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool HoldsDeliveredFile(const fs::path& folder) {
    for (const char* name : kDeliveredFiles) {
        if (Exists(folder / name))
            return true;
    }
    return false;
}

// Copies `source` to `target` unless a file of that name is there. The copy is written completely
// under a temporary name and then linked to its own name; the link fails when the name has been
// taken meanwhile, so the user's file always wins and a copy cut short never carries the name.
bool CopyIfMissing(const fs::path& source, const fs::path& target) {
    if (Exists(target))
        return true;
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadWholeFile(PathUtf8(source), bytes) != 0)
        return false;
    const fs::path temp = target.parent_path() / Utf8Path("." + PathUtf8(target.filename()) + "." +
                                                          std::to_string(std::random_device{}()) + ".copy");
    if (ReplaceFileContents(PathUtf8(temp),
                            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) != 0)
        return false;
    std::error_code ec;
    fs::create_hard_link(temp, target, ec);
    const bool linked = !ec || ec == std::errc::file_exists;
    fs::remove(temp, ec);
    return linked;
}

}  // namespace

int PrepareWorkingFolder(const std::string& programFolder, const std::vector<std::string>& dataFolders,
                         const std::string& userDataFolder, WorkingFolderChoice& choice) {
    choice = {};
    if (!programFolder.empty() && IsWritableFolder(programFolder) &&
        HoldsDeliveredFile(Utf8Path(programFolder))) {
        choice.folder = programFolder;
        return kWorkingFolderOk;
    }
    if (userDataFolder.empty() || CFileOperate::CreateFolderTree(userDataFolder) != 0)
        return kWorkingFolderNoUserFolder;
    choice.folder = userDataFolder;
    choice.perUser = true;
    int result = kWorkingFolderOk;
    for (const char* name : kDeliveredFiles) {
        const fs::path target = Utf8Path(userDataFolder) / name;
        if (Exists(target))
            continue;
        bool copied = false;
        for (const std::string& dataFolder : dataFolders) {
            const fs::path source = Utf8Path(dataFolder) / name;
            if (Exists(source)) {
                copied = CopyIfMissing(source, target);
                break;
            }
        }
        if (copied)
            ++choice.copied;
        else
            result = kWorkingFolderIncomplete;
    }
    return result;
}

std::string UserDataFolder(std::string_view xdgDataHome, std::string_view home) {
    // A relative XDG_DATA_HOME is invalid and to be ignored.
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/')
        return PathUtf8(Utf8Path(xdgDataHome) / "qzm-demo");
    if (home.empty())
        return {};
    return PathUtf8(Utf8Path(home) / ".local" / "share" / "qzm-demo");
}

std::vector<std::string> DeliveredDataFolders(const std::string& programFolder) {
    if (programFolder.empty())
        return {};
    // QZM_DATA_FROM_PROGRAM: the installed data folder relative to the installed executables; the
    // program's own folder where the files are installed beside it (Windows).
    const auto folderOf = [](const fs::path& path) {
        const fs::path normal = path.lexically_normal();
        return normal.has_filename() ? normal : normal.parent_path();  // without a final separator
    };
    const fs::path installed = folderOf(Utf8Path(programFolder) / QZM_DATA_FROM_PROGRAM);
    if (installed == folderOf(Utf8Path(programFolder)))
        return {programFolder};
    return {programFolder, PathUtf8(installed)};
}

}  // namespace qzm
