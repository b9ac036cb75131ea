#include "ui/pages/reg_preview_dlg.h"

#include <QPainter>

#include "image/img_conv.h"

namespace qzm {

namespace {
const QColor kAreaGrey(128, 128, 128);
}  // namespace

CRegPreviewDlg::CRegPreviewDlg(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    setAccessibleName(QStringLiteral("Live image"));
    surface_.Create(kAreaSide, kAreaSide, QImage::Format_RGB32, devicePixelRatioF());
    Render();
}

int CRegPreviewDlg::SetImage(const CImageData& grey) {
    if (grey.Format() != kFormatGrey8 || grey.Width() <= 0 || grey.Height() <= 0 ||
        grey.Plane(0) == nullptr) {
        return -1;
    }
    CImageData display;
    if (display.Allocate(grey.Width(), nullptr, grey.Height(), kFormatBgr24, 1) != 0) {
        return -1;
    }
    // Flipped: the drawing surface takes display images bottom up, as bitmaps store them.
    const CImgConv converter(grey.Width(), grey.Height(), grey.Format(), display.Format());
    IMGCONVINFO target = display.Info();
    if (converter.Convert(grey.Info(), &target, true) != 0) {
        return -1;
    }
    display_ = std::move(display);
    Render();
    update(kAreaX, kAreaY, kAreaSide, kAreaSide);
    return 0;
}

void CRegPreviewDlg::Render() {
    if (!surface_.Painter().isActive()) {
        return;
    }
    surface_.Painter().fillRect(0, 0, kAreaSide, kAreaSide, kAreaGrey);
    surface_.DrawImage(display_);  // draws nothing before the first frame
}

void CRegPreviewDlg::paintEvent(QPaintEvent*) {
    // Another screen's ratio: the last frame is drawn again on a surface made for it.
    if (surface_.MatchDevicePixelRatio(devicePixelRatioF())) {
        Render();
    }
    QPainter painter(this);
    painter.drawImage(kAreaX, kAreaY, surface_.Surface());
}

}  // namespace qzm
