// The "Execution" page of the settings dialog: the module's detection settings. Four detection
// thresholds, the minimum and maximum detection size for bodies, hands and faces, and the face
// angle ranges. The page keeps every value inside its range (a CRangeEdit with spin arrows each)
// and holds nothing besides its controls and the defaults "Reset values" writes in; the settings
// dialog writes values in and reads them out.
//
// Accessible names, for screen readers and tests (a label's caption alone would repeat):
//   thresholds:  "Human Body threshold", "Hand threshold", "Face threshold", "Recognition threshold"
//   sizes:       "Human Body minimum size", "Human Body maximum size", "Hand minimum size",
//                "Hand maximum size", "Face minimum size", "Face maximum size"
//   spin arrows: the edit's name followed by " up" or " down"
//   combos:      "Yaw angle", "Roll angle";  button: "Reset values"
#pragma once

#include <QWidget>
#include <array>

#include "device/exec_settings.h"
#include "ui/controls/org_combo_box.h"
#include "ui/controls/range_edit.h"
#include "ui/controls/state_bmp_button.h"

namespace qzm {

class CExecSettingDlg : public QWidget {
    Q_OBJECT

public:
    explicit CExecSettingDlg(QWidget* parent = nullptr);

    // Shows each number as it is (also -1, not set yet) and selects the angle items with these
    // codes; a code no item has leaves that combo's selection as it was.
    void WriteValues(const ExecSettings& settings);
    // Each number clamped into its edit's range; the codes of the selected angle items.
    ExecSettings ReadValues() const;
    // What "Reset values" writes in: the delivered detection settings.
    void SetDefaults(const ExecSettings& defaults) { defaults_ = defaults; }

    // kind: ExecSettings::kBody .. kRecognition.
    CRangeEdit& ThresholdEdit(int kind) const { return *threshold_[kind]; }
    // kind: ExecSettings::kBody .. kFace.
    CRangeEdit& MinimumSizeEdit(int kind) const { return *minimumSize_[kind]; }
    CRangeEdit& MaximumSizeEdit(int kind) const { return *maximumSize_[kind]; }
    COrgComboBox& YawCombo() const { return *yaw_; }
    COrgComboBox& RollCombo() const { return *roll_; }

private:
    ExecSettings defaults_;
    std::array<CRangeEdit*, 4> threshold_{};
    std::array<CRangeEdit*, 3> minimumSize_{};
    std::array<CRangeEdit*, 3> maximumSize_{};
    COrgComboBox* yaw_;
    COrgComboBox* roll_;
    CStateBmpButton* reset_;
};

}  // namespace qzm
