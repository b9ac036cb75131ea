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

bool Succeeded(int result, std::uint8_t response) {
    return result == kProtocolOk && response == 0;
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
    if (simulated_)
        simulated_->Stop();
}

void CDemoController::SetSimulatedPort(std::unique_ptr<ISimulatedPort> simulated) {
    if (simulated_)
        simulated_->Stop();
    simulated_ = std::move(simulated);
}

int CDemoController::Initialise() {
    LoadAll();
    if (portName_.empty() || autoConnect_ != 1)
        return 1;
    return Connect(portName_, baudRate_);
}

void CDemoController::LoadAll() {
    device_ = std::make_unique<CQZMDevice>(roots_);
    store_ = std::make_unique<CRegUserStore>();
    users_ = &store_->Users();
    store_->Load();
    for (ImageSlot& slot : imageSlots_) {
        slot.dataNumber = -1;
        slot.image.Allocate(64, nullptr, 64, kFormatBgr24, 1);
    }
    fullImageTable_.clear();
    CFileOperate::ReadImageInfoTable(fullImageTable_);

    settings_.ReadPortSettings(portName_, baudRate_);
    autoConnect_ = settings_.ReadAutoConnect();
    cameraAngle_ = settings_.ReadCameraAngle();
    settings_.ReadActiveFunctions(activeFunctions_);
    executeImage_ = settings_.ReadExecuteImage();
    outputLogFlag_ = settings_.ReadOutputLogFlag();
    registCount_ = settings_.ReadRegistCount();

    defaultSettings_ = ExecSettings{};
    settings_.LoadDefaultSettings(defaultSettings_);
    settings_.ReadThresholds(currentSettings_.threshold);
    settings_.ReadSizeRanges(currentSettings_.sizeRange);
    settings_.ReadFaceAngle(currentSettings_.yawAngle, currentSettings_.rollAngle);
    if (currentSettings_.threshold[ExecSettings::kBody] == -1) {
        // Nothing stored yet: start from the delivered defaults.
        currentSettings_ = defaultSettings_;
        settings_.WriteThresholds(currentSettings_.threshold);
        settings_.WriteSizeRanges(currentSettings_.sizeRange);
        settings_.WriteFaceAngle(currentSettings_.yawAngle, currentSettings_.rollAngle);
    }
}

std::vector<std::string> CDemoController::PortList() {
    std::vector<std::string> ports = device_ ? device_->RefreshPortList() : std::vector<std::string>{};
    if (simulated_)
        ports.push_back(simulated_->Name());
    return ports;
}

void CDemoController::SetAutoConnect(int autoConnect) {
    autoConnect_ = autoConnect;
    settings_.WriteAutoConnect(autoConnect);
}

int CDemoController::Connect(const std::string& portName, int baudRate) {
    std::this_thread::sleep_for(kConnectSettle);
    portName_ = portName;
    baudRate_ = baudRate;
    settings_.WritePortSettings(portName, baudRate);

    std::string path = portName;
    if (simulated_ && portName == simulated_->Name()) {
        path = simulated_->Start(nullptr);
        if (path.empty())
            return -1;
    }
    if (!device_->Open(path, baudRate))
        return -1;

    int result = kProtocolOk;
    for (int attempt = 0; attempt < kVersionTries; ++attempt) {
        std::this_thread::sleep_for(kVersionRetryPause);
        VersionInfo version;
        std::uint8_t response = 0;
        result = device_->GetVersion(&version, &response);
        if (Succeeded(result, response)) {
            device_->SetDeviceType(CQZMDevice::DeviceTypeForVersion(version));
            return 0;
        }
    }
    return result != kProtocolOk ? result : -1;
}

int CDemoController::GetVersionText(std::uint8_t* response, std::string* model, std::string* numbers) {
    VersionInfo version;
    const int result = device_->GetVersion(&version, response);
    if (!Succeeded(result, *response))
        return result;
    if (model)
        *model = version.model;
    if (numbers) {
        char text[64];
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", version.major, version.minor, version.release,
                      version.revision);
        *numbers = text;
    }
    return result;
}

int CDemoController::GetFullImageSize(int* width, int* height) {
    std::uint8_t response = 0;
    std::string model;
    const int result = GetVersionText(&response, &model, nullptr);
    if (result != kProtocolOk)
        return result;
    if (response != 0)
        return result;
    *width = 640;
    *height = 480;
    const std::string trimmed = TrimRight(model);
    for (const ImageInfoEntry& entry : fullImageTable_) {
        if (entry.name == trimmed) {
            *width = entry.width;
            *height = entry.height;
            break;
        }
    }
    return 0;
}

