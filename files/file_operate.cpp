#include "files/file_operate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>

#include "files/atomic_file.h"
#include "files/text_codec.h"
#include "files/utf8_path.h"

namespace qzm {
namespace fs = std::filesystem;

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Wildcard match: '*' any run of characters, '?' one byte; ASCII letters match either case.
bool MatchWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// Lists the entries of the pattern's folder whose name matches and for which `wanted` holds.
int ListMatching(const std::string& pattern, std::vector<std::string>& names,
                 bool (*wanted)(const fs::directory_entry&)) {
    std::size_t slash = std::string::npos;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (IsPathSeparator(pattern[i]))
            slash = i;
    }
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : pattern.substr(0, slash));
    const std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (namePattern.empty()) {
        return -1;
    }
    std::error_code ec;
    fs::directory_iterator it(Utf8Path(folder), ec);
    if (ec) {
        return -1;
    }
    std::vector<std::string> found;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        const std::string name = PathUtf8(it->path().filename());
        if (MatchWildcard(namePattern, name) && wanted(*it)) {
            found.push_back(name);
        }
    }
    if (found.empty()) {
        return -1;
    }
    std::sort(found.begin(), found.end());
    names.insert(names.end(), found.begin(), found.end());
    return 0;
}

bool IsRealFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}

}  // namespace

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

int ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(
        std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int CFileOperate::ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
    std::vector<std::uint8_t> bytes;
    if (ReadWholeFile(path, bytes, kMaxTextFileSize) != 0) {
        return -1;
    }
    std::string text;
    if (DecodeTextFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text) !=
        0) {
        return -1;
    }
    std::vector<std::string> pieces = SplitText(text, "\n");
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string& piece = pieces[i];
        while (!piece.empty() && piece.back() == '\r') {
            piece.pop_back();
        }
        if (i + 1 == pieces.size() && piece.empty()) {
            break;
        }
        lines.push_back(std::move(piece));
    }
    return 0;
}

std::string CFileOperate::EncodeTextLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    std::string bytes;
    if (!Utf8ToCp1252(text, bytes)) {
        bytes = "\xFF\xFE" + Utf8ToUtf16LeBytes(text);
    }
    return bytes;
}

int CFileOperate::WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    return ReplaceNotingFailure(path, EncodeTextLines(lines));
}

int CFileOperate::ListFiles(const std::string& pattern, std::vector<std::string>& names) {
    return ListMatching(pattern, names, [](const fs::directory_entry& e) {
        std::error_code ec;
        return !e.is_directory(ec);
    });
}

int CFileOperate::ListSubfolders(const std::string& pattern, std::vector<std::string>& names) {
    return ListMatching(pattern, names, [](const fs::directory_entry& e) {
        std::error_code ec;
        return e.is_directory(ec);
    });
}

int CFileOperate::WriteWholeFile(const std::string& path, const void* bytes, std::size_t size) {
    if (bytes == nullptr && size > 0) {
        return -1;
    }
    return ReplaceNotingFailure(path, std::string_view(static_cast<const char*>(bytes), size));
}

int CFileOperate::CreateFolderTree(const std::string& path) {
    if (path.empty()) {
        return -1;
    }
    std::error_code ec;
    const fs::path folder = Utf8Path(path);
    fs::create_directories(folder, ec);
    const std::string reason = ec ? ec.message() : std::string();
    if (fs::is_directory(folder, ec)) {
        return 0;
    }
    NoteWriteFailure(path, reason);
    return -1;
}

void CFileOperate::CopyFolderFiles(const std::string& source, const std::string& target) {
    std::error_code ec;
    fs::directory_iterator it(Utf8Path(source), ec);
    if (ec) {
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            break;
        }
        // Only regular files: reading a pipe or device could block or never end.
        if (!it->is_regular_file(ec)) {
            continue;
        }
        std::vector<std::uint8_t> bytes;
        if (ReadWholeFile(PathUtf8(it->path()), bytes) == 0) {
            WriteWholeFile(target + "/" + PathUtf8(it->path().filename()), bytes);
        }
    }
}

void CFileOperate::CopyFolderTree(const std::string& source, const std::string& target) {
    std::error_code ec;
    if (!fs::is_directory(Utf8Path(source), ec)) {
        return;
    }
    CreateFolderTree(target);
    const fs::path targetPath = Utf8Path(target);
    std::vector<std::string> subfolders;
    for (fs::directory_iterator it(Utf8Path(source), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        // A target inside the source must not be copied into itself again and again.
        if (IsRealFolder(it->path()) && !fs::equivalent(it->path(), targetPath, ec)) {
            subfolders.push_back(PathUtf8(it->path().filename()));
        }
    }
    for (const std::string& sub : subfolders) {
        CopyFolderTree(source + "/" + sub, target + "/" + sub);
    }
    CopyFolderFiles(source, target);
}

void CFileOperate::DeleteFolderFiles(const std::string& folder) {
    std::error_code ec;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator it(Utf8Path(folder), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (!IsRealFolder(it->path())) {
            doomed.push_back(it->path());
        }
    }
    for (const fs::path& p : doomed) {
        fs::remove(p, ec);
    }
}

void CFileOperate::DeleteFolderTree(const std::string& folder) {
    const fs::path folderPath = Utf8Path(folder);
    if (!IsRealFolder(folderPath)) {
        return;
    }
    std::error_code ec;
    std::vector<std::string> subfolders;
    for (fs::directory_iterator it(folderPath, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (IsRealFolder(it->path())) {
            subfolders.push_back(PathUtf8(it->path()));
        }
    }
    for (const std::string& sub : subfolders) {
        DeleteFolderTree(sub);
    }
    DeleteFolderFiles(folder);
    fs::remove(folderPath, ec);
}

std::string CFileOperate::GetFileNameAndExt(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1]))
            return path.substr(i);
    }
    return path;
}

int CFileOperate::ReadImageInfoTable(std::vector<ImageInfoEntry>& entries, const std::string& path) {
    std::vector<std::string> lines;
    const int result = ReadTextLines(path, lines);
    if (result != 0) {
        return result;
    }
    for (const std::string& line : lines) {
        if (!line.empty() && line.front() == ';') {
            continue;
        }
        const std::vector<std::string> fields = SplitText(line, "\t");
        if (fields.size() < 3) {
            continue;
        }
        entries.push_back({fields[0], ParseLeadingInt(fields[1]), ParseLeadingInt(fields[2])});
    }
    return 0;
}

namespace {
// Per thread: a worker's failure must not be reported as another thread's.
thread_local CFileOperate::WriteFailure t_firstWriteFailure;
}  // namespace

CFileOperate::WriteFailure CFileOperate::FirstWriteFailure() {
    return t_firstWriteFailure;
}

void CFileOperate::ForgetWriteFailure() {
    t_firstWriteFailure = {};
}

void CFileOperate::NoteWriteFailure(const std::string& path, const std::string& reason) {
    if (t_firstWriteFailure.path.empty())
        t_firstWriteFailure = {path, reason};
}

int CFileOperate::ReplaceNotingFailure(const std::string& path, std::string_view bytes) {
    std::string reason;
    if (ReplaceFileContents(path, bytes, &reason) == 0) {
        return 0;
    }
    NoteWriteFailure(path, reason);
    return -1;
}

}  // namespace qzm
