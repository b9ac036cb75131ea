// What qzm-cli reads from its command line and writes for each execution, apart from the I/O.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include "core/demo_controller.h"
#include "present/result_text.h"

#include "record/recording.h"
#include "record/run_statistics.h"

namespace qzm {

struct ExecuteOptions {
    // Not given: the stored choices.
    std::optional<FunctionSwitches> functions;
    std::optional<int> imageSize;
    int count = 1;
    std::string saveFramesDir;
    bool json = false;
    std::string recordPath;  // --record FILE: every run into a recording
    bool frames = false;     // --frames: the recording keeps the frames' grey bytes
    PersonInView person;     // --person USER|stranger|nobody: every recorded run tagged with it
};

// export FILE --format csv|jsonl [--out PATH], info FILE, stats FILE [--json|--csv] [--far PERCENT]:
// work on a recording alone.
struct RecordingOptions {
    std::string path;
    bool jsonl = false;
    std::string out;          // "" writes to standard output
    bool json = false;        // stats --json: one JSON object
    bool csv = false;         // stats --csv: the threshold table as CSV
    double farPercent = 1.0;  // stats --far: the false-accept rate the chosen threshold keeps to
};

// Reads the arguments after "execute"; options not given keep their value. LIST is "all", "none"
// or names; estimations are asked for only together with face, as in the execution panel. False
// with the problem for a bad line.
bool ParseExecuteOptions(const std::vector<std::string>& args, ExecuteOptions& options, std::string& problem);

// A command with its arguments checked, before anything is connected.
struct CliRequest {
    std::string command;
    int user = -1;           // the user number of the user commands, 0..499
    int data = -1;           // delete-data: 0..9, or -1 for all
    std::string text;        // the name of add-user and rename-user, the file of album
    bool albumSave = false;  // album save, else album load
    ExecuteOptions execute;
    RecordingOptions recording;
};

// Checks the command and every argument. False with the problem for a usage error.
bool ParseRequest(const std::string& command, const std::vector<std::string>& args, CliRequest& request,
                  std::string& problem);

// DIR/frame-NNNNNN.pgm
std::string FramePath(const std::string& dir, int run);
// Writes an 8-bit grey image as a binary PGM; 0 or -1.
int WritePgm(const std::string& path, const CImageData& image);

std::string HexByte(unsigned value);
// The model text without its trailing blanks and zero bytes.
std::string TrimModelText(std::string model);
// "[#####-----]  42 %" with width marks.
std::string ProgressBarText(double percent, int width);
// One CSV line (RFC 4180): fields with a comma, a quote or a line break in quotes, quotes doubled,
// ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

// stats: a recording's figures as text and as one JSON object; farShare is the false-accept rate
// (0.01 for 1 %) the chosen threshold keeps to.
std::string StatisticsText(const RecordingSession& session, const CRunStatistics& stats, double farShare);
nlohmann::ordered_json StatisticsJson(const RecordingSession& session, const CRunStatistics& stats,
                                      double farShare);
// The threshold table as CSV: threshold,true_accept_rate,false_accept_rate,false_reject_rate.
std::string ThresholdCsv(const ThresholdTable& table);

}  // namespace qzm
