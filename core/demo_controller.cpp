#include "core/demo_controller.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "res/string_table.h"

namespace qzm {

namespace {

constexpr auto kConnectSettle = std::chrono::milliseconds(200);
constexpr auto kVersionRetryPause = std::chrono::milliseconds(500);
constexpr int kVersionTries = 2;
// The whole picture when the module's model is not in FullImageInfo.dat.
constexpr int kDefaultFullWidth = 640;
constexpr int kDefaultFullHeight = 480;
// The start-up check looks at the module's first users.
constexpr int kCheckedUsers = 10;

// The controller's own refusal before anything is sent: an unknown user, no free data number, a
// backup file that cannot be read.
constexpr int kRefused = -1;

bool Succeeded(int result, std::uint8_t response) {
    return result == kProtocolOk && response == 0;
}

DeviceOutcome RefusedOutcome(std::uint8_t response = 0) {
    DeviceOutcome outcome;
    outcome.result = kRefused;
    outcome.response = response;
    return outcome;
}

DeviceOutcome PortFailure(const std::string& port, SerialError error, const std::string& text) {
    DeviceOutcome outcome;
    outcome.result = kProtocolNoConnection;
    outcome.port = port;
    outcome.portError = error != kSerialOk ? error : kSerialSetupFailed;
    outcome.portText = text;
    return outcome;
}

std::int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0' ||
                             text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

CDemoController::CDemoController(PortEnumerationRoots roots) : roots_(std::move(roots)) {}

CDemoController::~CDemoController() {
    // The port closes before the emulator behind it goes away.
    device_.reset();
    for (const auto& simulated : simulated_)
        simulated->Stop();
}

void CDemoController::AddSimulatedPort(std::unique_ptr<ISimulatedPort> simulated) {
    simulated_.push_back(std::move(simulated));
}

int CDemoController::Initialise() {
    LoadAll();
    const Snapshot stored = Read();
    if (stored.portName.empty() || stored.autoConnect != 1)
        return 1;
    const DeviceOutcome connected = Connect(stored.portName, stored.baudRate);
    if (connected.ok())
        return 0;
    return connected.result != kProtocolOk ? connected.result : -1;
}

void CDemoController::LoadAll() {
    device_ = std::make_unique<CQZMDevice>(roots_);
    store_ = std::make_unique<CRegUserStore>();
    std::lock_guard storeLock(storeMutex_);
    users_ = &store_->Users();
    store_->Load();
    for (ImageSlot& slot : imageSlots_) {
        slot.dataNumber = -1;
        slot.image.Allocate(kFaceImageSide, nullptr, kFaceImageSide, kFormatBgr24, 1);
    }

    std::lock_guard settingsLock(settingsMutex_);
    fullImageTable_.clear();
    CFileOperate::ReadImageInfoTable(fullImageTable_);
    state_ = Snapshot{};
    settings_.ReadPortSettings(state_.portName, state_.baudRate);
    state_.autoConnect = settings_.ReadAutoConnect();
    state_.detection.cameraAngle = settings_.ReadCameraAngle();
    settings_.ReadActiveFunctions(state_.activeFunctions);
    state_.executeImage = settings_.ReadExecuteImage();
    state_.outputLogFlag = settings_.ReadOutputLogFlag();
    state_.registCount = settings_.ReadRegistCount();

    settings_.LoadDefaultSettings(state_.defaults);
    ExecSettings& current = state_.detection.exec;
    settings_.ReadThresholds(current.threshold);
    settings_.ReadSizeRanges(current.sizeRange);
    settings_.ReadFaceAngle(current.yawAngle, current.rollAngle);
    if (current.threshold[ExecSettings::kBody] == -1) {
        // Nothing stored yet: start from the delivered defaults.
        current = state_.defaults;
        settings_.WriteThresholds(current.threshold);
        settings_.WriteSizeRanges(current.sizeRange);
        settings_.WriteFaceAngle(current.yawAngle, current.rollAngle);
    }
}

std::vector<std::string> CDemoController::PortList() {
    std::vector<std::string> ports = device_ ? device_->RefreshPortList() : std::vector<std::string>{};
    for (const auto& simulated : simulated_)
        ports.push_back(simulated->Name());
    return ports;
}

CDemoController::Snapshot CDemoController::Read() const {
    std::lock_guard lock(settingsMutex_);
    return state_;
}

void CDemoController::SetAutoConnect(int autoConnect) {
    {
        std::lock_guard lock(settingsMutex_);
        state_.autoConnect = autoConnect;
    }
    settings_.WriteAutoConnect(autoConnect);
}

void CDemoController::SetOutputLogFlag(int outputLogFlag) {
    {
        std::lock_guard lock(settingsMutex_);
        state_.outputLogFlag = outputLogFlag;
    }
    settings_.WriteOutputLogFlag(outputLogFlag);
}

DeviceOutcome CDemoController::Exchanged(int result, const std::uint8_t* response) const {
    DeviceOutcome outcome;
    outcome.result = result;
    outcome.response = *response;
    if (result != kProtocolOk && device_->Connection().IsLost()) {
        outcome.portLost = true;
        outcome.port = Read().portName;
    }
    return outcome;
}

void CDemoController::NoteFileFailure(DeviceOutcome& outcome, const std::string& fallback) {
    const CFileOperate::WriteFailure failure = CFileOperate::FirstWriteFailure();
    outcome.file = failure.path.empty() ? fallback : failure.path;
    outcome.fileText = failure.reason;
}

template <typename Change>
void CDemoController::FollowOnPc(DeviceOutcome& outcome, Change change) {
    CFileOperate::ForgetWriteFailure();
    if (change() != 0)
        NoteFileFailure(outcome, kRegistDataFolder);
}

DeviceOutcome CDemoController::Connect(const std::string& portName, int baudRate) {
    std::this_thread::sleep_for(kConnectSettle);
    {
        std::lock_guard lock(settingsMutex_);
        state_.portName = portName;
        state_.baudRate = baudRate;
    }
    settings_.WritePortSettings(portName, baudRate);
    const DeviceOutcome opened = OpenPort(portName, baudRate);
    return opened.ok() ? IdentifyModule() : opened;
}

DeviceOutcome CDemoController::OpenPort(const std::string& portName, int baudRate) {
    for (const auto& simulated : simulated_) {
        if (!simulated->Serves(portName))
            continue;
        std::string why;
        std::unique_ptr<ISerialPort> port = simulated->Start(portName, &why);
        if (port == nullptr)
            return PortFailure(portName, kSerialSetupFailed, why);
        if (!device_->Open(portName, baudRate, std::move(port)))
            return PortFailure(portName, device_->LastOpenError(), device_->LastOpenErrorText());
        return {};
    }
    if (!device_->Open(portName, baudRate))
        return PortFailure(portName, device_->LastOpenError(), device_->LastOpenErrorText());
    return {};
}

DeviceOutcome CDemoController::IdentifyModule() {
    DeviceOutcome outcome;
    for (int attempt = 0; attempt < kVersionTries; ++attempt) {
        std::this_thread::sleep_for(kVersionRetryPause);
        VersionInfo version;
        std::uint8_t response = 0;
        outcome = Exchanged(device_->GetVersion(&version, &response), &response);
        if (outcome.ok()) {
            const int type = CQZMDevice::DeviceTypeForVersion(version);
            device_->SetDeviceType(type);
            std::lock_guard lock(settingsMutex_);
            state_.deviceType = type;
            return outcome;
        }
    }
    return outcome;
}

DeviceOutcome CDemoController::ReconnectIfLost() {
    if (!device_->Connection().IsLost())
        return {};
    const Snapshot stored = Read();
    const std::string& port = stored.portName;
    DeviceOutcome outcome = OpenPort(port, stored.baudRate);
    if (!outcome.ok())
        return outcome;
    outcome = IdentifyModule();
    if (outcome.ok())
        outcome = ApplyAllSettings(stored.detection);
    if (!outcome.ok()) {
        outcome.notSetUpAgain = true;
        outcome.port = port;
    }
    return outcome;
}

DeviceOutcome CDemoController::GetVersionText(std::string* model, std::string* numbers) {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    VersionInfo version;
    std::uint8_t response = 0;
    const DeviceOutcome outcome = Exchanged(device_->GetVersion(&version, &response), &response);
    if (!outcome.ok())
        return outcome;
    if (model)
        *model = version.model;
    if (numbers) {
        char text[64];
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", version.major, version.minor, version.release,
                      version.revision);
        *numbers = text;
    }
    return outcome;
}

DeviceOutcome CDemoController::GetFullImageSize(int* width, int* height) {
    std::string model;
    const DeviceOutcome outcome = GetVersionText(&model, nullptr);
    if (!outcome.ok())
        return outcome;
    *width = kDefaultFullWidth;
    *height = kDefaultFullHeight;
    const std::string trimmed = TrimRight(model);
    std::lock_guard lock(settingsMutex_);
    for (const ImageInfoEntry& entry : fullImageTable_) {
        if (entry.name == trimmed) {
            *width = entry.width;
            *height = entry.height;
            break;
        }
    }
    return outcome;
}

void CDemoController::Disconnect() {
    device_->Close();
}

CDemoController::PortState CDemoController::Port() const {
    CRS232Connection& connection = device_->Connection();
    return connection.IsLost()   ? PortState::kLost
           : connection.IsOpen() ? PortState::kOpen
                                 : PortState::kClosed;
}

DeviceOutcome CDemoController::ApplyAllSettings(const DetectionSettings& wanted) {
    return SendSettings(wanted, SendMode::kAll);
}

DeviceOutcome CDemoController::ApplyChangedSettings(const DetectionSettings& wanted) {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    DeviceOutcome outcome = SendSettings(wanted, SendMode::kChanged);
    if (!outcome.ok())
        return outcome;
    VersionInfo version;
    std::uint8_t response = 0;
    return Exchanged(device_->GetVersion(&version, &response), &response);
}

DeviceOutcome CDemoController::SendSettings(const DetectionSettings& wanted, SendMode mode) {
    // Only an operation changes them, and operations run one at a time.
    const DetectionSettings held = Read().detection;
    const ExecSettings& exec = wanted.exec;
    std::uint8_t response = 0;
    DeviceOutcome outcome;
    // One setting: sent when it differs (or every one is sent), then written to Settings.ini and
    // kept once the module took it; keepRefused keeps it as soon as the exchange completed.
    auto step = [&](bool differs, bool keepRefused, auto send, auto write, auto keep) {
        if (mode == SendMode::kChanged && !differs)
            return true;
        outcome = Exchanged(send(), &response);
        if (outcome.ok() || (keepRefused && outcome.result == kProtocolOk)) {
            write();
            std::lock_guard lock(settingsMutex_);
            keep(state_.detection);
        }
        return outcome.ok();
    };
    step(
        wanted.cameraAngle != held.cameraAngle, mode == SendMode::kChanged,
        [&] { return device_->SetCameraAngle(wanted.cameraAngle, &response); },
        [&] { settings_.WriteCameraAngle(wanted.cameraAngle); },
        [&](DetectionSettings& kept) { kept.cameraAngle = wanted.cameraAngle; }) &&
        step(
            !std::equal(std::begin(exec.threshold), std::end(exec.threshold), held.exec.threshold), false,
            [&] { return device_->SetThreshold(exec.threshold, &response); },
            [&] { settings_.WriteThresholds(exec.threshold); },
            [&](DetectionSettings& kept) {
                std::copy(std::begin(exec.threshold), std::end(exec.threshold), kept.exec.threshold);
            }) &&
        step(
            !std::equal(std::begin(exec.sizeRange), std::end(exec.sizeRange), held.exec.sizeRange), false,
            [&] { return device_->SetSizeRange(exec.sizeRange, &response); },
            [&] { settings_.WriteSizeRanges(exec.sizeRange); },
            [&](DetectionSettings& kept) {
                std::copy(std::begin(exec.sizeRange), std::end(exec.sizeRange), kept.exec.sizeRange);
            }) &&
        step(
            exec.yawAngle != held.exec.yawAngle || exec.rollAngle != held.exec.rollAngle, false,
            [&] { return device_->SetFaceAngle(exec.yawAngle, exec.rollAngle, &response); },
            [&] { settings_.WriteFaceAngle(exec.yawAngle, exec.rollAngle); },
            [&](DetectionSettings& kept) {
                kept.exec.yawAngle = exec.yawAngle;
                kept.exec.rollAngle = exec.rollAngle;
            });
    return outcome;
}

DeviceOutcome CDemoController::ExecuteOnce(int imageSize, const FunctionSwitches& functions,
                                           CImageData* frame, ExecutionReport* report) {
    ExecutionReport& run = *report;
    run = ExecutionReport{};
    run.functions = functions;
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok()) {
        run.status = back.result;
        run.response = back.response;
        return back;
    }
    bool functionsChanged = false;
    bool imageChanged = false;
    ExecSettings current;
    {
        std::lock_guard lock(settingsMutex_);
        functionsChanged = functions != state_.activeFunctions;
        state_.activeFunctions = functions;
        imageChanged = imageSize != state_.executeImage;
        state_.executeImage = imageSize;
        current = state_.detection.exec;
    }
    if (functionsChanged)
        settings_.WriteActiveFunctions(functions);
    if (imageChanged)
        settings_.WriteExecuteImage(imageSize);
    run.imageOption = imageSize;
    if (imageSize == kImage320x240) {
        frame->Allocate(320, nullptr, 240, kFormatGrey8, 1);
    } else if (imageSize == kImage160x120) {
        frame->Allocate(160, nullptr, 120, kFormatGrey8, 1);
    } else {
        run.imageOption = kImageNone;
    }
    const int users = UserCount();
    std::uint8_t response = 0;
    run.sentWallMs = WallClockMs();
    const auto sent = std::chrono::steady_clock::now();
    const int exchanged =
        device_->Execute(run.imageOption, current.sizeRange[ExecSettings::kFace].min, current.yawAngle,
                         current.rollAngle, functions.data(), users, frame, &run.result, &response);
    const auto done = std::chrono::steady_clock::now();
    run.doneWallMs = WallClockMs();
    run.sentSteadyNs = std::chrono::duration_cast<std::chrono::nanoseconds>(sent.time_since_epoch()).count();
    run.doneSteadyNs = std::chrono::duration_cast<std::chrono::nanoseconds>(done.time_since_epoch()).count();
    run.responseTimeMs = static_cast<int>(std::chrono::duration<double, std::milli>(done - sent).count());
    const DeviceOutcome outcome = Exchanged(exchanged, &response);
    run.status = outcome.result;
    run.response = outcome.response;
    if (exchanged == kProtocolOk) {
        const std::span<const std::uint8_t> payload = device_->Protocol().AnswerData();
        run.payload.assign(payload.begin(), payload.end());
        run.image = *frame;
    }
    return outcome;
}

