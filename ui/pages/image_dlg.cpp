#include "ui/pages/image_dlg.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>

#include "image/img_conv.h"
#include "present/overlay_geometry.h"
#include "ui/controls/skins.h"
#include "ui/controls/ui_text.h"
#include "ui/pages/page_keys.h"

namespace qzm {

namespace {

constexpr int kMargin = 8;
constexpr int kGap = 8;
constexpr int kToggleGap = 2;
constexpr int kTogglesPerRow = 5;
const QColor kSurfaceGround(128, 128, 128);
const QColor kPictureFrame(0x8a, 0x94, 0xa3);

// Texts of the page itself.
const char* const kTextResultDisplay = "Result display";
const char* const kTextDisplayOnOff = "Display ON/OFF";
const char* const kTextDisplayImage = "Display image";
const char* const kTextZoom = "Zoom";
const char* const kTextFullSize = "100%";
const char* const kTextPicture = "Picture";
const char* const kTextSaveImage = "Save image...";
const char* const kTextSaveWithResults = "Save image with results...";
constexpr int kFullSizePercent = 100;

}  // namespace

// The surface at its place on the page. It takes focus from the keyboard, so that its menu opens
// with the menu key as well as with a right click.
class CImageDlg::CPictureView : public QWidget {
public:
    explicit CPictureView(CImageDlg& page) : QWidget(&page), page_(page) {
        setAccessibleName(QString::fromUtf8(kTextPicture));
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        page_.PrepareSurface(devicePixelRatioF());
        if (page_.surfaceStale_) {
            page_.RenderSurface();
        }
        QPainter painter(this);
        painter.drawImage(rect(), page_.resultDC_.Surface());
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        page_.BuildPictureMenu()->exec(event->globalPos());
    }
    // The page draws the focus mark around the picture.
    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        page_.update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QWidget::focusOutEvent(event);
        page_.update();
    }

private:
    CImageDlg& page_;
};

CImageDlg::CImageDlg(QWidget* parent) : QWidget(parent) {
    displayStates_.fill(1);
    resultDC_.Create(kSurfaceSize, kSurfaceSize, QImage::Format_RGB32, devicePixelRatioF());
    CreateControls();
    LayOut();
}

QWidget& CImageDlg::Picture() const {
    return *picture_;
}

void CImageDlg::CreateControls() {
    resultDisplay_ = new QLabel(QString::fromUtf8(kTextResultDisplay), this);
    resultDisplay_->setAccessibleName(resultDisplay_->text());
    displayOnOff_ = new QLabel(QString::fromUtf8(kTextDisplayOnOff), this);
    displayOnOff_->setAccessibleName(displayOnOff_->text());

    displayImage_ = new QCheckBox(QString::fromUtf8(kTextDisplayImage), this);
    displayImage_->setAccessibleName(displayImage_->text());
    displayImage_->setChecked(true);
    connect(displayImage_, &QCheckBox::toggled, this, &CImageDlg::DisplayImageChanged);

    // The picture is always shown at its full size: the zoom and the scroll bars are there but
    // not in use.
    zoom_ = new COrgComboBox(this);
    zoom_->setAccessibleName(QString::fromUtf8(kTextZoom));
    zoom_->addItem(QString::fromUtf8(kTextFullSize), kFullSizePercent);
    zoom_->SelectByItemData(kFullSizePercent);
    zoom_->setEnabled(false);
    horizontalScroll_ = new QScrollBar(Qt::Horizontal, this);
    horizontalScroll_->hide();
    verticalScroll_ = new QScrollBar(Qt::Vertical, this);
    verticalScroll_->hide();
    picture_ = new CPictureView(*this);

    for (int i = 0; i < kFunctionCount; ++i) {
        auto* toggle = new CStateBmpButton(FunctionCaption(i), this);
        ApplySkin(*toggle, SkinKind::kSwitch);
        toggle->setFixedSize(kToggleWidth, kToggleHeight);
        toggle->SetState(displayStates_[i]);
        toggle->setEnabled(false);
        connect(toggle, &CStateBmpButton::clicked, this, [this, i] { OnToggle(i); });
        toggles_[i] = toggle;
    }
}

