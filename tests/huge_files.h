// Huge files for the readers' size checks, and a child process with little memory to read them in:
// a reader that tries to hold such a file fails there instead of exhausting the machine.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace qzm::testing {

// Sanitizer builds reserve terabytes of address space up front and cannot run under a limit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kCanLimitMemory = false;
#else
inline constexpr bool kCanLimitMemory = true;
#endif

// A file of that many zero bytes that takes no room on the disk.
inline void MakeSparseFile(const std::string& path, off_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc);
    ASSERT_EQ(::truncate(path.c_str(), size), 0) << path;
}

// Lets this process's address space grow by `headroom` bytes only.
inline bool LimitAddressSpaceGrowth(std::size_t headroom) {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    if (!(statm >> pages)) {
        return false;
    }
    const rlim_t limit = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit rl{limit, limit};
    return ::setrlimit(RLIMIT_AS, &rl) == 0;
}

struct RefusedRead {
    std::string what;
    std::function<int()> read;  // must give -1
};

// Runs the reads in a child whose memory may grow by 16 MiB only, where it can be limited; a read
// that tries to hold its file whole ends the child instead of exhausting the machine.
inline void ExpectRefusedInLittleMemory(const std::vector<RefusedRead>& reads) {
    if (!kCanLimitMemory) {
        for (const RefusedRead& r : reads) {
            EXPECT_EQ(r.read(), -1) << r.what;
        }
        return;
    }
    EXPECT_EXIT(
        {
            if (!LimitAddressSpaceGrowth(std::size_t{16} << 20)) {
                std::fputs("cannot limit the memory\n", stderr);
                std::_Exit(2);
            }
            for (const RefusedRead& r : reads) {
                if (r.read() != -1) {
                    std::fprintf(stderr, "accepted: %s\n", r.what.c_str());
                    std::_Exit(1);
                }
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace qzm::testing
