// The program's own pictures, painted in code so they stay sharp at any scale: the logo at the top
// right of the main window and the window icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace qzm {

// The logo at its layout size (logical pixels), painted for the given device pixel ratio.
QImage PaintLogo(qreal devicePixelRatio = 1.0);
// The mark alone, square, size x size pixels: a camera lens with a face outline.
QImage PaintMark(int size);
// The window icon in the usual sizes.
QIcon ProgramIcon();

}  // namespace qzm
