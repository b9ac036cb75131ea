// The one thread that runs the device operations started from the windows, so that the window
// thread never waits on the serial line. It idles on a condition variable, runs one job at a time
// in the order they came, and hands each result back to the window thread as its own copy.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace qzm {

class CDeviceWorker {
public:
    CDeviceWorker();
    // Lets the running job end, drops the jobs not yet started and joins the thread.
    virtual ~CDeviceWorker();
    CDeviceWorker(const CDeviceWorker&) = delete;
    CDeviceWorker& operator=(const CDeviceWorker&) = delete;

    // Runs job() on the worker; afterwards done(result) (done() for a void job) runs as a queued
    // call on context's thread. context must outlive the job.
    template <class Job, class Done>
    void Run(QObject* context, Job job, Done done) {
        Post([context, job = std::move(job), done = std::move(done)]() mutable {
            if constexpr (std::is_void_v<std::invoke_result_t<Job&>>) {
                job();
                QMetaObject::invokeMethod(context, std::move(done), Qt::QueuedConnection);
            } else {
                QMetaObject::invokeMethod(
                    context, [done = std::move(done), result = job()]() mutable { done(std::move(result)); },
                    Qt::QueuedConnection);
            }
        });
    }

private:
    void Post(std::function<void()> job);
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;  // guarded by mutex_
    bool stopping_ = false;                   // guarded by mutex_
    std::thread thread_;                      // last, so it starts after the members it uses
};

}  // namespace qzm
