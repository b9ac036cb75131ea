#include "ui/controls/range_edit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace qzm {

CRangeEdit::CRangeEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this] { Check(Moment::kTyping); });
}

void CRangeEdit::SetValue(int value) {
    setText(QString::number(value));
}

int CRangeEdit::TextValue() const {
    // Like the C library's atoi: blanks, an optional sign, then digits; saturates instead of
    // overflowing, so a long run of digits reads as a value above any maximum.
    const QString s = text();
    int i = 0;
    while (i < s.size() && (s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('\t'))) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t value = 0;
    for (; i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'); ++i) {
        value = std::min<std::int64_t>(value * 10 + (s[i].unicode() - '0'), std::int64_t{INT_MAX} + 1);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

int CRangeEdit::GetValue() const {
    const int value = TextValue();
    return value < range_.min ? range_.min : value > range_.max ? range_.max : value;
}

bool CRangeEdit::InRange() const {
    const int value = TextValue();
    return !text().isEmpty() && value >= range_.min && value <= range_.max;
}

void CRangeEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    Check(Moment::kLeaving);
}

void CRangeEdit::Check(Moment moment) {
    if (reentry_) {
        return;
    }
    if (rangeSet_ && !InRange()) {
        reentry_ = true;
        const int caret = cursorPosition();
        if (text().isEmpty()) {
            SetValue(range_.min);
        } else if (TextValue() > range_.max) {
            SetValue(range_.max);
        } else if (moment == Moment::kLeaving) {
            SetValue(range_.min);
        }
        setCursorPosition(std::min(caret, static_cast<int>(text().size())));
        reentry_ = false;
    }
    emit RangeChecked(this);
}

}  // namespace qzm
