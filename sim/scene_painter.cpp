#include "sim/scene_painter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/scene_view.h"

namespace qzm {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kClear = -1;  // a shader's answer for "not part of the shape"

constexpr std::uint8_t kEyeValue = 25;
constexpr std::uint8_t kOutlineValue = 50;

std::uint32_t Hash(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// The room, in world coordinates of the 640 x 480 space: a wall with panels, a window and a picture, and
// a tiled floor. Outside the space (seen when the camera angle turns it) the wall and floor go on.
int RoomValue(double x, double y) {
    if (y >= 390) {
        int tile = (static_cast<int>(std::floor(x / 80)) + static_cast<int>(std::floor((y - 390) / 30))) & 1;
        return 92 + (tile ? 14 : 0) - static_cast<int>((y - 390) * 0.1);
    }
    if (x >= 36 && x < 196 && y >= 40 && y < 170) {  // window with a cross bar
        bool frame =
            x < 42 || x >= 190 || y < 46 || y >= 164 || std::abs(x - 116) < 3 || std::abs(y - 105) < 3;
        return frame ? 110 : 222 - static_cast<int>((y - 40) * 0.15);
    }
    if (x >= 470 && x < 600 && y >= 60 && y < 150) {  // a picture with diagonal stripes
        bool frame = x < 476 || x >= 594 || y < 66 || y >= 144;
        if (frame)
            return 60;
        return (static_cast<int>(std::floor((x + y) / 12)) & 1) ? 170 : 130;
    }
    double panel = std::fmod(std::fmod(x, 106.0) + 106.0, 106.0);
    int value = 150 - static_cast<int>(y * 0.05);
    if (panel < 3)
        value -= 28;
    if (std::abs(y - 385) < 5)  // skirting board
        value = 70;
    return value;
}

// Calls shader(u, v) for every pixel whose centre lies within the square of half side extent (in shape
// units) around the shape's centre, with (u, v) the pixel centre in shape units (the shape's side is 1),
// turned back by angle degrees; paints what the shader answers unless it is kClear.
template <typename Shader>
void PaintShape(std::uint8_t* pixels, int width, int height, double cx, double cy, double side, double angle,
                double extent, Shader shader) {
    if (side < 1)
        return;
    const double reach = extent * side * (angle == 0 ? 1.0 : 1.42);  // room for any turn
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(cx + reach)));
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(cy + reach)));
    const double c = std::cos(angle * kDegree) / side;
    const double s = std::sin(angle * kDegree) / side;
    for (int py = y0; py <= y1; ++py) {
        const double dy = py + 0.5 - cy;
        std::uint8_t* row = pixels + static_cast<std::size_t>(py) * width;
        for (int px = x0; px <= x1; ++px) {
            const double dx = px + 0.5 - cx;
            const double u = c * dx + s * dy;
            const double v = -s * dx + c * dy;
            if (std::abs(u) > extent || std::abs(v) > extent)
                continue;
            int value = shader(u, v);
            if (value != kClear)
                row[px] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        }
    }
}

double Sq(double v) {
    return v * v;
}

// Squared distance from (u, v) to the segment (ax, ay)-(bx, by).
double SegmentDistance2(double u, double v, double ax, double ay, double bx, double by) {
    const double ex = bx - ax;
    const double ey = by - ay;
    double t = ((u - ax) * ex + (v - ay) * ey) / (ex * ex + ey * ey);
    t = std::clamp(t, 0.0, 1.0);
    return Sq(u - ax - t * ex) + Sq(v - ay - t * ey);
}

struct FaceLook {
    double featureShiftU = 0;  // how far the features move with the head's yaw
    double featureShiftV = 0;  // and pitch
    double eyeSpread = 0.17;
    int skin = 195;
    bool hair = false;
    bool hideLeft = false;  // the eye on the far side of a head turned far away
    bool hideRight = false;
};

FaceLook LookOf(const SceneFace& face) {
    FaceLook look;
    const double yaw = face.yaw * kDegree;
    look.featureShiftU = 0.3 * std::sin(yaw);
    look.featureShiftV = -0.15 * std::sin(face.pitch * kDegree);
    look.eyeSpread = 0.17 * std::cos(yaw);
    const std::uint32_t h = Hash(face.identity);
    look.skin = 175 + static_cast<int>(h % 41);
    look.hair = (h >> 8) % 3 != 0;
    look.hideLeft = face.yaw > 50;
    look.hideRight = face.yaw < -50;
    return look;
}

