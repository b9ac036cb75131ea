#include "device/timeout_tables.h"

#include <algorithm>
#include <string>

#include "files/file_operate.h"

namespace qzm {

namespace {

constexpr const char* kCommandFile = "./CmdTimeout.ini";
constexpr const char* kExecutionFile = "./ExecTimeout.ini";
constexpr const char* kImageFile = "./ImgTimeout.ini";
constexpr const char* kRegistrationFile = "./RegTimeout.ini";
constexpr const char* kAlbumFile = "./AlbumTimeout.ini";

constexpr const char* kCommandKeys[15] = {
    "GetVersion",   "SetCameraAngle", "GetCameraAngle",     "SetThreshold",       "GetThreshold",
    "SetSizeRange", "GetSizeRange",   "SetFaceDetectAngle", "GetFaceDetectAngle", "GetRegistDara",
    "Registration", "DeleteUser",     "DeleteData",         "DeleteAll",          "ReformatFlash"};

enum CommandKey {
    kKeyGetVersion,
    kKeySetCameraAngle,
    kKeyGetCameraAngle,
    kKeySetThreshold,
    kKeyGetThreshold,
    kKeySetSizeRange,
    kKeyGetSizeRange,
    kKeySetFaceAngle,
    kKeyGetFaceAngle,
    kKeyGetRegistData,
    kKeyRegistration,
    kKeyDeleteUser,
    kKeyDeleteData,
    kKeyDeleteAll,
    kKeyReformatFlash,
};

enum class Rule {
    kNone,
    kCommand,
    kExecution,
    kRegistration,
    kAlbumByBaud,
    kAlbumByCount,
    kImage,
    kPreviewImage
};

struct TimeoutRule {
    std::uint8_t code;
    Rule basic;           // device type 0
    Rule extended;        // device type 1
    int key;              // the command key of kCommand rules
    const char* section;  // the section of the file-based rules
};

// Delete Data (0x11) reads the keys named "DeleteUser" and Delete User (0x12) those named
// "DeleteData": the delivered files are written that way round.
constexpr TimeoutRule kRules[] = {
    {0x00, Rule::kCommand, Rule::kCommand, kKeyGetVersion, nullptr},
    {0x01, Rule::kCommand, Rule::kCommand, kKeySetCameraAngle, nullptr},
    {0x02, Rule::kCommand, Rule::kCommand, kKeyGetCameraAngle, nullptr},
    {0x03, Rule::kExecution, Rule::kExecution, 0, nullptr},
    {0x04, Rule::kExecution, Rule::kExecution, 0, nullptr},
    {0x05, Rule::kCommand, Rule::kCommand, kKeySetThreshold, nullptr},
    {0x06, Rule::kCommand, Rule::kCommand, kKeyGetThreshold, nullptr},
    {0x07, Rule::kCommand, Rule::kCommand, kKeySetSizeRange, nullptr},
    {0x08, Rule::kCommand, Rule::kCommand, kKeyGetSizeRange, nullptr},
    {0x09, Rule::kCommand, Rule::kCommand, kKeySetFaceAngle, nullptr},
    {0x0A, Rule::kCommand, Rule::kCommand, kKeyGetFaceAngle, nullptr},
    {0x10, Rule::kRegistration, Rule::kCommand, kKeyRegistration, "Registration"},
    {0x11, Rule::kRegistration, Rule::kCommand, kKeyDeleteUser, "DeleteUser"},
    {0x12, Rule::kRegistration, Rule::kCommand, kKeyDeleteData, "DeleteData"},
    {0x13, Rule::kRegistration, Rule::kCommand, kKeyDeleteAll, "DeleteAll"},
    {0x15, Rule::kCommand, Rule::kCommand, kKeyGetRegistData, nullptr},
    {0x20, Rule::kNone, Rule::kAlbumByBaud, 0, "SaveAlbum"},
    {0x21, Rule::kNone, Rule::kAlbumByBaud, 0, "LoadAlbum"},
    {0x22, Rule::kNone, Rule::kAlbumByCount, 0, "WriteFlash"},
    {0x30, Rule::kNone, Rule::kCommand, kKeyReformatFlash, nullptr},
    {CTimeoutTables::kImageRule, Rule::kImage, Rule::kImage, 0, nullptr},
    {CTimeoutTables::kPreviewImageRule, Rule::kPreviewImage, Rule::kPreviewImage, 0, nullptr},
};

// The longest wait a file may ask for; larger values are taken as this, so that no value
// overflows when turned into milliseconds.
constexpr int kMaxSeconds = 3600;

// Whole seconds as written in a time-out file; a missing file, section or key (an empty key is
// never present) gives 1.
int ReadRawSeconds(const char* file, const std::string& section, const std::string& key) {
    if (section.empty() || key.empty())
        return 1;
    int seconds = 1;
    CFileOperate::ReadIniInt(section, key, 1, file, seconds);
    return seconds;
}

// Only a code without a rule waits without limit; a negative value in a file counts as missing.
int UsableSeconds(int seconds) {
    return seconds < 0 ? 1 : std::min(seconds, kMaxSeconds);
}

int ReadSeconds(const char* file, const std::string& section, const std::string& key) {
    return UsableSeconds(ReadRawSeconds(file, section, key));
}

std::string CountKey(int count) {
    if (count < 0)
        return {};
    return count <= 9 ? "0-9" : "10Over";
}

// The count-keyed rules: a value of -1 asks for a wait that grows with the count.
int CountKeyedSeconds(const char* file, const char* section, int count) {
    const int seconds = ReadRawSeconds(file, section, CountKey(count));
    return UsableSeconds(seconds == -1 ? (count - 10) / 28 + 7 : seconds);
}

std::string RecognitionKey(int users) {
    static constexpr struct {
        int upTo;
        const char* key;
    } kBands[] = {{10, "0-10"},    {20, "11-20"},    {50, "21-50"},
                  {100, "51-100"}, {200, "101-200"}, {500, "201-500"}};
    if (users < 0)
        return {};
    for (const auto& band : kBands) {
        if (users <= band.upTo)
            return band.key;
    }
    return {};
}

std::string FaceKey(int rollCode, int yawCode) {
    static constexpr int kRollDegrees[] = {15, 45};
    static constexpr int kYawDegrees[] = {30, 60, 90};
    std::string key;
    if (rollCode >= 0 && rollCode < 2)
        key += std::to_string(kRollDegrees[rollCode]);
    key += "_";
    if (yawCode >= 0 && yawCode < 3)
        key += std::to_string(kYawDegrees[yawCode]);
    return key;
}

std::string ImageSection(int imageOption) {
    switch (imageOption) {
        case 0:
            return "NoImage";
        case 1:
            return "QVGA";
        case 2:
            return "160x120";
        default:
            return {};
    }
}

}  // namespace

CTimeoutTables::CTimeoutTables() {
    for (int i = 0; i < 15; ++i) {
        const int ms = ReadSeconds(kCommandFile, "Command", kCommandKeys[i]) * 1000;
        if (i < 10)
            commandTableA_[i] = ms;
        commandTableB_[i] = ms;
    }
}

int CTimeoutTables::Lookup(std::uint8_t code, int deviceType, const TimeoutParameters& parameters) {
    const auto rule = std::find_if(std::begin(kRules), std::end(kRules),
                                   [&](const TimeoutRule& r) { return r.code == code; });
    if (rule == std::end(kRules))
        return -1;
    const bool extended = deviceType == 1;
    switch (extended ? rule->extended : rule->basic) {
        case Rule::kNone:
            return -1;
        case Rule::kCommand:
            return extended ? commandTableB_[rule->key] : commandTableA_[rule->key];
        case Rule::kExecution:
            return ExecutionTimeout(parameters);
        case Rule::kRegistration:
            return CountKeyedSeconds(kRegistrationFile, rule->section, parameters.registeredCount) * 1000;
        case Rule::kAlbumByBaud:
            return ReadSeconds(kAlbumFile, rule->section, std::to_string(parameters.baudRate)) * 1000;
        case Rule::kAlbumByCount:
            return CountKeyedSeconds(kAlbumFile, rule->section, parameters.registeredCount) * 1000;
        case Rule::kImage:
            return ImageTimeout(imageCache_, parameters.imageOption, parameters.baudRate);
        case Rule::kPreviewImage:
            return ImageTimeout(previewImageCache_, 2, parameters.baudRate);
    }
    return -1;
}

int CTimeoutTables::AlbumTimeoutSeconds(int direction, int baudRateOrCount) {
    switch (direction) {
        case 0:
            return ReadSeconds(kAlbumFile, "SaveAlbum", std::to_string(baudRateOrCount));
        case 1:
            return ReadSeconds(kAlbumFile, "LoadAlbum", std::to_string(baudRateOrCount));
        case 2:
            return CountKeyedSeconds(kAlbumFile, "WriteFlash", baudRateOrCount);
        default:
            return -1;
    }
}

int CTimeoutTables::ExecutionTimeout(const TimeoutParameters& p) {
    auto& cache = executionCache_;
    if (cache.total != -1 &&
        std::equal(std::begin(p.functions), std::end(p.functions), std::begin(cache.functions)) &&
        cache.minFaceSize == p.minFaceSize && cache.yawCode == p.yawCode && cache.rollCode == p.rollCode &&
        cache.recognitionUserCount == p.recognitionUserCount) {
        return cache.total;
    }
    std::copy(std::begin(p.functions), std::end(p.functions), std::begin(cache.functions));
    cache.minFaceSize = p.minFaceSize;
    cache.yawCode = p.yawCode;
    cache.rollCode = p.rollCode;
    cache.recognitionUserCount = p.recognitionUserCount;

    // Keys of the functions timed from section "Function", by switch; face and recognition
    // have sections of their own.
    static constexpr const char* kFunctionKeys[10] = {"BodyDitect", "HandDitect", nullptr, "FaceDir",
                                                      "Age",        "Gender",     "Gaze",  "Blink",
                                                      "Expression", nullptr};
    int total = 0;
    for (int k = 0; k < 10; ++k) {
        if (!p.functions[k])
            continue;
        int seconds;
        if (k == 2) {
            seconds = ReadSeconds(kExecutionFile, p.minFaceSize < 64 ? "Face_20" : "Face_64",
                                  FaceKey(p.rollCode, p.yawCode));
        } else if (k == 9) {
            seconds = ReadSeconds(kExecutionFile, "Recognition", RecognitionKey(p.recognitionUserCount));
        } else {
            seconds = ReadSeconds(kExecutionFile, "Function", kFunctionKeys[k]);
        }
        total += seconds * 1000;
    }
    cache.total = total;
    return total;
}

int CTimeoutTables::ImageTimeout(ImageCache& cache, int imageOption, int baudRate) {
    if (cache.imageOption != imageOption || cache.baudRate != baudRate) {
        cache.imageOption = imageOption;
        cache.baudRate = baudRate;
        cache.value = ReadSeconds(kImageFile, ImageSection(imageOption), std::to_string(baudRate)) * 1000;
    }
    return cache.value;
}

}  // namespace qzm
