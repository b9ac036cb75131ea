// The log files under ./Log: the daily result log the result log page writes while file logging is
// on, and the debug and error logs that exist only while ./Debug.ini lies in the working folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "files/file_operate.h"

namespace qzm {

inline constexpr const char* kLogFolder = "./Log";
inline constexpr const char* kDebugIniPath = "./Debug.ini";
inline constexpr const char* kErrorLogName = "QZM_Error.log";

// Seconds since 1970 (UTC), now.
std::int64_t CurrentTime();

// The local time of `time` formatted with strftime; an empty text when the result does not fit
// into 127 characters or the time cannot be represented.
std::string FormatLocalTime(std::int64_t time, const char* format);

// A log file: closed, or open on the file named by MakeFileName. Texts are written with CR LF line
// ends, in UTF-8 when the open mode carries "ccs=UTF-8" (a byte-order mark starts a new file) and
// in Windows-1252 otherwise (characters it lacks become '?').
class CLogFileBase : public CFileOperate {
public:
    // Where the logs take "now" from; tests set a fixed clock instead of sleeping.
    using Clock = std::function<std::int64_t()>;

    CLogFileBase() = default;
    ~CLogFileBase() override;
    CLogFileBase(const CLogFileBase&) = delete;
    CLogFileBase& operator=(const CLogFileBase&) = delete;

    // MakeFileName, then opens the file with the open mode. 0 or -1.
    virtual int Open();
    virtual void Close();
    // Writes one block of text stamped with `time` (seconds since 1970). 0, or -1 when closed.
    virtual int WriteBlock(std::int64_t time, const std::string& text) = 0;
    virtual std::string GetFileName() const { return path_; }
    // Writes the text converted for the file and flushes it. Nothing happens while closed.
    virtual void WriteText(const std::string& text);
    virtual void MakeFileName() {}

    bool IsOpen() const { return stream_ != nullptr; }
    void SetClock(Clock clock) { clock_ = std::move(clock); }

protected:
    std::int64_t Now() const { return clock_ ? clock_() : CurrentTime(); }
    // Opens path_ with `mode` ("w" or "a", optionally ", ccs=UTF-8"), closing any open stream first.
    int OpenPath(const std::string& mode);
    // Each piece of the text, without its trailing white space, followed by a line end.
    void WriteLines(const std::string& text);

    std::FILE* stream_ = nullptr;
    std::string mode_;
    std::string buffer_;  // conversion buffer; keeps its capacity between writes
    std::string path_;

private:
    Clock clock_;
    bool utf8_ = false;
};

// The daily result log ./Log/YYYYMMDD.log (local date), UTF-8.
class CLogFileOpe : public CLogFileBase {
public:
    // Opens the day's file: 1 when it existed already (appended to, or already open), 0 when it was
    // created, -1 when it cannot be opened.
    int Open() override;
    // The result log takes its texts through WriteLog only.
    int WriteBlock(std::int64_t, const std::string&) override { return -1; }
    // Writes the local time of `time` ("%Y/%m/%d %H:%M:%S") unless omitted, then each line of the
    // text without trailing white space. 0, or -1 when no file is open.
    int WriteLog(const std::string& text, bool omitTimestamp, std::int64_t time);
    std::int64_t GetOpenTime() const { return openTime_; }

private:
    std::int64_t openTime_ = 0;
};

// The debug log ./Log/YYYYMMDDhhmmss.log, Windows-1252. A new file is started at every Open and
// after every MaxBlockNum blocks (Debug.ini, section Log), named after the last block's time; when
// MaxFileNum is above 0, only that many .log files (result logs included, the error log excluded)
// are kept, the oldest by name being deleted.
class CDebugLogFileOpe : public CLogFileBase {
public:
    explicit CDebugLogFileOpe(std::string mode = "w") { mode_ = std::move(mode); }

    int Open() override;
    int WriteBlock(std::int64_t time, const std::string& text) override;
    void MakeFileName() override;

    const std::vector<std::string>& GetFileList() const { return fileList_; }

private:
    // Opens path_; a file of the same name (two rotations in one second) is appended to rather
    // than truncated, so no block already written is lost.
    int OpenCurrentFile();
    // Puts the current file at the end of the list and deletes the oldest files beyond the limit.
    void TrackCurrentFile();

    int blockCount_ = 0;
    int maxBlocks_ = 0;
    std::vector<std::string> fileList_;  // oldest first
    int maxFiles_ = 0;
    std::int64_t blockTime_ = 0;
};

// The error log ./Log/QZM_Error.log, Windows-1252, appended to.
class CErrLogOpe : public CLogFileBase {
public:
    explicit CErrLogOpe(std::string mode = "a");

    int Open() override;
    // Writes the local time of `time` ("%c"), then each line of the text.
    int WriteBlock(std::int64_t time, const std::string& text) override;
    void MakeFileName() override;
};

}  // namespace qzm
