#include "record/run_json.h"

#include <algorithm>

namespace qzm {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFunctionNames[kFunctionCount] = {
    "body", "hand", "face", "direction", "age", "gender", "gaze", "blink", "expression", "recognition"};

Json Detection(const CQZMDetectRes& d) {
    return {{"x", d.x}, {"y", d.y}, {"size", d.size}, {"confidence", d.confidence}};
}

std::string NameOf(int userId, const std::vector<UserName>& names) {
    const auto it =
        std::find_if(names.begin(), names.end(), [&](const UserName& u) { return u.first == userId; });
    return it != names.end() ? it->second : std::string();
}

Json Face(const CFaceResult& f, const FunctionSwitches& on, const std::vector<UserName>& names) {
    Json face;
    face["detection"] = f.detection.IsValid() ? Detection(f.detection) : Json();
    auto part = [&](int function, const CQZMResBase& record, Json body) {
        face[kFunctionNames[function]] = on[function] && record.IsValid() ? std::move(body) : Json();
    };
    part(kFunctionDirection, f.direction,
         {{"yaw", f.direction.yaw},
          {"pitch", f.direction.pitch},
          {"roll", f.direction.roll},
          {"confidence", f.direction.confidence}});
    part(kFunctionAge, f.age, {{"age", f.age.age}, {"confidence", f.age.confidence}});
    part(kFunctionGender, f.gender, {{"gender", f.gender.gender}, {"confidence", f.gender.confidence}});
    part(kFunctionGaze, f.gaze, {{"yaw", f.gaze.gazeYaw}, {"pitch", f.gaze.gazePitch}});
    part(kFunctionBlink, f.blink, {{"left", f.blink.left}, {"right", f.blink.right}});
    part(kFunctionExpression, f.expression,
         {{"top", f.expression.topExpression},
          {"topScore", f.expression.topScore},
          {"scores", f.expression.scores},
          {"degree", f.expression.degree}});
    part(kFunctionRecognition, f.recognition,
         {{"userId", f.recognition.userId},
          {"name", NameOf(f.recognition.userId, names)},
          {"score", f.recognition.score}});
    return face;
}

}  // namespace

Json RunJson(long long run, const ExecutionReport& report, const std::vector<UserName>& names) {
    Json o;
    o["run"] = run;
    o["status"] = report.status;
    o["returnCode"] = int(report.response);
    o["responseTimeMs"] = report.responseTimeMs;
    Json functions = Json::array();
    for (int k = 0; k < kFunctionCount; ++k) {
        if (report.functions[k])
            functions.push_back(kFunctionNames[k]);
    }
    o["functions"] = std::move(functions);
    const bool complete = report.status == 0 && report.response == 0;
    auto list = [&](const char* name, int function, const std::vector<CQZMDetectRes>& records) {
        Json value;
        if (complete && report.functions[function]) {
            value = Json::array();
            for (const CQZMDetectRes& record : records)
                value.push_back(Detection(record));
        }
        o[name] = std::move(value);
    };
    list("bodies", kFunctionBody, report.result.bodies);
    list("hands", kFunctionHand, report.result.hands);
    Json faces;
    if (complete && report.functions[kFunctionFace]) {
        faces = Json::array();
        for (const CFaceResult& face : report.result.faces)
            faces.push_back(Face(face, report.functions, names));
    }
    o["faces"] = std::move(faces);
    const bool hasImage = complete && report.imageOption != kImageNone && report.image.Width() > 0;
    o["image"] = hasImage ? Json{{"width", report.image.Width()}, {"height", report.image.Height()}} : Json();
    return o;
}

std::string RunJsonLine(long long run, const ExecutionReport& report, const std::vector<UserName>& names) {
    return RunJson(run, report, names).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace qzm
