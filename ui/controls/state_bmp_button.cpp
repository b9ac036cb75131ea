#include "ui/controls/state_bmp_button.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace qzm {

namespace {
constexpr int kRows = 4;
constexpr int kNormalRow = 0;
constexpr int kPressedRow = 1;
constexpr int kDisabledRow = 2;

// What assistive tools see of a skinned button. Qt's own interface for a checkable button offers a
// "Toggle" that flips the checked state without a click, which the owner never hears of; here every
// action is a click, and the role and state say whether it is a one-shot button or a switch.
class AccessibleStateButton : public QAccessibleWidget {
public:
    explicit AccessibleStateButton(CStateBmpButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const CStateBmpButton& button = Button();
        state.pressed = button.isDown();
        state.checkable = button.isCheckable();
        state.checked = button.isChecked();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << ClickAction();
        return names << QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        // Either name is a click, whichever the tool asks for.
        if (actionName != pressAction() && actionName != toggleAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        // Only where a mouse click could reach the button: not behind another window's modal dialog.
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != widget()->window())
            return;
        // Pressed and released like a click, but later: the click may open a dialog with an event
        // loop of its own, and the assistive tool is waiting for this call to return.
        Button().animateClick();
    }

private:
    CStateBmpButton& Button() const { return *static_cast<CStateBmpButton*>(widget()); }
    QString ClickAction() const { return Button().isCheckable() ? toggleAction() : pressAction(); }
};

QAccessibleInterface* MakeAccessibleStateButton(const QString& className, QObject* object) {
    if (className != QLatin1String(CStateBmpButton::staticMetaObject.className()) || !object->isWidgetType())
        return nullptr;
    return new AccessibleStateButton(static_cast<CStateBmpButton*>(object));
}

}  // namespace

CStateBmpButton::CStateBmpButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    [[maybe_unused]] static const bool accessible =
        (QAccessible::installFactory(&MakeAccessibleStateButton), true);
    // Focus from the keyboard only, so a click leaves no focus ring on a switch.
    setFocusPolicy(Qt::TabFocus);
    SetCaption(caption);
}

void CStateBmpButton::SetCaption(const QString& caption) {
    setText(caption);
    setAccessibleName(caption);
}

void CStateBmpButton::SetBitmaps(const QImage& centre, const QImage& left, const QImage& right) {
    centre_ = centre;
    left_ = left;
    right_ = right;
    update();
}

void CStateBmpButton::SetTextColors(const QColor& text, const QColor& disabledText) {
    text_ = text;
    disabledText_ = disabledText;
    update();
}

void CStateBmpButton::SetTextStyle(Qt::Alignment alignment, bool multiLine) {
    alignment_ = alignment;
    multiLine_ = multiLine;
    update();
}

void CStateBmpButton::SetStateCount(int count) {
    stateCount_ = std::max(1, count);
    setCheckable(stateCount_ == 2);
    setChecked(isCheckable() && state_ == 1);
    update();
}

void CStateBmpButton::SetState(int state) {
    state_ = state;
    if (isCheckable())
        setChecked(state_ == 1);
    update();
}

QSize CStateBmpButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 24, std::max(24, metrics.height() + 8)};
}

void CStateBmpButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (!event->isAutoRepeat()) {
            click();
        }
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QImage CStateBmpButton::Cell(const QImage& bitmap, int row) const {
    const int width = bitmap.width() / stateCount_;
    const int height = bitmap.height() / kRows;
    const int column = std::clamp(state_, 0, stateCount_ - 1);
    QImage cell =
        bitmap.copy(column * width, row * height, width, height).convertToFormat(QImage::Format_ARGB32);
    if (key_.isValid()) {
        const QRgb key = key_.rgb();
        for (int y = 0; y < cell.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
            std::replace(line, line + cell.width(), key, QRgb{0});
        }
    }
    return cell;
}

void CStateBmpButton::paintEvent(QPaintEvent*) {
    if (centre_.isNull()) {
        return;
    }
    const int row = !isEnabled() ? kDisabledRow : isDown() ? kPressedRow : kNormalRow;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    // Caps keep their proportions at the button's height; the centre fills what is left.
    QRect rest = rect();
    if (!left_.isNull()) {
        const QImage cell = Cell(left_, row);
        const int width = rest.height() * cell.width() / cell.height();
        painter.drawImage(QRect(rest.left(), rest.top(), width, rest.height()), cell);
        rest.setLeft(rest.left() + width);
    }
    if (!right_.isNull()) {
        const QImage cell = Cell(right_, row);
        const int width = rest.height() * cell.width() / cell.height();
        painter.drawImage(QRect(rest.right() + 1 - width, rest.top(), width, rest.height()), cell);
        rest.setRight(rest.right() - width);
    }
    painter.drawImage(rest, Cell(centre_, row));

    const QColor text =
        isEnabled() ? (text_.isValid() ? text_ : palette().color(QPalette::ButtonText))
                    : (disabledText_.isValid() ? disabledText_
                                               : palette().color(QPalette::Disabled, QPalette::ButtonText));
    painter.setPen(text);
    const int flags = multiLine_ ? int(Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap)
                                 : int(alignment_ | Qt::TextSingleLine);
    painter.drawText(rect(), flags, QAbstractButton::text());

    if (hasFocus()) {
        QPen ring(palette().color(QPalette::Highlight));
        ring.setWidthF(1.5);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 4, 4);
    }
}

}  // namespace qzm
