// A system with no room for another thread, for as long as the guard lives: threads started
// meanwhile without attributes of their own (every std::thread) ask for a stack far larger than
// any address space, so their creation fails as it does when a process or thread limit is reached
// or memory is short. Threads already running go on. Works the same for root and other users and
// under the sanitizers. Start what the test needs (an emulator) before making the guard.
#pragma once

#include <pthread.h>

#include <cstddef>

namespace qzm::testing {

class NoRoomForThreads {
public:
    NoRoomForThreads() {
        pthread_attr_t attributes;
        if (pthread_getattr_default_np(&attributes) != 0)
            return;
        pthread_attr_getstacksize(&attributes, &oldStackSize_);
        pthread_attr_setstacksize(&attributes, std::size_t{1} << 46);  // 64 TiB
        active_ = pthread_setattr_default_np(&attributes) == 0;
        pthread_attr_destroy(&attributes);
    }
    ~NoRoomForThreads() {
        if (!active_)
            return;
        pthread_attr_t attributes;
        if (pthread_getattr_default_np(&attributes) != 0)
            return;
        pthread_attr_setstacksize(&attributes, oldStackSize_);
        pthread_setattr_default_np(&attributes);
        pthread_attr_destroy(&attributes);
    }
    NoRoomForThreads(const NoRoomForThreads&) = delete;
    NoRoomForThreads& operator=(const NoRoomForThreads&) = delete;

    // False when the default could not be changed; the test cannot run then.
    bool Active() const { return active_; }

private:
    std::size_t oldStackSize_ = 0;
    bool active_ = false;
};

}  // namespace qzm::testing
