// The platform's serial port behind one small interface. The reader thread, the receive buffer and
// everything above them are platform-neutral; serial_port_posix.cpp holds the Linux side and
// serial_port_win32.cpp the Windows side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzm {

// Why a port could not be opened or used. The windows pick their message by it: kNoPermission
// means the user lacks access (membership of the dialout group), kNotFound that nothing is there,
// kBusy that another program holds the port (on Windows also what a refused access means).
enum SerialError : int {
    kSerialOk = 0,
    kSerialNotFound = -1,
    kSerialNoPermission = -2,
    kSerialBusy = -3,
    kSerialNotTerminal = -4,
    kSerialBadBaudRate = -5,
    kSerialSetupFailed = -6,
};

// Whether a port may be asked for this rate at all: any positive rate. Whether the port can run
// at it is the driver's to say, and Open refuses a rate it cannot come close to.
bool IsSupportedBaudRate(int baud);

// Maps an errno of open() to the reason shown to the user. Only the Linux side defines it.
SerialError SerialErrorForErrno(int err);

// Where port enumeration looks; each platform reads only its own fields. Tests point them at a
// folder tree or a registry key of their own.
struct PortEnumerationRoots {
    std::string sysfsRoot = "/sys";  // Linux: the kernel's device tree
    std::string devRoot = "/dev";    // Linux: where the device nodes are
    // Windows: the registry key whose values name the ports, with its hive first (HKLM or HKCU).
    std::string registryKey = R"(HKLM\HARDWARE\DEVICEMAP\SERIALCOMM)";
};

// Serial devices present, found without opening them (opening toggles modem lines and resets
// some boards), in natural order (ttyS2 before ttyS10, COM2 before COM10): device paths on Linux,
// port names ("COM3") on Windows.
std::vector<std::string> EnumerateSerialPorts(const PortEnumerationRoots& roots);

// True when a name outside the list may still be opened as a port: on Linux an absolute path to a
// character device (pseudo-terminals, /dev/serial/by-id links), on Windows a DOS device such as
// "COM7" or "\\.\COM7" that exists.
bool IsCharacterDevice(const std::string& path);

// Orders names the way people count: digit runs compare by value, so COM2 comes before COM10.
bool NaturalLess(const std::string& a, const std::string& b);

// A UART still understands a line that is off by up to about 2 %; a driver that cannot make a rate
// sets its nearest one, which may be far off. Open refuses the port when actual is not close enough.
bool IsCloseEnoughBaudRate(int actual, int wanted);

class ISerialPort {
public:
    enum class WaitResult { kReadable, kInterrupted, kGone };

    virtual ~ISerialPort() = default;

    // Opens exclusively in raw 8N1 without flow control, DTR low and RTS as rtsControl asks
    // (1 = on; every other value off). Returns a SerialError; LastErrorText() has the OS text.
    virtual SerialError Open(const std::string& path, int baud, int rtsControl) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Blocks until input can be read, the device is gone, or Interrupt() was called.
    virtual WaitResult WaitReadable() = 0;
    // Reads what is queued: > 0 bytes read, 0 nothing there, < 0 the device is gone.
    virtual long Read(std::uint8_t* buffer, std::size_t capacity) = 0;
    // Writes everything; gives up when the line takes nothing for stallTimeoutMs or on an error.
    virtual bool Write(const std::uint8_t* bytes, std::size_t length, int stallTimeoutMs) = 0;
    // Wakes WaitReadable and Write from another thread; cleared by the next Open. Safe to call at
    // any time, also while another thread opens or closes the port.
    virtual void Interrupt() = 0;

    virtual std::string LastErrorText() const = 0;
};

std::unique_ptr<ISerialPort> CreateSerialPort();

}  // namespace qzm
