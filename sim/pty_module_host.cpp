#include "sim/pty_module_host.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "sim/frame_parser.h"

namespace qzm {

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void SetError(std::string* errorText, std::string text) {
    if (errorText != nullptr)
        *errorText = std::move(text);
}

// Output waiting for the line, with its read position (so that taking bytes from the front is cheap).
class OutputQueue {
public:
    bool Empty() const { return offset_ == bytes_.size(); }
    std::size_t Size() const { return bytes_.size() - offset_; }
    const std::uint8_t* Front() const { return bytes_.data() + offset_; }
    void Append(std::span<const std::uint8_t> more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    void Drop(std::size_t count) {
        offset_ += count;
        if (offset_ == bytes_.size()) {
            bytes_.clear();
            offset_ = 0;
        } else if (offset_ > (1u << 20) && offset_ > bytes_.size() / 2) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset_));
            offset_ = 0;
        }
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

// Line-rate schedule: byte k of a run of output may go out once its line time has passed, that is at
// anchor + (k + 1) / rate. The schedule is absolute, so late wake-ups do not add up over a long answer.
class LinePacer {
public:
    // Restarts the schedule at now (new run of output, changed rate, or the PC side stopped reading).
    void Restart(std::uint64_t bytesPerSecond, Clock::time_point now) {
        rate_ = bytesPerSecond;
        anchor_ = now;
        sent_ = 0;
        active_ = true;
    }
    void Idle() { active_ = false; }
    bool Active() const { return active_; }
    std::uint64_t Rate() const { return rate_; }

    // Bytes that may be written now.
    std::uint64_t Allowed(Clock::time_point now) const {
        auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_).count();
        if (elapsed <= 0)
            return 0;
        std::uint64_t due = static_cast<std::uint64_t>(elapsed) * rate_ / 1'000'000'000u;
        return due > sent_ ? due - sent_ : 0;
    }
    void Sent(std::size_t count) { sent_ += count; }

