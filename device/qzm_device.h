// The device facade: the one object through which the program talks to the module.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "device/qzm_protocol.h"
#include "device/rs232_connection.h"

namespace qzm {

struct VersionInfo {
    std::string model;  // the 12 bytes of model text, each byte one character, zero bytes kept
    int major = 0;
    int minor = 0;
    int release = 0;
    int revision = 0;
};

class CQZMDevice {
public:
    // Device type 1 is the extended command set (album commands, five expression scores).
    static constexpr int kBasicDevice = 0;
    static constexpr int kExtendedDevice = 1;

    explicit CQZMDevice(PortEnumerationRoots roots = {});
    virtual ~CQZMDevice() = default;
    CQZMDevice(const CQZMDevice&) = delete;
    CQZMDevice& operator=(const CQZMDevice&) = delete;

    CRS232Connection& Connection() { return connection_; }
    CQZMProtocol& Protocol() { return protocol_; }

    std::vector<std::string> RefreshPortList() { return connection_.RefreshPortList(); }

    // Readable before the device type is known: it is checked against a list of its own.
    int GetVersion(VersionInfo* version, std::uint8_t* response);

    // Rebuilds the supported-command list when the type changes.
    void SetDeviceType(int type);
    int DeviceType() const { return deviceType_.load(); }
    // The device type a version answer stands for: minor version 2 has the extended set.
    static int DeviceTypeForVersion(const VersionInfo& version) {
        return version.minor == 2 ? kExtendedDevice : kBasicDevice;
    }
    const SupportedCommands& Supported() const { return supportedCommands_; }

private:
    int TimeoutFor(std::uint8_t code) const;

    CRS232Connection connection_;
    CQZMProtocol protocol_;
    SupportedCommands supportedCommands_;  // changed only between device operations
    std::atomic<int> deviceType_{kBasicDevice};
};

}  // namespace qzm
