#include "present/result_text.h"

#include <algorithm>
#include <string_view>

#include "res/string_table.h"

namespace qzm {

namespace {

constexpr int kNotPossible = -128;
constexpr int kNoRegisteredData = -127;
constexpr int kNoMatch = -1;

const char* OnOff(bool on) {
    return on ? "On" : "Off";
}

void AppendLine(std::string& text, const std::string& line) {
    text += '\t';
    text += line;
    text += '\n';
}

std::string DetectionLine(int index, const CQZMDetectRes& d) {
    return FormatString(kStrLogDetection, index, d.x, d.y, d.size, d.confidence);
}

std::string DetectionText(int countId, const std::vector<CQZMDetectRes>& records) {
    std::string text;
    AppendLine(text, FormatString(countId, static_cast<int>(records.size())));
    for (std::size_t i = 0; i < records.size(); ++i) {
        AppendLine(text, DetectionLine(static_cast<int>(i), records[i]));
    }
    return text;
}

std::string DirectionLine(const CQZMDirectRes& r) {
    if (!r.IsValid()) {
        return FormatString(kStrLogDirection, 0, 0, 0, -1);
    }
    return FormatString(kStrLogDirection, r.yaw, r.pitch, r.roll, r.confidence);
}

std::string AgeLine(const CQZMAgeRes& r) {
    if (!r.IsValid()) {
        return FormatString(kStrLogAge, -1, -1);
    }
    if (r.age == kNotPossible) {
        return LoadString(kStrLogAgeNotPossible);
    }
    return FormatString(kStrLogAge, r.age, r.confidence);
}

std::string GenderLine(const CQZMGenderRes& r) {
    const int gender = r.IsValid() ? r.gender : -1;
    const int confidence = r.IsValid() ? r.confidence : -1;
    if (gender == kNotPossible) {
        return LoadString(kStrLogGenderNotPossible);
    }
    return FormatString(kStrLogGender, LoadString(gender == 1 ? kStrMale : kStrFemale), confidence);
}

std::string GazeLine(const CQZMGazeRes& r) {
    if (!r.IsValid()) {
        return FormatString(kStrLogGaze, 0, 0);
    }
    if (r.gazeYaw == kNotPossible || r.gazePitch == kNotPossible) {
        return LoadString(kStrLogGazeNotPossible);
    }
    return FormatString(kStrLogGaze, r.gazeYaw, r.gazePitch);
}

std::string BlinkLine(const CQZMBlinkRes& r) {
    if (!r.IsValid()) {
        return FormatString(kStrLogBlink, -1, -1);
    }
    if (r.left == kNotPossible || r.right == kNotPossible) {
        return LoadString(kStrLogBlinkNotPossible);
    }
    return FormatString(kStrLogBlink, r.left, r.right);
}

std::string ExpressionLine(const CQZMExpressionRes& r) {
    const bool valid = r.IsValid();
    const int topScore = valid ? r.topScore : -1;
    int scores[5];
    for (int k = 0; k < 5; ++k) {
        scores[k] = valid ? r.scores[k] : -1;
    }
    const int degree = valid ? r.degree : 0;
    const int index = StrongestExpression(r);
    if (index == kNotPossible) {
        return LoadString(kStrLogExpressionNotPossible);
    }
    // Only the five expression codes have names; any other code stays unnamed rather than
    // borrowing a neighbouring string of the table.
    const char* name = (index >= 1 && index <= 5) ? LoadString(kStrExpressionNeutral - 1 + index) : "";
    if (topScore == kNotPossible) {
        return FormatString(kStrLogExpressionFive, name, scores[0], scores[1], scores[2], scores[3],
                            scores[4], degree);
    }
    return FormatString(kStrLogExpressionOne, name, topScore, degree);
}

std::string RecognitionLine(const CQZMRecognitionRes& r, const std::vector<UserName>* users) {
    const int userId = r.IsValid() ? r.userId : kNoMatch;
    const int score = r.IsValid() ? r.score : -1;
    if (userId == kNotPossible) {
        return LoadString(kStrLogRecognitionNotPossible);
    }
    if (userId == kNoRegisteredData) {
        return LoadString(kStrLogRecognitionNoData);
    }
    static const std::vector<UserName> kNoUsers;
    const std::string name = userId == kNoMatch ? LoadString(kStrNotRegistered)
                                                : UserNameOf(users != nullptr ? *users : kNoUsers, userId);
    return FormatString(kStrLogRecognition, name.c_str(), score);
}

std::string FaceText(const ResultBlockInput& input, const std::vector<CFaceResult>& faces) {
    const bool* on = input.functions;
    std::string text = FormatString(kStrLogFaceCount, static_cast<int>(faces.size()));
    text += '\n';
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const CFaceResult& face = faces[i];
        const int index = static_cast<int>(i);
        if (face.detection.IsValid()) {
            AppendLine(text, DetectionLine(index, face.detection));
        } else {
            AppendLine(text, FormatString(kStrLogDetection, index, -1, -1, -1, -1));
        }
        bool estimated = false;
        auto estimation = [&](int function, auto&& makeLine) {
            if (on[function]) {
                AppendLine(text, makeLine());
                estimated = true;
            }
        };
        estimation(kFunctionDirection, [&] { return DirectionLine(face.direction); });
        estimation(kFunctionAge, [&] { return AgeLine(face.age); });
        estimation(kFunctionGender, [&] { return GenderLine(face.gender); });
        estimation(kFunctionGaze, [&] { return GazeLine(face.gaze); });
        estimation(kFunctionBlink, [&] { return BlinkLine(face.blink); });
        estimation(kFunctionExpression, [&] { return ExpressionLine(face.expression); });
        estimation(kFunctionRecognition, [&] { return RecognitionLine(face.recognition, input.users); });
        if (on[kFunctionRecognition] || estimated) {
            AppendLine(text, LoadString(kStrLogFaceSeparator));
        }
    }
    // Drop the last face separator and the final line feed: every trailing character that the
    // separator line is made of. No result line ends in one of them.
    const std::string_view separatorChars = "\t -\n";
    const std::size_t keep = text.find_last_not_of(separatorChars);
    text.erase(keep == std::string::npos ? 0 : keep + 1);
    return "\t" + text + "\n";
}

std::string StatusLine(int status) {
    switch (status) {
        case -20:  // time-out
        case -22:  // bad sync byte
            return LoadString(kStrLogNotResponding);
        default:  // -21, -30, -31 and any other exchange failure
            return LoadString(kStrLogCommunicationError);
    }
}

}  // namespace

