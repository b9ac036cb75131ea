// A button drawn from a skin: each bitmap is a grid of state columns by 4 rows (normal, pressed,
// disabled, unused). The owner picks the column with SetState (two states make an on/off switch).
// Optional left and right caps keep rounded ends unstretched; pixels of the transparent colour
// are not drawn. Assistive tools see a push button, checkable when it is a switch; its action is a
// click.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

namespace qzm {

class CStateBmpButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CStateBmpButton(const QString& caption = QString(), QWidget* parent = nullptr);

    // Sets the text and the accessible name together.
    void SetCaption(const QString& caption);

    // Nothing is drawn while centre is null; null caps are left out.
    void SetBitmaps(const QImage& centre, const QImage& left = QImage(), const QImage& right = QImage());
    // An invalid colour draws the bitmaps opaque.
    void SetTransparentColor(const QColor& key) {
        key_ = key;
        update();
    }
    // Invalid colours take the palette's button text and grey text.
    void SetTextColors(const QColor& text, const QColor& disabledText);
    // Multi-line wraps from the top left; otherwise one line placed by alignment (default centred).
    void SetTextStyle(Qt::Alignment alignment, bool multiLine = false);

    // Two states make the button checkable: state 1 is reported as checked (to assistive tools too).
    // A one-shot button that only borrows a two-state skin's look is made uncheckable afterwards.
    void SetStateCount(int count);
    int StateCount() const { return stateCount_; }
    // Column to draw, 0 .. StateCount() - 1; redraws the button.
    void SetState(int state);
    int State() const { return state_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The checked state follows SetState only, so a click never changes it behind the owner's back.
    void nextCheckState() override {}
    // Enter presses the button like Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage Cell(const QImage& bitmap, int row) const;

    QImage centre_, left_, right_;
    QColor key_;
    QColor text_, disabledText_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
    bool multiLine_ = false;
    int stateCount_ = 1;
    int state_ = 0;
};

}  // namespace qzm