void CImageDlg::LayOut() {
    const int rowWidth = kTogglesPerRow * kToggleWidth + (kTogglesPerRow - 1) * kToggleGap;

    // Top row: the page's title on the left, the display choices on the right.
    const QSize title = resultDisplay_->sizeHint();
    const QSize check = displayImage_->sizeHint();
    const QSize zoom = zoom_->sizeHint();
    const int topRow = std::max({title.height(), check.height(), zoom.height()});
    resultDisplay_->setGeometry(kMargin, kMargin + (topRow - title.height()) / 2, title.width(),
                                title.height());
    const int zoomLeft = kMargin + rowWidth - zoom.width();
    zoom_->setGeometry(zoomLeft, kMargin + (topRow - zoom.height()) / 2, zoom.width(), zoom.height());
    displayImage_->setGeometry(zoomLeft - kGap - check.width(), kMargin + (topRow - check.height()) / 2,
                               check.width(), check.height());

    // The picture, centred over the toggles.
    const int pictureTop = kMargin + topRow + kGap;
    pictureArea_ = QRect(kMargin + (rowWidth - kSurfaceSize) / 2, pictureTop, kSurfaceSize, kSurfaceSize);
    picture_->setGeometry(pictureArea_);
    horizontalScroll_->setGeometry(pictureArea_.left(), pictureArea_.bottom() + 1, kSurfaceSize,
                                   horizontalScroll_->sizeHint().height());
    verticalScroll_->setGeometry(pictureArea_.right() + 1, pictureTop, verticalScroll_->sizeHint().width(),
                                 kSurfaceSize);

    const QSize onOff = displayOnOff_->sizeHint();
    const int onOffTop = pictureArea_.bottom() + 1 + kGap;
    displayOnOff_->setGeometry(kMargin, onOffTop, onOff.width(), onOff.height());

    const int togglesTop = onOffTop + onOff.height() + kToggleGap * 2;
    for (int i = 0; i < kFunctionCount; ++i) {
        const int column = i % kTogglesPerRow;
        const int row = i / kTogglesPerRow;
        toggles_[i]->move(kMargin + column * (kToggleWidth + kToggleGap),
                          togglesTop + row * (kToggleHeight + kToggleGap));
    }
    const int rows = (kFunctionCount + kTogglesPerRow - 1) / kTogglesPerRow;
    pageSize_ = QSize(kMargin + rowWidth + kMargin,
                      togglesTop + rows * kToggleHeight + (rows - 1) * kToggleGap + kMargin);
    setMinimumSize(pageSize_);
    resize(pageSize_);
}

void CImageDlg::SetImage(const CImageData& grey, const FunctionSwitches& functions,
                         const CExecResult* result) {
    Q_ASSERT(QThread::currentThread() == thread());
    TakeFrame(grey);
    results_ = result != nullptr ? *result : CExecResult{};
    for (int i = 0; i < kFunctionCount; ++i) {
        toggles_[i]->setEnabled(functions[i]);
    }
    Invalidate();
}

bool CImageDlg::TakeFrame(const CImageData& grey) {
    const int width = grey.Width();
    const int height = grey.Height();
    if (grey.Format() != kFormatGrey8 || width <= 0 || height <= 0 || grey.Plane(0) == nullptr ||
        display_.Allocate(width, nullptr, height, kFormatBgr24, 0) != 0) {
        display_ = CImageData();
        return false;
    }
    // The surface takes rows bottom-up, as a device-independent bitmap: the converter flips them.
    const CImgConv converter(width, height, kFormatGrey8, kFormatBgr24);
    IMGCONVINFO target = display_.Info();
    if (converter.Convert(grey.Info(), &target, true) != 0) {
        display_ = CImageData();
        return false;
    }
    return true;
}

void CImageDlg::SetCoordinateSpace(int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    coordinateWidth_ = width;
    Invalidate();
}

void CImageDlg::SetUserList(std::vector<UserName> users) {
    resultDC_.SetUserList(std::move(users));
    Invalidate();
}

