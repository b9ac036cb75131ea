#include "ui/dialogs/wait_dlg.h"

#include <QFontMetrics>
#include <algorithm>

#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
constexpr int kMargin = 16;
constexpr int kMinLineWidth = 208;
constexpr int kMinHeight = 64;
}  // namespace

CWaitDlg::CWaitDlg(CDeviceWorker& worker, QWidget* parent) : CRequestDlg(worker, parent) {
    const QFont font = TextFont();
    for (QLabel*& line : lines_) {
        line = new QLabel(this);
        line->setFont(font);
        line->setAlignment(Qt::AlignCenter);
    }
    SetTextId(kStrPleaseWait);
}

void CWaitDlg::SetTextId(int textId) {
    textId_ = textId;
    const QStringList texts = UiText(textId).split(QLatin1Char('\n'));
    lineCount_ = std::min<int>(kMaxLines, texts.size());

    const QFontMetrics metrics(lines_[0]->font());
    int width = kMinLineWidth;
    int height = 0;
    for (int i = 0; i < lineCount_; ++i) {
        const QSize size = metrics.size(Qt::TextSingleLine, texts[i]);
        width = std::max(width, size.width());
        height = std::max(height, size.height());
    }
    for (int i = 0; i < kMaxLines; ++i) {
        QLabel* line = lines_[i];
        const bool used = i < lineCount_;
        line->setText(used ? texts[i] : QString());
        line->setAccessibleName(line->text());
        line->setGeometry(kMargin, kMargin + i * height, width, height);
        line->setVisible(used);
    }
    const int bottom = kMargin + lineCount_ * height;
    setFixedSize(kMargin + width + kMargin, std::max(kMinHeight, bottom + kMargin));
}

}  // namespace qzm
