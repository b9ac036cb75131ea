#include "sim/sim_options.h"

#include <charconv>
#include <optional>

namespace qzm {

namespace {

bool ParseUnsigned(const std::string& text, int base, std::uint64_t maxValue, std::uint64_t& value) {
    if (text.empty())
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        begin += 2;
    if (*begin == '+' || *begin == '-')
        return false;
    auto [stop, ec] = std::from_chars(begin, end, value, base);
    return ec == std::errc() && stop == end && value <= maxValue;
}

}  // namespace

std::string SimUsageText() {
    return "Usage: qzm-module-sim [options]\n"
           "Emulates the camera module on a pseudo-terminal (or the serial port of --port) and prints the\n"
           "path or port to open as its first line. Runs until interrupted (Ctrl+C) or terminated.\n"
           "\n"
           "  --personality basic|extended  model and version (default basic: QZM-K100 1.1.0.1024;\n"
           "                                extended: QZM-K200 1.2.0.2048, album commands)\n"
           "  --model TEXT                  model text (at most 12 bytes, padded with spaces)\n"
           "  --version A.B.C.D             major, minor, release (0..255) and revision\n"
           "  --pace BAUD                   send at the line rate of BAUD (BAUD / 10 bytes/s; 0 = unpaced)\n"
           "  --link PATH                   also make a symbolic link PATH to the pseudo-terminal\n"
           "  --port PORT                   serve on the serial port PORT (COM7, /dev/ttyUSB1), for a PC on\n"
           "                                the other end of a null-modem cable (needed on Windows)\n"
           "  --store PATH                  keep the registrations in the album file PATH: loaded at start,\n"
           "                                saved after every change\n"
           "  --scene free|single|timeline  what the camera sees (default free: three people moving about;\n"
           "                                single: one person looking at the camera; timeline: a\n"
           "                                registered user and a stranger take turns, coming and going,\n"
           "                                with recognition scores that overlap as a module's do)\n"
           "  --seed N                      a different scene (default 1)\n"
           "  --wall-clock                  the scene moves with the clock (default: 0.1 s per execution)\n"
           "  --faces N                     exactly N faces (0..64) in view, looking at the camera\n"
           "  --replay FILE                 executions answered with the runs of a recording, in order\n"
           "                                (after the last one: nothing found); the rest as emulated\n"
           "  --loop                        with --replay: from the first run again after the last\n"
           "Faults (every answer, or with --only-command the answers to that command alone):\n"
           "  --silent                      never answer\n"
           "  --stop-after N                cut every answer after N bytes\n"
           "  --bad-sync                    first answer byte is not 0xFE\n"
           "  --short-header                send only 3 header bytes\n"
           "  --bad-length                  data length 0xFFFFFFFF\n"
           "  --set-data N                  answer set commands with N data bytes\n"
           "  --response-code HEX           use this response code in every answer\n"
           "  --junk N                      send N junk bytes before every answer\n"
           "  --truncate-payload N          cut execution answers after N data bytes (length field to "
           "match)\n"
           "  --only-command HEX            apply the faults only to this command code (e.g. 11 Delete "
           "Data)\n"
           "  --help                        show this text\n";
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    SimOptions result;
    std::optional<std::string> model;
    std::optional<ModuleIdentity> version;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto flag = [&](bool& out) {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            out = true;
            return true;
        };
        auto count = [&](std::uint64_t minValue, std::uint64_t& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseUnsigned(text, 10, 0xFFFFFFFFu, out) || out < minValue) {
                error = name + ": not a count: '" + text + "'";
                return false;
            }
            return true;
        };

