// Where the result overlay goes: every rectangle, axis, gaze line, blink bar and label box of one
// execution's results on the drawing surface, and the label texts and colours. Plain functions
// without Qt, so that they can be checked without a window or a painter; the drawing surfaces in
// result_dc.h and alpha_dc.h draw exactly what these return.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/qzm_results.h"
#include "present/result_text.h"

namespace qzm {

struct OverlayColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const OverlayColour&) const = default;
};

// Pen colours: all pens are solid lines one pixel wide.
constexpr OverlayColour kBodyColour{255, 0, 0};
constexpr OverlayColour kHandColour{0, 255, 255};
constexpr OverlayColour kFaceColour{0, 255, 0};
constexpr OverlayColour kBlinkFrameColour{255, 255, 255};
constexpr OverlayColour kDirectionXColour{255, 255, 0};
constexpr OverlayColour kDirectionYColour{0, 255, 255};
constexpr OverlayColour kDirectionZColour{255, 0, 255};
constexpr OverlayColour kGazeColour{255, 255, 0};
// Fill of the blink bars.
constexpr OverlayColour kBlinkBarColour{255, 0, 0};
// Label texts.
constexpr OverlayColour kRecognitionColour{255, 204, 0};
constexpr OverlayColour kAgeColour{255, 204, 0};
constexpr OverlayColour kGenderUnknownColour{240, 240, 240};
constexpr OverlayColour kMaleColour{0, 255, 255};
constexpr OverlayColour kFemaleColour{246, 173, 198};
constexpr OverlayColour kExpressionUnknownColour{255, 0, 255};
// Expression label colours by expression index 0 to 5 (1 neutral ... 5 sadness).
constexpr std::array<OverlayColour, 6> kExpressionColours{{
    {240, 240, 240},
    {240, 240, 0},
    {255, 102, 0},
    {255, 0, 255},
    {0, 255, 255},
    {28, 245, 88},
}};
// Labels sit on black blended in at 160/255 over the picture.
constexpr int kLabelBackgroundAlpha = 160;
// Backdrop of the registration preview surface.
constexpr OverlayColour kAlphaSurfaceFill{49, 106, 197};

struct OverlayPoint {
    int x = 0;
    int y = 0;
    bool operator==(const OverlayPoint&) const = default;
};

struct OverlaySegment {
    OverlayPoint from;
    OverlayPoint to;
    bool operator==(const OverlaySegment&) const = default;
};

// A rectangle by its origin and size.
struct OverlayRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const OverlayRect&) const = default;
};

// How image pixels map onto the surface: surface = offset + scale x image.
struct ImageFit {
    double scale = 1.0;
    int offsetX = 0;
    int offsetY = 0;
    int width = 0;  // the image's size on the surface
    int height = 0;
};

// Fits an image of imageWidth x imageHeight into the surface, as large as it goes, centred. A
// 320 x 240 image on a 320 x 320 surface gets scale 1.0 at (0, 40), a 160 x 120 image scale 2.0
// at the same place. Empty when either size is not positive.
std::optional<ImageFit> FitImage(int surfaceWidth, int surfaceHeight, int imageWidth, int imageHeight);

// Module coordinates to surface pixels: s is the surface scale times the coordinate factor (image
// pixels per module unit), the offset is where image pixel (0, 0) sits.
struct OverlayMapping {
    double s = 1.0;
    int offsetX = 0;
    int offsetY = 0;
};

// Corners of a rectangle outline, from (left, top) clockwise and back to the start.
using RectOutline = std::array<OverlayPoint, 5>;

// The outline of a module-coordinate rectangle on the surface, each corner truncated toward zero.
RectOutline MapRectOutline(const DetectBox& box, const OverlayMapping& mapping);

// One axis vector (dx, dy) with dy pointing up, as the direction axes and gaze lines use them.
struct AxisVector {
    int dx = 0;
    int dy = 0;
    bool operator==(const AxisVector&) const = default;
};

