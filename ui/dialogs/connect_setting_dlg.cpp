#include "ui/dialogs/connect_setting_dlg.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/ui_text.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {
constexpr int kBaudTexts[] = {kStrBaud9600,   kStrBaud38400,  kStrBaud115200,
                              kStrBaud230400, kStrBaud460800, kStrBaud921600};
constexpr int kCameraAngleTexts[] = {kStrCameraAngle0, kStrCameraAngle90, kStrCameraAngle180,
                                     kStrCameraAngle270};  // item data: the angle code 0..3
// The check box sits further below the last row than the rows sit apart.
constexpr int kCheckBoxGap = 16;
constexpr int kDefaultCameraAngle = 0;
// Room for the drop-down arrow and the text's padding.
constexpr int kComboChrome = 48;

COrgComboBox* MakeCombo(const QString& name, QWidget* parent) {
    auto* combo = new COrgComboBox(parent);
    combo->setAccessibleName(name);
    return combo;
}
}  // namespace

CConnectSettingDlg::CConnectSettingDlg(SettingForm form, QWidget* parent) : QWidget(parent), form_(form) {
    const QString portCaption = QStringLiteral("Port");
    const QString baudCaption = QStringLiteral("Baud rate");
    const QString angleCaption = QStringLiteral("Camera angle");
    port_ = MakeCombo(portCaption, this);
    baud_ = MakeCombo(baudCaption, this);
    angle_ = MakeCombo(angleCaption, this);
    for (const int id : kBaudTexts) {
        baud_->addItem(UiText(id), UiText(id).toInt());
    }
    for (int code = 0; code < int(std::size(kCameraAngleTexts)); ++code) {
        angle_->addItem(UiText(kCameraAngleTexts[code]), code);
    }
    // Nothing is chosen until the values are set.
    baud_->setCurrentIndex(-1);
    angle_->setCurrentIndex(-1);
    connect(port_, &QComboBox::currentTextChanged, port_, &QWidget::setToolTip);
    connect(port_, &QComboBox::activated, this, &CConnectSettingDlg::OnPortActivated);

    // Wide enough for the usual device paths and the simulated module. A longer name (a
    // /dev/serial/by-id link) shows whole in the drop-down list, which widens to its longest item,
    // and as the combo's tool tip.
    const QFontMetrics metrics(port_->font());
    const int comboWidth = std::max(metrics.horizontalAdvance(QStringLiteral("/dev/ttyUSB10")),
                                    metrics.horizontalAdvance(UiText(kStrSimulatedModule))) +
                           kComboChrome;
    for (COrgComboBox* combo : {port_, baud_, angle_}) {
        combo->setFixedWidth(comboWidth);
    }

    autoConnect_ = new QCheckBox(this);
    SetCaption(*autoConnect_, QStringLiteral("Connect on startup"));

    // Labels in one column, combos 16 pixels to their right. The normal form leaves port and baud
    // rate out, since the connection in use cannot be changed from the main window.
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(kPageMargin);
    rows->setVerticalSpacing(kGap);
    const bool startup = form_ == SettingForm::kStartup;
    const struct {
        const QString& caption;
        COrgComboBox* combo;
        bool shown;
    } rowList[] = {
        {portCaption, port_, startup}, {baudCaption, baud_, startup}, {angleCaption, angle_, true}};
    int row = 0;
    for (const auto& entry : rowList) {
        if (!entry.shown) {
            entry.combo->hide();
            continue;
        }
        QLabel* label = MakeLabel(entry.caption, this);
        label->setBuddy(entry.combo);
        rows->addWidget(label, row, 0);
        rows->addWidget(entry.combo, row, 1);
        ++row;
    }
    rows->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    layout->setSpacing(0);
    layout->addLayout(rows);
    layout->addSpacing(kCheckBoxGap);
    layout->addWidget(autoConnect_);
    layout->addStretch();
}

void CConnectSettingDlg::SetValues(const std::vector<std::string>& portList, const SettingValues& values) {
    const QString stored = QString::fromStdString(values.portName);
    if (stored.startsWith(UiText(kStrReplayPortPrefix)))
        replayPortName_ = stored;
    FillPorts(portList);
    SelectPort(QString::fromStdString(values.portName));
    baud_->SelectByItemData(values.baudRate);
    angle_->SelectByItemData(values.detection.cameraAngle);
    autoConnect_->setChecked(values.autoConnect != 0);
}

void CConnectSettingDlg::GetValues(SettingValues& values) const {
    if (form_ == SettingForm::kStartup) {
        values.portName = PortNameAt(port_->currentIndex());
        values.baudRate =
            baud_->currentIndex() >= 0 ? baud_->currentData().toInt() : CSettingsStore::kDefaultBaudRate;
    }
    values.detection.cameraAngle =
        angle_->currentIndex() >= 0 ? angle_->currentData().toInt() : kDefaultCameraAngle;
    values.autoConnect = autoConnect_->isChecked() ? 1 : 0;
}

void CConnectSettingDlg::UpdatePortList(const std::vector<std::string>& portList) {
    if (portList == portList_) {
        return;
    }
    const QString chosen = port_->currentText();
    FillPorts(portList);
    SelectPort(chosen);
    if (port_->view()->isVisible()) {
        port_->hidePopup();
        port_->showPopup();
    }
}

void CConnectSettingDlg::FillPorts(const std::vector<std::string>& portList) {
    portList_ = portList;
    port_->clear();
    for (int i = 0; i < int(portList_.size()); ++i) {
        port_->addItem(QString::fromStdString(PortNameAt(i)), i);
    }
}

std::string CConnectSettingDlg::PortNameAt(int index) const {
    const int port = index >= 0 && index < port_->count() ? port_->itemData(index).toInt() : index;
    if (port < 0 || port >= int(portList_.size()))
        return {};
    const std::string& name = portList_[port];
    if (name == UiText(kStrReplayRecording).toStdString() && !replayPortName_.isEmpty())
        return replayPortName_.toStdString();
    return name;
}

void CConnectSettingDlg::OnPortActivated(int index) {
    const int port = port_->itemData(index).toInt();
    if (port < 0 || port >= int(portList_.size()) ||
        portList_[port] != UiText(kStrReplayRecording).toStdString()) {
        chosenPort_ = index;
        return;
    }
    const QString previous = replayPortName_.mid(UiText(kStrReplayPortPrefix).size());
    const QString path =
        ChooseExistingFile(previous.isEmpty() ? QDir::homePath() + QLatin1Char('/') : previous,
                           UiText(kStrRecordingFilter), this);
    if (path.isEmpty()) {
        port_->setCurrentIndex(chosenPort_);
        return;
    }
    replayPortName_ = UiText(kStrReplayPortPrefix) + QDir::toNativeSeparators(path);
    port_->setItemText(index, replayPortName_);
    port_->setToolTip(replayPortName_);
    chosenPort_ = index;
}

void CConnectSettingDlg::SelectPort(const QString& name) {
    // The first port whose name begins with the stored one, ignoring case. The list comes in natural
    // order, so a stored "/dev/ttyUSB1" meets "/dev/ttyUSB1" before "/dev/ttyUSB10".
    int index = 0;
    for (int i = 0; i < port_->count(); ++i) {
        if (port_->itemText(i).startsWith(name, Qt::CaseInsensitive)) {
            index = i;
            break;
        }
    }
    port_->setCurrentIndex(port_->count() > 0 ? index : -1);
    chosenPort_ = port_->currentIndex();
}

}  // namespace qzm
