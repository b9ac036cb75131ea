// An album transfer in progress: one line ("Loading %s." / "Saving %s." with the file name) and a
// bar from 0 to 100. RunProgress is the straight-line way to use it.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <functional>

#include "ui/dialogs/request_dlg.h"

namespace qzm {

class CProgressDlg : public CRequestDlg {
    Q_OBJECT

public:
    explicit CProgressDlg(CDeviceWorker& worker, QWidget* parent = nullptr);

    // The string-table text of textId with argument for its "%s"; sizes the dialog around it.
    void SetText(int textId, const QString& argument);
    // Sets the bar to the integer part of percent (0.0 to 100.0).
    void SetPos(double percent);
    int Pos() const { return bar_->value(); }
    // Read on the window thread about every 16 ms while the work runs; it must be safe to call
    // while the work changes the value (an atomic, for instance).
    void SetProgressSource(std::function<double()> source) { source_ = std::move(source); }

protected:
    void WorkStarted() override;
    void WorkEnded() override;

private:
    QLabel* line_;
    QProgressBar* bar_;
    QTimer poll_;
    std::function<double()> source_;
};

// Shows dlg with the text of textId for fileName while work() runs on the device worker, feeding
// the bar from progress; returns work's result once the work has ended and the dialog has closed.
template <class Work>
auto RunProgress(CProgressDlg& dlg, int textId, const QString& fileName, std::function<double()> progress,
                 Work work) -> decltype(work()) {
    dlg.SetText(textId, fileName);
    dlg.SetPos(0);
    dlg.SetProgressSource(std::move(progress));
    return dlg.RunModal(std::move(work));
}

}  // namespace qzm
