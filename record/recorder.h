// Writes a recording while executions run. Add copies the run and returns at once: a writer thread
// of its own commits the runs in batches (a transaction at least every second), never the caller's
// thread, so neither the window nor the execution waits on the disk. The database is in
// write-ahead-log mode: a program killed meanwhile leaves a file that opens cleanly and holds every
// committed run. A failed write (a full disk, a size limit) stops the recording; what was committed
// before stays readable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "record/recording.h"

namespace qzm {

class CRecorder {
public:
    struct Status {
        bool recording = false;
        std::int64_t runs = 0;   // committed to the file
        std::int64_t bytes = 0;  // the file's size with its log
        int error = kRecordOk;   // why the recording stopped by itself
        std::string errorText;
    };

    CRecorder();
    // Stops a recording still running.
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // Creates path (an existing file is replaced) with the session and starts the writer.
    int Start(const std::string& path, const RecordingSession& session, std::string* why = nullptr);
    // Queues the run (moved in, or copied); the names are those of the registered users now, person
    // who was in view as the evaluator tagged it (untagged unless given). Any thread.
    void Add(ExecutionReport report, std::vector<UserName> names, PersonInView person = {});
    // Writes what is queued, the end time and closes the file. kRecordOk, or the failure that
    // stopped the recording.
    int Stop(std::string* why = nullptr);
    Status Read() const;

private:
    // What the file takes of a run. The frame's pixels end the payload; the decoded copy of the
    // frame is not kept, so a queued run holds them once, and only when frames are recorded.
    struct Pending {
        ExecutionReport report;
        std::vector<UserName> names;
        PersonInView person;
        int imageWidth = 0;
        int imageHeight = 0;
    };
    class Writer;
    void Loop();

    std::unique_ptr<Writer> writer_;   // used on the writer thread only, between Start and Stop
    std::atomic<bool> frames_{false};  // set by Start, read by Add on any thread
    mutable std::mutex mutex_;         // guards the members below
    std::condition_variable wake_;
    std::deque<Pending> queue_;
    bool stopping_ = false;
    Status status_;
    std::thread thread_;
};

}  // namespace qzm
