// The program's logo in the main window's top right corner. A click on it (a press and release
// that moves no more than a few pixels) asks for the module's firmware version.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace qzm {

class CLogoButton : public QWidget {
    Q_OBJECT

public:
    explicit CLogoButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage logo_;  // drawn at the device pixel ratio of the last paint
    bool pressed_ = false;
    QPoint pressPoint_;
};

}  // namespace qzm
