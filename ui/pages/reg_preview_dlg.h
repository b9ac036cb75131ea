// The album page's live camera image: each frame the owner hands over is converted for display and
// drawn as large as it fits into a 320 x 320 grey area, so the user can place a face before
// registering it. The picture is drawn at the screen's device pixel ratio, so a dense screen shows it
// in its own pixels.
#pragma once

#include <QWidget>

#include "image/image_data.h"
#include "present/result_dc.h"

namespace qzm {

class CRegPreviewDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kAreaX = 16;
    static constexpr int kAreaY = 8;
    static constexpr int kAreaSide = 320;
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 368;

    explicit CRegPreviewDlg(QWidget* parent = nullptr);

    // Converts an 8-bit grey camera frame (rows top down) into a 24-bit display copy and repaints. -1, the
    // picture unchanged, for an empty frame or another format. Window thread only: frames from the preview
    // worker arrive as copies in posted events.
    int SetImage(const CImageData& grey);

    // The display copy of the last frame taken (24-bit, rows bottom up).
    const CImageData& DisplayImage() const { return display_; }
    // The picture area as drawn, at the device pixel ratio of the last paint.
    const QImage& Surface() const { return surface_.Surface(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The grey area with the last frame taken, if any.
    void Render();

    CImageData display_;
    CResultDC surface_;
};

}  // namespace qzm