int CDemoController::SetCameraAngleOnDevice(int angle, std::uint8_t* response) {
    return device_->SetCameraAngle(angle, response);
}

int CDemoController::SetThresholdsOnDevice(const int thresholds[4], std::uint8_t* response) {
    return device_->SetThreshold(thresholds, response);
}

int CDemoController::SetFaceAngleOnDevice(int yaw, int roll, std::uint8_t* response) {
    return device_->SetFaceAngle(yaw, roll, response);
}

int CDemoController::ApplyAllSettings(const ExecSettings& s, int cameraAngle) {
    std::uint8_t response = 0;
    int result = SetCameraAngleOnDevice(cameraAngle, &response);
    if (!Succeeded(result, response))
        return result;
    settings_.WriteCameraAngle(cameraAngle);
    cameraAngle_ = cameraAngle;

    result = SetThresholdsOnDevice(s.threshold, &response);
    if (!Succeeded(result, response))
        return result;
    settings_.WriteThresholds(s.threshold);
    std::copy(std::begin(s.threshold), std::end(s.threshold), currentSettings_.threshold);

    result = device_->SetSizeRange(s.sizeRange, &response);
    if (!Succeeded(result, response))
        return result;
    settings_.WriteSizeRanges(s.sizeRange);
    std::copy(std::begin(s.sizeRange), std::end(s.sizeRange), currentSettings_.sizeRange);

    result = SetFaceAngleOnDevice(s.yawAngle, s.rollAngle, &response);
    if (!Succeeded(result, response))
        return result;
    settings_.WriteFaceAngle(s.yawAngle, s.rollAngle);
    currentSettings_.yawAngle = s.yawAngle;
    currentSettings_.rollAngle = s.rollAngle;
    return result;
}

int CDemoController::ApplyChangedSettings(int cameraAngle, const int thresholds[4], const CRange ranges[3],
                                          int yaw, int roll) {
    std::uint8_t response = 0;
    if (cameraAngle != cameraAngle_) {
        const int result = SetCameraAngleOnDevice(cameraAngle, &response);
        if (result != kProtocolOk)
            return -1;
        // The module took the frame; the angle counts as chosen even when it refused.
        settings_.WriteCameraAngle(cameraAngle);
        cameraAngle_ = cameraAngle;
        if (response != 0)
            return -1;
    }
    if (!std::equal(thresholds, thresholds + 4, currentSettings_.threshold)) {
        if (!Succeeded(SetThresholdsOnDevice(thresholds, &response), response))
            return -1;
        int stored[4];
        std::copy(thresholds, thresholds + 4, stored);
        settings_.WriteThresholds(stored);
        std::copy(thresholds, thresholds + 4, currentSettings_.threshold);
    }
    if (!std::equal(ranges, ranges + 3, currentSettings_.sizeRange)) {
        if (!Succeeded(device_->SetSizeRange(ranges, &response), response))
            return -1;
        CRange stored[3] = {ranges[0], ranges[1], ranges[2]};
        settings_.WriteSizeRanges(stored);
        std::copy(ranges, ranges + 3, currentSettings_.sizeRange);
    }
    if (yaw != currentSettings_.yawAngle || roll != currentSettings_.rollAngle) {
        if (!Succeeded(SetFaceAngleOnDevice(yaw, roll, &response), response))
            return -1;
        settings_.WriteFaceAngle(yaw, roll);
        currentSettings_.yawAngle = yaw;
        currentSettings_.rollAngle = roll;
    }
    VersionInfo version;
    return Succeeded(device_->GetVersion(&version, &response), response) ? 0 : -1;
}

int CDemoController::ExecuteOnce(CImageData* image, int imageSize, CExecResult* result,
                                 std::uint8_t* response, const Functions& functions) {
    if (functions != activeFunctions_) {
        settings_.WriteActiveFunctions(functions);
        activeFunctions_ = functions;
    }
    if (imageSize != executeImage_) {
        settings_.WriteExecuteImage(imageSize);
        executeImage_ = imageSize;
    }
    int option = imageSize;
    if (imageSize == kImage320x240) {
        image->Allocate(320, nullptr, 240, kFormatGrey8, 1);
    } else if (imageSize == kImage160x120) {
        image->Allocate(160, nullptr, 120, kFormatGrey8, 1);
    } else {
        option = kImageNone;
    }
    *response = 0;
    return device_->Execute(option, currentSettings_.sizeRange[ExecSettings::kFace].min,
                            currentSettings_.yawAngle, currentSettings_.rollAngle, functions.data(),
                            UserCount(), image, result, response);
}

