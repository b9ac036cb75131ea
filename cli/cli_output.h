// What qzm-cli reads from its command line and writes for each execution, apart from the I/O.
#pragma once

#include <string>
#include <vector>

#include "core/demo_controller.h"
#include "present/result_text.h"

namespace qzm {

struct ExecuteOptions {
    CDemoController::Functions functions{};
    int imageSize = kImage320x240;
    int count = 1;
    std::string saveFramesDir;
    bool json = false;
};

// Reads the arguments after "execute"; options not given keep their value. Estimations are asked
// for only together with face, as in the execution panel. False with the problem for a bad line.
bool ParseExecuteOptions(const std::vector<std::string>& args, ExecuteOptions& options, std::string& problem);

// One JSON object (one line) for one execution: run, status, returnCode, responseTimeMs,
// functions, bodies, hands, faces, image.
std::string ResultJson(int run, const ResultBlockInput& block, const CImageData* image);

// DIR/frame-NNNNNN.pgm
std::string FramePath(const std::string& dir, int run);
// Writes an 8-bit grey image as a binary PGM; 0 or -1.
int WritePgm(const std::string& path, const CImageData& image);

std::string HexByte(unsigned value);
// The model text without its trailing blanks and zero bytes.
std::string TrimModelText(std::string model);
// "[#####-----]  42 %" with width marks.
std::string ProgressBarText(double percent, int width);

}  // namespace qzm
