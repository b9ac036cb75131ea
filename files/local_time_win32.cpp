#include "files/local_time.h"

namespace qzm {

bool LocalTime(std::time_t time, std::tm& local) {
    return ::localtime_s(&local, &time) == 0;
}

}  // namespace qzm
