// The image page: the last camera frame with the results of the same execution drawn over it, and
// one toggle per function to show or hide that function's overlay. Between executions it keeps the
// frame, the results and the toggles, so a toggle redraws the last execution without a new one.
// Everything here runs on the window thread.
#pragma once

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QRect>
#include <QScrollBar>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "device/qzm_results.h"
#include "image/image_data.h"
#include "present/result_dc.h"
#include "ui/controls/org_combo_box.h"
#include "ui/controls/state_bmp_button.h"

namespace qzm {

// What the picture's menu saves: the frame alone or the picture with the results drawn over it.
enum class ImageSave { kFrame, kWithResults };

class CImageDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSurfaceSize = 320;
    static constexpr int kToggleWidth = 96;
    static constexpr int kToggleHeight = 24;
    // Width of the module's 640 x 480 result coordinates until the owner sets those of the
    // connected model.
    static constexpr int kDefaultCoordinateWidth = 640;

    explicit CImageDlg(QWidget* parent = nullptr);

    // One execution: the module's frame (8-bit grey; 0 x 0 when none was taken), the functions that
    // were on, and the decoded results (null: none). Everything is copied. A frame that cannot be
    // shown leaves the placeholder under the new results, never the previous frame. The toggles of
    // the functions that were off are disabled and their overlays not drawn.
    void SetImage(const CImageData& grey, const FunctionSwitches& functions, const CExecResult* result);

    // The module's result coordinate space; sizes that are not positive are ignored. Module
    // coordinates scale by the frame's larger side over the coordinate width.
    void SetCoordinateSpace(int width, int height);
    // Registered users, for the names of recognised faces.
    void SetUserList(std::vector<UserName> users);
    const std::vector<UserName>& UserList() const { return resultDC_.UserList(); }

    // "Display image", checked at start; the owner publishes it for the execution worker.
    bool DisplayImageChecked() const { return displayImage_->isChecked(); }
    void SetDisplayImageChecked(bool checked) { displayImage_->setChecked(checked); }

    // Whether function index's overlay is wanted (toggle on); drawn only while its toggle is enabled.
    bool DisplayState(int index) const { return displayStates_.at(index); }
    CStateBmpButton* Toggle(int index) const { return toggles_.at(index); }
    // Where the 320 x 320 picture is shown, in page coordinates, and the control that shows it.
    QRect PictureArea() const { return pictureArea_; }
    QWidget& Picture() const;

    // Whether a frame is shown (not the placeholder).
    bool ShowsFrame() const { return display_.Width() > 0; }
    // The frame as the module sent it, upright, 8-bit grey; null while none is shown.
    QImage Frame() const;
    // The frame's part of the picture with the results drawn over it, as shown: in screen pixels,
    // so twice the shown size on a screen of device pixel ratio 2; null while no frame is shown.
    QImage ShownPicture();
    // The picture's menu: save the frame, or the frame with the results; both ask the owner
    // (SaveImageRequested) and are disabled while no frame is shown.
    std::unique_ptr<QMenu> BuildPictureMenu();

    QSize sizeHint() const override { return pageSize_; }

signals:
    // "Save image..." and "Save image with results..." of the picture's menu.
    void SaveImageRequested(ImageSave which);
    void DisplayImageChanged(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class CPictureView;

    void CreateControls();
    void LayOut();
    void OnToggle(int index);
    // Converts the grey frame into the bottom-up display image; false (display image emptied)
    // when there is no frame or it cannot be converted.
    bool TakeFrame(const CImageData& grey);
    void Invalidate();

    // The surface at the screen's device pixel ratio, drawn again when it changed.
    void PrepareSurface(qreal devicePixelRatio);
    // The surface in layers: grey ground, the frame or the placeholder, then the results.
    void RenderSurface();
    // Draws the frame or the placeholder and returns the factor from module coordinates to image
    // pixels.
    double DrawPicture();
    void DrawOverlay(double factor);

    CQZMResultDC resultDC_;
    bool surfaceStale_ = true;  // the results, frame or toggles changed since the last render
    CImageData display_;        // 24-bit, padded rows, bottom-up: what is drawn; empty: placeholder
    CExecResult results_;
    std::array<int, kFunctionCount> displayStates_{};
    int coordinateWidth_ = kDefaultCoordinateWidth;

    QLabel* resultDisplay_ = nullptr;
    QLabel* displayOnOff_ = nullptr;
    QCheckBox* displayImage_ = nullptr;
    COrgComboBox* zoom_ = nullptr;
    QScrollBar* horizontalScroll_ = nullptr;
    QScrollBar* verticalScroll_ = nullptr;
    CPictureView* picture_ = nullptr;
    std::array<CStateBmpButton*, kFunctionCount> toggles_{};
    QRect pictureArea_;
    QSize pageSize_;
};

}  // namespace qzm