        std::string text;
        std::uint64_t number = 0;
        if (name == "--help" || name == "-h") {
            if (!flag(result.help))
                return false;
        } else if (name == "--personality") {
            if (!value(text))
                return false;
            if (!IdentityForPersonality(text, result.identity)) {
                error = "--personality must be basic or extended, not '" + text + "'";
                return false;
            }
        } else if (name == "--model") {
            if (!value(text))
                return false;
            if (text.size() > ModuleIdentity::kModelLength) {
                error = "--model: at most 12 bytes";
                return false;
            }
            model = text;
        } else if (name == "--version") {
            if (!value(text))
                return false;
            ModuleIdentity numbers;
            if (!ParseVersionText(text, numbers)) {
                error = "--version must be A.B.C.D (A, B, C 0..255), not '" + text + "'";
                return false;
            }
            version = numbers;
        } else if (name == "--replay") {
            if (!value(text))
                return false;
            if (text.empty()) {
                error = "--replay needs a recording";
                return false;
            }
            result.replayPath = text;
        } else if (name == "--loop") {
            result.loop = true;
        } else if (name == "--pace") {
            if (!count(0, number))
                return false;
            result.paceBaud = static_cast<std::uint32_t>(number);
        } else if (name == "--link") {
            if (!value(text))
                return false;
            if (text.empty()) {
                error = "--link needs a path";
                return false;
            }
            result.linkPath = text;
        } else if (name == "--port") {
            if (!value(text))
                return false;
            if (text.empty()) {
                error = "--port needs a port name";
                return false;
            }
            result.portName = text;
        } else if (name == "--store") {
            if (!value(text))
                return false;
            if (text.empty()) {
                error = "--store needs a path";
                return false;
            }
            result.storePath = text;
        } else if (name == "--scene") {
            if (!value(text))
                return false;
            if (!SceneKindFromName(text, result.scene)) {
                error = "--scene must be free, single or timeline, not '" + text + "'";
                return false;
            }
        } else if (name == "--seed") {
            if (!count(0, number))
                return false;
            result.seed = number;
        } else if (name == "--wall-clock") {
            if (!flag(result.wallClock))
                return false;
        } else if (name == "--faces") {
            if (!count(0, number))
                return false;
            if (number > 64) {
                error = "--faces: at most 64";
                return false;
            }
            result.facesInView = static_cast<int>(number);
        } else if (name == "--truncate-payload") {
            if (!count(0, number))
                return false;
            result.faults.truncatePayloadAt = static_cast<std::size_t>(number);
        } else if (name == "--silent") {
            if (!flag(result.faults.silent))
                return false;
        } else if (name == "--stop-after") {
            if (!count(0, number))
                return false;
            result.faults.stopAfter = static_cast<std::size_t>(number);
        } else if (name == "--bad-sync") {
            if (!flag(result.faults.badSync))
                return false;
        } else if (name == "--short-header") {
            if (!flag(result.faults.shortHeader))
                return false;
        } else if (name == "--bad-length") {
            if (!flag(result.faults.badLength))
                return false;
        } else if (name == "--set-data") {
            if (!count(1, number))
                return false;
            result.faults.setCommandData = static_cast<std::size_t>(number);
        } else if (name == "--response-code") {
            if (!value(text))
                return false;
            if (!ParseUnsigned(text, 16, 0xFF, number)) {
                error = "--response-code must be a hexadecimal byte, not '" + text + "'";
                return false;
            }
            result.faults.responseCode = static_cast<std::uint8_t>(number);
        } else if (name == "--only-command") {
            if (!value(text))
                return false;
            if (!ParseUnsigned(text, 16, 0xFF, number)) {
                error = "--only-command must be a hexadecimal command code, not '" + text + "'";
                return false;
            }
            result.faults.onlyCommand = static_cast<std::uint8_t>(number);
        } else if (name == "--junk") {
            if (!count(1, number))
                return false;
            result.faults.junkBefore = static_cast<std::size_t>(number);
        } else {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
    }

    if (!result.portName.empty() && !result.linkPath.empty()) {
        error = "--link makes a link to a pseudo-terminal, and --port serves on a serial port instead";
        return false;
    }
    if (model)
        result.identity.model = *model;
    if (version) {
        result.identity.major = version->major;
        result.identity.minor = version->minor;
        result.identity.release = version->release;
        result.identity.revision = version->revision;
    }
    options = std::move(result);
    return true;
}

}  // namespace qzm
