// The strip of a user's registered faces under the album page: up to ten 64 x 64 cells side by
// side on white, a click (or an arrow key) selects one face for "Delete", and "Delete All" asks for all of
// them. The strip scrolls sideways when the page is narrower than the faces shown. It is drawn at
// the screen's device pixel ratio.
#pragma once

#include <QImage>
#include <QScrollBar>
#include <QWidget>
#include <span>
#include <vector>

#include "core/demo_controller.h"
#include "present/alpha_dc.h"
#include "ui/controls/state_bmp_button.h"

namespace qzm {

class CRegistImgPage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCellSide = 64;
    static constexpr int kCellPitch = 72;
    static constexpr int kCellLeft = 8;
    static constexpr int kCellTop = 24;
    static constexpr int kStripHeight = 112;
    static constexpr int kFrame = 2;  // raised outer edge, sunken inner edge
    static constexpr int kLineStep = 4;
    static constexpr int kPageStep = 12;
    static constexpr int kHighlightAlpha = 128;

    explicit CRegistImgPage(int maxData = 10, QWidget* parent = nullptr);
    ~CRegistImgPage() override;

    // Shows a user's faces: entry i in cell i, entries with data number -1 left empty (the
    // controller's image slots, 64 x 64, 24-bit or 8-bit grey, rows top down), an unreadable one
    // crossed out (it can be selected and deleted). Copies what it shows; clears the selection;
    // "Delete All" is enabled when a face is shown.
    void ShowImages(std::span<const CDemoController::ImageSlot> images);
    // Shows no face; both buttons disabled.
    void Clear();

    // Data number of the selected face; -1 when none is selected.
    int SelectedDataNumber() const;
    int SelectedCell() const { return selected_; }
    int ShownCount() const { return shownCount_; }

    // The strip as shown, in its frame ("Registered images").
    QWidget& StripView();
    // The faces and the highlight as drawn, at the device pixel ratio of the last paint.
    const QImage& Strip() const { return strip_; }
    QScrollBar& ScrollBar() { return *scroll_; }
    CStateBmpButton& DeleteButton() { return *delete_; }
    CStateBmpButton& DeleteAllButton() { return *deleteAll_; }

    QSize sizeHint() const override;

signals:
    void DeleteClicked();
    void DeleteAllClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class CStripView;
    friend class CStripView;

    struct Cell {
        int dataNumber = -1;
        QImage face;
    };

    void LayOutChildren();
    // The strip and the highlight at this device pixel ratio, not yet painted.
    void MakeSurfaces(qreal devicePixelRatio);
    // Makes the surfaces anew and paints them when the ratio differs (another screen).
    void PrepareStrip(qreal devicePixelRatio);
    // PaintStrip, then the view.
    void Redraw();
    // The faces and the highlight into the strip.
    void PaintStrip();
    void UpdateScrollBar();
    void SelectAt(QPoint viewPoint);
    // Selects the next face shown in the direction of step (+1 right, -1 left), if there is one.
    void SelectNext(int step);
    int VisibleWidth() const;

    const int cellCount_;
    std::vector<Cell> cells_;
    int shownCount_ = 0;
    int selected_ = -1;
    QImage strip_;
    QImage highlightMark_;
    CAlphaDC highlight_;
    CStripView* view_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    CStateBmpButton* delete_ = nullptr;
    CStateBmpButton* deleteAll_ = nullptr;
};

}  // namespace qzm
