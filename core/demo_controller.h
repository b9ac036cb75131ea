// The one object between the windows (or the command-line tool) and the module: it owns the device,
// the registered-user store and the settings, and runs every device operation. It has no thread of
// its own: callers run one device operation at a time, on a worker, while the window thread reads
// the settings, the user list and the progress. Those reads hand out copies taken under the locks
// below, never references into state an operation changes.
//
// Every device operation returns a DeviceOutcome; MessageFor (core/device_outcome.h) turns it into
// the message the user sees.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device_outcome.h"
#include "core/settings_store.h"
#include "device/exec_settings.h"
#include "device/execution_report.h"
#include "device/qzm_device.h"
#include "device/simulated_port.h"
#include "files/file_operate.h"
#include "image/image_data.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"

namespace qzm {

class CDemoController {
public:
    // What the windows and the tool read of the controller: one copy taken under one lock, so that
    // its values belong together even while an operation on a worker changes them.
    struct Snapshot {
        std::string portName;
        int baudRate = 0;
        int autoConnect = 0;          // 1: connect at start-up without asking
        int outputLogFlag = 0;        // 1: the result log is also written to a file
        DetectionSettings detection;  // as last taken by the module or read at start
        ExecSettings defaults;        // the delivered detection settings ("Reset values")
        FunctionSwitches activeFunctions{};
        int executeImage = kImage320x240;
        int registCount = 0;  // users ever added; numbers the next default name
        int deviceType = kBasicDevice;
    };

    // One of the image slots for a user's registered faces (registration image size, display format).
    struct ImageSlot {
        int dataNumber = -1;  // -1 = empty
        CImageData image;
        // False for a registered face whose image file could not be read: the slot keeps its data
        // number (so it can be deleted and counts as taken) but no picture.
        bool readable = true;
    };

    static constexpr int kImageSlotCount = CRegUserInfoMngr::kMaxDataPerUser;

    explicit CDemoController(PortEnumerationRoots roots = {});
    virtual ~CDemoController();
    CDemoController(const CDemoController&) = delete;
    CDemoController& operator=(const CDemoController&) = delete;

    // An emulated module offered as the port named simulated->Name(), after the real ports and
    // those added before.
    void AddSimulatedPort(std::unique_ptr<ISimulatedPort> simulated);

    // Creates the device and the store and reads every setting. 1 when the start-up connection
    // must be asked for (no port stored or no automatic connection), 0 when Connect succeeded, else
    // its non-zero result; a caller that shows the reason runs LoadAll and Connect itself.
    int Initialise();
    // Initialise without connecting, for callers that choose the port themselves. Runs before any
    // other thread uses the controller.
    void LoadAll();
    // Opens the port and checks that the module answers. A port that cannot be opened leaves its
    // own failure and the system's words for it in the outcome.
    DeviceOutcome Connect(const std::string& portName, int baudRate);
    // The ports to offer: the real ones, then the simulated module when there is one.
    std::vector<std::string> PortList();

    DeviceOutcome GetVersionText(std::string* model, std::string* numbers);
    DeviceOutcome GetFullImageSize(int* width, int* height);
    // Sends every setting, as after connecting. Each is stored once the module took it; the sequence
    // stops at the first one it does not take, and the outcome tells which failure.
    DeviceOutcome ApplyAllSettings(const DetectionSettings& wanted);
    // Sends only the settings that differ from the stored ones, then asks the module for its version
    // once more. The camera angle is stored as soon as its exchange completed, even when the module
    // refused it.
    DeviceOutcome ApplyChangedSettings(const DetectionSettings& wanted);
    // Closes the port (a module that did not answer on connecting is not kept open).
    void Disconnect();
    // Lost: the port vanished (an adapter pulled out); the next device operation opens it again.
    enum class PortState { kClosed, kOpen, kLost };
    PortState Port() const;
    // One execution with these switches and image size (ImageOption; any other value asks for no
    // image), the frame received into frame (the caller's buffer, reused from run to run). The
    // report describes the run whatever its outcome; the switches and image size are stored as the
    // ones in use.
    DeviceOutcome ExecuteOnce(int imageSize, const FunctionSwitches& functions, CImageData* frame,
                              ExecutionReport* report);
    // The 160 x 120 image alone, for the live image of the album page.
    DeviceOutcome ExecuteImageOnly(CImageData* image);

    // Registered users. Every change follows the module's acceptance and is written at once; when
    // the module took a change (moduleChanged) but the PC's files could not follow, the outcome
    // names the file, and module and PC differ from then on.
    std::string MakeDefaultUserName() const;
    bool IsNameUnique(const std::string& name, int id) const;
    // The new user's number, or -1 when every number is taken or the store refuses.
    int AddNewUser(const std::string& name);
    int ChangeUserName(int id, const std::string& name);
    int FetchUserInfo(int id, CUserInfo* user) const;
    std::vector<UserSummary> UserList() const;
    std::vector<UserName> UserNames() const;
    // Fills the image slots with the user's registered faces, in the store's order, and hands out
    // a copy of them. A face whose file cannot be read takes its slot marked unreadable; the faces
    // after it are read all the same.
    std::array<ImageSlot, kImageSlotCount> LoadUserImages(int id);
    // Registers the face in view in the user's first free data number (given back in dataNumber);
    // result -1 when the user is unknown or has no free number.
    DeviceOutcome RegisterFace(int id, int* dataNumber = nullptr);
    DeviceOutcome RemoveUser(int id);
    // dataNumber -1 removes all of the user's data, the user staying.
    DeviceOutcome RemoveData(int id, int dataNumber);
    DeviceOutcome RemoveAll();
    // Empties the store even when the module refused or did not answer.
    DeviceOutcome ClearAllData();
    // Whether any of users 0 to 9 has data on the module.
    DeviceOutcome DeviceHasRegistrations(bool* has);
    // Compares the module's data of the first ten users of the store with the store.
    DeviceOutcome CompareRegistrations(bool* differ);
    // The check at connection start: with users in the store CompareRegistrations, without any
    // DeviceHasRegistrations (the module holding data the PC does not know differs too).
    DeviceOutcome CheckRegistrations(bool* differ);

