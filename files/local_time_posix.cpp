#include "files/local_time.h"

namespace qzm {

bool LocalTime(std::time_t time, std::tm& local) {
    return ::localtime_r(&time, &local) != nullptr;
}

}  // namespace qzm
