#include "ui/app/execution_session.h"

#include "ui/app/loop_worker.h"

namespace qzm {

namespace {
// The rate shown is that of the results of the last two seconds.
constexpr auto kRateWindow = std::chrono::seconds(2);
}  // namespace

CExecutionSession::Pause::Pause(CExecutionSession& session) : session_(session), mode_(session.mode_) {
    if (mode_ == kModeContinuous && session_.executionLoop_->Running()) {
        session_.StopExecutionLoop();
        paused_ = true;
    } else if (mode_ == kModeLiveImage && session_.previewLoop_->Running()) {
        session_.StopLoop(*session_.previewLoop_);
        paused_ = true;
    }
}

CExecutionSession::Pause::~Pause() {
    if (!paused_ || session_.mode_ != mode_ || session_.closing_)
        return;
    (mode_ == kModeContinuous ? session_.executionLoop_ : session_.previewLoop_)->Start();
}

CExecutionSession::CExecutionSession(CDemoController& controller, Waiting waiting, QObject* parent)
    : QObject(parent), controller_(controller), waiting_(std::move(waiting)) {
    executionLoop_ = std::make_unique<CLoopWorker>([this] {
        auto run = std::make_shared<Run>(RunExecution(executionImage_, PublishedChoice()));
        const bool failed = run->outcome.result != kProtocolOk;
        return CLoopWorker::Run{failed, [this, run, failed] {
                                    if (failed) {
                                        Fail(run->outcome);
                                    } else {
                                        ShowExecution(run->report);
                                        CountResult();
                                    }
                                }};
    });
    previewLoop_ = std::make_unique<CLoopWorker>([this] {
        // A failed live image is not reported: the picture stays and the next run tries again.
        const bool shown = controller_.ExecuteImageOnly(&previewImage_).ok();
        auto frame = std::make_shared<CImageData>(previewImage_);
        return CLoopWorker::Run{false, [this, frame, shown] {
                                    if (shown && mode_ == kModeLiveImage)
                                        emit LiveImage(*frame);
                                }};
    });
}

CExecutionSession::~CExecutionSession() {
    // The workers end before the buffers their jobs use.
    executionLoop_.reset();
    previewLoop_.reset();
}

bool CExecutionSession::Busy() const {
    return executionLoop_->Running() || previewLoop_->Running();
}

void CExecutionSession::SetChoice(const FunctionSwitches& functions, int imageSize) {
    std::lock_guard lock(choiceMutex_);
    choice_ = Choice{functions, imageSize};
}

CExecutionSession::Choice CExecutionSession::PublishedChoice() const {
    std::lock_guard lock(choiceMutex_);
    return choice_;
}

CExecutionSession::Run CExecutionSession::RunExecution(CImageData& buffer, const Choice& choice) {
    Run run;
    run.outcome = controller_.ExecuteOnce(choice.imageSize, choice.functions, &buffer, &run.report);
    return run;
}

void CExecutionSession::ShowExecution(ExecutionReport& report) {
    if (report.response != 0) {
        // The run is still shown; the code is reported once the execution stops.
        refused_ = true;
        refusedCode_ = report.response;
    }
    // Tagged as the user said when it was shown, whatever the window does with it.
    const PersonInView person = person_;
    emit Executed(report);
    // Recorded as shown, and only when shown: the recording holds what the window showed. The run
    // moves on to the writer's thread; the file is written there, not here.
    if (recorder_ != nullptr)
        recorder_->Add(std::move(report), controller_.UserNames(), person);
}

void CExecutionSession::Fail(const DeviceOutcome& outcome) {
    emit ExecutionFailed(outcome);
    mode_ = kModeIdle;
}

void CExecutionSession::ExecuteOnce() {
    // A continuous run that failed meanwhile has just been reported: that ends this request too.
    if (mode_ == kModeContinuous && StopExecutionLoop())
        return;
    mode_ = kModeSingle;
    const Choice choice = PublishedChoice();
    Run run;
    waiting_([&] { run = RunExecution(singleImage_, choice); });
    if (run.outcome.result != kProtocolOk) {
        Fail(run.outcome);
        return;
    }
    ShowExecution(run.report);
    ReportRefusal();
    mode_ = kModeIdle;
}

void CExecutionSession::StartContinuous() {
    mode_ = kModeContinuous;
    recentResults_.clear();
    executionLoop_->Start();
}

void CExecutionSession::StopContinuous() {
    if (mode_ == kModeContinuous)
        StopExecutionLoop();
    mode_ = kModeIdle;
    emit RateChanged(-1);
}

void CExecutionSession::StartLiveImage() {
    if (mode_ == kModeContinuous)
        StopExecutionLoop();
    modeBeforeLiveImage_ = mode_;
    mode_ = kModeLiveImage;
    previewLoop_->Start();
}

void CExecutionSession::EndLiveImage() {
    StopLoop(*previewLoop_);
    mode_ = modeBeforeLiveImage_;
    if (mode_ == kModeContinuous) {
        recentResults_.clear();
        executionLoop_->Start();
    }
}

void CExecutionSession::StopAll() {
    WillClose();
    if (executionLoop_->Running())
        StopExecutionLoop();
    if (previewLoop_->Running())
        StopLoop(*previewLoop_);
}

bool CExecutionSession::StopExecutionLoop() {
    const bool failed = StopLoop(*executionLoop_);
    ReportRefusal();
    return failed;
}

bool CExecutionSession::StopLoop(CLoopWorker& loop) {
    // Asked here, on the window thread, so that a result the loop handed over meanwhile is not
    // shown behind the wait's back but right after it, in order.
    loop.RequestStop();
    if (loop.Running())
        waiting_([&loop] { loop.WaitStopped(); });
    return loop.ShowHandedOver();
}

void CExecutionSession::ReportRefusal() {
    if (!refused_)
        return;
    refused_ = false;
    emit RefusedWhileExecuting(refusedCode_);
}

void CExecutionSession::CountResult() {
    const auto now = std::chrono::steady_clock::now();
    recentResults_.push_back(now);
    while (recentResults_.size() > 2 && now - recentResults_.front() > kRateWindow)
        recentResults_.pop_front();
    if (recentResults_.size() < 2)
        return;
    const double seconds = std::chrono::duration<double>(now - recentResults_.front()).count();
    if (seconds > 0)
        emit RateChanged((recentResults_.size() - 1) / seconds);
}

}  // namespace qzm
