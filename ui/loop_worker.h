// A worker thread that repeats one device job while it is asked to run: continuous execution and
// the live image of the album page. It idles on a condition variable. After each run it hands the
// result to the window thread and starts the next run only once the window thread has shown it, so
// a fast module can never queue results without bound.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/window_calls.h"

namespace qzm {

class CLoopWorker {
public:
    // What one run produced: show runs on the window thread. A failed run ends the loop after its
    // show (which reports the failure).
    struct Run {
        bool failed = false;
        std::function<void()> show;
    };
    using Job = std::function<Run()>;

    // Made on the window thread; job runs on the worker and each result is shown on the window
    // thread.
    explicit CLoopWorker(Job job);
    // Ends the current run and joins the thread.
    ~CLoopWorker();
    CLoopWorker(const CLoopWorker&) = delete;
    CLoopWorker& operator=(const CLoopWorker&) = delete;

    // Starts repeating (window thread).
    void Start();
    // Asks the loop to end after its current run and waits until it has: a run that ends after the
    // stop was asked for is not shown. Call from a thread other than the window thread (the
    // wait dialog's work), since showing the last result may be what the loop waits for.
    void StopAndWait();
    // True from Start until the loop has ended (by a stop or a failed run).
    bool Running() const;

private:
    enum Request { kIdle = 0, kRun = 1, kStopWanted = -1 };

    void Loop();
    void Deliver(Run run);

    CWindowCalls calls_;
    const Job job_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Request request_ = kIdle;    // guarded by mutex_
    bool awaitingShow_ = false;  // guarded by mutex_: a result is on its way to the window thread
    bool quitting_ = false;      // guarded by mutex_
    std::thread thread_;         // last: starts once the members it uses exist
};

}  // namespace qzm
