// The registration preview's backdrop: a surface filled with one colour, with an optional
// background picture centred on it whose key-colour pixels let the fill show through.
#pragma once

#include <QImage>
#include <QRgb>

namespace qzm {

class CAlphaDC {
public:
    CAlphaDC() = default;
    virtual ~CAlphaDC() = default;
    CAlphaDC(const CAlphaDC&) = delete;
    CAlphaDC& operator=(const CAlphaDC&) = delete;

    // The picture drawn by Create (null: none) and its transparent colour (alpha ignored). The
    // picture is not owned and must stay alive until Create has run.
    void SetBackground(const QImage* picture, QRgb keyColour) {
        picture_ = picture;
        keyColour_ = keyColour;
    }

    // Makes a width x height surface filled with RGB(49, 106, 197) and draws the background
    // picture centred at its own size, cut by the surface where it is larger. Replaces an earlier
    // surface. Returns 1, or 0 with no surface when the size is not positive. With a device pixel
    // ratio above 1 the surface holds that many pixels per unit each way, for a dense screen: sizes
    // stay in units, and the picture's own size is its device-independent size.
    int Create(int width, int height, qreal devicePixelRatio = 1.0);

    QRgb FillColour() const { return fillColour_; }
    // The surface, 32-bit, at the ratio given to Create; null before Create.
    QImage& Surface() { return surface_; }
    const QImage& Surface() const { return surface_; }

private:
    QImage surface_;
    const QImage* picture_ = nullptr;
    QRgb keyColour_ = qRgb(255, 0, 255);
    QRgb fillColour_ = 0;
};

}  // namespace qzm