void CImageDlg::OnToggle(int index) {
    displayStates_[index] = displayStates_[index] == 1 ? 0 : 1;
    toggles_[index]->SetState(displayStates_[index]);
    Invalidate();
}

void CImageDlg::Invalidate() {
    surfaceStale_ = true;
    picture_->update();
}

QImage CImageDlg::Frame() const {
    if (!ShowsFrame()) {
        return {};
    }
    // The display image holds the grey values in all three channels, rows bottom-up.
    const QImage stored(display_.Plane(0), display_.Width(), display_.Height(), display_.Stride(0),
                        QImage::Format_BGR888);
    return stored.mirrored().convertToFormat(QImage::Format_Grayscale8);
}

QImage CImageDlg::ShownPicture() {
    if (!ShowsFrame()) {
        return {};
    }
    PrepareSurface(picture_->devicePixelRatioF());
    if (surfaceStale_) {
        RenderSurface();
    }
    const std::optional<ImageFit> fit =
        FitImage(kSurfaceSize, kSurfaceSize, display_.Width(), display_.Height());
    if (!fit) {
        return {};
    }
    const qreal ratio = resultDC_.DevicePixelRatio();
    const QRectF area(fit->offsetX * ratio, fit->offsetY * ratio, fit->width * ratio, fit->height * ratio);
    QImage shown = resultDC_.Surface().copy(area.toAlignedRect());
    shown.setDevicePixelRatio(1.0);
    return shown;
}

std::unique_ptr<QMenu> CImageDlg::BuildPictureMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const std::pair<const char*, ImageSave> items[] = {{kTextSaveImage, ImageSave::kFrame},
                                                       {kTextSaveWithResults, ImageSave::kWithResults}};
    for (const auto& [text, which] : items) {
        QAction* action = menu->addAction(QString::fromUtf8(text), this,
                                          [this, which = which] { emit SaveImageRequested(which); });
        action->setEnabled(ShowsFrame());
    }
    return menu;
}

void CImageDlg::PrepareSurface(qreal devicePixelRatio) {
    if (resultDC_.MatchDevicePixelRatio(devicePixelRatio)) {
        surfaceStale_ = true;
    }
}

void CImageDlg::RenderSurface() {
    QPainter& painter = resultDC_.Painter();
    painter.setFont(font());
    painter.fillRect(0, 0, kSurfaceSize, kSurfaceSize, kSurfaceGround);
    DrawOverlay(DrawPicture());
    surfaceStale_ = false;
}

double CImageDlg::DrawPicture() {
    if (display_.Width() > 0 && resultDC_.DrawImage(display_) == 0) {
        return static_cast<double>(std::max(display_.Width(), display_.Height())) / coordinateWidth_;
    }
    resultDC_.SetScale(1.0);
    const QImage& placeholder = NoImagePicture(resultDC_.DevicePixelRatio());
    const QSize size = placeholder.deviceIndependentSize().toSize();
    const OverlayRect at = CentredPicture(kSurfaceSize, kSurfaceSize, size.width(), size.height());
    resultDC_.Painter().drawImage(QPoint(at.x, at.y), placeholder);
    // Results without a frame go where a full-width frame would show them.
    return static_cast<double>(kSurfaceSize) / coordinateWidth_;
}

void CImageDlg::DrawOverlay(double factor) {
    bool flags[kFunctionCount];
    for (int i = 0; i < kFunctionCount; ++i) {
        flags[i] = displayStates_[i] == 1 && toggles_[i]->isEnabledTo(this);
    }
    resultDC_.DrawResults(flags, factor, results_);
}

void CImageDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (picture_->hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(pictureArea_).adjusted(-1, -1, 1, 1));
    } else {
        painter.setPen(kPictureFrame);
        painter.drawRect(pictureArea_.adjusted(-1, -1, 0, 0));
    }
}

void CImageDlg::keyPressEvent(QKeyEvent* event) {
    if (!SwallowCloseKey(*event)) {
        QWidget::keyPressEvent(event);
    }
}

}  // namespace qzm
