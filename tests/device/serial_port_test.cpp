// Port enumeration over a folder tree laid out like sysfs and /dev (Linux) or a registry key laid
// out like the system's port map (Windows), and the open refusals that need no device.
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
#ifdef _WIN32
#include "port_registry.h"
#endif

using namespace qzm;
namespace fs = std::filesystem;

#ifndef _WIN32
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

namespace {

// A port list holding one port, whose name the list-checking open accepts.
class OneListedPort {
public:
    OneListedPort() { tree_.Add("ttyUSB0", true); }
    PortEnumerationRoots Roots() const { return tree_.Roots(); }
    std::string Name() const { return tree_.Dev("ttyUSB0"); }

private:
    FakeTtyTree tree_;
};

}  // namespace

#else  // _WIN32

namespace {

PortEnumerationRoots RegistryRoots(const std::string& key) {
    PortEnumerationRoots roots;
    roots.registryKey = key;
    return roots;
}

class OneListedPort {
public:
    OneListedPort() { registry_.AddPort(R"(\Device\TestSerial0)", "COM250"); }
    PortEnumerationRoots Roots() const { return RegistryRoots(registry_.Key()); }
    std::string Name() const { return "COM250"; }

private:
    TestPortRegistry registry_;
};

}  // namespace

TEST(PortEnumerationTest, RegistryPortsInNaturalOrder) {
    TestPortRegistry registry;
    registry.AddPort(R"(\Device\Serial0)", "COM10");
    registry.AddPort(R"(\Device\Serial1)", "COM2");
    registry.AddPort(R"(\Device\VCP0)", "COM1");
    registry.AddPort(R"(\Device\VCP1)", "COM3");
    registry.AddPort(R"(\Device\VCP2)", "COM2");  // a second driver claiming a name lists it once
    registry.AddNumber("NotAPort", 7);
    EXPECT_EQ(EnumerateSerialPorts(RegistryRoots(registry.Key())),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM10"}));
    // Both spellings of the hive.
    std::string longForm = registry.Key();
    longForm.replace(0, 4, "HKEY_CURRENT_USER");
    EXPECT_EQ(EnumerateSerialPorts(RegistryRoots(longForm)).size(), 4u);
}

TEST(PortEnumerationTest, MissingOrMalformedKeyGivesEmptyList) {
    TestPortRegistry registry;
    for (const std::string& key : {registry.Key(), registry.Key() + R"(\nothing-here)", std::string("HKCU"),
                                   std::string(), std::string(R"(HKXX\Software)")}) {
        EXPECT_TRUE(EnumerateSerialPorts(RegistryRoots(key)).empty()) << key;
    }
}

TEST(PortEnumerationTest, NoPortsGiveEmptyListAndEveryOpenFails) {
    TestPortRegistry registry;
    CRS232Connection connection(RegistryRoots(registry.Key()));
    EXPECT_TRUE(connection.PortNames().empty());
    EXPECT_EQ(connection.Settings().selectedIndex, PortSettings::kNoPort);
    for (const char* name : {"COM199", R"(\\.\COM199)", "ttyUSB0", "/dev/ttyUSB0", ""}) {
        EXPECT_FALSE(connection.Open(name, 9600)) << name;
        EXPECT_EQ(connection.LastError(), kSerialNotFound) << name;
        EXPECT_FALSE(connection.LastErrorText().empty()) << name;
    }
    EXPECT_FALSE(connection.IsOpen());
}

TEST(PortEnumerationTest, RefreshReadsTheListAgainAndResetsSettings) {
    TestPortRegistry registry;
    registry.AddPort(R"(\Device\Serial0)", "COM250");
    CRS232Connection connection(RegistryRoots(registry.Key()));
    EXPECT_EQ(connection.Settings().selectedIndex, 0);
    // A listed port with nothing behind it: the open runs and fails, but the settings stick.
    EXPECT_FALSE(connection.Open("COM250", 115200));
    EXPECT_EQ(connection.LastError(), kSerialNotFound);
    EXPECT_FALSE(connection.LastErrorText().empty());
    EXPECT_EQ(connection.BaudRate(), 115200);
    registry.AddPort(R"(\Device\Serial1)", "COM249");
    EXPECT_EQ(connection.RefreshPortList(), (std::vector<std::string>{"COM249", "COM250"}));
    EXPECT_EQ(connection.BaudRate(), 9600);
    EXPECT_EQ(connection.Settings().selectedIndex, 0);
}

// What a name outside the list must look like before it is tried: a COM port, or any device with
// the device prefix, that exists.
TEST(SerialPortNameTest, NamesOutsideTheList) {
    const struct {
        const char* name;
        bool device;
    } cases[] = {
        {"", false},        {"COM", false},          {"COMX", false},
        {"COM1a", false},   {"COM199", false},       {R"(\\.\COM199)", false},
        {R"(\\.\)", false}, {"NUL", false},  // a device, but not without the prefix
        {"ttyUSB0", false}, {"/dev/ttyUSB0", false}, {R"(\\.\NUL)", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsCharacterDevice(c.name), c.device) << c.name;
}

TEST(SerialPortOpenTest, RefusalsTellWhy) {
    const struct {
        const char* name;
        int baud;
        SerialError error;
    } cases[] = {
        {"COM199", 9600, kSerialNotFound},
        {R"(\\.\COM199)", 9600, kSerialNotFound},
        {"", 9600, kSerialNotFound},
        {"COM199", 0, kSerialBadBaudRate},
        {R"(\\.\NUL)", 9600, kSerialNotTerminal},  // there, but no serial port
    };
    auto port = CreateSerialPort();
    for (const auto& c : cases) {
        EXPECT_EQ(port->Open(c.name, c.baud, 0), c.error) << c.name;
        EXPECT_FALSE(port->LastErrorText().empty()) << c.name;
        EXPECT_FALSE(port->IsOpen()) << c.name;
    }
    // A failed open leaves nothing to close, and closing twice is harmless.
    port->Close();
    port->Close();
}

// Interrupt may come before anything is open and from another thread; it never blocks.
TEST(SerialPortOpenTest, InterruptWithoutAnOpenPort) {
    auto port = CreateSerialPort();
    port->Interrupt();
    std::thread other([&] { port->Interrupt(); });
    other.join();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(port->Open("COM199", 9600, 0), kSerialNotFound);
}

// A port that is not open answers at once instead of acting on some other handle.
TEST(SerialPortOpenTest, ClosedPortRefusesUse) {
    auto port = CreateSerialPort();
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(port->WaitReadable(), ISerialPort::WaitResult::kGone);
    EXPECT_LT(port->Read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(port->Write(buffer, sizeof buffer, 100));
    EXPECT_FALSE(port->LastErrorText().empty());
    // Woken before a wait: the wait ends at once with the wake-up.
    port->Interrupt();
    EXPECT_EQ(port->WaitReadable(), ISerialPort::WaitResult::kInterrupted);
}

#endif  // _WIN32

// Ports are listed the way people count.
TEST(SerialPortNameTest, NaturalOrder) {
    const struct {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"COM2", "COM10", true},
        {"COM10", "COM2", false},
        {"COM2", "COM2", false},
        {"ttyS2", "ttyS10", true},
        {"ttyACM0", "ttyUSB0", true},
        {"COM02", "COM3", true},
        {"COM3", "COM003", false},
        {"COM", "COM1", true},
        {"COM1", "COM", false},
        {"ttyUSB9", "ttyUSB09", false},
        {"a10b2", "a10b10", true},
        {"", "COM1", true},
        {"COM99999999999999999999", "COM100000000000000000000", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

// A driver that sets a rate near the one asked for is accepted; one that falls back far is not.
TEST(SerialErrorTest, RateReadBackTolerance) {
    const struct {
        int actual;
        int wanted;
        bool accepted;
    } cases[] = {
        {9600, 9600, true},       {9792, 9600, true},        {9408, 9600, true},     {9793, 9600, false},
        {9407, 9600, false},      {38400, 250000, false},    {921600, 921600, true}, {937500, 921600, true},
        {1000000, 921600, false}, {2147483647, 9600, false}, {0, 9600, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsCloseEnoughBaudRate(c.actual, c.wanted), c.accepted) << c.actual << " for " << c.wanted;
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
    const OneListedPort list;
    auto port = std::make_unique<WatchedPort>();
    WatchedPort* watched = port.get();
    CRS232Connection connection(list.Roots(), std::move(port));
    ASSERT_TRUE(connection.Open(list.Name(), 9600));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const std::uint8_t frame[4] = {0xFE, 0x00, 0x00, 0x00};
        while (!stop.load())
            connection.Send(4, frame);
    });
    for (int i = 0; i < 100; ++i) {
        connection.Close();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        connection.Open(list.Name(), 9600);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop = true;
    sender.join();
    EXPECT_EQ(watched->closedWhileWriting.load(), 0);
    EXPECT_EQ(watched->writesWhileClosed.load(), 0);
}
