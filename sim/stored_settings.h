// The detection settings the emulated module keeps, as the PC last set them.
#pragma once

#include <array>
#include <cstdint>

namespace qzm {

// The initial values are the emulator's own power-on values.
struct StoredSettings {
    std::uint8_t cameraAngle = 0;                                    // 0..3: 0°, 90°, 180°, 270°
    std::array<std::uint16_t, 4> thresholds = {500, 500, 500, 500};  // body, hand, face, recognition
    std::array<std::uint16_t, 6> sizeRanges = {40, 1000, 40, 1000, 40, 1000};  // min, max: body, hand, face
    std::uint8_t yawCode = 0;   // 0 = ±30°, 1 = ±60°, 2 = ±90°
    std::uint8_t rollCode = 0;  // 0 = ±15°, 1 = ±45°

    bool operator==(const StoredSettings&) const = default;

    // The largest head yaw and roll (degrees, either side) a face may have to be reported.
    int YawLimit() const { return yawCode == 0 ? 30 : yawCode == 1 ? 60 : 90; }
    int RollLimit() const { return rollCode == 0 ? 15 : 45; }
};

}  // namespace qzm
