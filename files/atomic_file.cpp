#include "files/atomic_file.h"

#include <atomic>

#include "files/atomic_file_platform.h"

namespace qzm {
namespace {

std::atomic<WriteFault> g_nextFault{WriteFault::kNone};

}  // namespace

void InjectWriteFaultForTest(WriteFault fault) {
    g_nextFault.store(fault);
}

int ReplaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    const WriteFault fault = g_nextFault.exchange(WriteFault::kNone);
    std::string why;
    const int result = ReplaceFileContentsOnSystem(path, bytes, fault, why);
    if (result != 0 && reason != nullptr)
        *reason = why;
    return result;
}

}  // namespace qzm
