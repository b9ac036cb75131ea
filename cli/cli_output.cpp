#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "files/file_operate.h"

namespace qzm {

namespace {

constexpr const char* kFunctionNames[kFunctionCount] = {
    "body", "hand", "face", "direction", "age", "gender", "gaze", "blink", "expression", "recognition"};

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Detection(const CQZMDetectRes& d) {
    std::ostringstream o;
    o << "{\"x\":" << d.x << ",\"y\":" << d.y << ",\"size\":" << d.size << ",\"confidence\":" << d.confidence
      << "}";
    return o.str();
}

std::string UserNameOf(int userId, const std::vector<UserName>* users) {
    if (users == nullptr)
        return {};
    const auto it =
        std::find_if(users->begin(), users->end(), [&](const UserName& u) { return u.first == userId; });
    return it != users->end() ? it->second : std::string();
}

// Estimations that were not asked for, or did not arrive, are null.
std::string Face(const CFaceResult& f, const bool* on, const std::vector<UserName>* users) {
    std::ostringstream o;
    o << "{\"detection\":" << (f.detection.IsValid() ? Detection(f.detection) : "null");
    auto part = [&](int function, const CQZMResBase& record, const std::string& body) {
        o << ",\"" << kFunctionNames[function] << "\":" << (on[function] && record.IsValid() ? body : "null");
    };
    part(kFunctionDirection, f.direction,
         "{\"yaw\":" + std::to_string(f.direction.yaw) + ",\"pitch\":" + std::to_string(f.direction.pitch) +
             ",\"roll\":" + std::to_string(f.direction.roll) +
             ",\"confidence\":" + std::to_string(f.direction.confidence) + "}");
    part(kFunctionAge, f.age,
         "{\"age\":" + std::to_string(f.age.age) + ",\"confidence\":" + std::to_string(f.age.confidence) +
             "}");
    part(kFunctionGender, f.gender,
         "{\"gender\":" + std::to_string(f.gender.gender) +
             ",\"confidence\":" + std::to_string(f.gender.confidence) + "}");
    part(kFunctionGaze, f.gaze,
         "{\"yaw\":" + std::to_string(f.gaze.gazeYaw) + ",\"pitch\":" + std::to_string(f.gaze.gazePitch) +
             "}");
    part(kFunctionBlink, f.blink,
         "{\"left\":" + std::to_string(f.blink.left) + ",\"right\":" + std::to_string(f.blink.right) + "}");
    std::string scores = "[";
    for (int k = 0; k < 5; ++k)
        scores += (k ? "," : "") + std::to_string(f.expression.scores[k]);
    part(kFunctionExpression, f.expression,
         "{\"top\":" + std::to_string(f.expression.topExpression) +
             ",\"topScore\":" + std::to_string(f.expression.topScore) + ",\"scores\":" + scores +
             "],\"degree\":" + std::to_string(f.expression.degree) + "}");
    part(kFunctionRecognition, f.recognition,
         "{\"userId\":" + std::to_string(f.recognition.userId) +
             ",\"name\":" + JsonString(UserNameOf(f.recognition.userId, users)) +
             ",\"score\":" + std::to_string(f.recognition.score) + "}");
    o << "}";
    return o.str();
}

}  // namespace

bool ParseExecuteOptions(const std::vector<std::string>& args, ExecuteOptions& options,
                         std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--functions" && hasValue) {
            const std::string list = args[++i];
            FunctionSwitches chosen{};
            if (list == "all") {
                chosen.fill(true);
            } else if (list != "none") {
                for (const std::string& name : SplitText(list, ",")) {
                    const auto it = std::find(std::begin(kFunctionNames), std::end(kFunctionNames), name);
                    if (it == std::end(kFunctionNames)) {
                        problem = "unknown function " + name;
                        return false;
                    }
                    chosen[it - std::begin(kFunctionNames)] = true;
                }
            }
            if (!chosen[kFunctionFace]) {
                for (int k = kFunctionDirection; k < kFunctionCount; ++k)
                    chosen[k] = false;
            }
            options.functions = chosen;
        } else if (arg == "--image" && hasValue) {
            const std::string size = args[++i];
            if (size == "320x240") {
                options.imageSize = kImage320x240;
            } else if (size == "160x120") {
                options.imageSize = kImage160x120;
            } else if (size == "none") {
                options.imageSize = kImageNone;
            } else {
                problem = "--image takes 320x240, 160x120 or none";
                return false;
            }
        } else if (arg == "--count" && hasValue) {
            char* end = nullptr;
            const long count = std::strtol(args[++i].c_str(), &end, 10);
            if (*end != '\0' || count < 1 || count > 100000000) {
                problem = "--count takes a number from 1";
                return false;
            }
            options.count = static_cast<int>(count);
        } else if (arg == "--save-frames" && hasValue) {
            options.saveFramesDir = args[++i];
        } else {
            problem = "unknown execute option " + arg;
            return false;
        }
    }
    return true;
}

namespace {
bool ParseUserNumber(const std::string& text, int& user) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value >= CRegUserInfoMngr::kMaxUsers)
        return false;
    user = static_cast<int>(value);
    return true;
}

}  // namespace

