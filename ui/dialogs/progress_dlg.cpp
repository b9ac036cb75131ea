#include "ui/dialogs/progress_dlg.h"

#include <QFontMetrics>
#include <algorithm>

#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
constexpr int kMargin = 16;
constexpr int kTextTop = 24;
constexpr int kMinTextWidth = 288;
// A long file name is shortened in the middle rather than widening the dialog without end.
constexpr int kMaxTextWidth = 880;
constexpr int kBarGap = 2;
constexpr int kBarHeight = 16;
constexpr int kBottomMargin = 24;
// About a frame: the bar follows the job as closely as the screen can show it.
constexpr int kPollMs = 16;
}  // namespace

CProgressDlg::CProgressDlg(CDeviceWorker& worker, QWidget* parent)
    : CRequestDlg(worker, parent), line_(new QLabel(this)), bar_(new QProgressBar(this)) {
    line_->setFont(TextFont());
    line_->setAlignment(Qt::AlignCenter);
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (source_) {
            SetPos(source_());
        }
    });
}

void CProgressDlg::SetText(int textId, const QString& argument) {
    const QFontMetrics metrics(line_->font());
    const QString text =
        metrics.elidedText(UiFormat(textId, argument), Qt::ElideMiddle, kMaxTextWidth, Qt::TextSingleLine);
    const QSize size = metrics.size(Qt::TextSingleLine, text);
    const int width = std::max(kMinTextWidth, size.width());
    line_->setText(text);
    line_->setAccessibleName(text);
    bar_->setAccessibleName(text);
    line_->setGeometry(kMargin, kTextTop, width, size.height());
    bar_->setGeometry(kMargin, kTextTop + size.height() + kBarGap, width, kBarHeight);
    // The dialog grows with a long text instead of cutting it off.
    setFixedSize(kMargin + width + kMargin, bar_->geometry().bottom() + 1 + kBottomMargin);
}

void CProgressDlg::SetPos(double percent) {
    bar_->setValue(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
}

void CProgressDlg::WorkStarted() {
    poll_.start();
}

void CProgressDlg::WorkEnded() {
    poll_.stop();
    if (source_) {
        SetPos(source_());
    }
}

}  // namespace qzm
