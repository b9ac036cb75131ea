// How long to wait for each byte of an answer, per command, from the time-out files beside the program.
#pragma once

#include <cstdint>
#include <string>

namespace qzm {

// What the facade knows when it looks a time-out up.
struct TimeoutParameters {
    int baudRate = 0;
    int imageOption = 0;  // 0 none, 1 = 320 x 240, 2 = 160 x 120
    bool functions[10] = {};
    int minFaceSize = 0;
    int yawCode = 0;               // 0, 1, 2 = ±30°, ±60°, ±90°
    int rollCode = 0;              // 0, 1 = ±15°, ±45°
    int recognitionUserCount = 0;  // users in the program's list
    int registeredCount = 0;       // registered face entries over all users
};

class CTimeoutTables {
public:
    // Codes that are no commands but name the two image rules.
    static constexpr std::uint8_t kImageRule = 0xEF;         // the current image option
    static constexpr std::uint8_t kPreviewImageRule = 0xEE;  // the fixed 160 x 120 image

    // Reads both command tables once; later edits of the file count from the next start.
    CTimeoutTables();

    // Milliseconds to wait per byte for the command's answer, or -1 to wait without limit (a code
    // without a rule, or a rule the device type does not have). Missing and negative values count
    // 1 second, values above an hour an hour.
    // Keeps caches: call from one device operation at a time.
    int Lookup(std::uint8_t code, int deviceType, const TimeoutParameters& parameters);

    // Seconds for an album transfer (0 to an hour): saving and loading keyed by baud rate, flash
    // writing keyed by count; -1 for any other direction.
    enum AlbumDirection : int { kAlbumToPc = 0, kAlbumToModule = 1, kFlashWriting = 2 };
    static int AlbumTimeoutSeconds(int direction, int baudRateOrCount);

private:
    struct ImageCache {
        int imageOption = -1;
        int baudRate = -1;
        int value = 0;
    };

    int ExecutionTimeout(const TimeoutParameters& parameters);
    static int ImageTimeout(ImageCache& cache, int imageOption, int baudRate);

    int commandTableA_[10];  // device type 0
    int commandTableB_[15];  // device type 1

    struct {
        bool functions[10] = {};
        int minFaceSize = -1;
        int yawCode = -1;
        int rollCode = -1;
        int recognitionUserCount = -1;
        int total = -1;  // -1 = nothing cached
    } executionCache_;
    ImageCache imageCache_;
    ImageCache previewImageCache_;
};

}  // namespace qzm
