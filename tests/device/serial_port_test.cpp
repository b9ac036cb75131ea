// Port enumeration over a folder tree laid out like sysfs and /dev, and the open refusals that
// need no device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST(SerialErrorTest, BaudRates) {
    for (int baud : {9600, 38400, 115200, 230400, 460800, 921600})
        EXPECT_TRUE(IsSupportedBaudRate(baud)) << baud;
    for (int baud : {0, 4800, 19200, 57600, 1000000, -1})
        EXPECT_FALSE(IsSupportedBaudRate(baud)) << baud;
}
