#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace qzm {
namespace {

std::atomic<WriteFault> g_nextFault{WriteFault::kNone};
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

// Flushes the folder entry of a rename; best effort, some file systems refuse it.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void InjectWriteFaultForTest(WriteFault fault) {
    g_nextFault.store(fault);
}

int ReplaceFileContents(const std::string& pathText, std::string_view bytes) {
    namespace fs = std::filesystem;
    const WriteFault fault = g_nextFault.exchange(WriteFault::kNone);
    if (pathText.empty()) {
        return -1;
    }
    std::error_code ec;
    fs::path target(pathText);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) {
            return -1;
        }
        target = resolved;
    }
    const fs::path folder = target.parent_path();
    const std::string name = target.filename().string();
    if (name.empty() || fs::is_directory(target, ec)) {
        return -1;
    }

    // A leading dot and the ".tmp" end keep the file out of the "*.log", "*.ini" and "*.dat"
    // listings even if a crash leaves it behind.
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / ("." + name + "." + std::to_string(::getpid()) + "." +
                         std::to_string(g_tempCounter.fetch_add(1)) + ".tmp");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
    }
    if (fd < 0) {
        return -1;
    }

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    }

    bool ok;
    if (fault == WriteFault::kDiskFull) {
        WriteAll(fd, bytes.data(), bytes.size() / 2);
        ok = false;
    } else {
        ok = WriteAll(fd, bytes.data(), bytes.size());
    }
    ok = ok && ::fsync(fd) == 0;
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

}  // namespace qzm
