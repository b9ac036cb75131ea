#include "core/settings_store.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "files/file_operate.h"
#include "files/utf8_path.h"

namespace qzm {
namespace {

constexpr const char* kApplication = "Application";
constexpr const char* kThresholdKeys[4] = {"Body", "Hand", "Face", "Recognition"};
constexpr const char* kSizeRangeKeys[3] = {"Body", "Hand", "Face"};

// Both writes are attempted; the result tells whether both succeeded.
int Both(int a, int b) {
    return (a == 0 && b == 0) ? 0 : -1;
}

}  // namespace

CSettingsStore::CSettingsStore(std::string folder) : folder_(folder.empty() ? "." : std::move(folder)) {}

int CSettingsStore::ReadInt(const std::string& file, const char* section, const char* key,
                            int defaultValue) const {
    int value = defaultValue;
    CFileOperate::ReadIniInt(section, key, defaultValue, file, value);
    return value;
}

int CSettingsStore::ReadPortSettings(std::string& portName, int& baudRate) const {
    CFileOperate::ReadIniString(kApplication, "COMPortName", "", ApplicationIniPath(), portName);
    baudRate = ReadInt(ApplicationIniPath(), kApplication, "BaudRate", kDefaultBaudRate);
    return 0;
}

int CSettingsStore::WritePortSettings(const std::string& portName, int baudRate) const {
    const int a = CFileOperate::WriteIniString(kApplication, "COMPortName", ApplicationIniPath(), portName);
    const int b = CFileOperate::WriteIniInt(kApplication, "BaudRate", ApplicationIniPath(), baudRate);
    return Both(a, b);
}

int CSettingsStore::ReadAutoConnect() const {
    return ReadInt(ApplicationIniPath(), kApplication, "AutoConnect", 0);
}

int CSettingsStore::WriteAutoConnect(int autoConnect) const {
    return CFileOperate::WriteIniInt(kApplication, "AutoConnect", ApplicationIniPath(), autoConnect);
}

int CSettingsStore::ReadOutputLogFlag() const {
    return ReadInt(ApplicationIniPath(), kApplication, "OutputLogFlag", 0);
}

int CSettingsStore::WriteOutputLogFlag(int flag) const {
    return CFileOperate::WriteIniInt(kApplication, "OutputLogFlag", ApplicationIniPath(), flag);
}

int CSettingsStore::ReadRegistCount() const {
    return ReadInt(ApplicationIniPath(), kApplication, "RegistCount", 0);
}

int CSettingsStore::WriteRegistCount(int count) const {
    return CFileOperate::WriteIniInt(kApplication, "RegistCount", ApplicationIniPath(), count);
}

int CSettingsStore::ReadRegistCountBack() const {
    return ReadInt(ApplicationIniPath(), kApplication, "RegistCountBack", 0);
}

int CSettingsStore::WriteRegistCountBack(int count) const {
    return CFileOperate::WriteIniInt(kApplication, "RegistCountBack", ApplicationIniPath(), count);
}

int CSettingsStore::ReadLimitLogBlock() const {
    return ReadInt(ApplicationIniPath(), kApplication, "LimitLogBlock", kDefaultLimitLogBlock);
}

std::string CSettingsStore::ReadPrevSelectFile() const {
    std::string path;
    CFileOperate::ReadIniString(kApplication, "PrevSelectFile", kDefaultPrevSelectFile, ApplicationIniPath(),
                                path);
    return path;
}

int CSettingsStore::WritePrevSelectFile(const std::string& path) const {
    return CFileOperate::WriteIniString(kApplication, "PrevSelectFile", ApplicationIniPath(), path);
}

std::string CSettingsStore::ReadPrevImageFolder() const {
    std::string folder;
    CFileOperate::ReadIniString(kApplication, "PrevImageFolder", "", ApplicationIniPath(), folder);
    return folder;
}

int CSettingsStore::WritePrevImageFolder(const std::string& folder) const {
    return CFileOperate::WriteIniString(kApplication, "PrevImageFolder", ApplicationIniPath(), folder);
}

std::string CSettingsStore::ReadPrevRecordFolder() const {
    std::string folder;
    CFileOperate::ReadIniString(kApplication, "PrevRecordFolder", "", ApplicationIniPath(), folder);
    return folder;
}

int CSettingsStore::WritePrevRecordFolder(const std::string& folder) const {
    return CFileOperate::WriteIniString(kApplication, "PrevRecordFolder", ApplicationIniPath(), folder);
}

int CSettingsStore::ReadCameraAngle() const {
    return ReadInt(SettingsIniPath(), "Camera", "CameraAngle", 0);
}

int CSettingsStore::WriteCameraAngle(int angle) const {
    return CFileOperate::WriteIniInt("Camera", "CameraAngle", SettingsIniPath(), angle);
}

int CSettingsStore::ReadActiveFunctions(FunctionSwitches& flags) const {
    const int mask = ReadInt(SettingsIniPath(), "ActiveFunction", "Function", 0);
    for (int i = 0; i < kFunctionCount; ++i) {
        flags[static_cast<std::size_t>(i)] = ((mask >> i) & 1) != 0;
    }
    return 0;
}

int CSettingsStore::WriteActiveFunctions(const FunctionSwitches& flags) const {
    int mask = 0;
    for (int i = 0; i < kFunctionCount; ++i) {
        if (flags[static_cast<std::size_t>(i)]) {
            mask |= 1 << i;
        }
    }
    return CFileOperate::WriteIniInt("ActiveFunction", "Function", SettingsIniPath(), mask);
}

int CSettingsStore::ReadExecuteImage() const {
    return ReadInt(SettingsIniPath(), "ActiveFunction", "ExecuteImage", kDefaultExecuteImage);
}

int CSettingsStore::WriteExecuteImage(int size) const {
    return CFileOperate::WriteIniInt("ActiveFunction", "ExecuteImage", SettingsIniPath(), size);
}

int CSettingsStore::ReadThresholds(int (&thresholds)[4]) const {
    for (int i = 0; i < 4; ++i) {
        thresholds[i] = ReadInt(SettingsIniPath(), "Threshold", kThresholdKeys[i], -1);
    }
    return 0;
}

int CSettingsStore::WriteThresholds(const int (&thresholds)[4]) const {
    int result = 0;
    for (int i = 0; i < 4; ++i) {
        result = Both(result, CFileOperate::WriteIniInt("Threshold", kThresholdKeys[i], SettingsIniPath(),
                                                        thresholds[i]));
    }
    return result;
}

int CSettingsStore::PackSizeRange(const CRange& range) {
    const std::uint32_t packed =
        (static_cast<std::uint32_t>(range.min) << 16) | (static_cast<std::uint32_t>(range.max) & 0xFFFFu);
    return static_cast<int>(packed);
}

CRange CSettingsStore::UnpackSizeRange(int packed) {
    return CRange(packed >> 16, packed & 0xFFFF);
}

int CSettingsStore::ReadSizeRanges(CRange (&ranges)[3]) const {
    for (int i = 0; i < 3; ++i) {
        ranges[i] = UnpackSizeRange(ReadInt(SettingsIniPath(), "SizeRange", kSizeRangeKeys[i], -1));
    }
    return 0;
}

int CSettingsStore::WriteSizeRanges(const CRange (&ranges)[3]) const {
    int result = 0;
    for (int i = 0; i < 3; ++i) {
        result = Both(result, CFileOperate::WriteIniInt("SizeRange", kSizeRangeKeys[i], SettingsIniPath(),
                                                        PackSizeRange(ranges[i])));
    }
    return result;
}

int CSettingsStore::ReadFaceAngle(int& yaw, int& roll) const {
    yaw = ReadInt(SettingsIniPath(), "FaceAngle", "YawAngle", -1);
    roll = ReadInt(SettingsIniPath(), "FaceAngle", "RollAngle", -1);
    return 0;
}

int CSettingsStore::WriteFaceAngle(int yaw, int roll) const {
    const int a = CFileOperate::WriteIniInt("FaceAngle", "YawAngle", SettingsIniPath(), yaw);
    const int b = CFileOperate::WriteIniInt("FaceAngle", "RollAngle", SettingsIniPath(), roll);
    return Both(a, b);
}

bool CSettingsStore::DebugIniExists() const {
    std::error_code ec;
    return std::filesystem::exists(Utf8Path(DebugIniPath()), ec);
}

int CSettingsStore::ReadMaxBlockNum() const {
    return ReadInt(DebugIniPath(), "Log", "MaxBlockNum", 0);
}

int CSettingsStore::ReadMaxFileNum() const {
    return ReadInt(DebugIniPath(), "Log", "MaxFileNum", 0);
}

int CSettingsStore::LoadDefaultSettings(ExecSettings& defaults) const {
    std::vector<std::string> lines;
    if (CFileOperate::ReadTextLines(DefSettingsPath(), lines) != 0) {
        return -1;
    }
    std::vector<std::vector<int>> rows;
    for (const std::string& line : lines) {
        if (!line.empty() && line.front() == ';') {
            continue;
        }
        std::vector<int> values;
        for (const std::string& field : SplitText(line, "\t")) {
            values.push_back(ParseLeadingInt(field));
        }
        rows.push_back(std::move(values));
        if (rows.size() == 3) {
            break;
        }
    }
    if (rows.size() < 3 || rows[0].size() < 4 || rows[1].size() < 6 || rows[2].size() < 2) {
        return -1;
    }
    ExecSettings loaded;
    for (int i = 0; i < 4; ++i) {
        loaded.threshold[i] = rows[0][static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < 3; ++i) {
        loaded.sizeRange[i] =
            CRange(rows[1][static_cast<std::size_t>(2 * i)], rows[1][static_cast<std::size_t>(2 * i + 1)]);
    }
    loaded.yawAngle = rows[2][0];
    loaded.rollAngle = rows[2][1];
    defaults = loaded;
    return 0;
}

}  // namespace qzm
