#include "sim/pty_module_host.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace qzm {

namespace {

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void SetError(std::string* errorText, std::string text) {
    if (errorText != nullptr)
        *errorText = std::move(text);
}

// The master side of the pseudo-terminal, non-blocking, with an eventfd that wakes the loop. Owns both
// descriptors and closes them when the loop is done with it.
class PtyMasterLine : public IModuleLine {
public:
    PtyMasterLine(int masterFd, int wakeFd) : masterFd_(masterFd), wakeFd_(wakeFd) {}
    ~PtyMasterLine() override {
        ::close(masterFd_);
        ::close(wakeFd_);
    }

    Ready Wait(bool wantRead, bool wantWrite, int timeoutMs) override {
        pollfd fds[2] = {
            {wakeFd_, POLLIN, 0},
            {masterFd_, static_cast<short>((wantRead ? POLLIN : 0) | (wantWrite ? POLLOUT : 0)), 0}};
        // The master is watched only for what the loop wants: a hung-up master would otherwise wake
        // the loop again and again while the line rate holds its reading back.
        const int count = wantRead || wantWrite ? 2 : 1;
        Ready ready;
        const int n = ::poll(fds, count, timeoutMs);
        if (n < 0) {
            if (errno != EINTR)
                ready.failed = true;
            return ready;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t counter = 0;
            [[maybe_unused]] ssize_t got = ::read(wakeFd_, &counter, sizeof counter);
        }
        if (count == 2) {
            ready.failed = (fds[1].revents & (POLLERR | POLLNVAL)) != 0;
            ready.readable = (fds[1].revents & (POLLIN | POLLHUP)) != 0;
            ready.writable = (fds[1].revents & POLLOUT) != 0;
        }
        return ready;
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        for (;;) {
            const ssize_t n = ::read(masterFd_, buffer, capacity);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return 0;
            // End of file or an error (EIO once the slave side is gone for good).
            return n > 0 ? static_cast<long>(n) : -1;
        }
    }

    long Write(const std::uint8_t* bytes, std::size_t length) override {
        const ssize_t n = ::write(masterFd_, bytes, length);
        if (n >= 0)
            return static_cast<long>(n);
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }

    void Wake() override {
        std::uint64_t one = 1;
        // A full counter already means "wake up"; nothing else can fail on a valid eventfd.
        [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }

private:
    const int masterFd_;
    const int wakeFd_;
};

}  // namespace

CPtyModuleHost::CPtyModuleHost(ModuleIdentity identity) : CServedModule(std::move(identity)) {}

CPtyModuleHost::~CPtyModuleHost() {
    Stop();
}

std::string CPtyModuleHost::SlavePath() const {
    std::lock_guard lock(lifecycleMutex_);
    return slavePath_;
}

std::string CPtyModuleHost::LinkPath() const {
    std::lock_guard lock(lifecycleMutex_);
    return linkPath_;
}

std::string CPtyModuleHost::OpenPath() const {
    std::lock_guard lock(lifecycleMutex_);
    return linkPath_.empty() ? slavePath_ : linkPath_;
}

void CPtyModuleHost::CloseAll() {
    if (!linkPath_.empty()) {
        char target[4096];
        ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
            ::unlink(linkPath_.c_str());
    }
    if (slaveFd_ >= 0)
        ::close(slaveFd_);
    slaveFd_ = -1;
    slavePath_.clear();
    linkPath_.clear();
}

bool CPtyModuleHost::Start(const std::string& linkPath, std::string* errorText) {
    std::lock_guard lock(lifecycleMutex_);
    if (server_.Running()) {
        SetError(errorText, "the emulator is already running on " + slavePath_);
        return false;
    }
    int masterFd = -1;
    int wakeFd = -1;
    auto fail = [&](std::string text) {
        SetError(errorText, std::move(text));
        for (int fd : {masterFd, wakeFd}) {
            if (fd >= 0)
                ::close(fd);
        }
        CloseAll();
        return false;
    };

    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd < 0)
        return fail(ErrnoText("posix_openpt"));
    if (::fcntl(masterFd, F_SETFD, FD_CLOEXEC) != 0)
        return fail(ErrnoText("fcntl(FD_CLOEXEC)"));
    if (::grantpt(masterFd) != 0)
        return fail(ErrnoText("grantpt"));
    if (::unlockpt(masterFd) != 0)
        return fail(ErrnoText("unlockpt"));
    char name[256];
    if (::ptsname_r(masterFd, name, sizeof name) != 0)
        return fail(ErrnoText("ptsname_r"));
    slavePath_ = name;

    // Kept open for the whole run, so that the PC side can close and reopen the slave without a hang-up.
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0)
        return fail(ErrnoText(("open " + slavePath_).c_str()));
    termios tio{};
    if (::tcgetattr(slaveFd_, &tio) != 0)
        return fail(ErrnoText("tcgetattr"));
    ::cfmakeraw(&tio);
    if (::tcsetattr(slaveFd_, TCSANOW, &tio) != 0)
        return fail(ErrnoText("tcsetattr"));

    int flags = ::fcntl(masterFd, F_GETFL);
    if (flags < 0 || ::fcntl(masterFd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(ErrnoText("fcntl(O_NONBLOCK)"));
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
        return fail(ErrnoText("eventfd"));

    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                return fail(linkPath + " exists and is not a symbolic link");
            if (::unlink(linkPath.c_str()) != 0)
                return fail(ErrnoText(("unlink " + linkPath).c_str()));
        }
        if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
            return fail(ErrnoText(("symlink " + linkPath).c_str()));
        }
        linkPath_ = linkPath;
    }

    // From here the line owns both descriptors (and closes them, also when the server cannot start).
    auto line = std::make_unique<PtyMasterLine>(masterFd, wakeFd);
    masterFd = wakeFd = -1;
    if (!server_.Start(std::move(line), errorText))
        return fail(errorText != nullptr ? *errorText : std::string());
    return true;
}

void CPtyModuleHost::Stop() {
    std::lock_guard lock(lifecycleMutex_);
    if (!server_.Running())
        return;
    // The master closes as the returned line goes, then the kept slave: to the PC the device vanished.
    server_.Stop().reset();
    CloseAll();
}

}  // namespace qzm
