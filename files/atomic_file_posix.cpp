#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "files/atomic_file_platform.h"
#include "files/utf8_path.h"

namespace qzm {
namespace {

std::atomic<unsigned> g_tempCounter{0};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// All the bytes, flushed to the disk; a full disk half-way when the test asks for it.
bool WriteFlushed(int fd, std::string_view bytes, WriteFault fault) {
    if (fault == WriteFault::kDiskFull) {
        WriteAll(fd, bytes.data(), bytes.size() / 2);
        return false;
    }
    return WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
}

// Whether writing into the existing file would be allowed. A file without its owner's write
// permission counts as read-only also for root, who would otherwise write through it.
bool MayWriteInPlace(const std::filesystem::path& path, const struct stat& status) {
    return (status.st_mode & S_IWUSR) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// For a folder that takes no new file: the file is rewritten where it is.
int WriteInPlace(const std::filesystem::path& path, std::string_view bytes, WriteFault fault) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const bool ok = WriteFlushed(fd, bytes, fault);
    return (::close(fd) == 0) && ok ? 0 : -1;
}

// Flushes the folder entry of a rename; best effort, some file systems refuse it.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

int ReplaceOnce(const std::string& pathText, std::string_view bytes, WriteFault fault) {
    namespace fs = std::filesystem;
    if (pathText.empty()) {
        return -1;
    }
    std::error_code ec;
    fs::path target = Utf8Path(pathText);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) {
            return -1;
        }
        target = resolved;
    }
    const fs::path folder = target.parent_path();
    const std::string name = PathUtf8(target.filename());
    if (name.empty() || fs::is_directory(target, ec)) {
        return -1;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !MayWriteInPlace(target, old)) {
        return -1;
    }

    // A leading dot and the ".tmp" end keep the file out of the "*.log", "*.ini" and "*.dat"
    // listings even if a crash leaves it behind.
    fs::path temp;
    int fd = -1;
    if (fault == WriteFault::kNoTempFile) {
        errno = EACCES;
    }
    for (int attempt = 0; attempt < 100 && fd < 0 && fault != WriteFault::kNoTempFile; ++attempt) {
        temp = folder / Utf8Path("." + name + "." + std::to_string(::getpid()) + "." +
                                 std::to_string(g_tempCounter.fetch_add(1)) + ".tmp");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        const bool folderRefuses = errno == EACCES || errno == EPERM;
        return exists && folderRefuses ? WriteInPlace(target, bytes, fault) : -1;
    }

    if (exists) {
        ::fchmod(fd, old.st_mode & 07777);
        // Only root may give a file to another owner, and a root run must not take the user's
        // files; otherwise the writer owns the new file, as any file it creates.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    }
    bool ok = WriteFlushed(fd, bytes, fault);
    ok = (::close(fd) == 0) && ok;
    if (fault == WriteFault::kCrashBeforeRename) {
        return -1;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) {
        SyncFolder(folder);
        return 0;
    }
    ::unlink(temp.c_str());
    return -1;
}

}  // namespace

int ReplaceFileContentsOnSystem(const std::string& path, std::string_view bytes, WriteFault fault,
                                std::string& reason) {
    // The failing step leaves its errno; a failure without one (a folder where the file should be)
    // leaves 0.
    errno = 0;
    const int result = ReplaceOnce(path, bytes, fault);
    if (result != 0 && errno != 0)
        reason = std::strerror(errno);
    return result;
}

}  // namespace qzm
