#include "ui/pages/execute_dlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/controls/org_combo_box.h"
#include "ui/controls/skins.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
// The transfer image size items in their order, with the image option each stands for.
constexpr struct {
    int textId;
    int code;
} kImageSizes[] = {
    {kStrImage320x240, kImage320x240}, {kStrImage160x120, kImage160x120}, {kStrNoImage, kImageNone}};
constexpr int kRunButtonHeight = 32;
}  // namespace

CExecuteDlg::CExecuteDlg(QWidget* parent) : QWidget(parent) {
    // Made in the order of the layout, which the keyboard's focus follows.
    once_ = new CStateBmpButton(tr("Execute once"), this);
    continuous_ = new CStateBmpButton(tr("Continuous"), this);
    ApplySkin(*once_, SkinKind::kPanelButton);
    ApplySkin(*continuous_, SkinKind::kPanelButton);
    // It runs once and never stays on: a push button, though it wears the panel's switch skin.
    once_->setCheckable(false);
    for (CStateBmpButton* button : {once_, continuous_})
        button->setMinimumHeight(kRunButtonHeight);
    once_->setToolTip(tr("Run detection once"));
    continuous_->setToolTip(tr("Run detection again and again until pressed again"));
    rate_ = new QLabel(this);
    record_ = new CStateBmpButton(tr("Record"), this);
    ApplySkin(*record_, SkinKind::kPanelButton);
    record_->setToolTip(tr("Record every run into a file, for export and replay"));
    frames_ = new QCheckBox(tr("with frames"), this);
    frames_->setToolTip(tr("Keep the camera frames in the recording too (about 300 MB an hour)"));
    recording_ = new QLabel(this);
    recording_->setAccessibleName(tr("Recording"));

    auto* sizeLabel = new QLabel(tr("Transfer image size:"), this);
    imageSize_ = new COrgComboBox(this);
    imageSize_->setAccessibleName(tr("Transfer image size"));
    sizeLabel->setBuddy(imageSize_);
    for (const auto& item : kImageSizes)
        imageSize_->addItem(UiText(item.textId), item.code);

    functions_ = new CExecFuncSelectDlg(this);
    settings_ = new CStateBmpButton(tr("Settings"), this);
    ApplySkin(*settings_, SkinKind::kButton);
    settings_->setToolTip(tr("Connection, detection settings and maintenance"));

    connect(once_, &CStateBmpButton::clicked, this, [this] {
        continuous_->SetState(0);
        emit ExecuteOnceClicked();
    });
    connect(continuous_, &CStateBmpButton::clicked, this, [this] {
        const bool on = !ContinuousOn();
        continuous_->SetState(on ? 1 : 0);
        emit ContinuousToggled(on);
    });
    connect(record_, &CStateBmpButton::clicked, this, [this] {
        const bool on = record_->State() != 1;
        record_->SetState(on ? 1 : 0);
        emit RecordToggled(on);
    });
    connect(settings_, &CStateBmpButton::clicked, this, &CExecuteDlg::SettingsClicked);
    connect(imageSize_, &QComboBox::currentIndexChanged, this, &CExecuteDlg::ChoiceChanged);
    connect(functions_, &CExecFuncSelectDlg::Changed, this, &CExecuteDlg::ChoiceChanged);

    auto* runRow = new QHBoxLayout;
    runRow->addWidget(once_);
    runRow->addWidget(continuous_);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(sizeLabel);
    sizeRow->addWidget(imageSize_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(runRow);
    layout->addWidget(rate_);
    auto* recordRow = new QHBoxLayout;
    recordRow->addWidget(record_);
    recordRow->addWidget(frames_);
    recordRow->addStretch(1);
    layout->addLayout(recordRow);
    layout->addWidget(recording_);
    layout->addLayout(sizeRow);
    layout->addWidget(functions_);
    layout->addStretch(1);
    layout->addWidget(settings_, 0, Qt::AlignRight);
    ShowRate(-1);
}

int CExecuteDlg::SelectImageSize(int code) {
    return imageSize_->SelectByItemData(code);
}

int CExecuteDlg::ImageSize() const {
    const QVariant data = imageSize_->currentData();
    return data.isValid() ? data.toInt() : kImageNone;
}

bool CExecuteDlg::ContinuousOn() const {
    return continuous_->State() == 1;
}

void CExecuteDlg::ResetButtons() {
    once_->SetState(0);
    continuous_->SetState(0);
    ShowRate(-1);
}

void CExecuteDlg::SetRecording(bool on) {
    record_->SetState(on ? 1 : 0);
    // The choice holds for a whole recording.
    frames_->setEnabled(!on);
    if (!on)
        ShowRecording({});
}

bool CExecuteDlg::RecordWithFrames() const {
    return frames_->isChecked();
}

void CExecuteDlg::ShowRecording(const QString& text) {
    recording_->setText(text);
    recording_->setAccessibleName(text.isEmpty() ? tr("Recording") : text);
}

void CExecuteDlg::ShowRate(double perSecond) {
    const QString name = tr("Results per second");
    if (perSecond < 0) {
        rate_->clear();
        rate_->setAccessibleName(name);
        return;
    }
    const QString rate = QString::number(perSecond, 'f', 1);
    rate_->setText(tr("%1 results per second").arg(rate));
    // A screen reader reads the name, not the text: the number goes into it.
    rate_->setAccessibleName(QStringLiteral("%1: %2").arg(name, rate));
}

}  // namespace qzm
