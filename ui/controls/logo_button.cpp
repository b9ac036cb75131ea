#include "ui/controls/logo_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

#include "ui/controls/artwork.h"

namespace qzm {

namespace {
constexpr int kClickSlack = 5;  // a press that moves further is not a click
}  // namespace

CLogoButton::CLogoButton(QWidget* parent) : QWidget(parent), logo_(PaintLogo(devicePixelRatioF())) {
    setAccessibleName(QStringLiteral("Logo"));
    setAccessibleDescription(QStringLiteral("Shows the module's firmware version"));
    setFixedSize(sizeHint());
}

QSize CLogoButton::sizeHint() const {
    return logo_.deviceIndependentSize().toSize();
}

void CLogoButton::paintEvent(QPaintEvent*) {
    // Sharp on a screen of another pixel ratio too: the logo is painted anew for it.
    if (!qFuzzyCompare(logo_.devicePixelRatio(), devicePixelRatioF()))
        logo_ = PaintLogo(devicePixelRatioF());
    QPainter painter(this);
    painter.drawImage(rect(), logo_);
}

void CLogoButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    pressPoint_ = event->position().toPoint();
    event->accept();
}

void CLogoButton::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_) {
        const QPoint moved = event->position().toPoint() - pressPoint_;
        if (std::abs(moved.x()) > kClickSlack || std::abs(moved.y()) > kClickSlack)
            pressed_ = false;
    }
    QWidget::mouseMoveEvent(event);
}

void CLogoButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    event->accept();
    emit clicked();
}

}  // namespace qzm
