// The one object between the windows (or the command-line tool) and the module: it owns the device,
// the registered-user store and the settings, and runs every device operation. It has no thread
// and no lock of its own: callers run one device operation at a time.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "device/exec_settings.h"
#include "device/qzm_device.h"
#include "device/simulated_port.h"
#include "files/file_operate.h"
#include "image/image_data.h"
#include "present/result_text.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"

namespace qzm {

class CDemoController {
public:
    using Functions = CSettingsStore::FunctionFlags;

    // One of the ten image slots for a user's registered faces (64 x 64, display format).
    struct ImageSlot {
        int dataNumber = -1;  // -1 = empty
        CImageData image;
    };

    explicit CDemoController(PortEnumerationRoots roots = {});
    virtual ~CDemoController();
    CDemoController(const CDemoController&) = delete;
    CDemoController& operator=(const CDemoController&) = delete;

    // The emulator offered as the port named simulated->Name(); null removes it.
    void SetSimulatedPort(std::unique_ptr<ISimulatedPort> simulated);

    // Creates the device and the store and reads every setting. 1 when the start-up connection
    // must be asked for (no port stored or no automatic connection), else the result of Connect.
    int Initialise();
    // Initialise without connecting, for callers that choose the port themselves.
    void LoadAll();
    // Opens the port and checks that the module answers; 0 when connected.
    int Connect(const std::string& portName, int baudRate);
    // The ports to offer: the real ones, then the simulated module when there is one.
    std::vector<std::string> PortList();

    int GetVersionText(std::uint8_t* response, std::string* model, std::string* numbers);
    int GetFullImageSize(int* width, int* height);
    int ApplyAllSettings(const ExecSettings& settings, int cameraAngle);
    int ApplyChangedSettings(int cameraAngle, const int thresholds[4], const CRange ranges[3], int yaw,
                             int roll);
    int ExecuteOnce(CImageData* image, int imageSize, CExecResult* result, std::uint8_t* response,
                    const Functions& functions);

    // Registered users. Every change follows the module's acceptance and is written at once.
    std::string MakeDefaultUserName() const;
    bool IsNameUnique(const std::string& name, int id) const;
    // The new user's number, or -1 when every number is taken or the store refuses.
    int AddNewUser(const std::string& name);
    int ChangeUserName(int id, const std::string& name);
    int FetchUserInfo(int id, CUserInfo* user) const;
    std::vector<UserSummary> UserList() const;
    std::vector<UserName> UserNames() const;
    // Fills the image slots with the user's registered faces, in the store's order.
    const std::array<ImageSlot, 10>& LoadUserImages(int id);
    // Registers the face in view in the user's first free data number (given back in dataNumber);
    // -1 when the user is unknown or has no free number.
    int RegisterFace(int id, std::uint8_t* response, int* dataNumber = nullptr);
    int RemoveUser(int id, std::uint8_t* response);
    // dataNumber -1 removes all of the user's data, the user staying.
    int RemoveData(int id, int dataNumber, std::uint8_t* response);
    int RemoveAll(std::uint8_t* response);
    // Empties the store even when the module refused or did not answer.
    int ClearAllData(std::uint8_t* response);
    // Whether any of users 0 to 9 has data on the module: flag -1 when one has.
    int DeviceHasRegistrations(int* flag);
    // Compares the module's data of the first ten users of the store with the store: flag -1 at
    // the first difference.
    int CompareRegistrations(int* flag);

    // Sends the album backup (./DB/qzcxx.qzb, or the delivered one) to the module.
    int LoadAlbumBackup(std::uint8_t* response);
    // Module album to an album file with the PC's users, and back. The file side never changes
    // anything when the module part fails (a load puts back the store, RegistCount and the album
    // backup when the module does not take the album), and a refused file leaves the store as it
    // was.
    int SaveAlbumToFile(const std::string& path, std::uint8_t* response);
    int LoadAlbumFromFile(const std::string& path, std::uint8_t* response);
    // 0 to 100 while a transfer runs; may be called from another thread meanwhile.
    double GetAlbumProgress() const;

    // Settings as last confirmed by the module or read at start.
    const std::string& PortName() const { return portName_; }
    int BaudRate() const { return baudRate_; }
    int CameraAngle() const { return cameraAngle_; }
    int AutoConnect() const { return autoConnect_; }
    void SetAutoConnect(int autoConnect);
    int OutputLogFlag() const { return outputLogFlag_; }
    const Functions& ActiveFunctions() const { return activeFunctions_; }
    int ExecuteImage() const { return executeImage_; }
    const ExecSettings& CurrentSettings() const { return currentSettings_; }
    const ExecSettings& DefaultSettings() const { return defaultSettings_; }
    int RegistCount() const { return registCount_; }

    CQZMDevice* Device() { return device_.get(); }
    const CSettingsStore& Settings() const { return settings_; }

private:
    int SetCameraAngleOnDevice(int angle, std::uint8_t* response);
    int SetThresholdsOnDevice(const int thresholds[4], std::uint8_t* response);
    int SetFaceAngleOnDevice(int yaw, int roll, std::uint8_t* response);
    int UserCount() const;
    int DeleteAllOnDevice(std::uint8_t* response);
    void ForgetAllUsers();

    const PortEnumerationRoots roots_;
    const CSettingsStore settings_;
    std::unique_ptr<CQZMDevice> device_;
    std::unique_ptr<ISimulatedPort> simulated_;
    std::unique_ptr<CRegUserStore> store_;
    CRegUserInfoMngr* users_ = nullptr;  // the store's users
    std::vector<ImageInfoEntry> fullImageTable_;
    std::array<ImageSlot, 10> imageSlots_;

    std::string portName_;
    int baudRate_ = 0;
    int cameraAngle_ = 0;
    int autoConnect_ = 0;
    Functions activeFunctions_{};
    int executeImage_ = 1;
    ExecSettings currentSettings_;
    int outputLogFlag_ = 0;
    ExecSettings defaultSettings_;
    int registCount_ = 0;

    // Album transfer progress, read by another thread while the transfer runs.
    enum TransferPhase { kTransferIdle = 0, kTransferDevice = 1, kTransferFile = 2 };
    void StartTransferPhase(TransferPhase phase, double base);
    void SetTransferTimeout(int direction);  // 0 save, 1 load
    void EndTransfer();
    std::atomic<int> transferPhase_{kTransferIdle};
    std::atomic<double> transferBase_{0.0};
    std::atomic<double> transferProgress_{0.0};
    std::atomic<int> transferTimeoutMs_{0};
    std::atomic<std::chrono::steady_clock::rep> transferStart_{0};
};

}  // namespace qzm
