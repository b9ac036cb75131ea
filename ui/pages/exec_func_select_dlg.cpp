#include "ui/pages/exec_func_select_dlg.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "ui/controls/skins.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
constexpr int kSwitchWidth = 96;
constexpr int kSwitchHeight = 24;
}  // namespace

CExecFuncSelectDlg::CExecFuncSelectDlg(QWidget* parent) : QWidget(parent) {
    auto* outer = new QGroupBox(tr("Function ON/OFF"), this);
    outer->setAccessibleName(outer->title());
    auto* inner = new QGroupBox(outer);
    inner->setAccessibleName(tr("Face estimations"));

    for (int i = 0; i < kFunctionCount; ++i) {
        auto* button = new CStateBmpButton(FunctionCaption(i), i < kFunctionDirection ? outer : inner);
        ApplySkin(*button, SkinKind::kSwitch);
        button->setFixedSize(kSwitchWidth, kSwitchHeight);
        connect(button, &CStateBmpButton::clicked, this, [this, i] { Flip(i); });
        switches_[i] = button;
    }

    auto* innerGrid = new QGridLayout(inner);
    innerGrid->setSpacing(4);
    for (int i = kFunctionDirection; i < kFunctionCount; ++i) {
        const int k = i - kFunctionDirection;
        innerGrid->addWidget(switches_[i], k / 2, k % 2);
    }
    auto* outerGrid = new QGridLayout(outer);
    outerGrid->setSpacing(4);
    outerGrid->addWidget(switches_[kFunctionBody], 0, 0);
    outerGrid->addWidget(switches_[kFunctionHand], 0, 1);
    outerGrid->addWidget(switches_[kFunctionFace], 1, 0);
    outerGrid->addWidget(inner, 2, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(outer);
    EnableEstimations();
}

void CExecFuncSelectDlg::SetFunctions(const FunctionSwitches& functions) {
    for (int i = 0; i < kFunctionCount; ++i)
        switches_[i]->SetState(functions[i] ? 1 : 0);
    EnableEstimations();
}

FunctionSwitches CExecFuncSelectDlg::Switches() const {
    FunctionSwitches on{};
    for (int i = 0; i < kFunctionCount; ++i)
        on[i] = switches_[i]->State() == 1;
    return on;
}

FunctionSwitches CExecFuncSelectDlg::Requested() const {
    FunctionSwitches on = Switches();
    if (!on[kFunctionFace]) {
        for (int i = kFunctionDirection; i < kFunctionCount; ++i)
            on[i] = false;
    }
    return on;
}

void CExecFuncSelectDlg::Flip(int index) {
    switches_[index]->SetState(switches_[index]->State() == 1 ? 0 : 1);
    if (index == kFunctionFace)
        EnableEstimations();
    emit Changed();
}

void CExecFuncSelectDlg::EnableEstimations() {
    const bool face = switches_[kFunctionFace]->State() == 1;
    for (int i = kFunctionDirection; i < kFunctionCount; ++i)
        switches_[i]->setEnabled(face);
}

}  // namespace qzm
