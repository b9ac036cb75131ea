// What the main window does with the module between the user's other requests: one execution,
// continuous execution, and the live image of the album page. Each run goes through the controller
// on a worker; the window thread starts and stops them here and gets every result as a signal with
// its own copy. Everything here runs on the window thread, which only ever waits through `Waiting`,
// so the session is tested without a window.
#pragma once

#include <QObject>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/demo_controller.h"
#include "record/recorder.h"
#include "ui/pages/main_ope_dlg.h"

namespace qzm {

class CLoopWorker;

class CExecutionSession : public QObject {
    Q_OBJECT

public:
    // What the window is doing with the module (the live image runs while the album page shows).
    enum Mode : int { kModeIdle = -1, kModeSingle = 0, kModeContinuous = 1, kModeLiveImage = 103 };
    // Runs work on the device worker and returns once it has ended, the windows painting meanwhile
    // (in the main window: behind the wait dialog with "Please wait.").
    using Waiting = std::function<void(const std::function<void()>& work)>;

    // controller outlives the session.
    CExecutionSession(CDemoController& controller, Waiting waiting, QObject* parent = nullptr);
    ~CExecutionSession() override;

    int Mode() const { return mode_; }
    // Continuous execution or the live image runs.
    bool Busy() const;

    // What the next execution asks for; published for the execution worker.
    void SetChoice(const FunctionSwitches& functions, int imageSize);
    // Every run shown from now on also goes to recorder (null: none), moved, not copied.
    void SetRecorder(CRecorder* recorder) { recorder_ = recorder; }
    // Who is in view of the camera, stored with every run recorded from now on.
    void SetPersonInView(PersonInView person) { person_ = person; }
    PersonInView PersonInViewNow() const { return person_; }

    void ExecuteOnce();
    void StartContinuous();
    void StopContinuous();
    // The album page was shown: continuous execution gives way to the live image. Back on the main
    // page, it comes back.
    void StartLiveImage();
    void EndLiveImage();
    // The panel's buttons were set back after a failure: a paused loop does not come back.
    void SetIdle() { mode_ = kModeIdle; }
    // The window is about to close: a pause no longer restarts its loop.
    void WillClose() { closing_ = true; }
    // Stops both loops for the close.
    void StopAll();

    // Stops the running loop while it lives and restarts it after, so that another device
    // operation can run meanwhile.
    class Pause {
    public:
        explicit Pause(CExecutionSession& session);
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        CExecutionSession& session_;
        const int mode_;
        bool paused_ = false;
    };

signals:
    // An execution came through (its response code may still be non-zero); the window's own copy.
    void Executed(const ExecutionReport& report);
    // An execution failed; the session is idle again.
    void ExecutionFailed(const DeviceOutcome& outcome);
    // Executions came through with a response code other than 0: the last code, once the
    // execution has ended (a single one, or continuous execution when stopped).
    void RefusedWhileExecuting(int responseCode);
    // Results per second of continuous execution; negative: none to show.
    void RateChanged(double perSecond);
    void LiveImage(const CImageData& frame);

private:
    struct Choice {
        FunctionSwitches functions{};
        int imageSize = 0;
    };
    struct Run {
        ExecutionReport report;
        DeviceOutcome outcome;
    };

    Choice PublishedChoice() const;
    Run RunExecution(CImageData& buffer, const Choice& choice);
    void ShowExecution(ExecutionReport& report);
    void Fail(const DeviceOutcome& outcome);
    // Stops continuous execution and reports a refusal seen meanwhile; true when the failure that
    // ended it was reported by the stop.
    bool StopExecutionLoop();
    // Stops the loop behind `Waiting` and shows what it handed over before; true when that was the
    // failure that ended it.
    bool StopLoop(CLoopWorker& loop);
    void ReportRefusal();
    void CountResult();

    CDemoController& controller_;
    const Waiting waiting_;

    int mode_ = kModeIdle;
    int modeBeforeLiveImage_ = kModeIdle;
    bool closing_ = false;
    bool refused_ = false;  // a run came through with a non-zero response code, not reported yet
    int refusedCode_ = 0;
    std::deque<std::chrono::steady_clock::time_point> recentResults_;

    CRecorder* recorder_ = nullptr;
    PersonInView person_;
    mutable std::mutex choiceMutex_;  // guards choice_: published by the window thread, read by workers
    Choice choice_;

    CImageData executionImage_;  // the execution worker's frame buffer, used on that worker only
    CImageData singleImage_;     // the device worker's frame buffer for single executions
    CImageData previewImage_;    // the live-image worker's frame buffer
    // Last: they stop before the members their jobs use go away.
    std::unique_ptr<CLoopWorker> executionLoop_;
    std::unique_ptr<CLoopWorker> previewLoop_;
};

}  // namespace qzm