    // Sends the album backup (./DB/qzcxx.qzb, or the delivered one) to the module.
    DeviceOutcome LoadAlbumBackup();
    // The connection-end backup: the module's album saved as ./DB/qzcxx.qzb, so that the next
    // connection start restores what the module holds now. An album too small to keep is not
    // written.
    DeviceOutcome SaveAlbumBackup();
    // The copy of the registrations kept while the program runs: ./DB to ./DBBack (with
    // RegistCount), put back when the album cannot be saved at close, and removed at the end.
    int BackupRegistrations();
    int RestoreRegistrations();
    void DiscardRegistrationBackup();
    // Module album to an album file with the PC's users, and back. The file side never changes
    // anything when the module part fails (a load puts back the store, RegistCount and the album
    // backup when the module does not take the album), and a refused file leaves the store as it
    // was.
    DeviceOutcome SaveAlbumToFile(const std::string& path);
    DeviceOutcome LoadAlbumFromFile(const std::string& path);
    // Percent done, 0 to 100, while a transfer runs; 100 after it. May be called from any thread.
    double GetAlbumProgress() const;

    Snapshot Read() const;
    void SetAutoConnect(int autoConnect);
    void SetOutputLogFlag(int outputLogFlag);
    // The settings files, for the values the windows keep there themselves (last folders used).
    const CSettingsStore& Settings() const { return settings_; }

private:
    enum class SendMode { kAll, kChanged };
    DeviceOutcome SendSettings(const DetectionSettings& wanted, SendMode mode);
    int UserCount() const;
    int TotalDataCount() const;
    int DeleteAllOnDevice(std::uint8_t* response);
    int ForgetAllUsers();
    int ResetRegistCount();
    int TransferAlbumToFile(const std::string& path, std::uint8_t* response);
    int TransferAlbumFromFile(const std::string& path, std::uint8_t* response);

    // Connecting's two halves: the port (or the built-in simulated module) opened, then the module
    // asked for its version (twice at most) and its command set taken from the answer.
    DeviceOutcome OpenPort(const std::string& portName, int baudRate);
    DeviceOutcome IdentifyModule();
    // Every device operation starts here. A module whose port vanished (an adapter pulled out)
    // may come back power-cycled, with its own defaults: its port is opened again and it gets what
    // connecting sends, the version query and the stored settings, before the operation's command.
    // Fails at once while the port is not there.
    DeviceOutcome ReconnectIfLost();
    // The outcome of an exchange, with the port's own failure when the port vanished meanwhile.
    // The response code is read through the pointer, after the exchange has set it: in
    // Exchanged(Exchange(&code), code) the copy could be taken first.
    DeviceOutcome Exchanged(int result, const std::uint8_t* response) const;
    // Runs the PC's side of a change the module took; a failure names the file in the outcome.
    template <typename Change>
    void FollowOnPc(DeviceOutcome& outcome, Change change);
    // Names the file of the first failed write in the outcome, or `fallback` when no write failed
    // (nothing when that is empty too).
    static void NoteFileFailure(DeviceOutcome& outcome, const std::string& fallback);

    const PortEnumerationRoots roots_;
    const CSettingsStore settings_;
    std::unique_ptr<CQZMDevice> device_;
    std::vector<std::unique_ptr<ISimulatedPort>> simulated_;
    std::unique_ptr<CRegUserStore> store_;

    // Guards the store's users (users_) and imageSlots_: an operation changes them on a worker
    // while the window thread reads the user list. Never held during an exchange with the module.
    // Taken before settingsMutex_ where both are needed.
    mutable std::mutex storeMutex_;
    CRegUserInfoMngr* users_ = nullptr;  // the store's users
    std::array<ImageSlot, kImageSlotCount> imageSlots_;

    // Guards state_ and fullImageTable_. Files are written outside it (LoadAll aside, which runs
    // before other threads do).
    mutable std::mutex settingsMutex_;
    std::vector<ImageInfoEntry> fullImageTable_;
    Snapshot state_;

    // Album transfer progress, read by another thread while the transfer runs.
    enum TransferPhase { kTransferIdle = 0, kTransferDevice = 1, kTransferFile = 2 };
    void StartTransferPhase(TransferPhase phase, double base);
    void SetTransferTimeout(CTimeoutTables::AlbumDirection direction);
    void EndTransfer();
    mutable std::mutex transferMutex_;  // guards the transfer fields below, as one consistent state
    TransferPhase transferPhase_ = kTransferIdle;
    double transferBase_ = 0.0;      // percent at the start of the phase
    double transferProgress_ = 0.0;  // percent reported while idle
    int transferTimeoutMs_ = 0;
    std::chrono::steady_clock::time_point transferStart_;
};

}  // namespace qzm