DeviceOutcome CDemoController::ExecuteImageOnly(CImageData* image) {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    std::uint8_t response = 0;
    const int exchanged = device_->ExecuteImageOnly(image, &response);
    return Exchanged(exchanged, &response);
}

int CDemoController::UserCount() const {
    std::lock_guard lock(storeMutex_);
    return static_cast<int>(users_->GetUserList().size());
}

int CDemoController::TotalDataCount() const {
    std::lock_guard lock(storeMutex_);
    return users_->TotalDataCount();
}

std::string CDemoController::MakeDefaultUserName() const {
    return FormatString(kStrDefaultUserName, Read().registCount + 1);
}

bool CDemoController::IsNameUnique(const std::string& name, int id) const {
    std::lock_guard lock(storeMutex_);
    return users_->IsNameUnique(name, id);
}

int CDemoController::AddNewUser(const std::string& name) {
    int id = -1;
    {
        std::lock_guard lock(storeMutex_);
        id = users_->FindFreeUserNumber();
        if (id < 0 || users_->AddUser(id, name) != 0)
            return -1;
    }
    int count = 0;
    {
        std::lock_guard lock(settingsMutex_);
        count = ++state_.registCount;
    }
    settings_.WriteRegistCount(count);
    return id;
}

int CDemoController::ChangeUserName(int id, const std::string& name) {
    std::lock_guard lock(storeMutex_);
    return users_->RenameUser(id, name);
}

