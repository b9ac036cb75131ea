#include "present/result_dc.h"

#include <QColor>
#include <QFontMetrics>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <QVarLengthArray>
#include <array>
#include <cstring>
#include <optional>

#include "image/img_conv.h"

namespace qzm {

namespace {

QColor ToQColor(const OverlayColour& colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

QPen SolidPen(const OverlayColour& colour) {
    return QPen(ToQColor(colour), 1, Qt::SolidLine);
}

QPoint ToQPoint(const OverlayPoint& point) {
    return QPoint(point.x, point.y);
}

QRect ToQRect(const OverlayRect& rect) {
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

QLine ToQLine(const OverlaySegment& segment) {
    return QLine(ToQPoint(segment.from), ToQPoint(segment.to));
}

// CImageData format with the surface's memory layout; 0 when there is none.
int ImageFormatOf(QImage::Format format) {
    switch (format) {
        case QImage::Format_RGB16:
            return kFormatColour16;
        case QImage::Format_BGR888:
            return kFormatBgr24;
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return kFormatColour32;
        default:
            return 0;
    }
}

}  // namespace

CResultDC::~CResultDC() {
    Release();
}

int CResultDC::Create(int width, int height, QImage::Format format, qreal devicePixelRatio) {
    if (!surface_.isNull() || width <= 0 || height <= 0 || !(devicePixelRatio > 0)) {
        return 0;
    }
    surface_ = QImage(qRound(width * devicePixelRatio), qRound(height * devicePixelRatio), format);
    surface_.setDevicePixelRatio(devicePixelRatio);
    if (surface_.isNull() || !painter_.begin(&surface_)) {
        surface_ = QImage();
        return 0;
    }
    width_ = width;
    height_ = height;
    picture_ = {0, 0, width, height};
    painter_.setBackgroundMode(Qt::TransparentMode);
    return 1;
}

void CResultDC::Release() {
    if (painter_.isActive()) {
        painter_.end();
    }
    surface_ = QImage();
    frame_ = QImage();
    width_ = 0;
    height_ = 0;
}

bool CResultDC::MatchDevicePixelRatio(qreal devicePixelRatio) {
    if (surface_.isNull() || DevicePixelRatio() == devicePixelRatio) {
        return false;
    }
    const int width = width_;
    const int height = height_;
    const QImage::Format format = surface_.format();
    Release();
    return Create(width, height, format, devicePixelRatio) == 1;
}

int CResultDC::DrawImage(const CImageData& image) {
    const int format = image.Format();
    const std::uint8_t* plane = image.Plane(0);
    if (!painter_.isActive() || plane == nullptr || (format != kFormatBgr24 && format != kFormatGrey8)) {
        return -1;
    }
    const std::optional<ImageFit> fit = FitImage(Width(), Height(), image.Width(), image.Height());
    if (!fit) {
        return -1;
    }
    const int width = image.Width();
    const int height = image.Height();
    if (frame_.width() != width || frame_.height() != height) {
        frame_ = QImage(width, height, QImage::Format_RGB32);
        if (frame_.isNull()) {
            return -1;
        }
    }
    // Bottom-up rows into the top-down surface format, one pass.
    const int stride = image.Stride(0);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* source = plane + static_cast<std::size_t>(height - 1 - row) * stride;
        QRgb* target = reinterpret_cast<QRgb*>(frame_.scanLine(row));
        if (format == kFormatBgr24) {
            for (int x = 0; x < width; ++x, source += 3) {
                target[x] = qRgb(source[2], source[1], source[0]);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                target[x] = qRgb(source[x], source[x], source[x]);
            }
        }
    }
    painter_.drawImage(QRect(fit->offsetX, fit->offsetY, fit->width, fit->height), frame_);
    scale_ = fit->scale;
    offsetX_ = fit->offsetX;
    offsetY_ = fit->offsetY;
    picture_ = {fit->offsetX, fit->offsetY, fit->width, fit->height};
    return 0;
}

int CResultDC::CopyToImage(CImageData* image) const {
    if (image == nullptr || surface_.isNull()) {
        return -1;
    }
    const int format = ImageFormatOf(surface_.format());
    if (format == 0) {
        return surface_.depth();
    }
    if (image->Allocate(surface_.width(), nullptr, surface_.height(), format, 1) != 0) {
        return -1;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(image->Stride(0));
    std::uint8_t* target = image->Plane(0);
    for (int row = 0; row < surface_.height(); ++row) {
        std::memcpy(target + row * rowBytes, surface_.constScanLine(row), rowBytes);
    }
    return 0;
}

void CResultDC::DrawRect(int left, int top, int right, int bottom, double factor) {
    DrawOutline(MapRectOutline({left, top, right, bottom}, Mapping(factor)));
}

void CResultDC::DrawOutline(const RectOutline& outline) {
    std::array<OverlaySegment, std::tuple_size_v<RectOutline> - 1> sides;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        sides[i] = {outline[i], outline[i + 1]};
    }
    DrawSegments(sides);
}

void CResultDC::DrawSegments(std::span<const OverlaySegment> segments) {
    if (!painter_.isActive()) {
        return;
    }
    // A line that ends where it starts shows nothing (a painter would put a dot there): the Z axis
    // of a face looking straight ahead, the gaze of one looking straight at the camera.
    QVarLengthArray<QLine, GazeLines::kSegmentCount> lines;
    for (const OverlaySegment& segment : segments) {
        if (segment.from != segment.to) {
            lines.append(ToQLine(segment));
        }
    }
    painter_.drawLines(lines.data(), static_cast<int>(lines.size()));
}

CQZMResultDC::CQZMResultDC()
    : bodyPen_(SolidPen(kBodyColour)),
      handPen_(SolidPen(kHandColour)),
      facePen_(SolidPen(kFaceColour)),
      blinkFramePen_(SolidPen(kBlinkFrameColour)),
      directionXPen_(SolidPen(kDirectionXColour)),
      directionYPen_(SolidPen(kDirectionYColour)),
      directionZPen_(SolidPen(kDirectionZColour)),
      gazePen_(SolidPen(kGazeColour)) {}

void CQZMResultDC::DrawResults(const bool flags[kFunctionCount], double factor, const CExecResult& result) {
    if (!painter_.isActive()) {
        return;
    }
    const OverlayMapping mapping = Mapping(factor);
    if (flags[kFunctionBody]) {
        painter_.setPen(bodyPen_);
        for (const CQZMDetectRes& body : result.bodies) {
            DrawOutline(MapRectOutline(body.Box(), mapping));
        }
    }
    if (flags[kFunctionHand]) {
        painter_.setPen(handPen_);
        for (const CQZMDetectRes& hand : result.hands) {
            DrawOutline(MapRectOutline(hand.Box(), mapping));
        }
    }
    for (const CFaceResult& face : result.faces) {
        DrawFace(flags, mapping, face);
    }
}

void CQZMResultDC::DrawFace(const bool flags[kFunctionCount], const OverlayMapping& mapping,
                            const CFaceResult& face) {
    const CQZMDetectRes& detection = face.detection;
    if (flags[kFunctionFace]) {
        painter_.setPen(facePen_);
        DrawOutline(MapRectOutline(detection.IsValid() ? detection.Box() : DetectBox{}, mapping));
    }
    if (flags[kFunctionDirection]) {
        const std::array<OverlaySegment, 3> axes = DirectionAxes(detection, face.direction, mapping);
        const QPen* pens[3] = {&directionXPen_, &directionYPen_, &directionZPen_};
        for (std::size_t i = 0; i < axes.size(); ++i) {
            painter_.setPen(*pens[i]);
            DrawSegments(std::span(&axes[i], 1));
        }
    }
    if (flags[kFunctionGaze]) {
        if (const std::optional<GazeLines> gaze = GazeGeometry(detection, face.gaze, mapping)) {
            painter_.setPen(gazePen_);
            DrawSegments(gaze->Segments());
        }
    }
    if (flags[kFunctionBlink]) {
        if (const auto bars = BlinkGeometry(detection, face.blink, mapping, PictureArea())) {
            for (const BlinkBar& bar : *bars) {
                if (bar.bar.height > 0) {
                    painter_.fillRect(ToQRect(bar.bar), ToQColor(kBlinkBarColour));
                }
                painter_.setPen(blinkFramePen_);
                DrawOutline(bar.frame);
            }
        }
    }
    DrawLabels(FaceLabels(flags, face, users_), mapping, detection);
}

CQZMResultDC::PreparedLabel CQZMResultDC::Prepared(const std::string& text) {
    auto found = labels_.find(text);
    if (found != labels_.end()) {
        return found->second;
    }
    if (labels_.size() >= kMaxPreparedLabels) {
        labels_.clear();
    }
    PreparedLabel label;
    const QString shown = QString::fromStdString(text);
    label.text.setText(shown);
    label.text.setTextFormat(Qt::PlainText);  // a name is never markup
    label.text.prepare(painter_.transform(), painter_.font());
    label.width = painter_.fontMetrics().horizontalAdvance(shown);
    return labels_.emplace(text, std::move(label)).first->second;
}

void CQZMResultDC::DrawLabels(const std::vector<LabelLine>& lines, const OverlayMapping& mapping,
                              const CQZMDetectRes& detection) {
    if (lines.empty()) {
        return;
    }
    if (painter_.font() != labelFont_) {
        labels_.clear();
        labelFont_ = painter_.font();
    }
    const int height = painter_.fontMetrics().height();
    std::vector<PreparedLabel> prepared;
    std::vector<TextExtent> extents;
    prepared.reserve(lines.size());
    extents.reserve(lines.size());
    for (const LabelLine& line : lines) {
        prepared.push_back(Prepared(line.text));
        extents.push_back({prepared.back().width, height});
    }
    const std::vector<LabelPlacement> placements = PlaceLabels(detection, extents, mapping, PictureArea());
    const QColor background(0, 0, 0, kLabelBackgroundAlpha);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LabelPlacement& place = placements[i];
        if (place.background.width > 0 && place.background.height > 0) {
            painter_.fillRect(ToQRect(place.background), background);
        }
        // Left-aligned at the top of its box; the surface cuts what runs over its edge.
        painter_.setPen(ToQColor(lines[i].colour));
        painter_.drawStaticText(place.box.x, place.box.y, prepared[i].text);
    }
}

}  // namespace qzm
