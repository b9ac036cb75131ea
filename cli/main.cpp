// qzm-cli: the controller from the command line, for scripted evaluation of the module.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_output.h"
#include "core/demo_controller.h"
#include "files/working_folder.h"
#include "present/result_text.h"
#include "res/string_table.h"
#include "sim/simulated_module_port.h"

using namespace qzm;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: qzm-cli [--dir DIR] [--port PORT | --simulate[=basic|extended]] [--baud N] COMMAND [ARGS]\n"
    "commands:\n"
    "  ports                          list the ports, one per line (no connection)\n"
    "  version                        model text, TAB, firmware version\n"
    "  execute [--functions LIST] [--image 320x240|160x120|none] [--count N]\n"
    "          [--save-frames DIR] [--json]\n"
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
    "  album save FILE | album load FILE\n";

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
    const std::string current = std::filesystem::current_path(ec).string();
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
    std::filesystem::current_path(choice.folder, ec);
    if (ec) {
        PrintMessage("Cannot use the folder " + choice.folder + ": " + ec.message());
        return kExitFailed;
    }
    return kExitOk;
}

struct GlobalOptions {
    std::string dir;
    std::string port;
    std::string simulate;  // "", "basic" or "extended"
    int baud = 0;          // 0 = the stored rate
};

// Shows a bar on stderr while an album transfer runs, when stderr is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(CDemoController& controller) : controller_(controller) {
        if (isatty(STDERR_FILENO))
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

int RunExecute(CDemoController& controller, const ExecuteOptions& options) {
    const CDemoController::Snapshot stored = controller.Read();
    const FunctionSwitches functions = options.functions.value_or(stored.activeFunctions);
    const int imageSize = options.imageSize.value_or(stored.executeImage);
    if (!options.saveFramesDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.saveFramesDir, ec);
    }
    int exitCode = kExitOk;
    CImageData image;
    for (int run = 0; run < options.count; ++run) {
        CExecResult result;
        const auto start = std::chrono::steady_clock::now();
        const DeviceOutcome outcome = controller.ExecuteOnce(&image, imageSize, &result, functions);
        const int elapsedMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
        if (outcome.Refused())
            exitCode = kExitFailed;
        const std::vector<UserName> users = controller.UserNames();
        ResultBlockInput block;
        std::copy(functions.begin(), functions.end(), block.functions);
        block.status = outcome.result;
        block.returnCode = outcome.response;
        block.responseTimeMs = elapsedMs;
        block.result = &result;
        block.users = &users;
        const bool hasImage = outcome.ok() && imageSize != kImageNone && image.Width() > 0;
        if (options.json) {
            std::printf("%s\n", ResultJson(run, block, hasImage ? &image : nullptr).c_str());
        } else {
            std::fputs(FormatResultBlock(block).c_str(), stdout);
        }
        std::fflush(stdout);
        if (outcome.result != kProtocolOk)
            return Report(outcome, DeviceOperation::kExecution);
        if (hasImage && !options.saveFramesDir.empty()) {
            const std::string path = FramePath(options.saveFramesDir, run);
            if (WritePgm(path, image) != 0) {
                PrintMessage("Cannot write " + path + ".");
                return kExitFailed;
            }
        }
    }
    return exitCode;
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
    GlobalOptions options;
    std::string commandName;
    std::vector<std::string> commandArgs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!commandName.empty()) {
            commandArgs.push_back(arg);
        } else if (arg == "--dir" || arg == "--port" || arg == "--baud") {
            if (i + 1 >= argc)
                return Usage((arg + " needs a value").c_str());
            const std::string value = argv[++i];
            if (arg == "--dir")
                options.dir = value;
            if (arg == "--port")
                options.port = value;
            if (arg == "--baud" && (!ParseInt(value, options.baud) || !IsSupportedBaudRate(options.baud))) {
                return Usage("--baud takes 9600, 38400, 115200, 230400, 460800 or 921600");
            }
        } else if (arg == "--simulate" || arg.rfind("--simulate=", 0) == 0) {
            options.simulate = arg == "--simulate" ? "extended" : arg.substr(11);
            if (options.simulate != "basic" && options.simulate != "extended") {
                return Usage("--simulate takes basic or extended");
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
    if (!options.dir.empty()) {
        std::error_code ec;
        std::filesystem::current_path(options.dir, ec);
        if (ec) {
            PrintMessage("Cannot use the folder " + options.dir + ": " + ec.message());
            return kExitFailed;
        }
    } else if (EnterWorkingFolder() != kExitOk) {
        return kExitFailed;
    }

    CDemoController controller;
    controller.SetSimulatedPort(std::make_unique<CSimulatedModulePort>(
        LoadString(kStrSimulatedModule),
        options.simulate == "basic" ? ModuleIdentity::Basic() : ModuleIdentity::Extended()));
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
