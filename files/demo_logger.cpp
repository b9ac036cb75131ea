#include "files/demo_logger.h"

#include <filesystem>
#include <system_error>

namespace qzm {

CDemoLogger::CDemoLogger(CLogFileBase::Clock clock) : clock_(std::move(clock)) {
    std::error_code ec;
    if (!std::filesystem::exists(kDebugIniPath, ec)) {
        return;
    }
    debugEnabled_ = true;
    debugLog_.SetClock(clock_);
    errorLog_.SetClock(clock_);
    debugLog_.Open();
    errorLog_.Open();
}

void CDemoLogger::Log(const std::string& text, bool isError) {
    if (!debugEnabled_) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t now = clock_ ? clock_() : CurrentTime();
    if (isError) {
        errorLog_.WriteBlock(now, text);
    }
    debugLog_.WriteBlock(now, text);
}

std::string CDemoLogger::GetDebugLogFileName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return debugLog_.GetFileName();
}

}  // namespace qzm
