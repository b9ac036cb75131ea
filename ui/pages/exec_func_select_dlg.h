// The ten function switches of the execution panel: Human Body, Hand and Face in the outer group,
// the seven face estimations in an inner group that is greyed while Face is off (their states stay).
#pragma once

#include <QGroupBox>
#include <array>

#include "device/qzm_results.h"

namespace qzm {

class CStateBmpButton;

using FunctionSwitches = std::array<bool, kFunctionCount>;

class CExecFuncSelectDlg : public QWidget {
    Q_OBJECT

public:
    explicit CExecFuncSelectDlg(QWidget* parent = nullptr);

    // Sets every switch; the estimations are enabled only when Face is on.
    void SetFunctions(const FunctionSwitches& functions);
    // The switches as they stand.
    FunctionSwitches Switches() const;
    // What an execution asks for: the estimations only together with Face.
    FunctionSwitches Requested() const;

    CStateBmpButton* Switch(int index) const { return switches_[index]; }

signals:
    // A switch was flipped by the user.
    void Changed();

private:
    void Flip(int index);
    void EnableEstimations();

    std::array<CStateBmpButton*, kFunctionCount> switches_{};
};

}  // namespace qzm
