// Keys a page keeps to itself: Enter and Escape would otherwise reach the dialog around the page
// and close it.
#pragma once

#include <QKeyEvent>

namespace qzm {

// Accepts Enter and Escape and returns true; other keys are left for the default handling.
inline bool SwallowCloseKey(QKeyEvent& event) {
    const int key = event.key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event.accept();
        return true;
    }
    return false;
}

}  // namespace qzm