    // Milliseconds (rounded up) until `count` more bytes may be written.
    int WaitMs(std::uint64_t count, Clock::time_point now) const {
        std::uint64_t dueNs = ((sent_ + count) * 1'000'000'000u + rate_ - 1) / rate_;
        auto at = anchor_ + std::chrono::nanoseconds(dueNs);
        if (at <= now)
            return 0;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at - now).count();
        return static_cast<int>((ns + 999'999) / 1'000'000);
    }

private:
    std::uint64_t rate_ = 0;
    Clock::time_point anchor_{};
    std::uint64_t sent_ = 0;
    bool active_ = false;
};

}  // namespace

CPtyModuleHost::CPtyModuleHost(ModuleIdentity identity) : emulator_(std::move(identity)) {}

CPtyModuleHost::~CPtyModuleHost() {
    Stop();
}

bool CPtyModuleHost::Running() const {
    std::lock_guard lock(lifecycleMutex_);
    return thread_.joinable();
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

void CPtyModuleHost::SetFaults(const ModuleFaults& faults) {
    std::lock_guard lock(faultsMutex_);
    faults_ = faults;
}

ModuleFaults CPtyModuleHost::Faults() const {
    std::lock_guard lock(faultsMutex_);
    return faults_;
}

void CPtyModuleHost::SetPacing(std::uint32_t baud) {
    paceBaud_.store(baud);
    std::lock_guard lock(lifecycleMutex_);
    if (thread_.joinable())
        Wake();  // a long wait for the old rate is cut short
}

bool CPtyModuleHost::PushUnsolicited(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(lifecycleMutex_);
    if (!thread_.joinable())
        return false;
    {
        std::lock_guard inject(injectMutex_);
        injected_.insert(injected_.end(), bytes.begin(), bytes.end());
    }
    Wake();
    return true;
}

void CPtyModuleHost::Wake() const {
    std::uint64_t one = 1;
    // A full counter already means "wake up"; nothing else can fail on a valid eventfd.
    [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void CPtyModuleHost::CloseAll() {
    if (!linkPath_.empty()) {
        char target[4096];
        ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
            ::unlink(linkPath_.c_str());
    }
    for (int* fd : {&masterFd_, &slaveFd_, &wakeFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    slavePath_.clear();
    linkPath_.clear();
}

bool CPtyModuleHost::Start(const std::string& linkPath, std::string* errorText) {
    std::lock_guard lock(lifecycleMutex_);
    if (thread_.joinable()) {
        SetError(errorText, "the emulator is already running on " + slavePath_);
        return false;
    }
    auto fail = [&](std::string text) {
        SetError(errorText, std::move(text));
        CloseAll();
        return false;
    };

    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0)
        return fail(ErrnoText("posix_openpt"));
    if (::fcntl(masterFd_, F_SETFD, FD_CLOEXEC) != 0)
        return fail(ErrnoText("fcntl(FD_CLOEXEC)"));
    if (::grantpt(masterFd_) != 0)
        return fail(ErrnoText("grantpt"));
    if (::unlockpt(masterFd_) != 0)
        return fail(ErrnoText("unlockpt"));
    char name[256];
    if (::ptsname_r(masterFd_, name, sizeof name) != 0)
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

    int flags = ::fcntl(masterFd_, F_GETFL);
    if (flags < 0 || ::fcntl(masterFd_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(ErrnoText("fcntl(O_NONBLOCK)"));
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
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

    {
        std::lock_guard inject(injectMutex_);
        injected_.clear();
    }
    stopRequested_.store(false);
    bytesReceived_.store(0);
    bytesSent_.store(0);
    commandsHandled_.store(0);
    try {
        thread_ = std::thread(&CPtyModuleHost::Run, this, masterFd_, wakeFd_);
    } catch (const std::system_error& error) {
        // No room for another thread just now: the module is not there, as for any other failure
        // to start, instead of the exception ending the program that starts it.
        return fail("the emulator's thread cannot start: " + error.code().message());
    }
    return true;
}

void CPtyModuleHost::Stop() {
    std::lock_guard lock(lifecycleMutex_);
    if (!thread_.joinable())
        return;
    stopRequested_.store(true);
    Wake();
    thread_.join();
    CloseAll();
}

void CPtyModuleHost::Run(int masterFd, int wakeFd) {
    CModuleFrameParser parser;
    OutputQueue output;
    LinePacer pacer;
    // Paced input: the module takes the PC's bytes at the line rate too, so a long frame (Load
    // Album) takes its line time; the PC's writes wait on the full pseudo-terminal meanwhile.
    LinePacer inputPacer;
    std::vector<std::uint8_t> readBuffer(64 * 1024);
    std::vector<std::uint8_t> injected;
    bool writeBlocked = false;  // the pty took no more; wait for POLLOUT
    bool masterAlive = true;    // false after an error on the master; then only a stop is awaited

    while (!stopRequested_.load()) {
        {
            std::lock_guard inject(injectMutex_);
            injected.swap(injected_);
        }
        if (!injected.empty()) {
            output.Append(injected);
            injected.clear();
        }

        // Write what the line rate allows.
        int timeoutMs = -1;
        const std::uint64_t rate = paceBaud_.load() / 10;
        if (output.Empty()) {
            pacer.Idle();
        } else if (masterAlive && !writeBlocked) {
            auto now = Clock::now();
            std::size_t allowed = output.Size();
            if (rate == 0) {
                pacer.Idle();
            } else {
                if (!pacer.Active() || pacer.Rate() != rate)
                    pacer.Restart(rate, now);
                allowed = static_cast<std::size_t>(std::min<std::uint64_t>(allowed, pacer.Allowed(now)));
            }
            if (allowed > 0) {
                ssize_t n = ::write(masterFd, output.Front(), allowed);
                if (n > 0) {
                    output.Drop(static_cast<std::size_t>(n));
                    bytesSent_.fetch_add(static_cast<std::uint64_t>(n));
                    if (rate != 0)
                        pacer.Sent(static_cast<std::size_t>(n));
                }
                if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    masterAlive = false;
                } else if (n < 0 || static_cast<std::size_t>(n) < allowed) {
                    writeBlocked = true;
                }
            }
            if (!output.Empty() && !writeBlocked && masterAlive) {
                if (rate == 0) {
                    timeoutMs = 0;
                } else {
                    // Wake for the next small chunk: about a millisecond of line time.
                    std::uint64_t chunk = std::max<std::uint64_t>(1, rate / 1000);
                    timeoutMs = pacer.WaitMs(std::min<std::uint64_t>(chunk, output.Size()), Clock::now());
                }
            }
        }

        std::size_t readAllowed = readBuffer.size();
        if (rate == 0) {
            inputPacer.Idle();
        } else if (inputPacer.Active()) {
            if (inputPacer.Rate() != rate)
                inputPacer.Restart(rate, Clock::now());
            readAllowed = static_cast<std::size_t>(
                std::min<std::uint64_t>(readBuffer.size(), inputPacer.Allowed(Clock::now())));
            if (readAllowed == 0) {
                const int wait = inputPacer.WaitMs(std::max<std::uint64_t>(1, rate / 1000), Clock::now());
                timeoutMs = timeoutMs < 0 ? wait : std::min(timeoutMs, wait);
            }
        }
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, 0, 0}};
        if (masterAlive)
            fds[1].events = static_cast<short>((readAllowed > 0 ? POLLIN : 0) | (writeBlocked ? POLLOUT : 0));
        int ready = ::poll(fds, masterAlive ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
        }
        if (!masterAlive)
            continue;
        if (fds[1].revents & (POLLERR | POLLNVAL)) {
            masterAlive = false;
            continue;
        }
        if (writeBlocked && (fds[1].revents & POLLOUT)) {
            writeBlocked = false;
            pacer.Idle();  // the PC side held the line up; the line rate counts again from now
        }
        if (rate != 0 && !inputPacer.Active() && (fds[1].revents & POLLIN)) {
            // Input starts: the first bytes are due one line time from now.
            inputPacer.Restart(rate, Clock::now());
            continue;
        }
        if (readAllowed > 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            for (;;) {
                ssize_t n = ::read(masterFd, readBuffer.data(), readAllowed);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    inputPacer.Idle();  // the line is quiet
                    break;
                }
                if (n <= 0) {
                    masterAlive = false;
                    break;
                }
                bytesReceived_.fetch_add(static_cast<std::uint64_t>(n));
                if (rate != 0) {
                    inputPacer.Sent(static_cast<std::size_t>(n));
                    readAllowed -= static_cast<std::size_t>(n);
                }
                auto frames =
                    parser.Feed(std::span(readBuffer.data(), static_cast<std::size_t>(n)), Clock::now());
                for (const ParsedFrame& frame : frames) {
                    ModuleReply reply = emulator_.Handle(frame);
                    std::vector<std::uint8_t> answer = EncodeAnswer(reply, Faults().For(frame.code));
                    commandsHandled_.fetch_add(1);
                    output.Append(answer);
                }
                if (readAllowed == 0)
                    break;
            }
        }
    }
}

}  // namespace qzm
