// qzm-cli: the controller from the command line, for scripted evaluation of the module.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_output.h"
#include "core/demo_controller.h"
#include "present/result_text.h"
#include "res/string_table.h"
#include "sim/simulated_module_port.h"

using namespace qzm;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr int kMsgNotResponding = 5000;
constexpr int kMsgCommunicationError = 5001;
constexpr int kMsgRegistrationFaceNotFound = 2081;
constexpr int kMsgRegistrationMultipleFaces = 2082;
constexpr int kMsgRegistrationUnsuccessful = 2083;
constexpr int kMsgDeleteFailed = 2091;
constexpr int kMsgCannotOpen = 5033;
constexpr int kMsgCannotSave = 5034;
constexpr int kMsgNameTaken = 2110;

const char kUsage[] =
    "usage: qzm-cli [--dir DIR] [--port PORT | --simulate[=basic|extended]] [--baud N] COMMAND [ARGS]\n"
    "commands:\n"
    "  ports                          list the ports, one per line (no connection)\n"
    "  version                        model text, TAB, firmware version\n"
    "  execute [--functions LIST] [--image 320x240|160x120|none] [--count N]\n"
    "          [--save-frames DIR] [--json]\n"
    "                                 LIST: all, or a comma-separated subset of body, hand, face,\n"
    "                                 direction, age, gender, gaze, blink, expression, recognition\n"
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

// The transport failure as the program words it.
int ExchangeFailed(int result) {
    PrintMessage(LoadString(result == kProtocolTimeout || result == kProtocolBadSync
                                ? kMsgNotResponding
                                : kMsgCommunicationError));
    return kExitFailed;
}

int Refused(std::uint8_t response) {
    PrintMessage(std::string("The module refused the command. (Error code: ") + HexByte(response) + ")");
    return kExitFailed;
}