// One face in face units: the face's square is -0.5..0.5 both ways.
int FaceShader(const SceneFace& face, const FaceLook& look, double u, double v) {
    const double head = Sq(u / 0.42) + Sq(v / 0.52);
    if (head > 1)
        return kClear;
    if (head > 0.86)
        return kOutlineValue;
    if (look.hair && v < -0.36 + 0.5 * u * u)
        return 45;

    const double fu = look.featureShiftU;
    const double fv = look.featureShiftV;
    const double eyeY = -0.08 + fv;
    for (int side = -1; side <= 1; side += 2) {
        if ((side < 0 && look.hideLeft) || (side > 0 && look.hideRight))
            continue;
        const double eyeX = side * look.eyeSpread + fu;
        if (face.eyesClosed) {
            if (std::abs(v - eyeY) < 0.016 && std::abs(u - eyeX) < 0.09)
                return 70;
        } else if (Sq((u - eyeX) / 0.085) + Sq((v - eyeY) / 0.05) <= 1) {
            return kEyeValue;
        }
        // Eyebrows: slanted down towards the nose in anger, up in sadness.
        const double slant = face.expression == 4 ? 0.35 : face.expression == 5 ? -0.3 : 0.0;
        const double browY = eyeY - 0.1 + slant * side * (u - eyeX);
        if (std::abs(v - browY) < 0.018 && std::abs(u - eyeX) < 0.09)
            return 60;
    }
    if (std::abs(u - 1.15 * fu) < 0.02 && v > eyeY + 0.06 && v < 0.12 + fv)
        return look.skin - 50;

    const double mu = fu;
    const double mv = 0.25 + fv;
    switch (face.expression) {
        case 2: {  // smile
            const double r = Sq(u - mu) + Sq(v - (mv - 0.1));
            if (r > Sq(0.12) && r < Sq(0.15) && v > mv - 0.05)
                return 45;
            break;
        }
        case 3:  // open mouth
            if (Sq((u - mu) / 0.06) + Sq((v - mv) / 0.08) <= 1)
                return 30;
            break;
        case 4:  // pressed lips
            if (std::abs(v - mv) < 0.024 && std::abs(u - mu) < 0.09)
                return 40;
            break;
        case 5: {  // corners down
            const double r = Sq(u - mu) + Sq(v - (mv + 0.12));
            if (r > Sq(0.11) && r < Sq(0.14) && v < mv + 0.03)
                return 45;
            break;
        }
        default:
            if (std::abs(v - mv) < 0.018 && std::abs(u - mu) < 0.11)
                return 50;
            break;
    }
    // Light from the left.
    return look.skin - static_cast<int>(30 * u);
}

void PaintFace(std::uint8_t* pixels, int width, int height, double cx, double cy, double side,
               const SceneFace& face, int quarterTurns) {
    const FaceLook look = LookOf(face);
    PaintShape(pixels, width, height, cx, cy, side, face.roll + 90 * quarterTurns, 0.55,
               [&](double u, double v) { return FaceShader(face, look, u, v); });
}

// Half the width of neck and shoulders at height v, in body units (the body's square is -0.5..0.5);
// grow widens the shape for its outline. Negative where the body has nothing.
double BodyHalfWidth(double v, double grow) {
    double half = -1;
    if (v > -0.5 && v < -0.3)
        half = 0.07 + grow;  // neck
    const double a = 0.4 + grow;
    const double b = 0.12 + grow;
    const double dv = (v + 0.3) / b;
    if (std::abs(dv) <= 1)
        half = std::max(half, a * std::sqrt(1 - dv * dv));  // shoulders
    if (v >= -0.3)
        half = std::max(half, 0.4 + grow - 0.08 * (v + 0.3));  // chest
    return half;
}

// Bodies stand upright in the scene, so they are painted as spans across the body, one line of the body
// at a time: outline, body, neck and seams. quarterTurns turns the body clockwise with the camera.
void PaintBody(std::uint8_t* pixels, int width, int height, double cx, double cy, double side,
               const SceneBox& body, int quarterTurns) {
    if (side < 1)
        return;
    const bool across = (quarterTurns & 1) != 0;  // the body lies along the picture's rows
    // Picture lines that cross the body: rows when upright, columns when turned a quarter.
    const double centreLine = across ? cx : cy;
    const double centreSpan = across ? cy : cx;
    const int lines = across ? width : height;
    const int spanLimit = across ? height : width;
    // Going along the picture line index, does the body go from head to chest (+1) or back (-1)?
    const double down = (quarterTurns & 3) == 0 || (quarterTurns & 3) == 3 ? 1.0 : -1.0;
    auto span = [&](int line, double from, double to, int value) {
        const int first = std::max(0, static_cast<int>(std::ceil(from - 0.5)));
        const int last = std::min(spanLimit - 1, static_cast<int>(std::floor(to - 0.5)));
        const auto grey = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        if (!across) {
            if (first <= last)
                std::fill(pixels + static_cast<std::size_t>(line) * width + first,
                          pixels + static_cast<std::size_t>(line) * width + last + 1, grey);
            return;
        }
        for (int k = first; k <= last; ++k)
            pixels[static_cast<std::size_t>(k) * width + line] = grey;
    };
    const int l0 = std::max(0, static_cast<int>(std::floor(centreLine - 0.5 * side)));
    const int l1 = std::min(lines - 1, static_cast<int>(std::ceil(centreLine + 0.5 * side)));
    for (int line = l0; line <= l1; ++line) {
        const double v = down * (line + 0.5 - centreLine) / side;
        if (v < -0.5 || v > 0.5)
            continue;
        const double outer = BodyHalfWidth(v, 0.025);
        if (outer < 0)
            continue;
        span(line, centreSpan - outer * side, centreSpan + outer * side, 30);
        const double inner = BodyHalfWidth(v, 0);
        if (inner < 0)
            continue;
        if (v < -0.3 && inner <= 0.07 + 1e-9) {
            span(line, centreSpan - inner * side, centreSpan + inner * side, 165);  // neck
            continue;
        }
        span(line, centreSpan - inner * side, centreSpan + inner * side, body.shade);
        if (v > -0.26) {  // sleeve seams
            span(line, centreSpan - 0.312 * side, centreSpan - 0.288 * side, body.shade - 30);
            span(line, centreSpan + 0.288 * side, centreSpan + 0.312 * side, body.shade - 30);
        }
    }
}

