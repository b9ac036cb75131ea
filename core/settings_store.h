// The program's persistent settings: Application.ini (port, start-up and album choices),
// Settings.ini (camera and detection settings), Debug.ini (debug log limits) and the default
// detection settings in DefSettings.dat. Every other part reads and writes these values here.
//
// A missing file or key yields the default listed with each value; a value that is not a number
// reads as 0. Write operations return 0, or -1 when the file could not be written.
#pragma once

#include <array>
#include <string>

#include "device/exec_settings.h"
#include "device/qzm_results.h"

namespace qzm {

class CSettingsStore {
public:
    static constexpr int kDefaultBaudRate = 921600;
    static constexpr int kDefaultLimitLogBlock = 150;
    static constexpr int kDefaultExecuteImage = 1;  // 320x240
    static constexpr const char* kDefaultPrevSelectFile = "./QZMAlbum.qzc";

    // `folder` holds the files; the program works in its own folder, so "." normally.
    explicit CSettingsStore(std::string folder = ".");
    virtual ~CSettingsStore() = default;

    // Application.ini, section Application.
    int ReadPortSettings(std::string& portName, int& baudRate) const;  // "" and 921600
    int WritePortSettings(const std::string& portName, int baudRate) const;
    int ReadAutoConnect() const;  // 0
    int WriteAutoConnect(int autoConnect) const;
    int ReadOutputLogFlag() const;  // 0
    int WriteOutputLogFlag(int flag) const;
    int ReadRegistCount() const;  // 0
    int WriteRegistCount(int count) const;
    int ReadRegistCountBack() const;  // 0; the copy kept with the album backup
    int WriteRegistCountBack(int count) const;
    int ReadLimitLogBlock() const;           // 150
    std::string ReadPrevSelectFile() const;  // "./QZMAlbum.qzc"
    int WritePrevSelectFile(const std::string& path) const;
    std::string ReadPrevImageFolder() const;  // ""; where the last picture of the image page was saved
    int WritePrevImageFolder(const std::string& folder) const;
    std::string ReadPrevRecordFolder() const;  // ""; where the last recording was made
    int WritePrevRecordFolder(const std::string& folder) const;

    // Settings.ini.
    int ReadCameraAngle() const;  // 0; index 0..3 = 0, 90, 180, 270 degrees
    int WriteCameraAngle(int angle) const;
    // The Function bit mask: bit i switches function i (default 0, all off).
    int ReadActiveFunctions(FunctionSwitches& flags) const;
    int WriteActiveFunctions(const FunctionSwitches& flags) const;
    int ReadExecuteImage() const;  // 1; 0 no image, 1 = 320x240, 2 = 160x120
    int WriteExecuteImage(int size) const;
    // Body, Hand, Face, Recognition; -1 when absent.
    int ReadThresholds(int (&thresholds)[4]) const;
    int WriteThresholds(const int (&thresholds)[4]) const;
    // Body, Hand, Face, each stored as (minimum << 16) | (maximum & 0xFFFF); absent reads as -1,
    // that is minimum -1 and maximum 65535.
    int ReadSizeRanges(CRange (&ranges)[3]) const;
    int WriteSizeRanges(const CRange (&ranges)[3]) const;
    int ReadFaceAngle(int& yaw, int& roll) const;  // -1, -1
    int WriteFaceAngle(int yaw, int roll) const;

    // Debug.ini: whether it exists (it switches the debug logs on) and its Log section.
    bool DebugIniExists() const;
    int ReadMaxBlockNum() const;  // 0
    int ReadMaxFileNum() const;   // 0

    // DefSettings.dat: after comment lines (starting with ';'), three tab-separated lines:
    // four thresholds, six sizes (minimum and maximum of body, hand, face), yaw and roll.
    // `defaults` is filled only when all three lines are complete; 0, or -1 (left untouched).
    int LoadDefaultSettings(ExecSettings& defaults) const;

    static int PackSizeRange(const CRange& range);
    static CRange UnpackSizeRange(int packed);

    std::string ApplicationIniPath() const { return folder_ + "/Application.ini"; }
    std::string SettingsIniPath() const { return folder_ + "/Settings.ini"; }
    std::string DebugIniPath() const { return folder_ + "/Debug.ini"; }
    std::string DefSettingsPath() const { return folder_ + "/DefSettings.dat"; }

private:
    int ReadInt(const std::string& file, const char* section, const char* key, int defaultValue) const;

    std::string folder_;
};

}  // namespace qzm
