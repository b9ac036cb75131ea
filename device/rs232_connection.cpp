#include "device/rs232_connection.h"

#include <algorithm>

namespace qzm {

CRS232Connection::CRS232Connection(PortEnumerationRoots roots, std::unique_ptr<ISerialPort> port)
    : rs232_(std::move(port)), roots_(std::move(roots)) {
    std::lock_guard lock(settingsMutex_);
    EnumerateLocked();
}

CRS232Connection::~CRS232Connection() {
    Close();
}

void CRS232Connection::EnumerateLocked() {
    if (settings_.enumerated)
        return;
    portNames_ = EnumerateSerialPorts(roots_);
    if (!portNames_.empty())
        settings_.selectedIndex = 0;
    settings_.enumerated = true;
}

std::vector<std::string> CRS232Connection::RefreshPortList() {
    std::lock_guard lock(settingsMutex_);
    settings_ = PortSettings{};
    portNames_.clear();
    EnumerateLocked();
    return portNames_;
}

std::vector<std::string> CRS232Connection::PortNames() const {
    std::lock_guard lock(settingsMutex_);
    return portNames_;
}

PortSettings CRS232Connection::Settings() const {
    std::lock_guard lock(settingsMutex_);
    return settings_;
}

int CRS232Connection::BaudRate() const {
    return Settings().baudRate;
}

SerialError CRS232Connection::LastError() const {
    std::lock_guard lock(settingsMutex_);
    return lastError_;
}

std::string CRS232Connection::LastErrorText() const {
    std::lock_guard lock(settingsMutex_);
    return lastErrorText_;
}

bool CRS232Connection::Open(const std::string& portName, int baudRate) {
    int rtsControl = 0;
    {
        std::lock_guard lock(settingsMutex_);
        const auto it = std::find(portNames_.begin(), portNames_.end(), portName);
        const bool listed = it != portNames_.end();
        if (!listed && !IsCharacterDevice(portName)) {
            lastError_ = kSerialNotFound;
            lastErrorText_ = "no such serial port";
            return false;
        }
        settings_.baudRate = baudRate;
        settings_.selectedIndex = listed ? static_cast<int>(it - portNames_.begin()) : PortSettings::kNoPort;
        rtsControl = settings_.rtsControl & 3;
    }
    std::string errorText;
    const SerialError result = rs232_.Open(portName, baudRate, rtsControl, &errorText);
    std::lock_guard lock(settingsMutex_);
    lastError_ = result;
    lastErrorText_ = std::move(errorText);
    return result == kSerialOk;
}

bool CRS232Connection::Open(const std::string& portName, int baudRate, std::unique_ptr<ISerialPort> port) {
    int rtsControl = 0;
    {
        std::lock_guard lock(settingsMutex_);
        settings_.baudRate = baudRate;
        settings_.selectedIndex = PortSettings::kNoPort;
        rtsControl = settings_.rtsControl & 3;
    }
    std::string errorText;
    const SerialError result = rs232_.Open(std::move(port), portName, baudRate, rtsControl, &errorText);
    std::lock_guard lock(settingsMutex_);
    lastError_ = result;
    lastErrorText_ = std::move(errorText);
    return result == kSerialOk;
}

void CRS232Connection::Close() {
    rs232_.Close();
}

int CRS232Connection::Send(int length, const std::uint8_t* bytes) {
    // A failed write is noticed by the protocol as a missing answer.
    rs232_.Send(bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    return 0;
}

int CRS232Connection::Receive(int& count, std::uint8_t* destination) {
    count = count > 0 ? static_cast<int>(rs232_.Take(destination, static_cast<std::size_t>(count))) : 0;
    return 0;
}

int CRS232Connection::WaitForBytes(int timeoutMs, int count) {
    return rs232_.WaitFor(count > 0 ? static_cast<std::size_t>(count) : 0, timeoutMs) ? 0 : -1;
}

bool CRS232Connection::HasBytes(int count) {
    return rs232_.Buffered() >= static_cast<std::size_t>(std::max(count, 0));
}

}  // namespace qzm
