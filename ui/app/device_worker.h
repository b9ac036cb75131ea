// The one thread that runs the device operations started from the windows, so that the window
// thread never waits on the serial line. It idles on a condition variable, runs one job at a time
// in the order they came, and hands each result back to the window thread as its own copy.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

#include "ui/app/window_calls.h"

namespace qzm {

class CDeviceWorker {
public:
    CDeviceWorker();
    // Made on the window thread. Lets the running job end, drops the jobs not yet started and
    // joins the thread.
    virtual ~CDeviceWorker();
    CDeviceWorker(const CDeviceWorker&) = delete;
    CDeviceWorker& operator=(const CDeviceWorker&) = delete;

    // Runs job() on the worker; afterwards done(result) (done() for a void job) runs on the window
    // thread, unless context is gone by then. The result travels as its own copy.
    template <class Job, class Done>
    void Run(QObject* context, Job job, Done done) {
        Post([this, context = QPointer<QObject>(context), job = std::move(job),
              done = std::move(done)]() mutable {
            if constexpr (std::is_void_v<std::invoke_result_t<Job&>>) {
                job();
                calls_.Post([context = std::move(context), done = std::move(done)]() mutable {
                    if (context)
                        done();
                });
            } else {
                calls_.Post([context = std::move(context), done = std::move(done), result = job()]() mutable {
                    if (context)
                        done(std::move(result));
                });
            }
        });
    }

private:
    void Post(std::function<void()> job);
    void Loop();

    CWindowCalls calls_;  // made on the window thread with the worker
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;  // guarded by mutex_
    bool stopping_ = false;                   // guarded by mutex_
    std::thread thread_;                      // last, so it starts after the members it uses
};

}  // namespace qzm
