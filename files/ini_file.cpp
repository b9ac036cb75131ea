// The ini accessors of CFileOperate: our own reader and writer of the profile format.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "files/file_operate.h"
#include "files/text_codec.h"
#include "files/utf8_path.h"

namespace qzm {
namespace {

constexpr std::size_t kMaxValueUnits = 511;

// Read-modify-write of an ini file must not interleave between threads, or one write is lost.
std::mutex g_iniWriteMutex;

std::string_view TrimBlanks(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return true;
}

// "[name]" gives the trimmed name.
bool ParseSection(std::string_view line, std::string_view& name) {
    const std::string_view t = TrimBlanks(line);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    name = TrimBlanks(t.substr(1, close - 1));
    return true;
}

// "key = value" gives the trimmed key and the raw value. Comment lines are no keys.
bool ParseKey(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view t = TrimBlanks(line);
    if (t.empty() || t.front() == ';') {
        return false;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    key = TrimBlanks(line.substr(0, eq));
    value = line.substr(eq + 1);
    return true;
}

struct IniText {
    std::vector<std::string> lines;
    bool utf8Bom = false;
};

// 0 with the file's lines (none for a missing file), -1 when an existing file cannot be read.
int LoadIni(const std::string& file, IniText& ini) {
    std::error_code ec;
    if (!std::filesystem::exists(Utf8Path(file), ec)) {
        return ec ? -1 : 0;
    }
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadWholeFile(file, bytes, kMaxTextFileSize) != 0) {
        return -1;
    }
    const std::string text = DecodeIniFile(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), ini.utf8Bom);
    ini.lines = SplitText(text, "\n");
    if (!ini.lines.empty() && ini.lines.back().empty()) {
        ini.lines.pop_back();
    }
    for (std::string& line : ini.lines) {
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    return 0;
}

// Where a key sits in the first section of the given name.
struct IniPosition {
    std::ptrdiff_t section = -1;      // line of the section header
    std::ptrdiff_t key = -1;          // line of the key
    std::ptrdiff_t lastContent = -1;  // last non-blank line of the section
};

IniPosition Locate(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
    IniPosition pos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (ParseSection(lines[i], name)) {
            if (pos.section >= 0) {
                break;  // only the first matching section counts
            }
            if (EqualsNoCase(name, section)) {
                pos.section = pos.lastContent = static_cast<std::ptrdiff_t>(i);
            }
            continue;
        }
        if (pos.section < 0) {
            continue;
        }
        if (!TrimBlanks(lines[i]).empty()) {
            pos.lastContent = static_cast<std::ptrdiff_t>(i);
        }
        std::string_view k, v;
        if (pos.key < 0 && ParseKey(lines[i], k, v) && EqualsNoCase(k, key)) {
            pos.key = static_cast<std::ptrdiff_t>(i);
        }
    }
    return pos;
}

std::string CleanValue(std::string_view raw) {
    std::string_view v = TrimBlanks(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return Utf16Truncate(v, kMaxValueUnits);
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool IsWritableName(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view s = TrimBlanks(section);
    const std::string_view k = TrimBlanks(key);
    return !s.empty() && !k.empty() && !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) &&
           s.find_first_of("[]") == std::string_view::npos && k.find('=') == std::string_view::npos &&
           k.front() != '[' && k.front() != ';';
}

}  // namespace

int CFileOperate::ReadIniString(const std::string& section, const std::string& key,
                                const std::string& defaultValue, const std::string& file,
                                std::string& value) {
    IniText ini;
    if (LoadIni(file, ini) == 0) {
        const IniPosition pos = Locate(ini.lines, TrimBlanks(section), TrimBlanks(key));
        std::string_view k, raw;
        if (pos.key >= 0 && ParseKey(ini.lines[static_cast<std::size_t>(pos.key)], k, raw)) {
            value = CleanValue(raw);
            return 0;
        }
    }
    value = Utf16Truncate(defaultValue, kMaxValueUnits);
    return 0;
}

int CFileOperate::ReadIniInt(const std::string& section, const std::string& key, int defaultValue,
                             const std::string& file, int& value) {
    std::string text;
    ReadIniString(section, key, std::to_string(defaultValue), file, text);
    value = ParseLeadingInt(text);
    return 0;
}

int CFileOperate::WriteIniString(const std::string& section, const std::string& key, const std::string& file,
                                 const std::string& value) {
    if (!IsWritableName(section, key, value)) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_iniWriteMutex);
    IniText ini;
    if (LoadIni(file, ini) != 0) {
        return -1;  // never overwrite a file we could not read
    }
    const std::string_view s = TrimBlanks(section);
    const std::string_view k = TrimBlanks(key);
    const IniPosition pos = Locate(ini.lines, s, k);
    if (pos.key >= 0) {
        std::string& line = ini.lines[static_cast<std::size_t>(pos.key)];
        std::string_view oldKey, oldValue;
        ParseKey(line, oldKey, oldValue);
        line = std::string(oldKey) + "=" + value;
    } else if (pos.section >= 0) {
        ini.lines.insert(ini.lines.begin() + pos.lastContent + 1, std::string(k) + "=" + value);
    } else {
        ini.lines.push_back("[" + std::string(s) + "]");
        ini.lines.push_back(std::string(k) + "=" + value);
    }
    std::string bytes = ini.utf8Bom ? "\xEF\xBB\xBF" : "";
    for (const std::string& line : ini.lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return ReplaceNotingFailure(file, bytes);
}

int CFileOperate::WriteIniInt(const std::string& section, const std::string& key, const std::string& file,
                              int value) {
    return WriteIniString(section, key, file, std::to_string(value));
}

}  // namespace qzm
