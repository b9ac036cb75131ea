// Linux serial ports: device paths, termios, poll and an eventfd to wake blocked calls.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "device/serial_port.h"
#include "device/serial_speed_linux.h"

namespace qzm {

namespace fs = std::filesystem;

namespace {

// The rates termios has constants for; others go through termios2.
speed_t StandardSpeed(int baud) {
    static constexpr struct {
        int baud;
        speed_t speed;
    } kSpeeds[] = {{50, B50},           {75, B75},           {110, B110},         {134, B134},
                   {150, B150},         {200, B200},         {300, B300},         {600, B600},
                   {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
                   {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
                   {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
                   {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
                   {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
                   {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& s : kSpeeds) {
        if (s.baud == baud)
            return s.speed;
    }
    return B0;
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Built-in UART slots that the kernel lists whether or not a UART is fitted report type 0.
bool IsPlaceholderUart(const fs::path& ttyClassEntry, const std::string& name) {
    if (name.rfind("ttyS", 0) != 0)
        return false;
    const fs::path typeFile = ttyClassEntry / "type";
    std::error_code ec;
    if (!fs::exists(typeFile, ec))
        return false;
    return ReadFirstLine(typeFile) == "0";
}

}  // namespace

SerialError SerialErrorForErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return kSerialNoPermission;
        case EBUSY:
        case EWOULDBLOCK:
            return kSerialBusy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return kSerialNotFound;
        case ENOTTY:
            return kSerialNotTerminal;
        default:
            return kSerialSetupFailed;
    }
}

namespace {

class PosixSerialPort final : public ISerialPort {
public:
    PosixSerialPort() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~PosixSerialPort() override {
        Close();
        if (wakeFd_ >= 0)
            close(wakeFd_);
    }

    SerialError Open(const std::string& path, int baud, int rtsControl) override {
        Close();
        DrainWake();
        if (!IsSupportedBaudRate(baud))
            return Fail(kSerialBadBaudRate, "the baud rate must be a positive number");
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Fail(SerialErrorForErrno(errno), std::strerror(errno));
        // Exclusive: an advisory lock keeps a second instance of the program off the port,
        // TIOCEXCL keeps other programs off it.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            return Fail(err == EWOULDBLOCK ? kSerialBusy : SerialErrorForErrno(err), std::strerror(err));
        }
        termios tio{};
        if (tcgetattr(fd, &tio) != 0) {
            const int err = errno;
            close(fd);
            return Fail(err == ENOTTY || err == EINVAL ? kSerialNotTerminal : kSerialSetupFailed,
                        std::strerror(err));
        }
        ioctl(fd, TIOCEXCL);
        cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        const speed_t standard = StandardSpeed(baud);
        if (standard != B0) {
            cfsetispeed(&tio, standard);
            cfsetospeed(&tio, standard);
        }
        if (tcsetattr(fd, TCSANOW, &tio) != 0) {
            const int err = errno;
            Abandon(fd);
            return Fail(kSerialSetupFailed, std::strerror(err));
        }
        if (standard == B0 && !SetLineSpeedAnyRate(fd, baud)) {
            const int err = errno;
            Abandon(fd);
            return Fail(kSerialBadBaudRate,
                        "the port cannot run at " + std::to_string(baud) + " baud: " + std::strerror(err));
        }
        const int actual = ReadLineSpeed(fd);
        if (actual > 0 && !IsCloseEnoughBaudRate(actual, baud)) {
            Abandon(fd);
            return Fail(kSerialBadBaudRate, "the port cannot run at " + std::to_string(baud) +
                                                " baud; the nearest it offers is " + std::to_string(actual));
        }
        // Pseudo-terminals have no modem lines; there these calls fail harmlessly.
        int dtr = TIOCM_DTR;
        ioctl(fd, TIOCMBIC, &dtr);
        int rts = TIOCM_RTS;
        ioctl(fd, (rtsControl & 3) == 1 ? TIOCMBIS : TIOCMBIC, &rts);
        fd_ = fd;
        lastError_.clear();
        return kSerialOk;
    }

    void Close() override {
        if (fd_ < 0)
            return;
        Abandon(fd_);
        fd_ = -1;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    WaitResult WaitReadable() override {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        for (;;) {
            const int n = poll(fds, 2, -1);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return WaitResult::kGone;
            }
            if (fds[1].revents & POLLIN)
                return WaitResult::kInterrupted;
            if (fds[0].revents & POLLIN)
                return WaitResult::kReadable;
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                return WaitResult::kGone;
        }
    }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        for (;;) {
            const ssize_t n = read(fd_, buffer, capacity);
            if (n > 0)
                return static_cast<long>(n);
            if (n == 0)
                return -1;  // end of file: the other side is gone
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                return 0;
            return -1;
        }
    }

    bool Write(const std::uint8_t* bytes, std::size_t length, int stallTimeoutMs) override {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = write(fd_, bytes + done, length - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                lastError_ = std::strerror(errno);
                return false;
            }
            pollfd fds[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
            const int ready = poll(fds, 2, stallTimeoutMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0 || (fds[1].revents & POLLIN) ||
                (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
                lastError_ = ready == 0 ? "the line takes no data" : "the device is gone";
                return false;
            }
        }
        return true;
    }

    void Interrupt() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
    }

    std::string LastErrorText() const override { return lastError_; }

private:
    SerialError Fail(SerialError error, std::string text) {
        lastError_ = std::move(text);
        return error;
    }

    // Gives up a descriptor that was made exclusive: the exclusive mark stays on the terminal
    // otherwise, and a later open by a user without root rights would find the port busy.
    static void Abandon(int fd) {
        ioctl(fd, TIOCNXCL);
        close(fd);
    }

    void DrainWake() {
        std::uint64_t value = 0;
        while (read(wakeFd_, &value, sizeof value) > 0) {
        }
    }

    int fd_ = -1;
    const int wakeFd_;
    // Written by Open and Write, which the owner never runs at the same time.
    std::string lastError_;
};

}  // namespace

bool IsCharacterDevice(const std::string& path) {
    // Only absolute paths: a bare name must not depend on the working folder.
    if (path.empty() || path.front() != '/')
        return false;
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::vector<std::string> EnumerateSerialPorts(const PortEnumerationRoots& roots) {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path classDir = fs::path(roots.sysfsRoot) / "class" / "tty";
    for (const auto& entry : fs::directory_iterator(classDir, ec)) {
        const std::string name = entry.path().filename().string();
        // Virtual terminals and pseudo-terminals have no device behind them.
        if (!fs::exists(fs::symlink_status(entry.path() / "device", ec)))
            continue;
        if (IsPlaceholderUart(entry.path(), name))
            continue;
        if (!fs::exists(fs::path(roots.devRoot) / name, ec))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    for (auto& name : names)
        name = (fs::path(roots.devRoot) / name).string();
    return names;
}

std::unique_ptr<ISerialPort> CreateSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

}  // namespace qzm