int CDemoController::FetchUserInfo(int id, CUserInfo* user) const {
    std::lock_guard lock(storeMutex_);
    return user != nullptr ? users_->GetUserInfo(id, *user) : -1;
}

std::vector<UserSummary> CDemoController::UserList() const {
    std::lock_guard lock(storeMutex_);
    return users_->GetUserList();
}

std::vector<UserName> CDemoController::UserNames() const {
    std::vector<UserName> names;
    for (const UserSummary& user : UserList())
        names.emplace_back(user.id, user.name);
    return names;
}

std::array<CDemoController::ImageSlot, CDemoController::kImageSlotCount> CDemoController::LoadUserImages(
    int id) {
    std::lock_guard lock(storeMutex_);
    for (ImageSlot& slot : imageSlots_) {
        slot.dataNumber = -1;
        slot.readable = true;
    }
    CUserInfo user;
    if (users_->GetUserInfo(id, user) != 0)
        return imageSlots_;
    std::size_t next = 0;
    for (const UserDataEntry& entry : user.Entries()) {
        if (next == imageSlots_.size())
            break;
        ImageSlot& slot = imageSlots_[next++];
        slot.dataNumber = entry.dataNumber;
        CImageData grey;
        grey.Allocate(kFaceImageSide, nullptr, kFaceImageSide, kFormatGrey8, 1);
        CImageData display;
        display.Allocate(kFaceImageSide, nullptr, kFaceImageSide, kFormatBgr24, 1);
        const CImgConv converter(grey.Width(), grey.Height(), grey.Format(), display.Format());
        IMGCONVINFO target = display.Info();
        slot.readable = users_->GetRegisteredImage(id, entry.dataNumber, grey) == 0 &&
                        converter.Convert(grey.Info(), &target, false) == 0;
        if (slot.readable)
            slot.image.Copy(display);
    }
    return imageSlots_;
}

