// The platform's serial port behind one small interface. The reader thread, the receive buffer and
// everything above them are platform-neutral; serial_port_posix.cpp holds the Linux side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qzm {

// Why a port could not be opened or used. The windows pick their message by it: kNoPermission
// means the user lacks access (membership of the dialout group), kNotFound that nothing is there.
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

// Maps an errno of open() to the reason shown to the user.
SerialError SerialErrorForErrno(int err);

// Where port enumeration looks. Tests point these at a folder tree of their own.
struct PortEnumerationRoots {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
};

// Serial devices present, found without opening them (opening toggles modem lines and resets
// some boards), as device paths in natural order (ttyS2 before ttyS10).
std::vector<std::string> EnumerateSerialPorts(const PortEnumerationRoots& roots);

// True when the path names an existing character device (a candidate terminal outside the list).
bool IsCharacterDevice(const std::string& path);

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
