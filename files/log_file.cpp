#include "files/log_file.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "files/local_time.h"
#include "files/text_codec.h"
#include "files/utf8_path.h"

namespace qzm {
namespace {

std::string LogPath(const std::string& name) {
    return std::string(kLogFolder) + "/" + name;
}

void TrimTrailingSpace(std::string& s) {
    while (!s.empty() && (s.back() == ' ' || (s.back() >= '\t' && s.back() <= '\r'))) {
        s.pop_back();
    }
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(Utf8Path(path), ec);
}

}  // namespace

std::int64_t CurrentTime() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string FormatLocalTime(std::int64_t time, const char* format) {
    const auto t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!LocalTime(t, local)) {
        return {};
    }
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

CLogFileBase::~CLogFileBase() {
    CLogFileBase::Close();
}

int CLogFileBase::Open() {
    MakeFileName();
    return OpenPath(mode_);
}

void CLogFileBase::Close() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
}

int CLogFileBase::OpenPath(const std::string& mode) {
    Close();
    if (path_.empty() || mode.empty()) {
        return -1;
    }
    utf8_ = mode.find("ccs=UTF-8") != std::string::npos;
    stream_ = OpenFileUtf8(path_, mode.front() == 'a' ? "ab" : "wb");
    if (stream_ == nullptr) {
        return -1;
    }
    if (utf8_ && std::fseek(stream_, 0, SEEK_END) == 0 && std::ftell(stream_) == 0) {
        std::fwrite("\xEF\xBB\xBF", 1, 3, stream_);
        std::fflush(stream_);
    }
    return 0;
}

void CLogFileBase::WriteText(const std::string& text) {
    if (stream_ == nullptr) {
        return;
    }
    const std::string converted = utf8_ ? text : Utf8ToCp1252Lossy(text);
    buffer_.clear();
    buffer_.reserve(converted.size() + converted.size() / 8 + 2);
    for (std::size_t i = 0; i < converted.size(); ++i) {
        if (converted[i] == '\n' && (i == 0 || converted[i - 1] != '\r')) {
            buffer_.push_back('\r');
        }
        buffer_.push_back(converted[i]);
    }
    std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
    std::fflush(stream_);
}

void CLogFileBase::WriteLines(const std::string& text) {
    for (std::string piece : SplitText(text, "\n")) {
        TrimTrailingSpace(piece);
        piece.push_back('\n');
        WriteText(piece);
    }
}

int CLogFileOpe::Open() {
    CreateFolderTree(kLogFolder);
    openTime_ = Now();
    const std::string path = LogPath(FormatLocalTime(openTime_, "%Y%m%d") + ".log");
    if (FileExists(path)) {
        if (stream_ != nullptr && path == path_) {
            return 1;
        }
        path_ = path;
        mode_ = "a, ccs=UTF-8";
        return OpenPath(mode_) == 0 ? 1 : -1;
    }
    // A stream still open on an earlier day's file is closed by OpenPath, not leaked.
    path_ = path;
    mode_ = "w, ccs=UTF-8";
    return OpenPath(mode_) == 0 ? 0 : -1;
}

int CLogFileOpe::WriteLog(const std::string& text, bool omitTimestamp, std::int64_t time) {
    if (stream_ == nullptr) {
        return -1;
    }
    if (!omitTimestamp) {
        WriteText(FormatLocalTime(time, "%Y/%m/%d %H:%M:%S") + "\n");
    }
    WriteLines(text);
    return 0;
}

void CDebugLogFileOpe::MakeFileName() {
    path_ = LogPath(FormatLocalTime(blockTime_, "%Y%m%d%H%M%S") + ".log");
}

int CDebugLogFileOpe::OpenCurrentFile() {
    return OpenPath(FileExists(path_) ? "a" : mode_);
}

void CDebugLogFileOpe::TrackCurrentFile() {
    if (maxFiles_ <= 0) {
        return;
    }
    std::erase(fileList_, path_);
    fileList_.push_back(path_);
    while (fileList_.size() > static_cast<std::size_t>(maxFiles_)) {
        std::error_code ec;
        std::filesystem::remove(Utf8Path(fileList_.front()), ec);
        fileList_.erase(fileList_.begin());
    }
}

int CDebugLogFileOpe::Open() {
    CreateFolderTree(kLogFolder);
    ReadIniInt("Log", "MaxBlockNum", 0, kDebugIniPath, maxBlocks_);
    ReadIniInt("Log", "MaxFileNum", 0, kDebugIniPath, maxFiles_);
    fileList_.clear();
    std::vector<std::string> names;
    ListFiles(std::string(kLogFolder) + "/*.log", names);
    for (const std::string& name : names) {
        if (name != kErrorLogName) {
            fileList_.push_back(LogPath(name));
        }
    }
    blockTime_ = Now();
    blockCount_ = 0;
    Close();
    MakeFileName();
    if (OpenCurrentFile() != 0) {
        return -1;
    }
    TrackCurrentFile();
    return 0;
}

int CDebugLogFileOpe::WriteBlock(std::int64_t time, const std::string& text) {
    if (stream_ == nullptr) {
        return -1;
    }
    blockTime_ = time;
    WriteLines(text);
    ++blockCount_;
    if (maxBlocks_ > 0 && blockCount_ >= maxBlocks_) {
        blockCount_ = 0;
        Close();
        MakeFileName();
        if (OpenCurrentFile() == 0) {
            TrackCurrentFile();
        }
    }
    return 0;
}

CErrLogOpe::CErrLogOpe(std::string mode) {
    mode_ = std::move(mode);
    CErrLogOpe::MakeFileName();
}

void CErrLogOpe::MakeFileName() {
    path_ = LogPath(kErrorLogName);
}

int CErrLogOpe::Open() {
    CreateFolderTree(kLogFolder);
    return CLogFileBase::Open();
}

int CErrLogOpe::WriteBlock(std::int64_t time, const std::string& text) {
    if (stream_ == nullptr) {
        return -1;
    }
    WriteText(FormatLocalTime(time, "%c") + "\n");
    WriteLines(text);
    return 0;
}

}  // namespace qzm
