// The pty host end to end: a client opens the slave with plain POSIX calls, as the PC's serial code does.
// And the serial-port host on a pseudo-terminal standing in for a cable.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/qzm_frame.h"
#include "sim/pty_module_host.h"
#include "sim/serial_module_host.h"
#include "test_folder.h"
#include "thread_room.h"

extern char** environ;

namespace qzm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const Bytes kGetVersion = BuildCommandFrame(kCmdGetVersion, {});

class PtyClient {
public:
    ~PtyClient() { Close(); }

    // raw = false leaves the terminal settings as the host made them.
    bool Open(const std::string& path, bool raw = true) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0 || !raw)
            return fd_ >= 0;
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0)
            return false;
        ::cfmakeraw(&tio);
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
    }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int Fd() const { return fd_; }

    bool Write(const Bytes& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes came or nothing arrived for `timeout`.
    Bytes Read(std::size_t count, milliseconds timeout = milliseconds(2000)) {
        Bytes got;
        std::uint8_t buffer[4096];
        while (got.size() < count) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0 || !(p.revents & POLLIN))
                break;
            ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    int fd_ = -1;
};

Bytes VersionAnswerFrame(const ModuleIdentity& identity) {
    return BuildResponseFrame(0x00, identity.VersionAnswer());
}

TEST(PtyModuleHostIntegration, AnswersCommandsOnTheSlave) {
    CPtyModuleHost host(ModuleIdentity::Extended());
    std::string error;
    ASSERT_TRUE(host.Start({}, &error)) << error;
    ASSERT_EQ(host.OpenPath(), host.SlavePath());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));

    ASSERT_TRUE(pc.Write(kGetVersion));
    EXPECT_EQ(pc.Read(25), VersionAnswerFrame(ModuleIdentity::Extended()));

    // A set command split over two writes, with a stale byte before it.
    Bytes setAngle = BuildCommandFrame(kCmdSetCameraAngle, Bytes{2});
    ASSERT_TRUE(pc.Write({0x00, setAngle[0], setAngle[1]}));
    ASSERT_TRUE(pc.Write({setAngle[2], setAngle[3], setAngle[4]}));
    EXPECT_EQ(pc.Read(6), (Bytes{0xFE, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(host.Emulator().Settings().cameraAngle, 2);

    EXPECT_EQ(pc.Read(1, milliseconds(50)), Bytes{});  // nothing more
    EXPECT_EQ(host.CommandsHandled(), 2u);
    EXPECT_EQ(host.BytesReceived(), 4u + 6u);
    EXPECT_EQ(host.BytesSent(), 25u + 6u);
}

TEST(PtyModuleHostIntegration, SlaveCanBeClosedAndReopenedAndIsRawFromTheStart) {
    CPtyModuleHost host;
    ASSERT_TRUE(host.Start());
    for (int round = 0; round < 3; ++round) {
        PtyClient pc;
        // No terminal settings of the client's own: the host's raw mode must already hold, or the answer
        // would wait for a line end and be echoed back to the emulator as input.
        ASSERT_TRUE(pc.Open(host.SlavePath(), /*raw=*/false)) << round;
        ASSERT_TRUE(pc.Write(kGetVersion));
        EXPECT_EQ(pc.Read(25), VersionAnswerFrame(ModuleIdentity::Basic())) << round;
        EXPECT_EQ(pc.Read(1, milliseconds(30)), Bytes{}) << round;
    }
    EXPECT_EQ(host.CommandsHandled(), 3u);
}

TEST(PtyModuleHostIntegration, FaultsChangeWhileRunning) {
    CPtyModuleHost host;
    ASSERT_TRUE(host.Start());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));

    ModuleFaults faults;
    faults.junkBefore = 2;
    faults.badSync = true;
    host.SetFaults(faults);
    ASSERT_TRUE(pc.Write(kGetVersion));
    Bytes expected = {JunkByte(0), JunkByte(1)};
    Bytes answer = VersionAnswerFrame(ModuleIdentity::Basic());
    answer[0] = ModuleFaults::kBadSyncByte;
    expected.insert(expected.end(), answer.begin(), answer.end());
    EXPECT_EQ(pc.Read(expected.size()), expected);

    ModuleFaults silent;
    silent.silent = true;
    host.SetFaults(silent);
    ASSERT_TRUE(pc.Write(kGetVersion));
    EXPECT_EQ(pc.Read(1, milliseconds(150)), Bytes{});

    host.SetFaults({});
    ASSERT_TRUE(pc.Write(kGetVersion));
    EXPECT_EQ(pc.Read(25), VersionAnswerFrame(ModuleIdentity::Basic()));
    EXPECT_EQ(host.CommandsHandled(), 3u);
}