int CDemoController::UserCount() const {
    return static_cast<int>(users_->GetUserList().size());
}

std::string CDemoController::MakeDefaultUserName() const {
    return FormatString(kStringDefaultUserName, registCount_ + 1);
}

bool CDemoController::IsNameUnique(const std::string& name, int id) const {
    return users_->IsNameUnique(name, id);
}

int CDemoController::AddNewUser(const std::string& name) {
    const int id = users_->FindFreeUserNumber();
    if (id < 0 || users_->AddUser(id, name) != 0)
        return -1;
    ++registCount_;
    settings_.WriteRegistCount(registCount_);
    return id;
}

int CDemoController::ChangeUserName(int id, const std::string& name) {
    return users_->RenameUser(id, name);
}

int CDemoController::FetchUserInfo(int id, CUserInfo* user) const {
    return user != nullptr ? users_->GetUserInfo(id, *user) : -1;
}

std::vector<UserSummary> CDemoController::UserList() const {
    return users_->GetUserList();
}

std::vector<UserName> CDemoController::UserNames() const {
    std::vector<UserName> names;
    for (const UserSummary& user : users_->GetUserList())
        names.emplace_back(user.id, user.name);
    return names;
}

const std::array<CDemoController::ImageSlot, 10>& CDemoController::LoadUserImages(int id) {
    for (ImageSlot& slot : imageSlots_)
        slot.dataNumber = -1;
    CUserInfo user;
    if (users_->GetUserInfo(id, user) != 0)
        return imageSlots_;
    std::size_t next = 0;
    for (const UserDataEntry& entry : user.Entries()) {
        if (next == imageSlots_.size())
            break;
        CImageData grey;
        grey.Allocate(64, nullptr, 64, kFormatGrey8, 1);
        if (users_->GetRegisteredImage(id, entry.dataNumber, grey) != 0)
            break;
        CImageData display;
        display.Allocate(64, nullptr, 64, kFormatBgr24, 1);
        CImgConv converter(grey.Width(), grey.Height(), grey.Format(), display.Format());
        IMGCONVINFO target = display.Info();
        if (converter.Convert(grey.Info(), &target, false) != 0)
            break;
        imageSlots_[next].image.Copy(display);
        imageSlots_[next].dataNumber = entry.dataNumber;
        ++next;
    }
    return imageSlots_;
}

int CDemoController::RegisterFace(int id, std::uint8_t* response, int* dataNumber) {
    const int data = users_->FindFreeDataNumber(id);
    if (dataNumber)
        *dataNumber = data;
    if (data < 0)
        return -1;
    CImageData face;
    face.Allocate(64, nullptr, 64, kFormatGrey8, 1);
    const int result = device_->Register(users_->TotalDataCount(), id, data, &face, response);
    if (!Succeeded(result, *response))
        return result;
    return users_->AddData(face, id, data);
}

int CDemoController::RemoveUser(int id, std::uint8_t* response) {
    *response = 0;
    CUserInfo user;
    if (users_->GetUserInfo(id, user) != 0)
        return -1;
    if (!user.Entries().empty()) {
        const int result = device_->DeleteUser(users_->TotalDataCount(), id, response);
        if (result != kProtocolOk)
            return result;
    }
    if (*response != 0)
        return 0;
    const int stored = users_->DeleteUser(id);
    if (users_->GetUserList().empty()) {
        registCount_ = 0;
        settings_.WriteRegistCount(0);
    }
    return stored;
}

int CDemoController::RemoveData(int id, int dataNumber, std::uint8_t* response) {
    const int count = users_->TotalDataCount();
    const int result = dataNumber == -1 ? device_->DeleteUser(count, id, response)
                                        : device_->DeleteData(count, id, dataNumber, response);
    if (!Succeeded(result, *response))
        return result;
    return users_->DeleteData(id, dataNumber);
}

int CDemoController::DeleteAllOnDevice(std::uint8_t* response) {
    return device_->DeleteAll(users_->TotalDataCount(), response);
}

void CDemoController::ForgetAllUsers() {
    users_->DeleteAllUsers();
    registCount_ = 0;
    settings_.WriteRegistCount(0);
}

