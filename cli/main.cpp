// qzm-cli: the controller from the command line, for scripted evaluation of the module.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_output.h"
#include "core/demo_controller.h"
#include "files/local_time.h"
#include "files/program_args.h"
#include "files/utf8_path.h"
#include "files/working_folder.h"
#include "present/result_text.h"
#include "qzm_version.h"
#include "record/recorder.h"
#include "record/recording_reader.h"
#include "record/replay_source.h"
#include "record/run_json.h"
#include "res/string_table.h"
#include "sim/replayed_module_port.h"

using namespace qzm;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: qzm-cli [--dir DIR] [--port PORT | --simulate[=basic|extended|replay:FILE]] [--baud N]\n"
    "               COMMAND [ARGS]\n"
    "  --simulate=replay:FILE         a recording answers the executions, as the module it recorded\n"
    "commands:\n"
    "  ports                          list the ports, one per line (no connection)\n"
    "  version                        model text, TAB, firmware version\n"
    "  execute [--functions LIST] [--image 320x240|160x120|none] [--count N]\n"
    "          [--save-frames DIR] [--json] [--record FILE [--frames] [--person WHO]]\n"
    "                                 --record: every run into a recording (.qzmrec); --frames keeps\n"
    "                                 the frames in it too; --person tags every run with who is in\n"
    "                                 view: a user number, stranger or nobody\n"
    "                                 LIST: all, none, or a comma-separated subset of body, hand,\n"
    "                                 face, direction, age, gender, gaze, blink, expression, recognition\n"
    "  users                          number TAB name TAB data count, one user per line\n"
    "  add-user NAME                  prints the new user's number\n"
    "  rename-user N NAME\n"
    "  delete-user N\n"
    "  register N                     registers the face in view for user N; prints the data number\n"
    "  delete-data N D|all\n"
    "  delete-all\n"
    "  check                          prints match or differ (module against the PC's store)\n"
    "  album save FILE | album load FILE\n"
    "  export FILE --format csv|jsonl [--out PATH]\n"
    "                                 a recording as CSV (one row per detection) or JSON Lines (one\n"
    "                                 object per run, as execute --json); no port is opened\n"
    "  info FILE                      a recording's session, runs, time span, response times and\n"
    "                                 detections per function; no port is opened\n"
    "  stats FILE [--json | --csv] [--far PERCENT]\n"
    "                                 a recording's statistics: rate, response times, per function\n"
    "                                 counts and confidences, face estimates, recognition per user;\n"
    "                                 with runs tagged by --person, the threshold table and the\n"
    "                                 lowest threshold keeping false accepts to PERCENT (default 1).\n"
    "                                 --json: one JSON object; --csv: the threshold table as CSV;\n"
    "                                 no port is opened\n";