TEST(PtyModuleHostIntegration, UnsolicitedBytesArrive) {
    CPtyModuleHost host;
    const Bytes stale = {0xFE, 0x00, 0x13, 0x55};
    EXPECT_FALSE(host.PushUnsolicited(stale));  // not running
    ASSERT_TRUE(host.Start());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));
    ASSERT_TRUE(host.PushUnsolicited(stale));
    EXPECT_EQ(pc.Read(stale.size()), stale);
    EXPECT_EQ(host.CommandsHandled(), 0u);
}

TEST(PtyModuleHostIntegration, PacedAnswerTakesItsLineTime) {
    // The size of an execution answer with a 320 x 240 image, at 921 600 baud: 76806 / 92160 s = 833.4 ms.
    constexpr std::size_t kBytes = 76806;
    constexpr double kExpectedMs = 1000.0 * kBytes / 92160.0;
    CPtyModuleHost host;
    host.SetPacing(921600);
    ASSERT_TRUE(host.Start());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));
    Bytes payload(kBytes, 0x5A);
    auto start = Clock::now();
    ASSERT_TRUE(host.PushUnsolicited(payload));
    EXPECT_EQ(pc.Read(kBytes).size(), kBytes);
    // Never faster than the line; how close it comes is the serial benchmark's to measure.
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_GE(ms, kExpectedMs * 0.98);
}

TEST(PtyModuleHostIntegration, StopDuringAPacedAnswerIsPromptAndLooksLikeAVanishedDevice) {
    CPtyModuleHost host;
    host.SetPacing(9600);  // 960 bytes/s: the 20000 bytes would take about 21 s
    ASSERT_TRUE(host.Start());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));
    ASSERT_TRUE(host.PushUnsolicited(Bytes(20000, 0x11)));
    ASSERT_EQ(pc.Read(5).size(), 5u);

    // Long before the rest of the answer would have gone out.
    auto start = Clock::now();
    host.Stop();
    EXPECT_LT(Clock::now() - start, milliseconds(5000));
    EXPECT_FALSE(host.Running());
    EXPECT_TRUE(host.SlavePath().empty());

    // Drain whatever the line still held, then the device is gone.
    std::uint8_t buffer[256];
    ssize_t n;
    pollfd p{pc.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    while ((n = ::read(pc.Fd(), buffer, sizeof buffer)) > 0) {
    }
    EXPECT_TRUE(n == 0 || errno == EIO) << "read: " << n << " errno " << errno;
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
}

TEST(PtyModuleHostIntegration, StopIsPromptWhenThePcSideDoesNotRead) {
    CPtyModuleHost host;
    ASSERT_TRUE(host.Start());
    PtyClient pc;
    ASSERT_TRUE(pc.Open(host.SlavePath()));
    ASSERT_TRUE(host.PushUnsolicited(Bytes(4 << 20, 0x22)));  // far more than the pty holds
    pollfd p{pc.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);  // writing has begun; it blocks once the pty is full
    auto start = Clock::now();
    host.Stop();
    EXPECT_LT(Clock::now() - start, milliseconds(5000));  // the write does not wait for a reader
    EXPECT_LT(host.BytesSent(), 4u << 20);
}

