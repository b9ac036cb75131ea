// Times an exchange whose answer the benchmark scripts: the emulator stays silent, and once the
// command is in, the answer goes onto the (possibly paced) line.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>
#include <vector>

#include "sim/pty_module_host.h"

namespace qzm {

// Runs exchange() while the answer is put on the line; returns seconds from the answer's first
// byte going out to exchange()'s return, and exchange()'s result in result.
template <typename Exchange>
double TimeScriptedAnswer(CPtyModuleHost& module, const std::vector<std::uint8_t>& answer, Exchange exchange,
                          int* result) {
    const std::uint64_t before = module.CommandsHandled();
    std::atomic<std::int64_t> pushedAt{0};
    auto pusher = std::async(std::launch::async, [&] {
        while (module.CommandsHandled() == before)
            std::this_thread::yield();
        pushedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        module.PushUnsolicited(answer);
    });
    *result = exchange();
    const auto end = std::chrono::steady_clock::now().time_since_epoch().count();
    pusher.get();
    return static_cast<double>(end - pushedAt.load()) * 1e-9;
}

}  // namespace qzm
