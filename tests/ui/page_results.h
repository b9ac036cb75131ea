// Results and frames for the page tests: detections written by hand, grey frames with a known
// pattern, and a whole execution of the emulated module (its scene, its answer and its picture).
#pragma once

#include <array>
#include <cstdint>

#include "core/settings_store.h"
#include "device/qzm_results.h"
#include "image/image_data.h"

namespace qzm_test {

using Functions = qzm::FunctionSwitches;

// Every function on; only the given ones on.
Functions AllFunctions();
Functions OnlyFunctions(std::initializer_list<int> indexes);

// A valid detection centred at (x, y) in module coordinates.
qzm::CQZMDetectRes Detection(int x, int y, int size, int confidence = 800);

// A face 30 years old, male, recognised as user 1; its other estimations did not arrive.
qzm::CFaceResult FullFace(int x, int y, int size);

// An 8-bit grey frame, packed rows, pixel (x, y) = FramePixel(x, y).
qzm::CImageData PatternFrame(int width, int height);
std::uint8_t FramePixel(int x, int y);

// One execution of the emulated module with every function on and a 320 x 240 frame: three people
// looking at the camera, decoded from the module's answer as the device facade does.
struct ScriptedExecution {
    qzm::CImageData frame;
    qzm::CExecResult result;
};
ScriptedExecution EmulatedExecution();

}  // namespace qzm_test
