#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "files/file_operate.h"
#include "files/utf8_path.h"

namespace qzm {

int CFileOperate::ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                                std::size_t maxSize) {
    bytes.clear();
    if (path.empty()) {
        return -1;
    }
    // Not blocking: a pipe would wait for a writer before it could be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
              static_cast<std::uintmax_t>(status.st_size) <= maxSize;
    try {
        if (ok) {
            bytes.reserve(static_cast<std::size_t>(status.st_size));
        }
        std::uint8_t chunk[65536];
        while (ok) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n == 0) {
                break;
            }
            if (n < 0) {
                ok = errno == EINTR;
                continue;
            }
            ok = bytes.size() + static_cast<std::size_t>(n) <= maxSize;
            if (ok) {
                bytes.insert(bytes.end(), chunk, chunk + n);
            }
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ::close(fd);
    if (!ok) {
        std::vector<std::uint8_t>().swap(bytes);
        return -1;
    }
    return 0;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::string LastSystemErrorText() {
    return errno != 0 ? std::strerror(errno) : std::string();
}

}  // namespace qzm
