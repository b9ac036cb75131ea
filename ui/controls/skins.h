// The program's own button skins, painted once on first use: rounded with a soft vertical
// gradient, in the grid layout CStateBmpButton draws (state columns by 4 rows: normal, pressed,
// disabled, unused), split into left cap, centre and right cap. Magenta marks what is not drawn.
// Also the pictures painted in the same look.
#pragma once

#include <QColor>
#include <QImage>

namespace qzm {

class CStateBmpButton;

enum class SkinKind {
    kButton,       // one state: OK, Cancel, Register and the other command buttons
    kSwitch,       // off / on: the function switches and the display toggles
    kPageButton,   // not shown / shown: "Main" and "Album"
    kPanelButton,  // idle / running: the execution panel's buttons
};

struct Skin {
    QImage left, centre, right;
    int stateCount = 1;
};

// RGB(255, 0, 255), never drawn.
inline QColor SkinKeyColor() {
    return QColor(255, 0, 255);
}

const Skin& SkinOf(SkinKind kind);

// Gives the button the skin, the key colour, the state count and readable text colours.
void ApplySkin(CStateBmpButton& button, SkinKind kind);

// The image page's picture while it has no frame to show: 320 x 176 (in device-independent pixels,
// painted at the given device pixel ratio), a dark card with a crossed-out camera and "No image",
// transparent around the card's rounded corners.
const QImage& NoImagePicture(qreal devicePixelRatio = 1.0);

}  // namespace qzm
