// The device facade: the one object through which the program talks to the module.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "device/qzm_protocol.h"
#include "device/rs232_connection.h"
#include "device/timeout_tables.h"
#include "image/image_data.h"

namespace qzm {

struct VersionInfo {
    std::string model;  // the 12 bytes of model text, each byte one character, zero bytes kept
    int major = 0;
    int minor = 0;
    int release = 0;
    int revision = 0;
};

// Registered faces travel as square grey images of this side.
inline constexpr int kFaceImageSide = 64;

class CQZMDevice {
public:
    explicit CQZMDevice(PortEnumerationRoots roots = {});
    virtual ~CQZMDevice() = default;
    CQZMDevice(const CQZMDevice&) = delete;
    CQZMDevice& operator=(const CQZMDevice&) = delete;

    // The parts themselves, for tests, benchmarks and diagnostics; the program goes through the
    // operations below.
    CRS232Connection& Connection() { return connection_; }
    CQZMProtocol& Protocol() { return protocol_; }

    std::vector<std::string> RefreshPortList() { return connection_.RefreshPortList(); }
    // A listed port or a path that names a terminal device, at any rate the port can run at. May
    // be called while another thread is inside a command: that command then fails.
    bool Open(const std::string& portName, int baudRate) { return connection_.Open(portName, baudRate); }
    // Opens over a port of the caller's (a module emulated inside the program).
    bool Open(const std::string& portName, int baudRate, std::unique_ptr<ISerialPort> port) {
        return connection_.Open(portName, baudRate, std::move(port));
    }
    void Close() { connection_.Close(); }
    bool IsOpen() const { return connection_.IsOpen(); }
    // Why the last Open failed, and the system's words for it.
    SerialError LastOpenError() const { return connection_.LastError(); }
    std::string LastOpenErrorText() const { return connection_.LastErrorText(); }

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

    // Detection settings. The low byte of each code and the low 16 bits of each value go out.
    // thresholds: Body, Hand, Face, Recognition; ranges: Body, Hand, Face.
    int SetCameraAngle(int angleCode, std::uint8_t* response);
    int SetThreshold(const int thresholds[4], std::uint8_t* response);
    int SetSizeRange(const CRange ranges[3], std::uint8_t* response);
    int SetFaceAngle(int yawCode, int rollCode, std::uint8_t* response);

    // count: registered face entries over all users, which the module's wait grows with.
    int DeleteUser(int count, int user, std::uint8_t* response);
    int DeleteData(int count, int user, int data, std::uint8_t* response);
    int DeleteAll(int count, std::uint8_t* response);
    int GetUserData(int user, bool present[10], std::uint8_t* response);

    // Largest album the program handles.
    static constexpr std::uint32_t kMaxAlbumSize = 816032;

    // One execution. The face settings and the user count only choose the time-out; image's
    // plane 0 must hold the option's image (the caller sizes it). On success (result 0 and response
    // code 0) result and image hold the answer, and an execution without an image leaves the image
    // 0 x 0; on any failure neither changes.
    int Execute(int imageOption, int minFaceSize, int yawCode, int rollCode, const bool functions[10],
                int recognitionUserCount, CImageData* image, CExecResult* result, std::uint8_t* response);
    // The 160 x 120 image alone, for the live preview.
    int ExecuteImageOnly(CImageData* image, std::uint8_t* response);

    // Registers the face in view; image (64 x 64 grey, sized by the caller) receives the module's
    // face image. An answer whose pixels do not match its stated size gives kProtocolBadLength.
    // Without an image buffer nothing is sent (kProtocolMissingArgument), as for SaveAlbum without
    // its outputs: the module must not keep a registration the PC cannot store.
    int Register(int count, int user, int data, CImageData* image, std::uint8_t* response);
    // The module's album. An answer that is not a whole album (under 40 bytes, or a stated size
    // that is not what arrived) gives kProtocolBadLength, so a broken album is never saved.
    int SaveAlbum(std::uint32_t* size, std::uint8_t* flag, std::vector<std::uint8_t>* album,
                  std::uint8_t* response);
    int LoadAlbum(std::uint32_t size, std::uint8_t flag, const std::uint8_t* album, std::uint8_t* response);

private:
    int LookupTimeout(std::uint8_t code) { return timeouts_.Lookup(code, DeviceType(), timeoutParameters_); }
    int SendExecute(int timeoutMs, FunctionRequestBytes flags, int imageOption, std::uint8_t* pixels,
                    std::size_t capacity, CRawExecResult* raw, std::uint8_t* response);

    CRS232Connection connection_;
    CQZMProtocol protocol_;
    CTimeoutTables timeouts_;
    // Device operations run one at a time; these change only inside them.
    SupportedCommands supportedCommands_;
    TimeoutParameters timeoutParameters_;
    std::atomic<int> deviceType_{kBasicDevice};
};

}  // namespace qzm
