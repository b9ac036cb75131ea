#include "ui/dialogs/request_dlg.h"

#include <QCloseEvent>
#include <QPainter>
#include <QTimer>

namespace qzm {

CRequestDlg::CRequestDlg(CDeviceWorker& worker, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), worker_(worker) {
    setModal(true);
}

void CRequestDlg::SetRequest(std::function<void()> request) {
    request_ = std::move(request);
}

void CRequestDlg::PostClose() {
    calls_.Post([this] {
        if (!workPending_) {
            done(0);
        }
    });
}

void CRequestDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (request_) {
        // Started from the event loop, so that the dialog is on screen before the work begins.
        QTimer::singleShot(0, this, std::exchange(request_, nullptr));
    }
}

void CRequestDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void CRequestDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Without a caption the dialog draws its own thin frame.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QFont CRequestDlg::TextFont() const {
    QFont big = font();
    big.setBold(true);
    if (big.pixelSize() > 0) {
        big.setPixelSize(big.pixelSize() * 3);
    } else {
        big.setPointSizeF(big.pointSizeF() * 3);
    }
    return big;
}

void CRequestDlg::FinishWork() {
    workPending_ = false;
    WorkEnded();
    done(0);
}

}  // namespace qzm
