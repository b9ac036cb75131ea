// Command-line front end for scripted evaluation of the module.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/qzm_device.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: qzm-cli [--port PORT] [--baud N] COMMAND\n"
        "commands:\n"
        "  ports     list the serial ports, one per line\n"
        "  version   print the module's model text and version\n",
        out);
}

std::string TrimModel(std::string model) {
    while (!model.empty() && (model.back() == ' ' || model.back() == '\0')) model.pop_back();
    return model;
}

int ShowVersion(qzm::CQZMDevice& device, const std::string& port, int baud) {
    if (!device.Connection().Open(port, baud)) {
        const bool denied = device.Connection().LastError() == qzm::kSerialNoPermission;
        std::fprintf(stderr, "Cannot open %s: %s%s\n", port.c_str(), device.Connection().LastErrorText().c_str(),
                     denied ? " (join the dialout group to use serial ports)" : "");
        return kExitFailed;
    }
    qzm::VersionInfo version;
    std::uint8_t response = 0;
    const int result = device.GetVersion(&version, &response);
    if (result != qzm::kProtocolOk) {
        std::fprintf(stderr, "%s\n",
                     result == qzm::kProtocolTimeout || result == qzm::kProtocolBadSync ? "Device is not responding."
                                                                                      : "Communication error.");
        return kExitFailed;
    }
    if (response != 0) {
        std::fprintf(stderr, "The module refused the command. (Error code: %02X)\n", response);
        return kExitFailed;
    }
    std::printf("%s\t%d.%d.%d.%d\n", TrimModel(version.model).c_str(), version.major, version.minor, version.release,
                version.revision);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::string port;
    int baud = 921600;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = argv[++i];
        } else if (arg == "--baud" && i + 1 < argc) {
            baud = std::atoi(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-') {
            PrintUsage(stderr);
            return kExitUsage;
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() != 1) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    qzm::CQZMDevice device;
    if (words[0] == "ports") {
        for (const std::string& name : device.Connection().PortNames()) std::printf("%s\n", name.c_str());
        return kExitOk;
    }
    if (words[0] == "version") {
        if (port.empty()) {
            std::fputs("qzm-cli: --port is required\n", stderr);
            return kExitUsage;
        }
        return ShowVersion(device, port, baud);
    }
    PrintUsage(stderr);
    return kExitUsage;
}
