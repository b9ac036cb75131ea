#include "ui/pages/main_ope_dlg.h"

#include <QFrame>
#include <QHBoxLayout>

#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/result_log_dlg.h"

namespace qzm {

namespace {
constexpr int kLogMinimumWidth = 320;
}  // namespace

CMainOpeDlg::CMainOpeDlg(const CSettingsStore& settings, QWidget* parent) : QWidget(parent) {
    image_ = new CImageDlg(this);
    execute_ = new CExecuteDlg(this);
    log_ = new CResultLogDlg(settings, this);
    log_->setMinimumWidth(kLogMinimumWidth);
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 6, 8);
    layout->setSpacing(4);
    layout->addWidget(image_, 0, Qt::AlignTop);
    layout->addWidget(execute_);
    layout->addSpacing(4);
    layout->addWidget(separator);
    layout->addSpacing(4);
    layout->addWidget(log_, 1);
}

void CMainOpeDlg::ShowExecution(const ExecutionReport& report) {
    image_->SetImage(report.image, report.functions, &report.result);
    log_->AddResult(report.functions, &report.result, report.status, report.response, report.responseTimeMs);
}

}  // namespace qzm
