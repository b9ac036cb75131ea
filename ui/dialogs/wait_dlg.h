// "Please wait." in front of a device operation: up to five centred lines in a big bold font,
// no caption. RunWaiting is the straight-line way to use it.
#pragma once

#include <QLabel>
#include <array>

#include "ui/dialogs/request_dlg.h"

namespace qzm {

class CWaitDlg : public CRequestDlg {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 5;

    // Starts with text 5200 "Please wait.".
    explicit CWaitDlg(CDeviceWorker& worker, QWidget* parent = nullptr);

    // Shows the string-table text of textId, one line per "\n" (the first five), and sizes the
    // dialog around them.
    void SetTextId(int textId);
    int TextId() const { return textId_; }
    int LineCount() const { return lineCount_; }

private:
    int textId_ = 0;
    int lineCount_ = 0;
    std::array<QLabel*, kMaxLines> lines_{};
};

// Shows dlg with textId while work() runs on the device worker; returns work's result once the
// work has ended and the dialog has closed.
template <class Work>
auto RunWaiting(CWaitDlg& dlg, int textId, Work work) -> decltype(work()) {
    dlg.SetTextId(textId);
    return dlg.RunModal(std::move(work));
}

}  // namespace qzm
