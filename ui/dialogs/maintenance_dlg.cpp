#include "ui/dialogs/maintenance_dlg.h"

#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/skins.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {
constexpr int kButtonTop = 24;
constexpr int kMinButtonWidth = 96;
}  // namespace

QString CMaintenanceDlg::CautionText() {
    return QStringLiteral(
        "-CAUTION-\nThe registration data for Face Recognition stored in the Device must\nmatch the one "
        "stored "
        "in the Application.\nProper operation for Face Recognition will not be guaranteed\n"
        "if a different device or PC is used.\nIn such a case, all the registration data can be erased in "
        "both the device\n"
        "and the PC used with the \"Delete all data\" button.\nPlease note that this will erase ALL data and "
        "that recognition data\nwill need to be registered again.");
}

CMaintenanceDlg::CMaintenanceDlg(QWidget* parent) : QWidget(parent) {
    deleteAll_ = new CStateBmpButton(QStringLiteral("Delete all data"), this);
    ApplySkin(*deleteAll_, SkinKind::kButton);
    deleteAll_->setFixedSize(std::max(kMinButtonWidth, deleteAll_->sizeHint().width()),
                             deleteAll_->sizeHint().height());
    connect(deleteAll_, &QAbstractButton::clicked, this, &CMaintenanceDlg::DeleteAllClicked);

    // The lines break where the text says, never elsewhere: the page grows to the widest line.
    caution_ = MakeLabel(CautionText(), this);
    caution_->setTextFormat(Qt::PlainText);
    caution_->setWordWrap(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kButtonTop, kPageMargin, kPageMargin);
    layout->setSpacing(kPageMargin);
    layout->addWidget(deleteAll_, 0, Qt::AlignLeft);
    layout->addWidget(caution_, 0, Qt::AlignLeft);
    layout->addStretch();
}

}  // namespace qzm
