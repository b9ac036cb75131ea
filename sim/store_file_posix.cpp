// The store file written on POSIX systems: a temporary file beside it, flushed, renamed over it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/registration_store.h"

namespace qzm {

namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        if (error)
            *error = ErrnoText("cannot create a temporary file beside", path);
        return false;
    }
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (!ok && error)
        *error = ErrnoText("cannot write", temp);
    if (::close(fd) != 0 && ok) {
        ok = false;
        if (error)
            *error = ErrnoText("cannot write", temp);
    }
    // mkstemp makes the file private; the store is an ordinary data file.
    if (ok)
        ::chmod(temp.c_str(), 0644);
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        if (error)
            *error = ErrnoText("cannot replace", path);
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

}  // namespace qzm