// The three head axes X, Y, Z of length `length` for yaw, pitch and roll in degrees, projected on
// the picture: yaw, pitch and roll 0 give X (length, 0), Y (0, length) and Z (0, 0).
std::array<AxisVector, 3> ProjectAxes(int yaw, int pitch, int roll, int length);

// The direction axes X, Y, Z of a face from its centre; a record that is not valid counts as the
// construction values (position -1, yaw, pitch and roll 0).
std::array<OverlaySegment, 3> DirectionAxes(const CQZMDetectRes& face, const CQZMDirectRes& direction,
                                            const OverlayMapping& mapping);

// Gaze lines from both eyes, and the lines drawn from each end point back to a 4 x 4 pixel patch
// around its eye, which thicken them towards the eye.
struct GazeLines {
    std::array<OverlayPoint, 2> eyes;  // left, right
    std::array<OverlayPoint, 2> ends;
    static constexpr int kSegmentCount = 2 + 2 * 16;
    // Eye to end for both eyes, then for i, j in 0..3 each end back to (eye x - 2 + i, eye y - 2 + j).
    std::array<OverlaySegment, kSegmentCount> Segments() const;
};

// Empty when the gaze could not be estimated (-128); a gaze record that is not valid looks ahead.
std::optional<GazeLines> GazeGeometry(const CQZMDetectRes& face, const CQZMGazeRes& gaze,
                                      const OverlayMapping& mapping);

// One blink bar: an outline frame over the upper half of the face's side, and a red bar rising from
// the face's vertical centre; the more open the eye (lower blink degree), the higher the bar.
struct BlinkBar {
    OverlayRect bar;    // filled; height 0 or less draws nothing
    RectOutline frame;  // 5 pixels wide, half the face high
};

// Left and right bars beside the face; empty when the blink could not be estimated (-128). A blink
// record that is not valid counts as degrees -1, -1. Beside a face at the picture's edge a bar moves
// in (or down, or up) so that it stays inside the picture; a face without a position is left as
// it is.
std::optional<std::array<BlinkBar, 2>> BlinkGeometry(const CQZMDetectRes& face, const CQZMBlinkRes& blink,
                                                     const OverlayMapping& mapping,
                                                     const OverlayRect& picture);

// One text label above a face, UTF-8.
struct LabelLine {
    std::string text;
    OverlayColour colour;
    bool operator==(const LabelLine&) const = default;
};

// The labels of a face for the display flags (function order), top to bottom: recognised name,
// age, gender, expression, each only when its flag is on.
std::vector<LabelLine> FaceLabels(const bool flags[kFunctionCount], const CFaceResult& face,
                                  const std::vector<UserName>& users);

// Width and height of a label's text in the surface font.
struct TextExtent {
    int width = 0;
    int height = 0;
};

// Where one label goes: its text box (every box as wide as the widest text and as high as the
// highest) and the blended background behind the text, cut at the picture's right edge.
struct LabelPlacement {
    OverlayRect box;
    OverlayRect background;  // width 0 or less: nothing blended
};

// Stacks the labels so that the last one ends 4 pixels above the face rectangle, left-aligned with
// it. A stack that would leave the picture (a face near its top or side) moves down or in so that
// it stays inside; a face without a position stacks above (-1, -1).
std::vector<LabelPlacement> PlaceLabels(const CQZMDetectRes& face, std::span<const TextExtent> extents,
                                        const OverlayMapping& mapping, const OverlayRect& picture);

// Moves a span of the given length, starting at start, into [low, low + room): a span longer
// than the room starts at low.
int KeepInside(int start, int length, int low, int room);

// Where a background picture goes on a surface: centred, at its own size; the surface cuts off
// what does not fit.
OverlayRect CentredPicture(int surfaceWidth, int surfaceHeight, int pictureWidth, int pictureHeight);

}  // namespace qzm
