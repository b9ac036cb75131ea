#include "ui/dialogs/setting_dlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "device/qzm_protocol.h"
#include "ui/controls/skins.h"
#include "ui/controls/ui_text.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {
constexpr int kMinButtonWidth = 88;
}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent) : QDialog(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The dialog is as big as its pages need, no bigger, and cannot be resized.
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void CSettingDlg::SetValues(const SettingValues& values) {
    values_ = values;
}

void CSettingDlg::SetLogOutput(int logOutput) {
    values_.logOutput = logOutput;
    if (general_) {
        general_->SetLogOutput(logOutput);
    }
}

int CSettingDlg::ShowModal(const std::vector<std::string>& portList, SettingForm form, int deviceType) {
    BuildWindow(form, deviceType);
    connect_->SetValues(portList, values_);
    const int result = exec() == QDialog::Accepted ? kResultOk : kResultCancel;
    delete frame_;
    return result;
}

void CSettingDlg::UpdatePortList(const std::vector<std::string>& portList) {
    if (QThread::currentThread() != thread()) {
        calls_.Post([this, portList] { UpdatePortList(portList); });
        return;
    }
    if (connect_) {
        connect_->UpdatePortList(portList);
    }
}

CStateBmpButton* CSettingDlg::MakeButton(const QString& caption) {
    auto* button = new CStateBmpButton(caption, frame_);
    ApplySkin(*button, SkinKind::kButton);
    button->setFixedSize(std::max(kMinButtonWidth, button->sizeHint().width()), button->sizeHint().height());
    return button;
}

void CSettingDlg::BuildWindow(SettingForm form, int deviceType) {
    frame_ = new QWidget(this);
    layout()->addWidget(frame_);
    auto* column = new QVBoxLayout(frame_);
    column->setSpacing(kGap);

    // A tab's page is made without a parent: the tabs take it in the order of the tabs, and the
    // keyboard's focus goes from the tabs into the page shown, then to the buttons.
    connect_ = new CConnectSettingDlg(form, form == SettingForm::kStartup ? frame_ : nullptr);
    connect_->setAccessibleName(UiText(kStrTabDevice));
    if (form == SettingForm::kStartup) {
        // The connection page alone, without tabs.
        setWindowTitle(QStringLiteral("Connection settings"));
        column->setContentsMargins(0, 0, kGap, kGap);
        column->addWidget(connect_);
    } else {
        setWindowTitle(QStringLiteral("Settings"));
        column->setContentsMargins(kGap, kGap, kGap, kGap);
        general_ = new CGeneralSettingDlg;
        general_->SetLogOutput(values_.logOutput);
        exec_ = new CExecSettingDlg;
        exec_->SetDefaults(defaults_);
        exec_->WriteValues(values_.detection.exec);

        tabs_ = new QTabWidget(frame_);
        tabs_->setAccessibleName(windowTitle());
        const std::pair<QWidget*, int> pages[] = {
            {general_, kStrTabGeneral}, {connect_, kStrTabDevice}, {exec_, kStrTabExecution}};
        for (const auto& [page, textId] : pages) {
            page->setAccessibleName(UiText(textId));
            tabs_->addTab(page, UiText(textId));
        }
        if (deviceType != kExtendedDevice) {  // the extended module has no "Maintenance" tab
            maintenance_ = new CMaintenanceDlg;
            maintenance_->setAccessibleName(UiText(kStrTabMaintenance));
            connect(maintenance_, &CMaintenanceDlg::DeleteAllClicked, this,
                    &CSettingDlg::DeleteAllDataRequested);
            tabs_->addTab(maintenance_, UiText(kStrTabMaintenance));
        }
        column->addWidget(tabs_);
    }

    ok_ = MakeButton(form == SettingForm::kStartup ? QStringLiteral("Connect") : QStringLiteral("OK"));
    cancel_ = MakeButton(QStringLiteral("Cancel"));
    connect(ok_, &QAbstractButton::clicked, this, [this] {
        ReadBack();
        accept();
    });
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kGap);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    column->addLayout(buttons);
}

void CSettingDlg::ReadBack() {
    connect_->GetValues(values_);
    if (exec_) {
        values_.detection.exec = exec_->ReadValues();
    }
    if (general_) {
        values_.logOutput = general_->LogOutput();
    }
}

void CSettingDlg::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button, or OK from anywhere else; Escape cancels (QDialog's own).
    if (ok_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        auto* focused = qobject_cast<CStateBmpButton*>(focusWidget());
        (focused ? focused : ok_.data())->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace qzm