// A raised open hand in hand units: palm, four fingers, thumb.
bool InHand(double u, double v, double grow) {
    if (Sq(u / (0.24 + grow)) + Sq((v - 0.12) / (0.24 + grow)) <= 1)
        return true;
    static constexpr double kFingerX[4] = {-0.165, -0.055, 0.055, 0.165};
    static constexpr double kFingerTip[4] = {-0.34, -0.44, -0.42, -0.32};
    for (int k = 0; k < 4; ++k) {
        // Fingers are upright: the distance to the segment is across it, or to its tip.
        const double across = std::abs(u - kFingerX[k]);
        const double along = v < kFingerTip[k] ? kFingerTip[k] - v : v > 0.05 ? v - 0.05 : 0.0;
        if (Sq(across) + Sq(along) < Sq(0.045 + grow))
            return true;
    }
    return SegmentDistance2(u, v, 0.2, 0.18, 0.38, -0.06) < Sq(0.05 + grow);
}

int HandShader(const SceneBox& hand, double u, double v) {
    if (!InHand(u, v, 0.02))
        return kClear;
    return InHand(u, v, 0) ? hand.shade - static_cast<int>(20 * u) : 40;
}

}  // namespace

const std::vector<std::uint8_t>& CScenePainter::Background(int cameraAngle, int width, int height) {
    std::vector<std::uint8_t>& room = backgrounds_[cameraAngle & 3][width >= 320 ? 0 : 1];
    const std::size_t size = static_cast<std::size_t>(width) * height;
    if (room.size() == size)
        return room;
    room.resize(size);
    const double scale = static_cast<double>(kResultWidth) / width;
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            double wx = 0;
            double wy = 0;
            ResultToWorld(cameraAngle, (px + 0.5) * scale, (py + 0.5) * scale, wx, wy);
            // A little fixed sensor noise, so that the picture is never flat.
            int noise = static_cast<int>(Hash(static_cast<std::uint32_t>(py * 4096 + px)) % 11) - 5;
            room[static_cast<std::size_t>(py) * width + px] =
                static_cast<std::uint8_t>(std::clamp(RoomValue(wx, wy) + noise, 0, 255));
        }
    }
    return room;
}

void CScenePainter::Paint(const SceneSnapshot& view, int cameraAngle, int width, int height,
                          std::uint8_t* pixels) {
    const std::vector<std::uint8_t>& room = Background(cameraAngle, width, height);
    std::copy(room.begin(), room.end(), pixels);
    const double k = static_cast<double>(width) / kResultWidth;
    const int turns = cameraAngle & 3;
    for (const SceneBox& body : view.bodies) {
        if (InResultSpace(body.x, body.y))
            PaintBody(pixels, width, height, body.x * k, body.y * k, body.size * k, body, turns);
    }
    for (const SceneBox& hand : view.hands) {
        if (InResultSpace(hand.x, hand.y))
            PaintShape(pixels, width, height, hand.x * k, hand.y * k, hand.size * k, hand.angle + 90 * turns,
                       0.55, [&](double u, double v) { return HandShader(hand, u, v); });
    }
    for (const SceneFace& face : view.faces) {
        if (InResultSpace(face.x, face.y))
            PaintFace(pixels, width, height, face.x * k, face.y * k, face.size * k, face, turns);
    }
}

void CScenePainter::PaintPortrait(const SceneFace& face, int side, std::uint8_t* pixels) {
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px)
            pixels[static_cast<std::size_t>(py) * side + px] = static_cast<std::uint8_t>(90 + 40 * py / side);
    }
    PaintFace(pixels, side, side, side / 2.0, side / 2.0, side * 0.85, face, 0);
}

std::array<CScenePainter::Point, 2> CScenePainter::EyeCentres(const SceneFace& face) {
    const FaceLook look = LookOf(face);
    const double c = std::cos(face.roll * kDegree);
    const double s = std::sin(face.roll * kDegree);
    const double eyeY = -0.08 + look.featureShiftV;
    std::array<Point, 2> eyes;
    for (int i = 0; i < 2; ++i) {
        const double eyeX = (i == 0 ? -look.eyeSpread : look.eyeSpread) + look.featureShiftU;
        eyes[i] = Point{c * eyeX - s * eyeY, s * eyeX + c * eyeY};
    }
    return eyes;
}

}  // namespace qzm
