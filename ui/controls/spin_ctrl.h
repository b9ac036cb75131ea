// Up and down arrows attached to a range edit, like a spin box: they sit inside the edit at its
// right edge, step the edit's value within the edit's range and write it back as a plain number.
// The Up and Down keys step by 1 and Page Up and Page Down by 10 while the edit has the focus;
// holding an arrow repeats. An arrow is greyed while the value is at that end of the range.
#pragma once

#include <QToolButton>
#include <QWidget>

namespace qzm {

class CRangeEdit;

class CSpinCtrl : public QWidget {
    Q_OBJECT

public:
    // Attaches itself to buddy (as its child) and takes the buddy's range. The arrows are named
    // after the buddy: "<buddy's accessible name> up" and "... down".
    explicit CSpinCtrl(CRangeEdit& buddy);

    // Adds steps to the buddy's value (out-of-range text counts as the nearer end) and clamps.
    void StepBy(int steps);

    QToolButton* UpArrow() const { return up_; }
    QToolButton* DownArrow() const { return down_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    void UpdateArrows();

    CRangeEdit& buddy_;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace qzm
