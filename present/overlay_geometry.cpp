#include "present/overlay_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "res/string_table.h"

namespace qzm {

namespace {

constexpr int kNotPossible = -128;
constexpr int kBlinkBarWidth = 5;  // frame columns x to x + 4
constexpr int kNoRegisteredData = -127;
constexpr int kNoMatch = -1;
constexpr double kPi = 3.141592653589793;

// Truncation toward zero. Anything this far off the surface is clamped, so that adding an offset
// can never overflow; NaN (a zero-sized image) lands at 0.
constexpr double kCoordinateLimit = 1 << 24;
int Trunc(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

double Radians(double degrees) {
    return degrees / 180.0 * kPi;
}

// The real axis component, rounded by adding 0.5 and truncating toward zero.
int AxisComponent(double value) {
    return Trunc(value + 0.5);
}

RectOutline Outline(int left, int top, int right, int bottom) {
    return {{{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}}};
}

}  // namespace

std::optional<ImageFit> FitImage(int surfaceWidth, int surfaceHeight, int imageWidth, int imageHeight) {
    if (surfaceWidth <= 0 || surfaceHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) {
        return std::nullopt;
    }
    const double byWidth = static_cast<double>(surfaceWidth) / imageWidth;
    const double byHeight = static_cast<double>(surfaceHeight) / imageHeight;
    ImageFit fit;
    fit.scale = imageWidth >= imageHeight ? byWidth : byHeight;
    fit.width = Trunc(imageWidth * fit.scale);
    fit.height = Trunc(imageHeight * fit.scale);
    if (fit.width > surfaceWidth || fit.height > surfaceHeight) {
        // The longer side did not limit the fit (a surface of another shape): the other side does.
        fit.scale = std::min(byWidth, byHeight);
        fit.width = Trunc(imageWidth * fit.scale);
        fit.height = Trunc(imageHeight * fit.scale);
    }
    fit.offsetX = surfaceWidth / 2 - fit.width / 2;
    fit.offsetY = surfaceHeight / 2 - fit.height / 2;
    return fit;
}

RectOutline MapRectOutline(const DetectBox& box, const OverlayMapping& m) {
    return Outline(Trunc(m.offsetX + m.s * box.left), Trunc(m.offsetY + m.s * box.top),
                   Trunc(m.offsetX + m.s * box.right), Trunc(m.offsetY + m.s * box.bottom));
}

std::array<AxisVector, 3> ProjectAxes(int yaw, int pitch, int roll, int length) {
    const double y = Radians(yaw);
    const double p = Radians(pitch);
    // The roll seen in the picture: the head's own roll plus the tilt that yaw and pitch together
    // give the axes, in whole degrees.
    const double tiltDegrees = std::atan2(-std::sin(p) * std::sin(y), std::cos(y)) * 180.0 / kPi;
    const double r = Radians(Trunc(tiltDegrees + roll));

    const double sinY = std::sin(y), cosY = std::cos(y);
    const double sinP = std::sin(p), cosP = std::cos(p);
    const double sinR = std::sin(r), cosR = std::cos(r);
    const double l = length;
    return {{
        {AxisComponent(l * (cosR * cosY - sinR * sinP * sinY)),
         AxisComponent(l * (-sinR * cosY - cosR * sinP * sinY))},
        {AxisComponent(l * cosP * sinR), AxisComponent(l * cosP * cosR)},
        {AxisComponent(l * (cosR * sinY + sinR * cosY * sinP)),
         AxisComponent(l * (cosR * cosY * sinP - sinR * sinY))},
    }};
}

std::array<OverlaySegment, 3> DirectionAxes(const CQZMDetectRes& face, const CQZMDirectRes& direction,
                                            const OverlayMapping& m) {
    const OverlayPoint centre{Trunc(face.x * m.s) + m.offsetX, Trunc(face.y * m.s) + m.offsetY};
    const int length = Trunc(face.size * m.s) / 3;
    const bool valid = direction.IsValid();
    const std::array<AxisVector, 3> axes = ProjectAxes(valid ? direction.yaw : 0, valid ? direction.pitch : 0,
                                                       valid ? direction.roll : 0, length);
    std::array<OverlaySegment, 3> segments;
    for (std::size_t i = 0; i < axes.size(); ++i) {
        // The picture's y grows downwards.
        segments[i] = {centre, {centre.x + axes[i].dx, centre.y - axes[i].dy}};
    }
    return segments;
}

std::array<OverlaySegment, GazeLines::kSegmentCount> GazeLines::Segments() const {
    std::array<OverlaySegment, kSegmentCount> segments;
    std::size_t n = 0;
    for (std::size_t eye = 0; eye < 2; ++eye) {
        segments[n++] = {eyes[eye], ends[eye]};
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (std::size_t eye = 0; eye < 2; ++eye) {
                segments[n++] = {ends[eye], {eyes[eye].x - 2 + i, eyes[eye].y - 2 + j}};
            }
        }
    }
    return segments;
}

std::optional<GazeLines> GazeGeometry(const CQZMDetectRes& face, const CQZMGazeRes& gaze,
                                      const OverlayMapping& m) {
    if (gaze.IsValid() && (gaze.gazeYaw == kNotPossible || gaze.gazePitch == kNotPossible)) {
        return std::nullopt;
    }
    const DetectBox box = face.Box();
    const int quarter = face.size / 4;
    const int third = face.size / 3;
    const int eyeY = Trunc((box.top + third) * m.s) + m.offsetY;
    GazeLines lines;
    lines.eyes[0] = {Trunc((box.left + quarter) * m.s) + m.offsetX, eyeY};
    lines.eyes[1] = {Trunc((box.right - quarter) * m.s) + m.offsetX, eyeY};

    const int length = (2 * Trunc(face.size * m.s)) / 3;
    const bool valid = gaze.IsValid();
    // The gaze follows the Z axis of a head turned by the gaze angles, without roll.
    const AxisVector v = ProjectAxes(valid ? gaze.gazeYaw : 0, valid ? gaze.gazePitch : 0, 0, length)[2];
    for (std::size_t eye = 0; eye < 2; ++eye) {
        lines.ends[eye] = {lines.eyes[eye].x + v.dx, lines.eyes[eye].y - v.dy};
    }
    return lines;
}

std::optional<std::array<BlinkBar, 2>> BlinkGeometry(const CQZMDetectRes& face, const CQZMBlinkRes& blink,
                                                     const OverlayMapping& m, const OverlayRect& picture) {
    if (blink.IsValid() && (blink.left == kNotPossible || blink.right == kNotPossible)) {
        return std::nullopt;
    }
    const int degrees[2] = {blink.IsValid() ? blink.left : -1, blink.IsValid() ? blink.right : -1};
    const DetectBox box = face.Box();
    const int half = Trunc(face.size * m.s) / 2;
    const int middle = Trunc(m.s * ((box.top + box.bottom) / 2)) + m.offsetY;
    const int frameTop = Trunc(box.top * m.s) + m.offsetY;
    int xs[2] = {m.offsetX + Trunc(m.s * box.left) - 5, Trunc(box.right * m.s) + m.offsetX + 4};
    // The frame spans half the face from its top; the bar, rising from the middle, moves with it.
    int shift = 0;
    if (face.IsValid()) {
        for (int& x : xs) {
            x = KeepInside(x, kBlinkBarWidth, picture.x, picture.width);
        }
        shift = KeepInside(frameTop, half + 1, picture.y, picture.height) - frameTop;
    }

    std::array<BlinkBar, 2> bars;
    for (std::size_t side = 0; side < 2; ++side) {
        // Degree 1000 (closed) gives no bar, small degrees a bar up to half the face.
        const std::int64_t height = static_cast<std::int64_t>((1000 - degrees[side]) / 10) * half / 100;
        const int h = static_cast<int>(height);
        const int x = xs[side];
        bars[side].bar = {x, middle + shift - h, 4, h};
        bars[side].frame = Outline(x, frameTop + shift, x + 4, frameTop + shift + half);
    }
    return bars;
}

std::vector<LabelLine> FaceLabels(const bool flags[kFunctionCount], const CFaceResult& face,
                                  const std::vector<UserName>& users) {
    std::vector<LabelLine> lines;
    if (flags[kFunctionRecognition]) {
        const int userId = face.recognition.IsValid() ? face.recognition.userId : kNoMatch;
        std::string text;
        switch (userId) {
            case kNoMatch:
                text = LoadString(kStrNotRegistered);
                break;
            case kNotPossible:
                text = LoadString(kStrLabelRecognitionUnknown);
                break;
            case kNoRegisteredData:
                text = LoadString(kStrDataNotRegistered);
                break;
            default:
                text = UserNameOf(users, userId);
        }
        lines.push_back({std::move(text), kRecognitionColour});
    }
    if (flags[kFunctionAge]) {
        const CQZMAgeRes& age = face.age;
        lines.push_back({age.IsValid() && age.age == kNotPossible
                             ? std::string(LoadString(kStrLabelAgeUnknown))
                             : FormatString(kStrLabelAge, age.IsValid() ? age.age : -1),
                         kAgeColour});
    }
    if (flags[kFunctionGender]) {
        const CQZMGenderRes& gender = face.gender;
        if (gender.IsValid() && gender.gender == kNotPossible) {
            lines.push_back({LoadString(kStrLabelGenderUnknown), kGenderUnknownColour});
        } else if (gender.IsValid() && gender.gender == 1) {
            lines.push_back({LoadString(kStrMale), kMaleColour});
        } else {
            lines.push_back({LoadString(kStrFemale), kFemaleColour});
        }
    }
    if (flags[kFunctionExpression]) {
        const int index = StrongestExpression(face.expression);
        if (index == kNotPossible) {
            lines.push_back({LoadString(kStrLabelExpressionUnknown), kExpressionUnknownColour});
        } else {
            // Only the five expression codes have names; an index outside the colour table (a
            // record that is not valid, an unknown code) is shown in the neutral colour.
            const bool named = index >= 1 && index <= 5;
            const bool coloured = index >= 0 && index < static_cast<int>(kExpressionColours.size());
            lines.push_back({named ? LoadString(kStrExpressionNeutral - 1 + index) : "",
                             kExpressionColours[coloured ? index : 0]});
        }
    }
    return lines;
}

int KeepInside(int start, int length, int low, int room) {
    return std::max(low, std::min(start, low + room - length));
}

std::vector<LabelPlacement> PlaceLabels(const CQZMDetectRes& face, std::span<const TextExtent> extents,
                                        const OverlayMapping& m, const OverlayRect& picture) {
    if (extents.empty()) {
        return {};
    }
    int maxWidth = 0;
    int maxHeight = 0;
    for (const TextExtent& extent : extents) {
        maxWidth = std::max(maxWidth, extent.width);
        maxHeight = std::max(maxHeight, extent.height);
    }
    const int count = static_cast<int>(extents.size());
    const DetectBox box = face.Box();
    int left = Trunc(box.left * m.s) + m.offsetX;
    int top = Trunc(m.s * box.top) + m.offsetY - maxHeight * count - 4;
    if (face.IsValid()) {
        left = KeepInside(left, maxWidth, picture.x, picture.width);
        top = KeepInside(top, maxHeight * count, picture.y, picture.height);
    }

    std::vector<LabelPlacement> placements;
    placements.reserve(extents.size());
    for (const TextExtent& extent : extents) {
        placements.push_back(
            {{left, top, maxWidth, maxHeight},
             {left, top, std::min(extent.width, picture.x + picture.width - left), extent.height}});
        top += maxHeight;
    }
    return placements;
}

OverlayRect CentredPicture(int surfaceWidth, int surfaceHeight, int pictureWidth, int pictureHeight) {
    return {surfaceWidth / 2 - pictureWidth / 2, surfaceHeight / 2 - pictureHeight / 2, pictureWidth,
            pictureHeight};
}

}  // namespace qzm