int CDemoController::RemoveAll(std::uint8_t* response) {
    const int result = DeleteAllOnDevice(response);
    if (!Succeeded(result, *response))
        return result;
    ForgetAllUsers();
    return result;
}

int CDemoController::ClearAllData(std::uint8_t* response) {
    const int result = DeleteAllOnDevice(response);
    ForgetAllUsers();
    return result;
}

int CDemoController::DeviceHasRegistrations(int* flag) {
    *flag = 0;
    for (int user = 0; user < 10; ++user) {
        bool present[10];
        std::uint8_t response = 0;
        if (!Succeeded(device_->GetUserData(user, present, &response), response))
            return -1;
        if (std::find(std::begin(present), std::end(present), true) != std::end(present)) {
            *flag = -1;
            return 0;
        }
    }
    return 0;
}

int CDemoController::CompareRegistrations(int* flag) {
    *flag = 0;
    const std::vector<UserSummary> list = users_->GetUserList();
    for (std::size_t i = 0; i < list.size() && i < 10; ++i) {
        bool present[10];
        std::uint8_t response = 0;
        if (!Succeeded(device_->GetUserData(list[i].id, present, &response), response))
            return -1;
        CUserInfo user;
        users_->GetUserInfo(list[i].id, user);
        for (int data = 0; data < 10; ++data) {
            if (present[data] != user.IsSlotUsed(data)) {
                *flag = -1;
                return 0;
            }
        }
    }
    return 0;
}

int CDemoController::LoadAlbumBackup(std::uint8_t* response) {
    AlbumData album;
    if (ReadAlbumBackup(ChooseAlbumBackupPath(), album) != 0)
        return -1;
    return device_->LoadAlbum(static_cast<std::uint32_t>(album.size), album.flag, album.bytes.data(),
                              response);
}

void CDemoController::StartTransferPhase(TransferPhase phase, double base) {
    transferBase_ = base;
    transferProgress_ = base;
    transferStart_ = std::chrono::steady_clock::now().time_since_epoch().count();
    transferPhase_ = phase;
}

void CDemoController::SetTransferTimeout(int direction) {
    // The device part's expected length, by the baud rate stored in Application.ini.
    std::string port;
    int baud = 0;
    settings_.ReadPortSettings(port, baud);
    transferTimeoutMs_ = CTimeoutTables::AlbumTimeoutSeconds(direction, baud) * 1000;
}

void CDemoController::EndTransfer() {
    transferProgress_ = 100.0;
    transferPhase_ = kTransferIdle;
}

int CDemoController::SaveAlbumToFile(const std::string& path, std::uint8_t* response) {
    SetTransferTimeout(0);
    StartTransferPhase(kTransferDevice, 0.0);
    AlbumData album;
    std::uint32_t size = 0;
    int result = device_->SaveAlbum(&size, &album.flag, &album.bytes, response);
    if (Succeeded(result, *response)) {
        album.size = static_cast<int>(size);
        StartTransferPhase(kTransferFile, 50.0);
        result = WriteAlbumFile(*store_, album, path);
    }
    EndTransfer();
    return result;
}

int CDemoController::LoadAlbumFromFile(const std::string& path, std::uint8_t* response) {
    SetTransferTimeout(1);
    StartTransferPhase(kTransferFile, 0.0);
    AlbumData album;
    CAlbumFileLoad load(*store_);
    int result = load.Apply(path, album);
    if (result == 0) {
        StartTransferPhase(kTransferDevice, 50.0);
        result = device_->LoadAlbum(static_cast<std::uint32_t>(album.size), album.flag, album.bytes.data(),
                                    response);
        if (!Succeeded(result, *response)) {
            // The module kept its album, so the PC keeps its users.
            load.Revert();
        }
        registCount_ = settings_.ReadRegistCount();
    }
    EndTransfer();
    return result;
}

double CDemoController::GetAlbumProgress() const {
    const int phase = transferPhase_.load();
    double fraction = 0.0;
    if (phase == kTransferDevice) {
        const auto elapsed =
            std::chrono::steady_clock::now().time_since_epoch().count() - transferStart_.load();
        const double elapsedMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::duration(elapsed)).count();
        const int timeout = transferTimeoutMs_.load();
        fraction = timeout > 0 ? elapsedMs / timeout : 0.0;
    } else if (phase == kTransferFile) {
        fraction = store_->ProgressFraction();
    } else {
        return transferProgress_.load();
    }
    return transferBase_.load() + 50.0 * fraction;
}

}  // namespace qzm
