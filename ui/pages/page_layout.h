// Spacing and captions shared by the settings dialog and its pages. Every control carries an
// accessible name equal to its caption, so that screen readers and tests find it by what the
// user reads.
#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QString>

namespace qzm {

// A page's content starts this far from its edges.
inline constexpr int kPageMargin = 16;
// Between neighbouring groups, rows and buttons.
inline constexpr int kGap = 8;

inline void SetCaption(QAbstractButton& button, const QString& caption) {
    button.setText(caption);
    button.setAccessibleName(caption);
}

inline void SetCaption(QGroupBox& group, const QString& caption) {
    group.setTitle(caption);
    group.setAccessibleName(caption);
}

inline QLabel* MakeLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAccessibleName(caption);
    return label;
}

}  // namespace qzm
