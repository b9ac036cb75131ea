#include "device/connection.h"

#include <chrono>
#include <thread>

namespace qzm {

bool CConnection::Open(const std::string&, int) {
    return true;
}

bool CConnection::HasBytes(int) {
    return false;
}

int CConnection::WaitForBytes(int timeoutMs, int count) {
    const auto start = std::chrono::steady_clock::now();
    double elapsedMs = -2.0;
    for (;;) {
        if (HasBytes(count))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (timeoutMs != -1) {
            elapsedMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        if (!(timeoutMs > elapsedMs))
            return -1;
    }
}

}  // namespace qzm
