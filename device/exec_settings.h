// Detection settings as the module takes them and the program stores them.
#pragma once

namespace qzm {

// A minimum and a maximum; carries detection size ranges and the bounds of numeric edits.
class CRange {
public:
    CRange() = default;
    CRange(int minimum, int maximum) : min(minimum), max(maximum) {}
    virtual ~CRange() = default;
    bool operator==(const CRange& other) const { return min == other.min && max == other.max; }

    int min = -1;
    int max = -1;
};

// -1 in any field means the value has not been read or set yet.
struct ExecSettings {
    enum { kBody = 0, kHand = 1, kFace = 2, kRecognition = 3 };

    int threshold[4] = {-1, -1, -1, -1};  // Body, Hand, Face, Recognition
    CRange sizeRange[3];                  // Body, Hand, Face
    int yawAngle = -1;                    // 0 = ±30°, 1 = ±60°, 2 = ±90°
    int rollAngle = -1;                   // 0 = ±15°, 1 = ±45°

    bool operator==(const ExecSettings& other) const = default;
};

// Everything the program sets on the module before it executes, in the order it sends them: the
// camera angle, then the detection settings.
struct DetectionSettings {
    int cameraAngle = 0;  // 0 = 0°, 1 = 90°, 2 = 180°, 3 = 270°
    ExecSettings exec;

    bool operator==(const DetectionSettings& other) const = default;
};

}  // namespace qzm
