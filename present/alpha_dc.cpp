#include "present/alpha_dc.h"

#include <QPainter>

#include "present/overlay_geometry.h"

namespace qzm {

int CAlphaDC::Create(int width, int height, qreal devicePixelRatio) {
    fillColour_ = qRgb(kAlphaSurfaceFill.red, kAlphaSurfaceFill.green, kAlphaSurfaceFill.blue);
    surface_ = QImage();
    if (width <= 0 || height <= 0 || !(devicePixelRatio > 0)) {
        return 0;
    }
    surface_ =
        QImage(qRound(width * devicePixelRatio), qRound(height * devicePixelRatio), QImage::Format_RGB32);
    if (surface_.isNull()) {
        return 0;
    }
    surface_.setDevicePixelRatio(devicePixelRatio);
    surface_.fill(fillColour_);
    if (picture_ == nullptr || picture_->isNull()) {
        return 1;
    }
    // Key-colour pixels become fully transparent; every other pixel is drawn opaque.
    QImage keyed = picture_->convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyColour_ & RGB_MASK;
    for (int y = 0; y < keyed.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            row[x] = (row[x] & RGB_MASK) == key ? 0 : (row[x] | ~RGB_MASK);
        }
    }
    const QSize size = keyed.deviceIndependentSize().toSize();
    const OverlayRect place = CentredPicture(width, height, size.width(), size.height());
    QPainter painter(&surface_);
    painter.drawImage(place.x, place.y, keyed);
    return 1;
}

}  // namespace qzm
