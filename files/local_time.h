// Calendar time in the user's time zone, safe to call from any thread.
#pragma once

#include <ctime>

namespace qzm {

// Fills `local` with the time's local calendar fields; false when the system cannot convert it
// (a time before 1970 on Windows, for one).
bool LocalTime(std::time_t time, std::tm& local);

}  // namespace qzm