DeviceOutcome CDemoController::RegisterFace(int id, int* dataNumber) {
    int data = -1;
    {
        std::lock_guard lock(storeMutex_);
        data = users_->FindFreeDataNumber(id);
    }
    if (dataNumber)
        *dataNumber = data;
    if (data < 0)
        return RefusedOutcome();
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    CImageData face;
    face.Allocate(kFaceImageSide, nullptr, kFaceImageSide, kFormatGrey8, 1);
    std::uint8_t response = 0;
    DeviceOutcome outcome =
        Exchanged(device_->Register(TotalDataCount(), id, data, &face, &response), &response);
    if (!outcome.ok())
        return outcome;
    outcome.moduleChanged = true;
    FollowOnPc(outcome, [&] {
        std::lock_guard lock(storeMutex_);
        return users_->AddData(face, id, data);
    });
    return outcome;
}

DeviceOutcome CDemoController::RemoveUser(int id) {
    CUserInfo user;
    if (FetchUserInfo(id, &user) != 0)
        return RefusedOutcome();
    DeviceOutcome outcome;
    if (!user.Entries().empty()) {
        if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
            return back;
        std::uint8_t response = 0;
        outcome = Exchanged(device_->DeleteUser(TotalDataCount(), id, &response), &response);
        if (!outcome.ok())
            return outcome;
        outcome.moduleChanged = true;
    }
    FollowOnPc(outcome, [&] {
        bool empty = false;
        {
            std::lock_guard lock(storeMutex_);
            if (users_->DeleteUser(id) != 0)
                return -1;
            empty = users_->GetUserList().empty();
        }
        return empty ? ResetRegistCount() : 0;
    });
    return outcome;
}

