// The parts of the serial port that every platform shares: which rates may be asked for, how close
// a driver's rate must come, and the order ports are listed in.
#include <algorithm>
#include <cctype>

#include "device/serial_port.h"

namespace qzm {

bool IsSupportedBaudRate(int baud) {
    return baud > 0;
}

bool IsCloseEnoughBaudRate(int actual, int wanted) {
    const long long difference = static_cast<long long>(actual) - wanted;
    return (difference < 0 ? -difference : difference) * 50 <= wanted;
}

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size() - 1));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size() - 1));
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

}  // namespace qzm