TEST(PtyModuleHostIntegration, LinkIsMadeReplacedAndRemoved) {
    const TestFolder folder;
    const std::string link = (folder.path() / "module").string();
    std::filesystem::create_symlink("/nonexistent/stale", link);  // left over from an earlier run

    {
        CPtyModuleHost host;
        std::string error;
        ASSERT_TRUE(host.Start(link, &error)) << error;
        EXPECT_EQ(host.OpenPath(), link);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), host.SlavePath());
        PtyClient pc;
        ASSERT_TRUE(pc.Open(link));
        ASSERT_TRUE(pc.Write(kGetVersion));
        EXPECT_EQ(pc.Read(25).size(), 25u);
        host.Stop();
        EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));

        // Restartable, on a fresh pseudo-terminal.
        ASSERT_TRUE(host.Start());
        EXPECT_FALSE(host.SlavePath().empty());
        EXPECT_TRUE(host.LinkPath().empty());
    }

    {
        // A file that is not a link is never replaced.
        std::filesystem::path file = folder.path() / "file";
        ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
        CPtyModuleHost host;
        std::string error;
        EXPECT_FALSE(host.Start(file.string(), &error));
        EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
        EXPECT_FALSE(host.Running());
        EXPECT_TRUE(std::filesystem::is_regular_file(file));
    }
}

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// No room for the host's thread just now (a process limit, little memory): Start fails with the
// reason and leaves nothing behind, neither a descriptor nor the link, and starts once there is
// room again. Before, the exception ended the program that started the emulator.
TEST(PtyModuleHostIntegration, StartWithoutRoomForItsThreadFailsAndLeavesNothingOpen) {
    const TestFolder folder;
    const std::string link = (folder.path() / "module").string();
    CPtyModuleHost host(ModuleIdentity::Extended());
    {
        const qzm::testing::NoRoomForThreads noRoom;
        ASSERT_TRUE(noRoom.Active());
        const std::size_t before = OpenDescriptors();
        std::string error;
        EXPECT_FALSE(host.Start(link, &error));
        EXPECT_NE(error.find("thread cannot start"), std::string::npos) << error;
        EXPECT_FALSE(host.Running());
        EXPECT_TRUE(host.SlavePath().empty());
        EXPECT_TRUE(host.OpenPath().empty());
        EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
        EXPECT_EQ(OpenDescriptors(), before);
    }
    std::string error;
    ASSERT_TRUE(host.Start(link, &error)) << error;
    PtyClient pc;
    ASSERT_TRUE(pc.Open(link));
    ASSERT_TRUE(pc.Write(kGetVersion));
    EXPECT_EQ(pc.Read(25), VersionAnswerFrame(ModuleIdentity::Extended()));
    host.Stop();
}

std::filesystem::path SimExecutable() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qzm-module-sim";
}

// Starts qzm-module-sim with its standard output on a pipe (outFd) and its errors dropped.
pid_t SpawnSim(std::vector<std::string> args, int& outFd) {
    const std::string exe = SimExecutable().string();
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(exe.c_str())};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    outFd = pipeFds[0];
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first line the executable prints (the path to open); closes fd.
std::string FirstLine(int fd) {
    std::string line;
    char c;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 5000) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    ::close(fd);
    return line;
}

// The executable prints the path first, answers on it and ends cleanly on SIGTERM; a bad option exits 2.
TEST(PtyModuleHostIntegration, ExecutablePrintsThePathAndStopsOnSigterm) {
    if (!std::filesystem::exists(SimExecutable()))
        GTEST_SKIP() << SimExecutable() << " not built";

    int out = -1;
    pid_t bad = SpawnSim({"--personality", "odd"}, out);
    ::close(out);
    EXPECT_EQ(ExitCode(bad), 2);

    pid_t pid = SpawnSim({"--personality", "extended", "--response-code", "5"}, out);
    const std::string line = FirstLine(out);
    ASSERT_EQ(line.rfind("/dev/pts/", 0), 0u) << line;
    {
        PtyClient pc;
        ASSERT_TRUE(pc.Open(line));
        ASSERT_TRUE(pc.Write(kGetVersion));
        Bytes answer = pc.Read(25);
        ASSERT_EQ(answer.size(), 25u);
        EXPECT_EQ(answer[1], 0x05);
    }
    ::kill(pid, SIGTERM);
    EXPECT_EQ(ExitCode(pid), 0);
}