bool ParseRequest(const std::string& command, const std::vector<std::string>& args, CliRequest& request,
                  std::string& problem) {
    request = CliRequest{};
    request.command = command;
    const std::size_t count = args.size();
    auto fail = [&](const std::string& text) {
        problem = text;
        return false;
    };
    if (command == "ports" || command == "version" || command == "users" || command == "delete-all" ||
        command == "check") {
        return count == 0 || fail(command + " takes no arguments");
    }
    if (command == "execute")
        return ParseExecuteOptions(args, request.execute, problem);
    if (command == "add-user") {
        if (count != 1 || args[0].empty())
            return fail("add-user takes one name");
        request.text = args[0];
        return true;
    }
    if (command == "album") {
        if (count != 2 || (args[0] != "save" && args[0] != "load") || args[1].empty())
            return fail("album save FILE | album load FILE");
        request.albumSave = args[0] == "save";
        request.text = args[1];
        return true;
    }
    const bool known = command == "rename-user" || command == "delete-user" || command == "register" ||
                       command == "delete-data";
    if (!known)
        return fail("unknown command " + command);
    if (count == 0 || !ParseUserNumber(args[0], request.user))
        return fail(command + " needs a user number 0..499");
    if (command == "rename-user") {
        if (count != 2 || args[1].empty())
            return fail("rename-user takes a number and a name");
        request.text = args[1];
        return true;
    }
    if (command == "delete-data") {
        char* end = nullptr;
        const long data = count == 2 ? std::strtol(args[1].c_str(), &end, 10) : -1;
        if (count != 2 || (args[1] != "all" && (args[1].empty() || *end != '\0' || data < 0 || data > 9)))
            return fail("delete-data takes a user number and a data number 0..9 or all");
        request.data = args[1] == "all" ? -1 : static_cast<int>(data);
        return true;
    }
    return count == 1 || fail(command + " takes one user number");
}

std::string ResultJson(int run, const ResultBlockInput& block, const CImageData* image) {
    std::ostringstream o;
    o << "{\"run\":" << run << ",\"status\":" << block.status << ",\"returnCode\":" << int(block.returnCode)
      << ",\"responseTimeMs\":" << block.responseTimeMs << ",\"functions\":[";
    bool first = true;
    for (int k = 0; k < kFunctionCount; ++k) {
        if (!block.functions[k])
            continue;
        o << (first ? "" : ",") << "\"" << kFunctionNames[k] << "\"";
        first = false;
    }
    o << "]";
    const bool complete = block.status == 0 && block.returnCode == 0 && block.result != nullptr;
    auto list = [&](const char* name, int function, const std::vector<CQZMDetectRes>* records) {
        o << ",\"" << name << "\":";
        if (!complete || !block.functions[function]) {
            o << "null";
            return;
        }
        o << "[";
        for (std::size_t i = 0; i < records->size(); ++i)
            o << (i ? "," : "") << Detection((*records)[i]);
        o << "]";
    };
    list("bodies", kFunctionBody, complete ? &block.result->bodies : nullptr);
    list("hands", kFunctionHand, complete ? &block.result->hands : nullptr);
    o << ",\"faces\":";
    if (!complete || !block.functions[kFunctionFace]) {
        o << "null";
    } else {
        o << "[";
        for (std::size_t i = 0; i < block.result->faces.size(); ++i) {
            o << (i ? "," : "") << Face(block.result->faces[i], block.functions, block.users);
        }
        o << "]";
    }
    o << ",\"image\":";
    if (image != nullptr) {
        o << "{\"width\":" << image->Width() << ",\"height\":" << image->Height() << "}";
    } else {
        o << "null";
    }
    o << "}";
    return o.str();
}

std::string FramePath(const std::string& dir, int run) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.pgm", run);
    return dir + "/" + name;
}

int WritePgm(const std::string& path, const CImageData& image) {
    const std::string header =
        "P5\n" + std::to_string(image.Width()) + " " + std::to_string(image.Height()) + "\n255\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    const std::uint8_t* pixels = image.Plane(0);
    for (int row = 0; row < image.Height(); ++row) {
        const std::uint8_t* line = pixels + static_cast<std::size_t>(row) * image.Stride(0);
        bytes.insert(bytes.end(), line, line + image.Width());
    }
    return CFileOperate::WriteWholeFile(path, bytes);
}

std::string HexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

std::string TrimModelText(std::string model) {
    while (!model.empty() && (model.back() == ' ' || model.back() == '\0'))
        model.pop_back();
    return model;
}

std::string ProgressBarText(double percent, int width) {
    const double clamped = std::clamp(percent, 0.0, 100.0);
    const int marks = static_cast<int>(clamped / 100.0 * width + 0.5);
    char tail[16];
    std::snprintf(tail, sizeof tail, "] %3d %%", static_cast<int>(clamped + 0.5));
    return "[" + std::string(marks, '#') + std::string(width - marks, '-') + tail;
}

}  // namespace qzm