DeviceOutcome CDemoController::RemoveData(int id, int dataNumber) {
    CUserInfo user;
    if (FetchUserInfo(id, &user) != 0)
        return RefusedOutcome();
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    const int count = TotalDataCount();
    std::uint8_t response = 0;
    const int result = dataNumber == -1 ? device_->DeleteUser(count, id, &response)
                                        : device_->DeleteData(count, id, dataNumber, &response);
    DeviceOutcome outcome = Exchanged(result, &response);
    if (!outcome.ok())
        return outcome;
    outcome.moduleChanged = true;
    FollowOnPc(outcome, [&] {
        std::lock_guard lock(storeMutex_);
        return users_->DeleteData(id, dataNumber);
    });
    return outcome;
}

int CDemoController::DeleteAllOnDevice(std::uint8_t* response) {
    return device_->DeleteAll(TotalDataCount(), response);
}

int CDemoController::ResetRegistCount() {
    {
        std::lock_guard lock(settingsMutex_);
        state_.registCount = 0;
    }
    return settings_.WriteRegistCount(0);
}

int CDemoController::ForgetAllUsers() {
    int stored = 0;
    {
        std::lock_guard lock(storeMutex_);
        stored = users_->DeleteAllUsers();
    }
    const int counted = ResetRegistCount();
    return stored != 0 ? stored : counted;
}

