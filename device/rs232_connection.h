// The serial connection to the module: port settings, the list of ports, and the port worker.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/connection.h"
#include "device/rs232.h"

namespace qzm {

struct PortSettings {
    static constexpr int kNoPort = 999;

    int baudRate = 9600;
    std::uint8_t parity = 0;      // 0 = none
    std::uint8_t stopBits = 0;    // 0 = one stop bit
    int rtsControl = 0;           // only the low two bits count; 1 = RTS on
    int selectedIndex = kNoPort;  // position of the chosen port in the list; kNoPort = none
    bool enumerated = false;
};

class CRS232Connection : public CConnection {
public:
    explicit CRS232Connection(PortEnumerationRoots roots = {},
                              std::unique_ptr<ISerialPort> port = CreateSerialPort());
    ~CRS232Connection() override;

    // name is a listed port (exact, case-sensitive) or a path that names a terminal device.
    // A name that is neither leaves the current port as it is; otherwise the current port is
    // closed first, so a failed open leaves no port open.
    bool Open(const std::string& portName, int baudRate) override;
    // Opens over port (a module emulated inside the program) instead of a serial device; portName
    // is only handed on to it. The port is not one of the list, so nothing is selected.
    bool Open(const std::string& portName, int baudRate, std::unique_ptr<ISerialPort> port);
    void Close() override;
    int Send(int length, const std::uint8_t* bytes) override;
    int Receive(int& count, std::uint8_t* destination) override;
    // Sleeps on the receive buffer's condition instead of polling, with the same time-outs.
    int WaitForBytes(int timeoutMs, int count) override;
    bool HasBytes(int count) override;

    // Forgets the settings (baud rate back to 9600, nothing selected), enumerates again and
    // returns the names.
    std::vector<std::string> RefreshPortList();
    std::vector<std::string> PortNames() const;
    PortSettings Settings() const;
    int BaudRate() const;

    bool IsOpen() const { return rs232_.IsOpen(); }
    // True once the reader saw the device vanish (read error or end of file), until a port is
    // opened again; whoever owns the connection reopens it (and brings the module in line).
    bool IsLost() const { return rs232_.IsLost(); }
    // Why the last Open failed, and the system's words for it.
    SerialError LastError() const;
    std::string LastErrorText() const;

private:
    void EnumerateLocked();

    CRs232 rs232_;
    const PortEnumerationRoots roots_;

    mutable std::mutex settingsMutex_;  // guards settings_, portNames_, lastError_, lastErrorText_
    PortSettings settings_;
    std::vector<std::string> portNames_;
    SerialError lastError_ = kSerialOk;
    std::string lastErrorText_;
};

}  // namespace qzm