int Usage(const char* problem = nullptr) {
    if (problem)
        std::fprintf(stderr, "qzm-cli: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

void PrintMessage(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Tells the user how the operation failed, as the windowed program words it; kExitOk when it did not.
int Report(const DeviceOutcome& outcome, DeviceOperation operation, const std::string& albumPath = {}) {
    if (outcome.ok())
        return kExitOk;
    PrintMessage(MessageFor(outcome, operation, albumPath).Format());
    if (outcome.moduleChanged && !outcome.file.empty())
        PrintMessage("Compare them with 'qzm-cli check'; 'qzm-cli delete-all' deletes all data in both.");
    return kExitFailed;
}

// After a command that changed the module's registrations, the module's album is saved as the
// windowed program saves it when a connection ends (./DB/qzcxx.qzb). Its next start sends that file
// to the module, which would otherwise undo the change with an older album.
int SaveBackupAfterChange(CDemoController& controller, const DeviceOutcome& change, int exitCode) {
    if (!change.moduleChanged || controller.Read().deviceType != kExtendedDevice)
        return exitCode;
    return Report(controller.SaveAlbumBackup(), DeviceOperation::kCloseBackup) != kExitOk ? kExitFailed
                                                                                          : exitCode;
}

// A device command that may change registrations: its message on failure, then, when the module
// changed, the album backup.
int ChangeRegistrations(CDemoController& controller, const DeviceOutcome& outcome, DeviceOperation operation,
                        const std::string& albumPath = {}) {
    return SaveBackupAfterChange(controller, outcome, Report(outcome, operation, albumPath));
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -2147483647L || v > 2147483647L)
        return false;
    value = static_cast<int>(v);
    return true;
}

// Without --dir the tool works in the current folder when that holds the delivered files (build/bin,
// or a folder set up by hand). Otherwise, as for an installed tool started anywhere, it works in the
// user's data folder, the windowed program's own, which receives the delivered files on first use:
// settings, registrations and the album backup are then the same for both programs.
int EnterWorkingFolder() {
    std::error_code ec;
    const std::string current = PathUtf8(std::filesystem::current_path(ec));
    WorkingFolderChoice choice;
    const int prepared =
        PrepareWorkingFolder(current, DeliveredDataFolders(ProgramFolder()), UserDataFolder(), choice);
    if (prepared == kWorkingFolderNoUserFolder) {
        const std::string folder = UserDataFolder();
        PrintMessage(folder.empty() ? "No working folder: HOME is not set; give --dir DIR."
                                    : "Cannot create the working folder " + folder + "; give --dir DIR.");
        return kExitFailed;
    }
    if (!choice.perUser)
        return kExitOk;
    if (prepared == kWorkingFolderIncomplete)
        PrintMessage("Not every delivered file could be copied into the working folder " + choice.folder +
                     ".");
    else if (choice.copied > 0)
        PrintMessage("Working folder: " + choice.folder + " (the delivered files were copied there).");
    std::filesystem::current_path(Utf8Path(choice.folder), ec);
    if (ec) {
        PrintMessage("Cannot use the folder " + choice.folder + ": " + ec.message());
        return kExitFailed;
    }
    return kExitOk;
}

// A relative file name on the command line names a file where the user started the tool. When the
// tool has moved into the user's data folder, such names are made absolute, so that a recording, an
// album or frames do not land in (or get looked for in) that folder, out of the user's sight.
void AnchorFileArguments(const std::filesystem::path& start, std::vector<std::string*> paths) {
    for (std::string* path : paths) {
        if (!path->empty() && Utf8Path(*path).is_relative())
            *path = PathUtf8(start / Utf8Path(*path));
    }
}

// Whether both names are one existing file (also through another spelling or a link).
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), ec) && !ec;
}

struct GlobalOptions {
    std::string dir;
    std::string port;
    std::string simulate;  // "", "basic", "extended" or "replay:FILE"
    std::string replay;    // the recording of --simulate=replay:FILE
    int baud = 0;          // 0 = the stored rate
};

// Shows a bar on stderr while an album transfer runs, when stderr is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(CDemoController& controller) : controller_(controller) {
        if (IsTerminal(stderr))
            thread_ = std::thread([this] { Run(); });
    }
    ~ProgressBar() {
        done_ = true;
        if (thread_.joinable()) {
            thread_.join();
            std::fputs("\n", stderr);
        }
    }

