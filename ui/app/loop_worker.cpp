#include "ui/app/loop_worker.h"

namespace qzm {

CLoopWorker::CLoopWorker(Job job) : job_(std::move(job)), thread_([this] { Loop(); }) {}

CLoopWorker::~CLoopWorker() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CLoopWorker::Start() {
    {
        std::lock_guard lock(mutex_);
        request_ = kRun;
    }
    changed_.notify_all();
}

void CLoopWorker::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        if (request_ == kIdle)
            return;
        request_ = kStopWanted;
    }
    changed_.notify_all();
}

void CLoopWorker::WaitStopped() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return request_ != kStopWanted || quitting_; });
}

bool CLoopWorker::Running() const {
    std::lock_guard lock(mutex_);
    return request_ != kIdle;
}

bool CLoopWorker::ShowHandedOver() {
    std::optional<Run> run;
    {
        std::lock_guard lock(mutex_);
        run.swap(handedOver_);
    }
    changed_.notify_all();
    if (!run)
        return false;
    if (run->show)
        run->show();
    return run->failed;
}

void CLoopWorker::ShowFromQueue() {
    std::optional<Run> run;
    {
        std::lock_guard lock(mutex_);
        if (request_ != kRun || !handedOver_)
            return;
        run.swap(handedOver_);
        if (run->failed)
            request_ = kIdle;
    }
    changed_.notify_all();
    if (run->show)
        run->show();
}

void CLoopWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return request_ != kIdle || quitting_; });
        if (quitting_)
            return;
        if (request_ == kRun) {
            lock.unlock();
            Run run = job_();
            lock.lock();
            if (request_ == kRun) {
                handedOver_ = std::move(run);
                calls_.Post([this] { ShowFromQueue(); });
                // The next run starts once this one was shown (a failed one also ends the loop).
                changed_.wait(lock, [this] { return !handedOver_ || request_ != kRun || quitting_; });
            }
        }
        if (request_ == kStopWanted) {
            request_ = kIdle;
            changed_.notify_all();
        }
    }
}

}  // namespace qzm
