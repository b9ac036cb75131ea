// A numeric edit that keeps its value inside a CRange: a value above the maximum is replaced by the
// maximum as soon as it is typed, an emptied field by the minimum; a value below the minimum is
// left while typing (more digits may follow) and raised to the minimum when the focus leaves.
#pragma once

#include <QLineEdit>

#include "device/exec_settings.h"

namespace qzm {

class CRangeEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CRangeEdit(QWidget* parent = nullptr);

    void SetRange(const CRange& range) {
        range_ = range;
        rangeSet_ = true;
    }
    const CRange& Range() const { return range_; }

    // Writes value as decimal text, as it is.
    void SetValue(int value);
    // The text's leading number (0 when there is none), clamped into the range.
    int GetValue() const;
    // The text is not empty and its leading number lies in the range.
    bool InRange() const;

signals:
    // After every check of the text, while typing and on leaving the field.
    void RangeChecked(qzm::CRangeEdit* edit);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class Moment { kTyping, kLeaving };
    void Check(Moment moment);
    int TextValue() const;

    CRange range_;
    bool rangeSet_ = false;  // until its page sets a range the edit corrects nothing
    bool reentry_ = false;   // set while Check writes the text back
};

}  // namespace qzm
