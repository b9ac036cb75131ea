#include "ui/pages/regist_img_page.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "image/img_conv.h"
#include "ui/controls/skins.h"

namespace qzm {

namespace {

constexpr int kGap = 8;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 24;

QRect CellRect(int index) {
    return {CRegistImgPage::kCellLeft + CRegistImgPage::kCellPitch * index, CRegistImgPage::kCellTop,
            CRegistImgPage::kCellSide, CRegistImgPage::kCellSide};
}

// A deep copy of a display or grey image with its rows as stored (top down); null for anything else.
QImage FaceImage(const CImageData& image) {
    const std::uint8_t* plane = image.Plane(0);
    QImage::Format format = QImage::Format_Invalid;
    if (image.Format() == kFormatBgr24) {
        format = QImage::Format_BGR888;
    } else if (image.Format() == kFormatGrey8) {
        format = QImage::Format_Grayscale8;
    }
    if (plane == nullptr || format == QImage::Format_Invalid || image.Width() <= 0 || image.Height() <= 0) {
        return {};
    }
    return QImage(plane, image.Width(), image.Height(), image.Stride(0), format).copy();
}

// Stands for a registered face whose image file cannot be read: grey, crossed out, so the user
// sees where it is and can select and delete it.
QImage PaintUnreadableFace() {
    QImage face(CRegistImgPage::kCellSide, CRegistImgPage::kCellSide, QImage::Format_RGB32);
    face.fill(QColor(0xdd, 0xdd, 0xdd));
    QPainter painter(&face);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 1));
    painter.drawRect(QRectF(face.rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(QPen(QColor(0xc0, 0x1c, 0x28), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16, 16), QPointF(48, 48));
    painter.drawLine(QPointF(48, 16), QPointF(16, 48));
    return face;
}

// Our own mark of a selected face: a white border inside the cell; the rest is key colour, so the
// highlight's fill shows there. Painted at the screen's device pixel ratio.
QImage PaintHighlightMark(qreal devicePixelRatio) {
    const int side = qRound(CRegistImgPage::kCellSide * devicePixelRatio);
    QImage mark(side, side, QImage::Format_RGB32);
    mark.setDevicePixelRatio(devicePixelRatio);
    mark.fill(SkinKeyColor());
    QPainter painter(&mark);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(QPointF(0, 0), mark.deviceIndependentSize()).adjusted(3.5, 3.5, -3.5, -3.5));
    return mark;
}

}  // namespace

// The visible part of the strip inside a bump edge; a click (button up) selects a face, and so do
// the left and right arrow keys once the strip has the focus.
class CRegistImgPage::CStripView : public QWidget {
public:
    explicit CStripView(CRegistImgPage& page) : QWidget(&page), page_(page) {
        setAccessibleName(QStringLiteral("Registered images"));
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        page_.PrepareStrip(devicePixelRatioF());
        QPainter painter(this);
        const QRect inside = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
        painter.fillRect(inside, Qt::white);
        // The strip's own pixels, one per device pixel: the source is in device pixels.
        const qreal ratio = page_.strip_.devicePixelRatio();
        const QRectF shown(page_.scroll_->value(), 0, inside.width(), inside.height());
        painter.drawImage(QRectF(inside), page_.strip_,
                          QRectF(shown.topLeft() * ratio, shown.size() * ratio));
        // Raised outer edge, sunken inner edge.
        const QPalette& colors = palette();
        const QRect outer = rect();
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        DrawEdge(painter, outer, colors.color(QPalette::Light), colors.color(QPalette::Shadow));
        DrawEdge(painter, inner, colors.color(QPalette::Dark), colors.color(QPalette::Midlight));
        if (hasFocus()) {
            painter.setPen(QPen(colors.color(QPalette::Highlight), 2));
            painter.drawRect(QRectF(inside).adjusted(1, 1, -1, -1));
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
            page_.SelectNext(event->key() == Qt::Key_Right ? 1 : -1);
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            page_.SelectAt(event->position().toPoint());
        }
    }

private:
    // Bands one unit wide rather than lines: a line is centred on its coordinate, which on a dense
    // screen puts half of it outside the frame and leaves a gap inside.
    static void DrawEdge(QPainter& painter, const QRect& r, const QColor& topLeft,
                         const QColor& bottomRight) {
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    }

