// Calls handed from worker threads to the window thread. Each call is stored under a lock, then
// taken, run and destroyed on the window thread, so the data it carries (a result, a frame) never
// travels back to the worker and nothing is shared without a lock both threads see.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace qzm {

class CWindowCalls : public QObject {
    Q_OBJECT

public:
    // Made on the window thread; the calls run there.
    CWindowCalls() = default;

    // Callable from any thread.
    void Post(std::function<void()> call);

private:
    Q_INVOKABLE void RunPending();

    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;  // guarded by mutex_
};

}  // namespace qzm
