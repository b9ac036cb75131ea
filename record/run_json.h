// One run as a JSON object, the same for `qzm-cli execute --json` and the JSON Lines export of a
// recording: the request's switches, the exchange's result, the records of the switched-on
// functions (null where a function was off or its answer did not arrive) and the frame's size.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/execution_report.h"

namespace qzm {

nlohmann::ordered_json RunJson(long long run, const ExecutionReport& report,
                               const std::vector<UserName>& names);
// Compact, one line, any text in the names kept as UTF-8 (invalid bytes replaced).
std::string RunJsonLine(long long run, const ExecutionReport& report, const std::vector<UserName>& names);

}  // namespace qzm