    CRegistImgPage& page_;
};

CRegistImgPage::CRegistImgPage(int maxData, QWidget* parent)
    : QWidget(parent), cellCount_(std::max(1, maxData)), cells_(static_cast<std::size_t>(cellCount_)) {
    MakeSurfaces(devicePixelRatioF());

    view_ = new CStripView(*this);
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setAccessibleName(QStringLiteral("Registered images"));
    scroll_->setSingleStep(kLineStep);
    scroll_->setPageStep(kPageStep);
    QSizePolicy keepRoom = scroll_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    scroll_->setSizePolicy(keepRoom);
    connect(scroll_, &QScrollBar::valueChanged, view_, qOverload<>(&QWidget::update));

    delete_ = new CStateBmpButton(QStringLiteral("Delete"), this);
    deleteAll_ = new CStateBmpButton(QStringLiteral("Delete All"), this);
    for (CStateBmpButton* button : {delete_, deleteAll_}) {
        ApplySkin(*button, SkinKind::kButton);
    }
    connect(delete_, &QAbstractButton::clicked, this, &CRegistImgPage::DeleteClicked);
    connect(deleteAll_, &QAbstractButton::clicked, this, &CRegistImgPage::DeleteAllClicked);

    const int viewHeight = kStripHeight + 2 * kFrame;
    setFixedHeight(viewHeight + scroll_->sizeHint().height() + kGap + kButtonHeight);
    resize(sizeHint().width(), height());
    LayOutChildren();
    Clear();
}

CRegistImgPage::~CRegistImgPage() = default;

QSize CRegistImgPage::sizeHint() const {
    return {kCellPitch * cellCount_ + kCellLeft + 2 * kFrame, height()};
}

void CRegistImgPage::MakeSurfaces(qreal devicePixelRatio) {
    strip_ = QImage(qRound((kCellPitch * cellCount_ + kCellLeft) * devicePixelRatio),
                    qRound(kStripHeight * devicePixelRatio), QImage::Format_RGB32);
    strip_.setDevicePixelRatio(devicePixelRatio);
    highlightMark_ = PaintHighlightMark(devicePixelRatio);
    highlight_.SetBackground(&highlightMark_, SkinKeyColor().rgb());
    highlight_.Create(kCellSide, kCellSide, devicePixelRatio);
}

void CRegistImgPage::PrepareStrip(qreal devicePixelRatio) {
    if (strip_.devicePixelRatio() == devicePixelRatio) {
        return;
    }
    MakeSurfaces(devicePixelRatio);
    PaintStrip();
}

void CRegistImgPage::resizeEvent(QResizeEvent*) {
    LayOutChildren();
}

void CRegistImgPage::LayOutChildren() {
    const int viewHeight = kStripHeight + 2 * kFrame;
    const int scrollHeight = scroll_->sizeHint().height();
    view_->setGeometry(0, 0, width(), viewHeight);
    scroll_->setGeometry(0, viewHeight, width(), scrollHeight);
    const int buttonsY = viewHeight + scrollHeight + kGap;
    deleteAll_->setGeometry(width() - kButtonWidth, buttonsY, kButtonWidth, kButtonHeight);
    delete_->setGeometry(width() - 2 * kButtonWidth - kGap, buttonsY, kButtonWidth, kButtonHeight);
    UpdateScrollBar();
}

