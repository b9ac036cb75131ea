// Text of the result log: one block per execution and the header block written after a
// connection. Pure functions over the result records; the log page, the log file and the
// command-line tool all print these texts.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/execution_report.h"
#include "device/qzm_results.h"

namespace qzm {

// The strongest expression of a face: the module's choice (topExpression) unless one of the five
// scores is strictly higher; ties keep the earlier one. 1 to 5 name an expression, -128 means no
// estimate was possible; -1 for a record that is not valid.
int StrongestExpression(const CQZMExpressionRes& expression);

// The name of the first user with this number, or "" when there is none.
std::string UserNameOf(const std::vector<UserName>& users, int userId);

struct ResultBlockInput {
    // The function switches of the execution, in function order (FunctionIndex).
    bool functions[kFunctionCount] = {};
    // Exchange result of the execution: 0, or a negative exchange error.
    int status = 0;
    // The module's response code.
    std::uint8_t returnCode = 0;
    int responseTimeMs = 0;
    // The decoded records; null is written as an execution without any body, hand or face.
    const CExecResult* result = nullptr;
    // Registered users for recognition names; null is an empty list.
    const std::vector<UserName>* users = nullptr;
};

// One result block: the block separator, the "Execute" line, the "Result" line, then
//  - status 0 and return code 0: the body, hand and face texts of the switched-on functions;
//  - status 0 and any other return code: nothing more;
//  - status -20 or -22: "Device is not responding."; any other non-zero status (-21, -30, -31 and
//    every status not otherwise named): "Communication error.";
// and an empty line.
std::string FormatResultBlock(const ResultBlockInput& input);
// The block's input for one execution's report; users may be null.
ResultBlockInput BlockInput(const ExecutionReport& report, const std::vector<UserName>* users);

// The header block: separator, program version line and firmware version line.
std::string FormatHeaderBlock(const std::string& appVersion, const std::string& firmwareVersion);

}  // namespace qzm
