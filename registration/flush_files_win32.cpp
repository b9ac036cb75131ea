#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "files/utf8_path.h"
#include "registration/flush_files.h"

namespace qzm {
namespace {

// Windows has no flush of a whole file system or of a folder for a user program: every file is
// flushed by itself, which also writes the folder entries that name it.
bool FlushFile(const std::filesystem::path& file) {
    const HANDLE handle =
        ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::FlushFileBuffers(handle) != 0;
    ::CloseHandle(handle);
    return ok;
}

}  // namespace

int FlushFileSystemOf(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root = Utf8Path(folder);
    if (root.empty() || !fs::is_directory(root, ec))
        return -1;
    bool ok = true;
    fs::recursive_directory_iterator it(root, ec);
    if (ec)
        return -1;
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            ok = false;
            break;
        }
        if (it->is_regular_file(ec) && !FlushFile(it->path()))
            ok = false;
    }
    return ok ? 0 : -1;
}

}  // namespace qzm
