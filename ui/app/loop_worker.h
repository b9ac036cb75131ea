// A worker thread that repeats one device job while it is asked to run: continuous execution and
// the live image of the album page. It idles on a condition variable. After each run it hands the
// result to the window thread and starts the next run only once the window thread has shown it, so
// a fast module can never queue results without bound.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "ui/app/window_calls.h"

namespace qzm {

class CLoopWorker {
public:
    // What one run produced: show runs on the window thread. A failed run ends the loop when its
    // show runs (which reports the failure): until then the loop counts as running, so that the
    // window thread sees one consistent state whatever the user clicks meanwhile.
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
    // Asks the loop to end after its current run (window thread); a run that ends after this is
    // not shown, and a result already handed over waits for ShowHandedOver.
    void RequestStop();
    // Waits until a requested stop has taken effect. Call from a thread other than the window
    // thread (the wait dialog's work).
    void WaitStopped();
    // True from Start until the loop has ended (by a stop, or once a failed run was shown).
    bool Running() const;
    // After a stop (window thread): shows the result handed over before the stop that the window
    // thread has not shown yet. True when it was the failure that ended the loop.
    bool ShowHandedOver();

private:
    enum Request { kIdle = 0, kRun = 1, kStopWanted = -1 };

    void Loop();
    // The queued half of a hand-over: shows the result unless a stop is under way (then the
    // stopper shows it).
    void ShowFromQueue();

    CWindowCalls calls_;
    const Job job_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Request request_ = kIdle;        // guarded by mutex_
    std::optional<Run> handedOver_;  // guarded by mutex_: produced, not yet shown
    bool quitting_ = false;          // guarded by mutex_
    std::thread thread_;             // last: starts once the members it uses exist
};

}  // namespace qzm
