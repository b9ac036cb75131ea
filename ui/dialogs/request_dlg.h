// Base of the small modal dialogs that stand in front of one device operation (wait, progress).
// The caller stores a request and runs the dialog modally; the request starts only once the dialog
// is visible, and the dialog ends when the work has ended or when someone posts a close. While it
// is up every window keeps painting and takes no other input; the user cannot close it.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "ui/app/device_worker.h"
#include "ui/app/window_calls.h"

namespace qzm {

class CRequestDlg : public QDialog {
    Q_OBJECT

public:
    // worker must outlive the dialog's showings.
    CRequestDlg(CDeviceWorker& worker, QWidget* parent);

    // What to start on the window thread once the dialog is visible. A request is consumed by the
    // next showing: showing the dialog again without a new request starts nothing.
    void SetRequest(std::function<void()> request);

    // Ends the modal showing unless a RunModal work is still running. Safe from any thread.
    void PostClose();

    // Runs work on the device worker while the dialog is up modally, then closes the dialog and
    // returns work's result.
    template <class Work>
    auto RunModal(Work work) -> decltype(work());

    // Escape and the window's close request do nothing: only the end of the work closes it.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Around the work of RunModal, on the window thread.
    virtual void WorkStarted() {}
    virtual void WorkEnded() {}

    // The dialogs' text font: bold, three times the size of the dialog font.
    QFont TextFont() const;

private:
    void FinishWork();

    CDeviceWorker& worker_;
    std::function<void()> request_;
    bool workPending_ = false;  // from RunModal's start until its work has ended; window thread only
    CWindowCalls calls_;        // closes posted from other threads
};

template <class Work>
auto CRequestDlg::RunModal(Work work) -> decltype(work()) {
    Q_ASSERT(!isVisible());
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        SetRequest([this, work = std::move(work)] {
            WorkStarted();
            worker_.Run(this, work, [this] { FinishWork(); });
        });
        workPending_ = true;
        exec();
        request_ = nullptr;
    } else {
        std::optional<Result> result;
        SetRequest([this, &result, work = std::move(work)] {
            WorkStarted();
            worker_.Run(this, work, [this, &result](Result done) {
                result = std::move(done);
                FinishWork();
            });
        });
        workPending_ = true;
        exec();
        request_ = nullptr;
        return std::move(*result);
    }
}

}  // namespace qzm