private:
    void Run() {
        while (!done_) {
            std::fputs(("\r" + ProgressBarText(controller_.GetAlbumProgress(), 40)).c_str(), stderr);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::fputs(("\r" + ProgressBarText(100.0, 40)).c_str(), stderr);
    }

    CDemoController& controller_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// "2026-12-10 18:40:00.123" in local time.
std::string LocalTimeText(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    LocalTime(seconds, local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(ms % 1000));
    return text;
}

// The session a recording keeps: the module, the connection and what the runs ask for.
RecordingSession SessionFor(CDemoController& controller, const ExecuteOptions& options,
                            const FunctionSwitches& functions, int imageSize) {
    const CDemoController::Snapshot stored = controller.Read();
    RecordingSession session;
    session.programVersion = QZM_VERSION_TEXT;
    controller.GetVersionText(&session.model, &session.firmware);
    session.model = TrimModelText(session.model);
    session.port = stored.portName;
    session.baudRate = stored.baudRate;
    session.detection = stored.detection;
    session.functions = functions;
    session.imageOption = imageSize;
    session.frames = options.frames;
    session.startedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    return session;
}

int RunExecute(CDemoController& controller, const ExecuteOptions& options) {
    const CDemoController::Snapshot stored = controller.Read();
    const FunctionSwitches functions = options.functions.value_or(stored.activeFunctions);
    const int imageSize = options.imageSize.value_or(stored.executeImage);
    if (!options.saveFramesDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(Utf8Path(options.saveFramesDir), ec);
    }
    CRecorder recorder;
    if (!options.recordPath.empty()) {
        std::string why;
        if (recorder.Start(options.recordPath, SessionFor(controller, options, functions, imageSize), &why) !=
            kRecordOk) {
            PrintMessage(FormatString(kStrCannotRecord, options.recordPath.c_str(), why.c_str()));
            return kExitFailed;
        }
    }
    // The recording's end is written on every way out, and a failed write is said.
    auto finish = [&](int exitCode) {
        std::string why;
        if (recorder.Stop(&why) != kRecordOk) {
            PrintMessage(FormatString(kStrRecordingStopped, options.recordPath.c_str(), why.c_str()));
            return kExitFailed;
        }
        return exitCode;
    };
    int exitCode = kExitOk;
    CImageData frame;
    ExecutionReport report;
    for (int run = 0; run < options.count; ++run) {
        const DeviceOutcome outcome = controller.ExecuteOnce(imageSize, functions, &frame, &report);
        if (outcome.Refused())
            exitCode = kExitFailed;
        const std::vector<UserName> users = controller.UserNames();
        if (options.json) {
            std::printf("%s\n", RunJsonLine(run, report, users).c_str());
        } else {
            std::fputs(FormatResultBlock(BlockInput(report, &users)).c_str(), stdout);
        }
        std::fflush(stdout);
        const bool hasImage = outcome.ok() && report.imageOption != kImageNone && report.image.Width() > 0;
        bool frameWritten = true;
        if (hasImage && !options.saveFramesDir.empty()) {
            const std::string path = FramePath(options.saveFramesDir, run);
            frameWritten = WritePgm(path, report.image) == 0;
            if (!frameWritten)
                PrintMessage("Cannot write " + path + ".");
        }
        // Last: the run moves on to the recorder's thread, and the next run fills the report anew.
        if (!options.recordPath.empty())
            recorder.Add(std::move(report), users, options.person);
        if (outcome.result != kProtocolOk)
            return finish(Report(outcome, DeviceOperation::kExecution));
        if (!frameWritten)
            return finish(kExitFailed);
    }
    return finish(exitCode);
}

// export, info and stats: the recording alone, no port and no working folder.
int RunRecordingCommand(const CliRequest& request) {
    const RecordingOptions& options = request.recording;
    CRecordingReader reader;
    std::string why;
    if (reader.Open(options.path, &why) != kRecordOk) {
        PrintMessage("Cannot read the recording " + options.path + ": " + why + ".");
        return kExitFailed;
    }
    if (request.command == "stats") {
        CRunStatistics stats;
        const int read = reader.ForEachRun([&stats](const RecordedRun& run) {
            stats.Add(run.report, run.names, run.person);
            return true;
        });
        if (read != kRecordOk) {
            PrintMessage("The recording " + options.path + " is damaged: it could not be read to its end.");
            return kExitFailed;
        }
        const double farShare = options.farPercent / 100.0;
        std::string out;
        if (options.json) {
            out = StatisticsJson(reader.Session(), stats, farShare).dump() + "\n";
        } else if (options.csv) {
            const ThresholdTable table = stats.Thresholds();
            if (table.Runs() == 0) {
                PrintMessage(
                    stats.TaggedRuns() == 0
                        ? "No runs are tagged with the person in view: record with --person "
                          "USER|stranger|nobody to get the threshold table."
                        : "No tagged run was answered with recognition switched on: no threshold table.");
                return kExitFailed;
            }
            out = ThresholdCsv(table);
        } else {
            out = StatisticsText(reader.Session(), stats, farShare);
        }
        // CSV carries its own CR LF and JSON is data: their bytes go out as they are.
        if (options.json || options.csv)
            SetBinaryOutput(stdout);
        std::fputs(out.c_str(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailed;
    }
    if (request.command == "info") {
        const RecordingSession& s = reader.Session();
        const RecordingSummary summary = reader.Summary();
        std::printf("program\t%s\nmodel\t%s\nfirmware\t%s\nport\t%s\nbaud rate\t%d\nframes\t%s\n",
                    s.programVersion.c_str(), s.model.c_str(), s.firmware.c_str(), s.port.c_str(), s.baudRate,
                    s.frames ? "yes" : "no");
        std::printf("started\t%s\nended\t%s\nnote\t%s\nruns\t%lld\nspan\t%.3f s\n",
                    LocalTimeText(s.startedMs).c_str(),
                    s.endedMs != 0 ? LocalTimeText(s.endedMs).c_str() : "(not ended cleanly)", s.note.c_str(),
                    static_cast<long long>(summary.runs),
                    summary.runs > 0 ? (summary.lastDoneMs - summary.firstSentMs) / 1000.0 : 0.0);
        std::printf("response median\t%d ms\nresponse 95th percentile\t%d ms\n", summary.medianResponseMs,
                    summary.p95ResponseMs);
        for (const char* name : {"body", "hand", "face", "direction", "age", "gender", "gaze", "blink",
                                 "expression", "recognition"})
            std::printf("%s\t%lld\n", name, static_cast<long long>(summary.detections.at(name)));
        return kExitOk;
    }
    if (!options.out.empty() && SameFile(options.out, options.path)) {
        PrintMessage("Cannot write " + options.out + ": it is the recording being exported.");
        return kExitFailed;
    }
    errno = 0;
    std::FILE* out = options.out.empty() ? stdout : OpenFileUtf8(options.out, "wb");
    if (out == nullptr) {
        PrintMessage("Cannot write " + options.out + ": " + LastSystemErrorText() + ".");
        return kExitFailed;
    }
    // The same bytes as in a file given with --out.
    if (out == stdout)
        SetBinaryOutput(stdout);
    // The first failure's reason is kept: reading the recording goes on and may change errno.
    int failure = 0;
    auto noteFailure = [&failure](bool failed) {
        if (failed && failure == 0)
            failure = errno != 0 ? errno : EIO;
    };
    auto put = [&](const std::string& text) { noteFailure(std::fputs(text.c_str(), out) == EOF); };
    int read = kRecordOk;
    if (options.jsonl) {
        read = reader.ForEachRun([&](const RecordedRun& run) {
            put(RunJsonLine(run.number - 1, run.report, run.names) + "\n");
            return true;
        });
    } else {
        put(CsvLine(CRecordingReader::DetectionColumns()));
        read = reader.ForEachDetection([&](const std::vector<std::string>& fields) { put(CsvLine(fields)); });
    }
    errno = 0;
    noteFailure(std::fflush(out) != 0 || std::ferror(out));
    errno = 0;
    noteFailure(out != stdout && std::fclose(out) != 0);
    if (read != kRecordOk) {
        PrintMessage("The recording " + options.path + " is damaged: it could not be read to its end.");
        return kExitFailed;
    }
    if (failure != 0) {
        // A full disk, say: the export is incomplete, and the user must not take a part for the whole.
        if (!options.out.empty()) {
            std::error_code ec;
            std::filesystem::remove(Utf8Path(options.out), ec);
        }
        PrintMessage("Cannot write " + (options.out.empty() ? std::string("the export") : options.out) +
                     ": " + std::strerror(failure) + ".");
        return kExitFailed;
    }
    return kExitOk;
}

// Commands that work on the PC's store alone.
int RunStoreCommand(CDemoController& controller, const CliRequest& request) {
    if (request.command == "users") {
        for (const UserSummary& u : controller.UserList())
            std::printf("%d\t%s\t%d\n", u.id, u.name.c_str(), u.dataCount);
        return kExitOk;
    }
    if (!controller.IsNameUnique(request.text, request.command == "add-user" ? -1 : request.user)) {
        PrintMessage(LoadString(kStrNameTaken));
        return kExitFailed;
    }
    if (request.command == "add-user") {
        const int number = controller.AddNewUser(request.text);
        if (number < 0) {
            PrintMessage("Cannot add the user: every user number is taken or the store cannot be written.");
            return kExitFailed;
        }
        std::printf("%d\n", number);
        return kExitOk;
    }
    if (controller.ChangeUserName(request.user, request.text) != 0) {
        PrintMessage("Cannot rename the user.");
        return kExitFailed;
    }
    return kExitOk;
}

int RunDeviceCommand(CDemoController& controller, const CliRequest& request) {
    const std::string& name = request.command;
    if (name == "version") {
        std::string model, numbers;
        if (Report(controller.GetVersionText(&model, &numbers), DeviceOperation::kQuery) != kExitOk)
            return kExitFailed;
        std::printf("%s\t%s\n", TrimModelText(model).c_str(), numbers.c_str());
        return kExitOk;
    }
    if (name == "execute")
        return RunExecute(controller, request.execute);
    if (name == "check") {
        bool differ = false;
        if (Report(controller.CheckRegistrations(&differ), DeviceOperation::kQuery) != kExitOk)
            return kExitFailed;
        std::printf("%s\n", differ ? "differ" : "match");
        return kExitOk;
    }
    if (name == "album") {
        DeviceOutcome outcome;
        {
            ProgressBar bar(controller);
            outcome = request.albumSave ? controller.SaveAlbumToFile(request.text)
                                        : controller.LoadAlbumFromFile(request.text);
        }
        return ChangeRegistrations(
            controller, outcome,
            request.albumSave ? DeviceOperation::kAlbumSave : DeviceOperation::kAlbumLoad, request.text);
    }
    if (name == "delete-all")
        return ChangeRegistrations(controller, controller.RemoveAll(), DeviceOperation::kDeletion);
    if (name == "register") {
        int dataNumber = -1;
        const DeviceOutcome outcome = controller.RegisterFace(request.user, &dataNumber);
        if (dataNumber < 0) {
            PrintMessage("The user has no free data number.");
            return kExitFailed;
        }
        if (outcome.ok())
            std::printf("%d\n", dataNumber);
        return ChangeRegistrations(controller, outcome, DeviceOperation::kRegistration);
    }
    if (name == "delete-user")
        return ChangeRegistrations(controller, controller.RemoveUser(request.user),
                                   DeviceOperation::kDeletion);
    return ChangeRegistrations(controller, controller.RemoveData(request.user, request.data),
                               DeviceOperation::kDeletion);
}

}  // namespace

int main(int argc, char** argv) {
    PrepareConsoleOutput();
    const std::vector<std::string> args = Utf8Arguments(argc, argv);
    GlobalOptions options;
    std::string commandName;
    std::vector<std::string> commandArgs;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!commandName.empty()) {
            commandArgs.push_back(arg);
        } else if (arg == "--dir" || arg == "--port" || arg == "--baud") {
            if (i + 1 >= args.size())
                return Usage((arg + " needs a value").c_str());
            const std::string value = args[++i];
            if (arg == "--dir")
                options.dir = value;
            if (arg == "--port")
                options.port = value;
            if (arg == "--baud" && (!ParseInt(value, options.baud) || !IsSupportedBaudRate(options.baud))) {
                return Usage("--baud takes 9600, 38400, 115200, 230400, 460800 or 921600");
            }
        } else if (arg == "--simulate" || arg.rfind("--simulate=", 0) == 0) {
            options.simulate = arg == "--simulate" ? "extended" : arg.substr(11);
            if (options.simulate.rfind("replay:", 0) == 0) {
                options.replay = options.simulate.substr(7);
                if (options.replay.empty())
                    return Usage("--simulate=replay: needs a recording");
            } else if (options.simulate != "basic" && options.simulate != "extended") {
                return Usage("--simulate takes basic, extended or replay:FILE");
            }
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            commandName = arg;
        }
    }
    if (commandName.empty())
        return Usage();
    if (!options.port.empty() && !options.simulate.empty())
        return Usage("--port and --simulate exclude each other");
    CliRequest request;
    std::string problem;
    if (!ParseRequest(commandName, commandArgs, request, problem))
        return Usage(problem.c_str());
    if (request.command == "export" || request.command == "info" || request.command == "stats")
        return RunRecordingCommand(request);
    if (!options.dir.empty()) {
        std::error_code ec;
        std::filesystem::current_path(Utf8Path(options.dir), ec);
        if (ec) {
            PrintMessage("Cannot use the folder " + options.dir + ": " + ec.message());
            return kExitFailed;
        }
    } else {
        std::error_code ec;
        const std::filesystem::path start = std::filesystem::current_path(ec);
        if (EnterWorkingFolder() != kExitOk)
            return kExitFailed;
        if (!ec && std::filesystem::current_path(ec) != start) {
            AnchorFileArguments(
                start, {&options.replay, &request.execute.recordPath, &request.execute.saveFramesDir});
            if (request.command == "album")
                AnchorFileArguments(start, {&request.text});
        }
    }

    // A replayed recording answers as the module that was recorded; it outlives the controller.
    CReplaySource replay;
    ModuleIdentity identity =
        options.simulate == "basic" ? ModuleIdentity::Basic() : ModuleIdentity::Extended();
    if (!options.replay.empty()) {
        if (SameFile(options.replay, request.execute.recordPath)) {
            PrintMessage("Cannot record into " + request.execute.recordPath +
                         ": it is the recording being replayed.");
            return kExitFailed;
        }
        std::string why;
        if (replay.Open(options.replay, &why) != kRecordOk) {
            PrintMessage("Cannot replay the recording " + options.replay + ": " + why + ".");
            return kExitFailed;
        }
        identity = RecordedIdentity(replay, identity);
    }
    CDemoController controller;
    auto simulated = std::make_unique<CSimulatedModulePort>(LoadString(kStrSimulatedModule), identity);
    if (!options.replay.empty()) {
        simulated->SetExecutionAnswers(AnswersFrom(replay));
    }
    controller.AddSimulatedPort(std::move(simulated));
    controller.LoadAll();
    if (request.command == "ports") {
        for (const std::string& port : controller.PortList())
            std::printf("%s\n", port.c_str());
        return kExitOk;
    }
    CUserInfo info;
    if (request.user >= 0 && controller.FetchUserInfo(request.user, &info) != 0) {
        PrintMessage("No user " + std::to_string(request.user) + ".");
        return kExitFailed;
    }

    const CDemoController::Snapshot stored = controller.Read();
    const std::string port = !options.simulate.empty() ? std::string(LoadString(kStrSimulatedModule))
                             : !options.port.empty()   ? options.port
                                                       : stored.portName;
    if (port.empty())
        return Usage("no port stored: give --port PORT or --simulate");
    const int baud = options.baud != 0 ? options.baud : stored.baudRate;
    if (Report(controller.Connect(port, baud), DeviceOperation::kConnection) != kExitOk)
        return kExitFailed;
    const DeviceOutcome applied = controller.ApplyAllSettings(stored.detection);
    if (!applied.ok()) {
        PrintMessage("The module did not take the stored detection settings (Settings.ini).");
        return Report(applied, DeviceOperation::kSettings);
    }
    if (request.command == "users" || request.command == "add-user" || request.command == "rename-user")
        return RunStoreCommand(controller, request);
    return RunDeviceCommand(controller, request);
}
