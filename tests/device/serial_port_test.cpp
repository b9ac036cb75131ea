// Port enumeration over a folder tree laid out like sysfs and /dev, and the open refusals that
// need no device.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "device/rs232_connection.h"
#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

class FakeTtyTree {
public:
    FakeTtyTree() : root_() {}
    // A tty as the kernel lists it; hasDevice = a driver stands behind it.
    void Add(const std::string& name, bool hasDevice, const char* uartType = nullptr, bool devNode = true) {
        const fs::path entry = root_.path() / "sys" / "class" / "tty" / name;
        fs::create_directories(entry);
        if (hasDevice)
            fs::create_directories(entry / "device");
        if (uartType)
            std::ofstream(entry / "type") << uartType << "\n";
        fs::create_directories(root_.path() / "dev");
        if (devNode)
            std::ofstream(root_.path() / "dev" / name);
    }
    PortEnumerationRoots Roots() const {
        return {(root_.path() / "sys").string(), (root_.path() / "dev").string()};
    }
    std::string Dev(const std::string& name) const { return (root_.path() / "dev" / name).string(); }

private:
    TestFolder root_;
};

}  // namespace

TEST(PortEnumerationTest, RealDevicesInNaturalOrder) {
    FakeTtyTree tree;
    tree.Add("ttyUSB10", true);
    tree.Add("ttyUSB2", true);
    tree.Add("ttyACM0", true);
    tree.Add("ttyS0", true, "4");  // a fitted UART
    tree.Add("ttyS1", true, "0");  // a placeholder slot
    tree.Add("tty5", false);       // a virtual console
    tree.Add("ptmx", false);
    tree.Add("ttyUSB3", true, nullptr, false);  // unplugged between the two listings
    EXPECT_EQ(EnumerateSerialPorts(tree.Roots()),
              (std::vector<std::string>{tree.Dev("ttyACM0"), tree.Dev("ttyS0"), tree.Dev("ttyUSB2"),
                                        tree.Dev("ttyUSB10")}));
}

TEST(PortEnumerationTest, NoPortsGiveEmptyListAndEveryOpenFails) {
    FakeTtyTree tree;
    CRS232Connection connection(tree.Roots());
    EXPECT_TRUE(connection.PortNames().empty());
    EXPECT_EQ(connection.Settings().selectedIndex, PortSettings::kNoPort);
    EXPECT_FALSE(connection.Open("/dev/ttyUSB0-not-there", 9600));
    EXPECT_EQ(connection.LastError(), kSerialNotFound);
    EXPECT_FALSE(connection.Open("ttyUSB0", 9600));
    EXPECT_FALSE(connection.IsOpen());
}

TEST(PortEnumerationTest, RefreshResetsSettings) {
    FakeTtyTree tree;
    tree.Add("ttyUSB0", true);
    CRS232Connection connection(tree.Roots());
    EXPECT_EQ(connection.Settings().selectedIndex, 0);
    // A listed name whose node is a plain file: the open runs and fails, but the settings stick.
    EXPECT_FALSE(connection.Open(tree.Dev("ttyUSB0"), 115200));
    EXPECT_EQ(connection.LastError(), kSerialNotTerminal);
    EXPECT_EQ(connection.BaudRate(), 115200);
    tree.Add("ttyACM1", true);
    EXPECT_EQ(connection.RefreshPortList(),
              (std::vector<std::string>{tree.Dev("ttyACM1"), tree.Dev("ttyUSB0")}));
    EXPECT_EQ(connection.BaudRate(), 9600);
    EXPECT_EQ(connection.Settings().selectedIndex, 0);
}

TEST(PortEnumerationTest, NameComparisonIsCaseSensitive) {
    FakeTtyTree tree;
    tree.Add("ttyUSB0", true);
    CRS232Connection connection(tree.Roots());
    std::string other = tree.Dev("ttyUSB0");
    other.replace(other.size() - 4, 3, "usb");
    EXPECT_FALSE(connection.Open(other, 9600));
    EXPECT_EQ(connection.LastError(), kSerialNotFound);
}

TEST(SerialErrorTest, PermissionToldApartFromAbsence) {
    EXPECT_EQ(SerialErrorForErrno(EACCES), kSerialNoPermission);
    EXPECT_EQ(SerialErrorForErrno(EPERM), kSerialNoPermission);
    EXPECT_EQ(SerialErrorForErrno(ENOENT), kSerialNotFound);
    EXPECT_EQ(SerialErrorForErrno(ENODEV), kSerialNotFound);
    EXPECT_EQ(SerialErrorForErrno(EBUSY), kSerialBusy);
}

// Any positive rate may be asked for; whether the port runs at it is found out when it opens.
TEST(SerialErrorTest, BaudRates) {
    for (int baud : {9600, 19200, 57600, 250000, 921600, 4000000})
        EXPECT_TRUE(IsSupportedBaudRate(baud)) << baud;
    for (int baud : {0, -1, -9600})
        EXPECT_FALSE(IsSupportedBaudRate(baud)) << baud;
}

namespace {

// A port whose writes take a while, as on a slow line, and which notes every use of a closed port.
class WatchedPort : public ISerialPort {
public:
    std::atomic<int> closedWhileWriting{0};
    std::atomic<int> writesWhileClosed{0};

    SerialError Open(const std::string&, int, int) override {
        Close();
        std::lock_guard lock(mutex_);
        interrupted_ = false;
        open_ = true;
        return kSerialOk;
    }
    void Close() override {
        if (writing_.load() > 0)
            ++closedWhileWriting;
        open_ = false;
    }
    bool IsOpen() const override { return open_.load(); }
    WaitResult WaitReadable() override {
        std::unique_lock lock(mutex_);
        woken_.wait(lock, [&] { return interrupted_; });
        return WaitResult::kInterrupted;
    }
    long Read(std::uint8_t*, std::size_t) override { return 0; }
    bool Write(const std::uint8_t*, std::size_t, int) override {
        if (!open_.load())
            ++writesWhileClosed;
        ++writing_;
        std::unique_lock lock(mutex_);
        const bool woken = woken_.wait_for(lock, std::chrono::milliseconds(2), [&] { return interrupted_; });
        lock.unlock();
        // Even a woken write takes a moment to come back from the system.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        --writing_;
        return !woken;
    }
    void Interrupt() override {
        {
            std::lock_guard lock(mutex_);
            interrupted_ = true;
        }
        woken_.notify_all();
    }
    std::string LastErrorText() const override { return {}; }

private:
    std::atomic<bool> open_{false};
    std::atomic<int> writing_{0};
    std::mutex mutex_;  // guards interrupted_
    std::condition_variable woken_;
    bool interrupted_ = false;
};

}  // namespace

// Closing or reopening from one thread while another sends: the port is closed only after the
// write in progress has given up, and no write starts on a closed port.
TEST(SerialConcurrencyTest, CloseAndOpenWaitForTheWriteInProgress) {
    FakeTtyTree tree;
    auto port = std::make_unique<WatchedPort>();
    WatchedPort* watched = port.get();
    CRS232Connection connection(tree.Roots(), std::move(port));
    ASSERT_TRUE(connection.Open("/dev/null", 9600));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const std::uint8_t frame[4] = {0xFE, 0x00, 0x00, 0x00};
        while (!stop.load())
            connection.Send(4, frame);
    });
    for (int i = 0; i < 100; ++i) {
        connection.Close();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        connection.Open("/dev/null", 9600);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop = true;
    sender.join();
    EXPECT_EQ(watched->closedWhileWriting.load(), 0);
    EXPECT_EQ(watched->writesWhileClosed.load(), 0);
}
