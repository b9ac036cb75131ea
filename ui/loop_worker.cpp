#include "ui/loop_worker.h"

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

void CLoopWorker::StopAndWait() {
    std::unique_lock lock(mutex_);
    if (request_ == kIdle)
        return;
    request_ = kStopWanted;
    changed_.notify_all();
    changed_.wait(lock, [this] { return request_ == kIdle || quitting_; });
}

bool CLoopWorker::Running() const {
    std::lock_guard lock(mutex_);
    return request_ != kIdle;
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
                if (run.failed)
                    request_ = kIdle;
                else
                    awaitingShow_ = true;
                lock.unlock();
                Deliver(std::move(run));
                lock.lock();
                changed_.wait(lock, [this] { return !awaitingShow_ || request_ != kRun || quitting_; });
            }
        }
        if (request_ == kStopWanted) {
            request_ = kIdle;
            changed_.notify_all();
        }
    }
}

void CLoopWorker::Deliver(Run run) {
    calls_.Post([this, show = std::move(run.show)] {
        if (show)
            show();
        {
            std::lock_guard lock(mutex_);
            awaitingShow_ = false;
        }
        changed_.notify_all();
    });
}

}  // namespace qzm