DeviceOutcome CDemoController::RemoveAll() {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    std::uint8_t response = 0;
    DeviceOutcome outcome = Exchanged(DeleteAllOnDevice(&response), &response);
    if (!outcome.ok())
        return outcome;
    outcome.moduleChanged = true;
    FollowOnPc(outcome, [this] { return ForgetAllUsers(); });
    return outcome;
}

DeviceOutcome CDemoController::ClearAllData() {
    std::uint8_t response = 0;
    DeviceOutcome outcome = ReconnectIfLost();
    if (outcome.ok())
        outcome = Exchanged(DeleteAllOnDevice(&response), &response);
    outcome.moduleChanged = outcome.ok();
    FollowOnPc(outcome, [this] { return ForgetAllUsers(); });
    return outcome;
}

DeviceOutcome CDemoController::DeviceHasRegistrations(bool* has) {
    *has = false;
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    for (int user = 0; user < kCheckedUsers; ++user) {
        bool present[kImageSlotCount];
        std::uint8_t response = 0;
        const DeviceOutcome outcome = Exchanged(device_->GetUserData(user, present, &response), &response);
        if (!outcome.ok())
            return outcome;
        if (std::find(std::begin(present), std::end(present), true) != std::end(present)) {
            *has = true;
            return outcome;
        }
    }
    return {};
}

DeviceOutcome CDemoController::CompareRegistrations(bool* differ) {
    *differ = false;
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    const std::vector<UserSummary> list = UserList();
    for (std::size_t i = 0; i < list.size() && i < kCheckedUsers; ++i) {
        bool present[kImageSlotCount];
        std::uint8_t response = 0;
        const DeviceOutcome outcome =
            Exchanged(device_->GetUserData(list[i].id, present, &response), &response);
        if (!outcome.ok())
            return outcome;
        CUserInfo user;
        FetchUserInfo(list[i].id, &user);
        for (int data = 0; data < kImageSlotCount; ++data) {
            if (present[data] != user.IsSlotUsed(data)) {
                *differ = true;
                return outcome;
            }
        }
    }
    return {};
}

DeviceOutcome CDemoController::CheckRegistrations(bool* differ) {
    return UserCount() > 0 ? CompareRegistrations(differ) : DeviceHasRegistrations(differ);
}

DeviceOutcome CDemoController::LoadAlbumBackup() {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    AlbumData album;
    if (ReadAlbumBackup(ChooseAlbumBackupPath(), album) != 0)
        return RefusedOutcome(DeviceOutcome::kNothingReceived);
    std::uint8_t response = DeviceOutcome::kNothingReceived;
    const int result =
        device_->LoadAlbum(static_cast<std::uint32_t>(album.size), album.flag, album.bytes.data(), &response);
    return Exchanged(result, &response);
}

DeviceOutcome CDemoController::SaveAlbumBackup() {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    AlbumData album;
    std::uint32_t size = 0;
    std::uint8_t response = DeviceOutcome::kNothingReceived;
    DeviceOutcome outcome =
        Exchanged(device_->SaveAlbum(&size, &album.flag, &album.bytes, &response), &response);
    album.size = static_cast<int>(size);
    if (!outcome.ok() || album.size < kMinBackupAlbumSize)
        return outcome;
    CFileOperate::ForgetWriteFailure();
    if (CFileOperate::CreateFolderTree(kDbFolder) != 0 || WriteAlbumBackup(kAlbumBackupPath, album) != 0)
        NoteFileFailure(outcome, kAlbumBackupPath);
    return outcome;
}

int CDemoController::BackupRegistrations() {
    std::lock_guard lock(storeMutex_);
    return BackupRegistrationData();
}

int CDemoController::RestoreRegistrations() {
    int result = 0;
    {
        std::lock_guard lock(storeMutex_);
        result = RestoreRegistrationData(*store_);
    }
    const int counted = settings_.ReadRegistCount();
    std::lock_guard lock(settingsMutex_);
    state_.registCount = counted;
    return result;
}

void CDemoController::DiscardRegistrationBackup() {
    CFileOperate::DeleteFolderTree(kDbBackupFolder);
}

