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

bool ParseUserNumber(const std::string& text, int& user) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value >= CRegUserInfoMngr::kMaxUsers)
        return false;
    user = static_cast<int>(value);
    return true;
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
        } else if (arg == "--record" && hasValue) {
            options.recordPath = args[++i];
        } else if (arg == "--frames") {
            options.frames = true;
        } else if (arg == "--person" && hasValue) {
            const std::string& who = args[++i];
            int user = -1;
            if (who == "stranger") {
                options.person = PersonInView::Stranger();
            } else if (who == "nobody") {
                options.person = PersonInView::Nobody();
            } else if (ParseUserNumber(who, user)) {
                options.person = PersonInView::User(user);
            } else {
                problem = "--person takes a user number, stranger or nobody";
                return false;
            }
        } else {
            problem = "unknown execute option " + arg;
            return false;
        }
    }
    return true;
}


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
    if (command == "execute") {
        if (!ParseExecuteOptions(args, request.execute, problem))
            return false;
        if (request.execute.frames && request.execute.recordPath.empty())
            return fail("--frames goes with --record FILE");
        return !request.execute.person.Tagged() || !request.execute.recordPath.empty() ||
               fail("--person goes with --record FILE");
    }
    if (command == "info") {
        if (count != 1 || args[0].empty())
            return fail("info takes one recording file");
        request.recording.path = args[0];
        return true;
    }
    if (command == "stats") {
        RecordingOptions& r = request.recording;
        const char* usage = "stats FILE [--json | --csv] [--far PERCENT]";
        for (std::size_t i = 0; i < count; ++i) {
            if (args[i] == "--json") {
                r.json = true;
            } else if (args[i] == "--csv") {
                r.csv = true;
            } else if (args[i] == "--far" && i + 1 < count) {
                const std::string& text = args[++i];
                char* end = nullptr;
                const double percent = std::strtod(text.c_str(), &end);
                if (text.empty() || *end != '\0' || !(percent >= 0.0 && percent <= 100.0))
                    return fail("--far takes a percentage from 0 to 100");
                r.farPercent = percent;
            } else if (r.path.empty() && !args[i].empty() && args[i][0] != '-') {
                r.path = args[i];
            } else {
                return fail(usage);
            }
        }
        if (r.json && r.csv)
            return fail("stats takes --json or --csv, not both");
        return !r.path.empty() || fail(usage);
    }
    if (command == "export") {
        RecordingOptions& r = request.recording;
        for (std::size_t i = 0; i < count; ++i) {
            const bool hasValue = i + 1 < count;
            if (args[i] == "--format" && hasValue) {
                const std::string& format = args[++i];
                if (format != "csv" && format != "jsonl")
                    return fail("--format takes csv or jsonl");
                r.jsonl = format == "jsonl";
            } else if (args[i] == "--out" && hasValue) {
                r.out = args[++i];
            } else if (r.path.empty() && !args[i].empty() && args[i][0] != '-') {
                r.path = args[i];
            } else {
                return fail("export FILE --format csv|jsonl [--out PATH]");
            }
        }
        return !r.path.empty() || fail("export FILE --format csv|jsonl [--out PATH]");
    }
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

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (i > 0)
            line += ',';
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (const char c : field) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
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