int StrongestExpression(const CQZMExpressionRes& r) {
    return r.IsValid() ? r.Strongest().first : -1;
}

std::string UserNameOf(const std::vector<UserName>& users, int userId) {
    for (const UserName& user : users) {
        if (user.first == userId) {
            return user.second;
        }
    }
    return {};
}

std::string FormatResultBlock(const ResultBlockInput& input) {
    const bool* on = input.functions;
    std::string text = LoadString(kStrLogBlockSeparator);
    text += '\n';
    text += LoadString(kStrLogExecute);
    text += FormatString(kStrLogFunctionSummary, OnOff(on[0]), OnOff(on[1]), OnOff(on[2]), OnOff(on[3]),
                         OnOff(on[4]), OnOff(on[5]), OnOff(on[6]), OnOff(on[7]), OnOff(on[8]), OnOff(on[9]));
    text += '\n';

    text += LoadString(kStrLogResult);
    text += FormatString(kStrLogResponse, input.responseTimeMs, static_cast<unsigned>(input.returnCode));
    text += '\n';
    if (input.status != 0) {
        text += StatusLine(input.status);
        text += '\n';
    } else if (input.returnCode == 0) {
        static const CExecResult kEmpty;
        const CExecResult& result = input.result != nullptr ? *input.result : kEmpty;
        if (on[kFunctionBody]) {
            text += DetectionText(kStrLogBodyCount, result.bodies);
        }
        if (on[kFunctionHand]) {
            text += DetectionText(kStrLogHandCount, result.hands);
        }
        if (on[kFunctionFace]) {
            text += FaceText(input, result.faces);
        }
    }
    text += '\n';
    return text;
}

std::string FormatHeaderBlock(const std::string& appVersion, const std::string& firmwareVersion) {
    std::string text = LoadString(kStrLogBlockSeparator);
    text += '\n';
    text += LoadString(kStrLogHeaderProgram);
    text += '\t';
    text += appVersion;
    text += '\n';
    text += LoadString(kStrLogHeaderFirmware);
    text += '\t';
    text += firmwareVersion;
    text += '\n';
    return text;
}

ResultBlockInput BlockInput(const ExecutionReport& report, const std::vector<UserName>* users) {
    ResultBlockInput input;
    std::copy(report.functions.begin(), report.functions.end(), input.functions);
    input.status = report.status;
    input.returnCode = report.response;
    input.responseTimeMs = report.responseTimeMs;
    input.result = &report.result;
    input.users = users;
    return input;
}

}  // namespace qzm
