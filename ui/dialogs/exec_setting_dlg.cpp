#include "ui/dialogs/exec_setting_dlg.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "ui/controls/skins.h"
#include "ui/controls/spin_ctrl.h"
#include "ui/controls/ui_text.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {

// Function names of the rows: body, hand, face, recognition.
constexpr int kRowNames[] = {kStrFunctionBody, kStrFunctionHand, kStrFunctionFace, kStrFunctionRecognition};
const CRange kThresholdRanges[] = {{1, 1000}, {1, 1000}, {1, 1000}, {0, 1000}};
const CRange kSizeRange(20, 8192);
// Shown until the values are written: thresholds, then minimum sizes (the maximums show 8192).
constexpr int kInitialThreshold = 500;
constexpr int kInitialMinimumSize[] = {30, 40, 64};
constexpr int kYawTexts[] = {kStrYaw30, kStrYaw60, kStrYaw90};  // item data: the yaw code 0..2
constexpr int kRollTexts[] = {kStrRoll15, kStrRoll45};          // item data: the roll code 0..1
// Between the yaw and roll pairs.
constexpr int kAngleGap = 40;
constexpr int kMinButtonWidth = 96;
// Room for the spin arrows, the frame and the text's padding.
constexpr int kEditChrome = 32;

CRangeEdit* MakeRangeEdit(const QString& name, const CRange& range, bool digitsOnly, QWidget* parent) {
    auto* edit = new CRangeEdit(parent);
    edit->setAccessibleName(name);
    edit->SetRange(range);
    edit->setAlignment(Qt::AlignRight);
    if (digitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    // Five digits fit with room to spare: every value has at most four.
    edit->setFixedWidth(QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("00000")) + kEditChrome);
    new CSpinCtrl(*edit);
    return edit;
}

QGridLayout* GroupLayout(QGroupBox& group) {
    auto* layout = new QGridLayout(&group);
    layout->setContentsMargins(kPageMargin, kGap, kPageMargin, kPageMargin);
    layout->setHorizontalSpacing(kGap);
    layout->setVerticalSpacing(kGap);
    return layout;
}

COrgComboBox* MakeAngleCombo(const QString& name, const int* texts, int count, QWidget* parent) {
    auto* combo = new COrgComboBox(parent);
    combo->setAccessibleName(name);
    for (int code = 0; code < count; ++code) {
        combo->addItem(UiText(texts[code]), code);
    }
    return combo;
}

}  // namespace

CExecSettingDlg::CExecSettingDlg(QWidget* parent) : QWidget(parent) {
    auto* thresholds = new QGroupBox(this);
    SetCaption(*thresholds, QStringLiteral("Threshold value"));
    QGridLayout* thresholdRows = GroupLayout(*thresholds);
    for (int kind = 0; kind < int(threshold_.size()); ++kind) {
        const QString name = UiText(kRowNames[kind]);
        threshold_[kind] =
            MakeRangeEdit(name + QStringLiteral(" threshold"), kThresholdRanges[kind], true, thresholds);
        threshold_[kind]->SetValue(kInitialThreshold);
        QLabel* label = MakeLabel(name, thresholds);
        label->setBuddy(threshold_[kind]);
        thresholdRows->addWidget(label, kind, 0);
        thresholdRows->addWidget(threshold_[kind], kind, 1);
    }
    thresholdRows->setRowStretch(int(threshold_.size()), 1);

    auto* sizes = new QGroupBox(this);
    SetCaption(*sizes, QStringLiteral("Detection size"));
    QGridLayout* sizeRows = GroupLayout(*sizes);
    for (int kind = 0; kind < int(minimumSize_.size()); ++kind) {
        const QString name = UiText(kRowNames[kind]);
        minimumSize_[kind] = MakeRangeEdit(name + QStringLiteral(" minimum size"), kSizeRange, false, sizes);
        maximumSize_[kind] = MakeRangeEdit(name + QStringLiteral(" maximum size"), kSizeRange, false, sizes);
        minimumSize_[kind]->SetValue(kInitialMinimumSize[kind]);
        maximumSize_[kind]->SetValue(kSizeRange.max);
        QLabel* label = MakeLabel(name, sizes);
        label->setBuddy(minimumSize_[kind]);
        sizeRows->addWidget(label, kind, 0);
        sizeRows->addWidget(minimumSize_[kind], kind, 1);
        sizeRows->addWidget(MakeLabel(QStringLiteral("-"), sizes), kind, 2);
        sizeRows->addWidget(maximumSize_[kind], kind, 3);
    }
    sizeRows->setRowStretch(int(minimumSize_.size()), 1);

    auto* angles = new QGroupBox(this);
    SetCaption(*angles, QStringLiteral("Face angle"));
    yaw_ = MakeAngleCombo(QStringLiteral("Yaw angle"), kYawTexts, int(std::size(kYawTexts)), angles);
    roll_ = MakeAngleCombo(QStringLiteral("Roll angle"), kRollTexts, int(std::size(kRollTexts)), angles);
    auto* angleRow = new QHBoxLayout(angles);
    angleRow->setContentsMargins(kPageMargin, kGap, kPageMargin, kPageMargin);
    angleRow->setSpacing(kGap);
    for (COrgComboBox* combo : {yaw_, roll_}) {
        if (combo == roll_) {
            angleRow->addSpacing(kAngleGap - kGap);
        }
        QLabel* label = MakeLabel(combo->accessibleName(), angles);
        label->setBuddy(combo);
        angleRow->addWidget(label);
        angleRow->addWidget(combo);
    }
    angleRow->addStretch();

    reset_ = new CStateBmpButton(QStringLiteral("Reset values"), this);
    ApplySkin(*reset_, SkinKind::kButton);
    reset_->setFixedSize(std::max(kMinButtonWidth, reset_->sizeHint().width()), reset_->sizeHint().height());
    connect(reset_, &QAbstractButton::clicked, this, [this] { WriteValues(defaults_); });

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kGap, kGap, kGap, kPageMargin);
    layout->setSpacing(kGap);
    layout->addWidget(thresholds, 0, 0);
    layout->addWidget(sizes, 0, 1);
    layout->addWidget(angles, 1, 0, 1, 2);
    layout->addWidget(reset_, 2, 0, 1, 2, Qt::AlignRight);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(2, 1);
}

void CExecSettingDlg::WriteValues(const ExecSettings& settings) {
    for (int kind = 0; kind < int(threshold_.size()); ++kind) {
        threshold_[kind]->SetValue(settings.threshold[kind]);
    }
    for (int kind = 0; kind < int(minimumSize_.size()); ++kind) {
        minimumSize_[kind]->SetValue(settings.sizeRange[kind].min);
        maximumSize_[kind]->SetValue(settings.sizeRange[kind].max);
    }
    yaw_->SelectByItemData(settings.yawAngle);
    roll_->SelectByItemData(settings.rollAngle);
}

ExecSettings CExecSettingDlg::ReadValues() const {
    // A minimum above its maximum goes on as it is: the module decides what to make of it.
    ExecSettings settings;
    for (int kind = 0; kind < int(threshold_.size()); ++kind) {
        settings.threshold[kind] = threshold_[kind]->GetValue();
    }
    for (int kind = 0; kind < int(minimumSize_.size()); ++kind) {
        settings.sizeRange[kind] = CRange(minimumSize_[kind]->GetValue(), maximumSize_[kind]->GetValue());
    }
    settings.yawAngle = yaw_->currentData().toInt();
    settings.rollAngle = roll_->currentData().toInt();
    return settings;
}

}  // namespace qzm
