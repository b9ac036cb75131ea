#include "ui/dialogs/general_setting_dlg.h"

#include <QVBoxLayout>

#include "ui/pages/page_layout.h"

namespace qzm {

CGeneralSettingDlg::CGeneralSettingDlg(QWidget* parent) : QWidget(parent) {
    logOutput_ = new QCheckBox(this);
    SetCaption(*logOutput_, QStringLiteral("Log output"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->addWidget(logOutput_);
    layout->addStretch();
}

void CGeneralSettingDlg::SetLogOutput(int logOutput) {
    logOutput_->setChecked(logOutput != 0);
}

int CGeneralSettingDlg::LogOutput() const {
    return logOutput_->isChecked() ? 1 : 0;
}

}  // namespace qzm