void CRegistImgPage::ShowImages(std::span<const CDemoController::ImageSlot> images) {
    shownCount_ = 0;
    for (int i = 0; i < cellCount_; ++i) {
        Cell& cell = cells_[static_cast<std::size_t>(i)];
        cell = Cell{};
        if (i < static_cast<int>(images.size()) && images[i].dataNumber != -1) {
            static const QImage unreadable = PaintUnreadableFace();
            cell.face = images[i].readable ? FaceImage(images[i].image) : unreadable;
            if (!cell.face.isNull()) {
                cell.dataNumber = images[i].dataNumber;
                ++shownCount_;
            }
        }
    }
    selected_ = -1;
    delete_->setEnabled(false);
    deleteAll_->setEnabled(shownCount_ > 0);
    Redraw();
    UpdateScrollBar();
}

void CRegistImgPage::Clear() {
    ShowImages({});
}

QWidget& CRegistImgPage::StripView() {
    return *view_;
}

int CRegistImgPage::SelectedDataNumber() const {
    return selected_ >= 0 ? cells_[static_cast<std::size_t>(selected_)].dataNumber : -1;
}

void CRegistImgPage::Redraw() {
    PaintStrip();
    view_->update();
}

void CRegistImgPage::PaintStrip() {
    strip_.fill(Qt::white);
    QPainter painter(&strip_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < cellCount_; ++i) {
        const Cell& cell = cells_[static_cast<std::size_t>(i)];
        if (!cell.face.isNull()) {
            painter.drawImage(CellRect(i), cell.face);
        }
    }
    if (selected_ >= 0) {
        painter.setOpacity(kHighlightAlpha / 255.0);
        painter.drawImage(CellRect(selected_), highlight_.Surface());
    }
}

int CRegistImgPage::VisibleWidth() const {
    return std::max(0, view_->width() - 2 * kFrame);
}

void CRegistImgPage::UpdateScrollBar() {
    int used = 0;
    for (int i = 0; i < cellCount_; ++i) {
        if (!cells_[static_cast<std::size_t>(i)].face.isNull()) {
            used = i + 1;
        }
    }
    // The right edge of the last face shown plus the margin.
    const int stripWidth = used > 0 ? kCellPitch * used + kCellLeft : 0;
    const int hidden = stripWidth - VisibleWidth();
    scroll_->setRange(0, std::max(0, hidden));
    scroll_->setVisible(hidden > 0);
    view_->update();
}

void CRegistImgPage::SelectNext(int step) {
    // From the selected face (or from outside the strip when none is) to the next one shown.
    int cell = selected_ >= 0 ? selected_ : (step > 0 ? -1 : cellCount_);
    for (cell += step; cell >= 0 && cell < cellCount_; cell += step) {
        if (!cells_[static_cast<std::size_t>(cell)].face.isNull()) {
            break;
        }
    }
    if (cell < 0 || cell >= cellCount_) {
        return;
    }
    selected_ = cell;
    delete_->setEnabled(true);
    // Scrolled so that the whole face is in view.
    const QRect face = CellRect(cell);
    if (face.left() - kCellLeft < scroll_->value()) {
        scroll_->setValue(face.left() - kCellLeft);
    } else if (face.right() + 1 + kCellLeft > scroll_->value() + VisibleWidth()) {
        scroll_->setValue(face.right() + 1 + kCellLeft - VisibleWidth());
    }
    Redraw();
}

void CRegistImgPage::SelectAt(QPoint viewPoint) {
    const QPoint at(viewPoint.x() - kFrame + scroll_->value(), viewPoint.y() - kFrame);
    selected_ = -1;
    for (int i = 0; i < cellCount_; ++i) {
        // Only a cell that shows a face can be selected: "Delete" with no face selected would
        // delete all of the user's faces.
        if (CellRect(i).contains(at) && !cells_[static_cast<std::size_t>(i)].face.isNull()) {
            selected_ = i;
        }
    }
    delete_->setEnabled(selected_ >= 0);
    Redraw();
}

}  // namespace qzm