void CDemoController::StartTransferPhase(TransferPhase phase, double base) {
    std::lock_guard lock(transferMutex_);
    transferBase_ = base;
    transferProgress_ = base;
    transferStart_ = std::chrono::steady_clock::now();
    transferPhase_ = phase;
}

void CDemoController::SetTransferTimeout(CTimeoutTables::AlbumDirection direction) {
    // The device part's expected length, by the baud rate stored in Application.ini.
    std::string port;
    int baud = 0;
    settings_.ReadPortSettings(port, baud);
    const int timeoutMs = CTimeoutTables::AlbumTimeoutSeconds(direction, baud) * 1000;
    std::lock_guard lock(transferMutex_);
    transferTimeoutMs_ = timeoutMs;
}

void CDemoController::EndTransfer() {
    std::lock_guard lock(transferMutex_);
    transferProgress_ = 100.0;
    transferPhase_ = kTransferIdle;
}

DeviceOutcome CDemoController::SaveAlbumToFile(const std::string& path) {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    CFileOperate::ForgetWriteFailure();
    std::uint8_t response = DeviceOutcome::kNothingReceived;
    const int result = TransferAlbumToFile(path, &response);
    DeviceOutcome outcome = Exchanged(result, &response);
    if (result == kRefused)
        NoteFileFailure(outcome, {});
    return outcome;
}

DeviceOutcome CDemoController::LoadAlbumFromFile(const std::string& path) {
    if (DeviceOutcome back = ReconnectIfLost(); !back.ok())
        return back;
    CFileOperate::ForgetWriteFailure();
    std::uint8_t response = DeviceOutcome::kNothingReceived;
    const int result = TransferAlbumFromFile(path, &response);
    DeviceOutcome outcome = Exchanged(result, &response);
    if (result == kRefused)
        NoteFileFailure(outcome, {});
    outcome.moduleChanged = outcome.ok();
    return outcome;
}

int CDemoController::TransferAlbumToFile(const std::string& path, std::uint8_t* response) {
    SetTransferTimeout(CTimeoutTables::kAlbumToPc);
    StartTransferPhase(kTransferDevice, 0.0);
    AlbumData album;
    std::uint32_t size = 0;
    int result = device_->SaveAlbum(&size, &album.flag, &album.bytes, response);
    if (Succeeded(result, *response)) {
        album.size = static_cast<int>(size);
        StartTransferPhase(kTransferFile, 50.0);
        std::lock_guard lock(storeMutex_);
        result = WriteAlbumFile(*store_, album, path);
    }
    EndTransfer();
    return result;
}

int CDemoController::TransferAlbumFromFile(const std::string& path, std::uint8_t* response) {
    SetTransferTimeout(CTimeoutTables::kAlbumToModule);
    StartTransferPhase(kTransferFile, 0.0);
    AlbumData album;
    int result = -1;
    CAlbumFileLoad load(*store_);
    {
        std::lock_guard lock(storeMutex_);
        result = load.Apply(path, album);
    }
    if (result == 0) {
        StartTransferPhase(kTransferDevice, 50.0);
        result = device_->LoadAlbum(static_cast<std::uint32_t>(album.size), album.flag, album.bytes.data(),
                                    response);
        if (!Succeeded(result, *response)) {
            // The module kept its album, so the PC keeps its users.
            std::lock_guard lock(storeMutex_);
            load.Revert();
        }
        const int counted = settings_.ReadRegistCount();
        std::lock_guard lock(settingsMutex_);
        state_.registCount = counted;
    }
    EndTransfer();
    return result;
}

double CDemoController::GetAlbumProgress() const {
    std::lock_guard lock(transferMutex_);
    double fraction = 0.0;
    if (transferPhase_ == kTransferDevice) {
        const double elapsedMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - transferStart_)
                .count();
        fraction = transferTimeoutMs_ > 0 ? elapsedMs / transferTimeoutMs_ : 0.0;
    } else if (transferPhase_ == kTransferFile) {
        fraction = store_->ProgressFraction();
    } else {
        return transferProgress_;
    }
    // A module slower than its time-out table must not push the bar past its half.
    return transferBase_ + 50.0 * std::clamp(fraction, 0.0, 1.0);
}

}  // namespace qzm
