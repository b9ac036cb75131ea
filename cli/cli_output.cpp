#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

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

namespace {

constexpr const char* kExpressionNames[5] = {"neutral", "happiness", "surprise", "anger", "sadness"};

template <class... Args>
std::string Format(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

double Percent(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

std::string SpreadText(const Spread& spread) {
    return spread.count > 0 ? Format("%.1f (sd %.1f)", spread.Mean(), spread.Deviation()) : std::string("-");
}

nlohmann::ordered_json HistogramJson(const Histogram& h) {
    if (h.bins.empty())
        return nullptr;
    return {
        {"low", h.low}, {"bin_width", h.binWidth}, {"count", h.count}, {"mean", h.Mean()}, {"bins", h.bins}};
}

nlohmann::ordered_json SpreadJson(const Spread& s) {
    return {{"count", s.count}, {"mean", s.Mean()}, {"sd", s.Deviation()}};
}

nlohmann::ordered_json EstimatesJson(const FaceEstimates& e) {
    nlohmann::ordered_json expressions;
    for (int k = 0; k < 5; ++k)
        expressions[kExpressionNames[k]] = e.expressions[static_cast<std::size_t>(k)];
    return {{"start_ms", e.startMs},
            {"age", SpreadJson(e.age)},
            {"male", e.male},
            {"female", e.female},
            {"expressions", expressions},
            {"blink", SpreadJson(e.blink)},
            {"gaze_yaw", SpreadJson(e.gazeYaw)},
            {"gaze_pitch", SpreadJson(e.gazePitch)},
            {"yaw", SpreadJson(e.yaw)},
            {"pitch", SpreadJson(e.pitch)},
            {"roll", SpreadJson(e.roll)}};
}

// A rate of a table with no run to divide by is no rate.
nlohmann::ordered_json Rate(double rate, std::int64_t runs) {
    return runs > 0 ? nlohmann::ordered_json(rate) : nlohmann::ordered_json(nullptr);
}

std::string RateText(double rate, std::int64_t runs) {
    return runs > 0 ? Format("%.2f %%", 100.0 * rate) : std::string("-");
}

}  // namespace

std::string StatisticsText(const RecordingSession& session, const CRunStatistics& stats, double farShare) {
    std::string text;
    const ResponseFigures response = stats.Responses();
    text += Format("runs\t%lld (%lld not answered)\n", static_cast<long long>(stats.Runs()),
                   static_cast<long long>(stats.FailedRuns()));
    text += Format("span\t%.3f s\n", (stats.LastDoneMs() - stats.FirstSentMs()) / 1000.0);
    text += Format("results per second\t%.2f\n", stats.ResultsPerSecond());
    text += Format(
        "response last\t%d ms\nresponse median\t%d ms\nresponse 95th percentile\t%d ms\n"
        "response maximum\t%d ms\n",
        response.lastMs, response.medianMs, response.p95Ms, response.maxMs);
    text += "\nfunction\truns asked\tfound per run\tconfidence mean\n";
    for (int k = 0; k < kFunctionCount; ++k) {
        const FunctionFigures& f = stats.Functions()[static_cast<std::size_t>(k)];
        const std::string mean =
            f.confidence.bins.empty() || f.confidence.count == 0 ? "-" : Format("%.1f", f.confidence.Mean());
        text += Format("%s\t%lld\t%.3f\t%s\n", kFunctionNames[k], static_cast<long long>(f.runs), f.PerRun(),
                       mean.c_str());
    }
    const FaceEstimates& e = stats.Faces();
    text += "\nface estimates\n";
    text += "age\t" + SpreadText(e.age) + "\n";
    text += Format("gender\t%.1f %% male, %.1f %% female\n", Percent(e.male, e.male + e.female),
                   Percent(e.female, e.male + e.female));
    std::int64_t expressions = 0;
    for (const std::int64_t n : e.expressions)
        expressions += n;
    text += "expression\t";
    for (int k = 0; k < 5; ++k) {
        text += Format("%s%s %.1f %%", k > 0 ? ", " : "", kExpressionNames[k],
                       Percent(e.expressions[static_cast<std::size_t>(k)], expressions));
    }
    text += "\nblink\t" + SpreadText(e.blink) + "\n";
    text += "gaze yaw\t" + SpreadText(e.gazeYaw) + "\ngaze pitch\t" + SpreadText(e.gazePitch) + "\n";
    text += "direction yaw\t" + SpreadText(e.yaw) + "\ndirection pitch\t" + SpreadText(e.pitch) +
            "\ndirection roll\t" + SpreadText(e.roll) + "\n";

    const RecognitionFigures& r = stats.Recognition();
    text += "\nrecognition\nuser\tname\truns\tfaces\tscore mean\n";
    for (const auto& [id, user] : r.users) {
        text += Format("%d\t%s\t%lld\t%lld\t%.1f\n", id, user.name.c_str(), static_cast<long long>(user.runs),
                       static_cast<long long>(user.faces), user.scores.Mean());
    }
    text += Format("not recognised\t%lld faces in %lld runs\n", static_cast<long long>(r.strangerFaces),
                   static_cast<long long>(r.strangerRuns));
    text += Format("no registered data\t%lld faces in %lld runs\n", static_cast<long long>(r.noDataFaces),
                   static_cast<long long>(r.noDataRuns));
    text += Format("not possible\t%lld faces\n", static_cast<long long>(r.notPossibleFaces));

    text += "\n";
    if (stats.TaggedRuns() == 0) {
        text +=
            "No runs are tagged with the person in view: record with --person USER|stranger|nobody to get "
            "the threshold table.\n";
        return text;
    }
    const ThresholdTable table = stats.Thresholds();
    if (table.Runs() == 0) {
        text += "No tagged run was answered with recognition switched on: no threshold table.\n";
        return text;
    }
    text += Format(
        "threshold table: %lld runs taking part (%lld with a registered user in view, %lld a "
        "stranger, %lld nobody)\n",
        static_cast<long long>(table.Runs()), static_cast<long long>(table.genuineRuns),
        static_cast<long long>(table.strangerRuns), static_cast<long long>(table.nobodyRuns));
    const int moduleThreshold = session.detection.exec.threshold[ExecSettings::kRecognition];
    if (moduleThreshold > 0)
        text += Format(
            "(the module named users from its threshold %d up: lower thresholds show the rates at "
            "%d)\n",
            moduleThreshold, moduleThreshold);
    text += "threshold\ttrue accept\tfalse accept\tfalse reject\n";
    for (const ThresholdRow& row : table.rows) {
        if (row.threshold % 50 != 0)
            continue;
        text +=
            Format("%d\t%s\t%s\t%s\n", row.threshold, RateText(row.trueAcceptRate, table.genuineRuns).c_str(),
                   RateText(row.falseAcceptRate, table.Runs()).c_str(),
                   RateText(row.falseRejectRate, table.genuineRuns).c_str());
    }
    const int chosen = table.ThresholdFor(farShare);
    if (chosen < 0) {
        text += Format("No threshold keeps false accepts to %g %%.\n", 100.0 * farShare);
    } else {
        const ThresholdRow& row = table.rows[static_cast<std::size_t>(chosen)];
        text += Format("threshold for false accepts <= %g %%\t%d (true accept %s, false accept %s)\n",
                       100.0 * farShare, chosen, RateText(row.trueAcceptRate, table.genuineRuns).c_str(),
                       RateText(row.falseAcceptRate, table.Runs()).c_str());
    }
    return text;
}

nlohmann::ordered_json StatisticsJson(const RecordingSession& session, const CRunStatistics& stats,
                                      double farShare) {
    nlohmann::ordered_json json;
    const ResponseFigures response = stats.Responses();
    json["runs"] = stats.Runs();
    json["failed_runs"] = stats.FailedRuns();
    json["tagged_runs"] = stats.TaggedRuns();
    json["first_sent_ms"] = stats.FirstSentMs();
    json["last_done_ms"] = stats.LastDoneMs();
    json["results_per_second"] = stats.ResultsPerSecond();
    json["response_ms"] = {{"last", response.lastMs},
                           {"median", response.medianMs},
                           {"p95", response.p95Ms},
                           {"max", response.maxMs}};
    nlohmann::ordered_json series = nlohmann::ordered_json::array();
    for (const ResponseSecond& s : stats.ResponseSeries())
        series.push_back(
            {{"second", s.second}, {"runs", s.runs}, {"mean_ms", s.meanMs}, {"max_ms", s.maxMs}});
    json["response_series"] = series;
    nlohmann::ordered_json functions;
    for (int k = 0; k < kFunctionCount; ++k) {
        const FunctionFigures& f = stats.Functions()[static_cast<std::size_t>(k)];
        functions[kFunctionNames[k]] = {{"runs", f.runs},
                                        {"found", f.found},
                                        {"per_run", f.PerRun()},
                                        {"confidence", HistogramJson(f.confidence)}};
    }
    json["functions"] = functions;
    json["faces"] = EstimatesJson(stats.Faces());
    nlohmann::ordered_json minutes = nlohmann::ordered_json::array();
    for (const FaceEstimates& e : stats.FaceSeries())
        minutes.push_back(EstimatesJson(e));
    json["face_series"] = minutes;
    const RecognitionFigures& r = stats.Recognition();
    nlohmann::ordered_json users = nlohmann::ordered_json::array();
    for (const auto& [id, user] : r.users) {
        users.push_back({{"user", id},
                         {"name", user.name},
                         {"runs", user.runs},
                         {"faces", user.faces},
                         {"scores", HistogramJson(user.scores)}});
    }
    json["recognition"] = {{"users", users},
                           {"not_recognised_faces", r.strangerFaces},
                           {"not_recognised_runs", r.strangerRuns},
                           {"no_data_faces", r.noDataFaces},
                           {"no_data_runs", r.noDataRuns},
                           {"not_possible_faces", r.notPossibleFaces}};
    const ThresholdTable table = stats.Thresholds();
    if (table.Runs() == 0) {
        json["thresholds"] = nullptr;
        return json;
    }
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const ThresholdRow& row : table.rows) {
        rows.push_back({{"threshold", row.threshold},
                        {"true_accept_rate", Rate(row.trueAcceptRate, table.genuineRuns)},
                        {"false_accept_rate", Rate(row.falseAcceptRate, table.Runs())},
                        {"false_reject_rate", Rate(row.falseRejectRate, table.genuineRuns)}});
    }
    const int chosen = table.ThresholdFor(farShare);
    json["thresholds"] = {{"genuine_runs", table.genuineRuns},
                          {"stranger_runs", table.strangerRuns},
                          {"nobody_runs", table.nobodyRuns},
                          {"module_threshold", session.detection.exec.threshold[ExecSettings::kRecognition]},
                          {"false_accept_target", farShare},
                          {"chosen_threshold", chosen >= 0 ? nlohmann::ordered_json(chosen) : nullptr},
                          {"rows", rows}};
    return json;
}

std::string ThresholdCsv(const ThresholdTable& table) {
    std::string csv = CsvLine({"threshold", "true_accept_rate", "false_accept_rate", "false_reject_rate"});
    const auto rate = [](double value, std::int64_t runs) { return runs > 0 ? Format("%.6f", value) : ""; };
    for (const ThresholdRow& row : table.rows) {
        csv +=
            CsvLine({std::to_string(row.threshold), rate(row.trueAcceptRate, table.genuineRuns),
                     rate(row.falseAcceptRate, table.Runs()), rate(row.falseRejectRate, table.genuineRuns)});
    }
    return csv;
}

}  // namespace qzm
