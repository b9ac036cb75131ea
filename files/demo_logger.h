// The debug and error logs of the running program. They are written only when ./Debug.ini exists
// when the logger is built; otherwise no file is created and Log does nothing.
#pragma once

#include <mutex>
#include <string>

#include "files/log_file.h"

namespace qzm {

class CDemoLogger {
public:
    // `clock` stands in for the system clock (tests); empty means the system clock.
    explicit CDemoLogger(CLogFileBase::Clock clock = {});
    CDemoLogger(const CDemoLogger&) = delete;
    CDemoLogger& operator=(const CDemoLogger&) = delete;

    // Writes the text as one block to the debug log and, when `isError`, to the error log too.
    // Callable from any thread.
    void Log(const std::string& text, bool isError);

    // ./Log/QZM_Error.log, shown to the user while the debug logs are on.
    std::string GetErrorLogFileName() const { return errorLog_.GetFileName(); }
    bool IsDebugEnabled() const { return debugEnabled_; }
    std::string GetDebugLogFileName() const;

private:
    mutable std::mutex mutex_;
    CDebugLogFileOpe debugLog_{"w"};
    CErrLogOpe errorLog_{"a"};
    bool debugEnabled_ = false;
    CLogFileBase::Clock clock_;
};

}  // namespace qzm