// With --store the registrations outlive the process; a store file it cannot read stops it at start.
TEST(PtyModuleHostIntegration, ExecutableKeepsItsStoreBetweenRuns) {
    if (!std::filesystem::exists(SimExecutable()))
        GTEST_SKIP() << SimExecutable() << " not built";
    TestFolder dir;
    const std::string store = (dir.path() / "module.qzb").string();

    auto run = [&](const Bytes& command, std::size_t answerSize) {
        int out = -1;
        pid_t pid = SpawnSim({"--personality", "extended", "--faces", "1", "--store", store}, out);
        const std::string path = FirstLine(out);
        Bytes answer;
        if (path.rfind("/dev/pts/", 0) == 0) {
            PtyClient pc;
            EXPECT_TRUE(pc.Open(path));
            EXPECT_TRUE(pc.Write(command));
            answer = pc.Read(answerSize);
        }
        ::kill(pid, SIGTERM);
        EXPECT_EQ(ExitCode(pid), 0);
        return answer;
    };
    const Bytes registration = run(BuildCommandFrame(kCmdRegister, Bytes{3, 0, 4}), 6 + 4100);
    ASSERT_EQ(registration.size(), 6u + 4100u);
    EXPECT_EQ(registration[1], 0x00);
    EXPECT_EQ(std::filesystem::file_size(store), 44u + 68u);

    const Bytes presence = run(BuildCommandFrame(kCmdGetUserData, Bytes{3, 0}), 8);
    ASSERT_EQ(presence.size(), 8u);
    EXPECT_EQ(GetLE16(&presence[6]), 1u << 4);

    std::filesystem::resize_file(store, 50);
    int out = -1;
    pid_t pid = SpawnSim({"--store", store}, out);
    EXPECT_EQ(FirstLine(out), "");
    EXPECT_EQ(ExitCode(pid), 1);
    EXPECT_EQ(std::filesystem::file_size(store), 50u) << "a store it could not read is left alone";
}

// qzm-module-sim --port: the emulator served on a serial port through the device layer. A bare
// pseudo-terminal stands in for the null-modem cable: the emulator opens its slave as a serial
// port, the test talks on the master.
TEST(SerialModuleHostIntegration, ServesOnASerialPortAndStopsWhenAsked) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    char name[256];
    ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);

    CSerialModuleHost host(ModuleIdentity::Extended());
    host.Server().SetPacing(115200);
    std::string error;
    EXPECT_FALSE(host.Start("/nonexistent/tty", &error));
    EXPECT_NE(error.find("/nonexistent/tty"), std::string::npos) << error;
    ASSERT_TRUE(host.Start(name, &error)) << error;
    EXPECT_FALSE(host.Start(name, &error)) << "already serving";

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(::write(master, kGetVersion.data(), kGetVersion.size()),
                  static_cast<ssize_t>(kGetVersion.size()));
        const Bytes expected = VersionAnswerFrame(ModuleIdentity::Extended());
        Bytes got;
        std::uint8_t buffer[256];
        while (got.size() < expected.size()) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(host.Server().CommandsHandled(), 2u);

    const auto start = Clock::now();
    host.Stop();
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_FALSE(host.Running());
    // The port is closed again: a new start opens it anew.
    ASSERT_TRUE(host.Start(name, &error)) << error;
    host.Stop();
    ::close(master);
}

}  // namespace
}  // namespace qzm