// Result of a plain device command: 0 when the exchange and the module both succeeded.
int Outcome(int result, std::uint8_t response) {
    if (result != kProtocolOk)
        return ExchangeFailed(result);
    if (response != 0)
        return Refused(response);
    return kExitOk;
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

struct Command {
    std::string name;
    std::vector<std::string> args;
};

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

int RunExecute(CDemoController& controller, const std::vector<std::string>& args) {
    ExecuteOptions options;
    options.functions = controller.ActiveFunctions();
    options.imageSize = controller.ExecuteImage();
    std::string problem;
    if (!ParseExecuteOptions(args, options, problem))
        return Usage(problem.c_str());
    if (!options.saveFramesDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.saveFramesDir, ec);
    }
    int exitCode = kExitOk;
    CImageData image;
    for (int run = 0; run < options.count; ++run) {
        CExecResult result;
        std::uint8_t response = 0;
        const auto start = std::chrono::steady_clock::now();
        const int status =
            controller.ExecuteOnce(&image, options.imageSize, &result, &response, options.functions);
        const int elapsedMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
        if (response != 0)
            exitCode = kExitFailed;
        const std::vector<UserName> users = controller.UserNames();
        ResultBlockInput block;
        std::copy(options.functions.begin(), options.functions.end(), block.functions);
        block.status = status;
        block.returnCode = response;
        block.responseTimeMs = elapsedMs;
        block.result = &result;
        block.users = &users;
        const bool hasImage = response == 0 && options.imageSize != kImageNone && image.Width() > 0;
        if (options.json) {
            std::printf("%s\n", ResultJson(run, block, hasImage ? &image : nullptr).c_str());
        } else {
            std::fputs(FormatResultBlock(block).c_str(), stdout);
        }
        std::fflush(stdout);
        if (status != kProtocolOk)
            return ExchangeFailed(status);
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

int RunUserCommand(CDemoController& controller, const Command& command) {
    const std::string& name = command.name;
    const std::vector<std::string>& a = command.args;
    std::uint8_t response = 0;
    int user = -1;
    if (name == "users") {
        if (!a.empty())
            return Usage("users takes no arguments");
        for (const UserSummary& u : controller.UserList())
            std::printf("%d\t%s\t%d\n", u.id, u.name.c_str(), u.dataCount);
        return kExitOk;
    }
    if (name == "add-user") {
        if (a.size() != 1 || a[0].empty())
            return Usage("add-user takes one name");
        if (!controller.IsNameUnique(a[0], -1)) {
            PrintMessage(LoadString(kMsgNameTaken));
            return kExitFailed;
        }
        const int number = controller.AddNewUser(a[0]);
        if (number < 0) {
            PrintMessage("Cannot add the user: every user number is taken or the store cannot be written.");
            return kExitFailed;
        }
        std::printf("%d\n", number);
        return kExitOk;
    }
    if (name == "delete-all") {
        if (!a.empty())
            return Usage("delete-all takes no arguments");
        const int result = controller.RemoveAll(&response);
        if (result != kProtocolOk)
            return ExchangeFailed(result);
        if (response != 0) {
            PrintMessage(LoadString(kMsgDeleteFailed));
            return Refused(response);
        }
        return kExitOk;
    }
    if (name == "check") {
        if (!a.empty())
            return Usage("check takes no arguments");
        int differs = 0;
        if (controller.CompareRegistrations(&differs) != 0) {
            PrintMessage(LoadString(kMsgNotResponding));
            return kExitFailed;
        }
        std::printf("%s\n", differs ? "differ" : "match");
        return kExitOk;
    }
    if (a.empty() || !ParseInt(a[0], user))
        return Usage((name + " needs a user number").c_str());
    int data = -1;
    if (name == "delete-data" &&
        (a.size() != 2 || (a[1] != "all" && (!ParseInt(a[1], data) || data < 0 || data > 9)))) {
        return Usage("delete-data takes a user number and a data number 0..9 or all");
    }
    CUserInfo info;
    if (controller.FetchUserInfo(user, &info) != 0) {
        PrintMessage("No user " + a[0] + ".");
        return kExitFailed;
    }
    if (name == "rename-user") {
        if (a.size() != 2 || a[1].empty())
            return Usage("rename-user takes a number and a name");
        if (!controller.IsNameUnique(a[1], user)) {
            PrintMessage(LoadString(kMsgNameTaken));
            return kExitFailed;
        }
        if (controller.ChangeUserName(user, a[1]) != 0) {
            PrintMessage("Cannot rename the user.");
            return kExitFailed;
        }
        return kExitOk;
    }
    if (name == "delete-user") {
        if (a.size() != 1)
            return Usage("delete-user takes one number");
        return Outcome(controller.RemoveUser(user, &response), response);
    }
    if (name == "register") {
        if (a.size() != 1)
            return Usage("register takes one number");
        int dataNumber = -1;
        const int result = controller.RegisterFace(user, &response, &dataNumber);
        if (result == -1 && dataNumber < 0) {
            PrintMessage("The user has no free data number.");
            return kExitFailed;
        }
        if (result != kProtocolOk) {
            PrintMessage(LoadString(kMsgNotResponding));
            return kExitFailed;
        }
        if (response != 0) {
            const int message = response == 0x01   ? kMsgRegistrationFaceNotFound
                                : response == 0x02 ? kMsgRegistrationMultipleFaces
                                                   : kMsgRegistrationUnsuccessful;
            PrintMessage(std::string(LoadString(message)) + " (Error code: " + HexByte(response) + ")");
            return kExitFailed;
        }
        std::printf("%d\n", dataNumber);
        return kExitOk;
    }
    if (name == "delete-data") {
        return Outcome(controller.RemoveData(user, data, &response), response);
    }
    return Usage(("unknown command " + name).c_str());
}

int RunAlbum(CDemoController& controller, const std::vector<std::string>& a) {
    if (a.size() != 2 || (a[0] != "save" && a[0] != "load"))
        return Usage("album save FILE | album load FILE");
    const bool save = a[0] == "save";
    std::uint8_t response = 0x20;
    int result;
    {
        ProgressBar bar(controller);
        result = save ? controller.SaveAlbumToFile(a[1], &response)
                      : controller.LoadAlbumFromFile(a[1], &response);
    }
    if (result == 0 && response == 0)
        return kExitOk;
    PrintMessage(FormatString(save ? kMsgCannotSave : kMsgCannotOpen, a[1].c_str(), response));
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    GlobalOptions options;
    Command command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!command.name.empty()) {
            command.args.push_back(arg);
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
            command.name = arg;
        }
    }
    if (command.name.empty())
        return Usage();
    if (!options.port.empty() && !options.simulate.empty())
        return Usage("--port and --simulate exclude each other");
    if (!options.dir.empty()) {
        std::error_code ec;
        std::filesystem::current_path(options.dir, ec);
        if (ec) {
            PrintMessage("Cannot use the folder " + options.dir + ": " + ec.message());
            return kExitFailed;
        }
    }

    CDemoController controller;
    controller.SetSimulatedPort(std::make_unique<CSimulatedModulePort>(
        LoadString(kStringSimulatedModule),
        options.simulate == "basic" ? ModuleIdentity::Basic() : ModuleIdentity::Extended()));
    controller.LoadAll();
    if (command.name == "ports") {
        if (!command.args.empty())
            return Usage("ports takes no arguments");
        for (const std::string& port : controller.PortList())
            std::printf("%s\n", port.c_str());
        return kExitOk;
    }

    std::string port = !options.simulate.empty() ? std::string(LoadString(kStringSimulatedModule))
                       : !options.port.empty()   ? options.port
                                                 : controller.PortName();
    if (port.empty())
        return Usage("no port stored: give --port PORT or --simulate");
    const int baud = options.baud != 0 ? options.baud : controller.BaudRate();
    const int connected = controller.Connect(port, baud);
    if (connected != 0) {
        const SerialError why = controller.Device()->Connection().LastError();
        if (why == kSerialNoPermission) {
            PrintMessage("No permission to open " + port +
                         ". Join the dialout group (sudo usermod -aG dialout $USER) and log in again.");
        } else {
            PrintMessage(LoadString(kMsgNotResponding));
        }
        return kExitFailed;
    }
    std::uint8_t response = 0;
    const int applied = controller.ApplyAllSettings(controller.CurrentSettings(), controller.CameraAngle());
    if (applied != kProtocolOk)
        return ExchangeFailed(applied);

    if (command.name == "version") {
        if (!command.args.empty())
            return Usage("version takes no arguments");
        std::string model, numbers;
        const int result = controller.GetVersionText(&response, &model, &numbers);
        if (Outcome(result, response) != kExitOk)
            return kExitFailed;
        std::printf("%s\t%s\n", TrimModelText(model).c_str(), numbers.c_str());
        return kExitOk;
    }
    if (command.name == "execute")
        return RunExecute(controller, command.args);
    if (command.name == "album")
        return RunAlbum(controller, command.args);
    return RunUserCommand(controller, command);
}
