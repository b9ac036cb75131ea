// One execution, described once by the controller: what was asked, when, and what came back. The
// result log, the overlay, the command-line tool and the recorder all read this one description.
#pragma once

#include <cstdint>
#include <vector>

#include "device/qzm_results.h"
#include "image/image_data.h"

namespace qzm {

struct ExecutionReport {
    // The request.
    FunctionSwitches functions{};
    int imageOption = kImageNone;  // the image asked for (ImageOption)
    // Host times at sending and at the end of the answer: the wall clock in milliseconds since 1970
    // (to tell when), the monotonic clock in nanoseconds (to measure).
    std::int64_t sentWallMs = 0;
    std::int64_t doneWallMs = 0;
    std::int64_t sentSteadyNs = 0;
    std::int64_t doneSteadyNs = 0;
    int responseTimeMs = 0;
    // The answer.
    int status = 0;             // exchange result (ProtocolResult)
    std::uint8_t response = 0;  // the module's response code
    CExecResult result;
    CImageData image;                   // the module's grey frame; 0 x 0 when none came
    std::vector<std::uint8_t> payload;  // the answer's data bytes exactly as received
};

}  // namespace qzm
