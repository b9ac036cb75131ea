#include "sim/scene_view.h"

#include <cmath>
#include <cstdlib>

namespace qzm {

namespace {

constexpr double kCentreX = kResultWidth / 2.0;
constexpr double kCentreY = kResultHeight / 2.0;

void Turn(int cameraAngle, double& x, double& y) {
    const double dx = x - kCentreX;
    const double dy = y - kCentreY;
    switch (cameraAngle & 3) {
        case 1:  // clockwise on the screen (y grows downwards): right goes down
            x = kCentreX - dy;
            y = kCentreY + dx;
            break;
        case 2:
            x = kCentreX - dx;
            y = kCentreY - dy;
            break;
        case 3:
            x = kCentreX + dy;
            y = kCentreY - dx;
            break;
        default:
            break;
    }
}

bool InRange(double size, std::uint16_t minimum, std::uint16_t maximum) {
    const long rounded = std::lround(size);
    return rounded >= minimum && rounded <= maximum;
}

template <typename T>
T Rounded(T thing) {
    thing.x = static_cast<double>(std::lround(thing.x));
    thing.y = static_cast<double>(std::lround(thing.y));
    thing.size = static_cast<double>(std::lround(thing.size));
    return thing;
}

}  // namespace

SceneSnapshot TurnForCamera(const SceneSnapshot& scene, int cameraAngle) {
    SceneSnapshot view = scene;
    for (SceneBox& body : view.bodies)
        Turn(cameraAngle, body.x, body.y);
    for (SceneBox& hand : view.hands)
        Turn(cameraAngle, hand.x, hand.y);
    for (SceneFace& face : view.faces)
        Turn(cameraAngle, face.x, face.y);
    return view;
}

void ResultToWorld(int cameraAngle, double x, double y, double& worldX, double& worldY) {
    worldX = x;
    worldY = y;
    Turn((4 - (cameraAngle & 3)) & 3, worldX, worldY);
}

bool InResultSpace(double x, double y) {
    return x >= 0 && y >= 0 && x < kResultWidth && y < kResultHeight;
}

Detections Detect(const SceneSnapshot& view, const StoredSettings& settings) {
    Detections found;
    const auto& t = settings.thresholds;
    const auto& r = settings.sizeRanges;
    for (const SceneBox& body : view.bodies) {
        if (InResultSpace(body.x, body.y) && body.confidence >= t[0] && InRange(body.size, r[0], r[1]))
            found.bodies.push_back(Rounded(body));
    }
    for (const SceneBox& hand : view.hands) {
        if (InResultSpace(hand.x, hand.y) && hand.confidence >= t[1] && InRange(hand.size, r[2], r[3]))
            found.hands.push_back(Rounded(hand));
    }
    for (const SceneFace& face : view.faces) {
        if (InResultSpace(face.x, face.y) && face.confidence >= t[2] && InRange(face.size, r[4], r[5]) &&
            std::abs(face.yaw) <= settings.YawLimit() && std::abs(face.roll) <= settings.RollLimit())
            found.faces.push_back(Rounded(face));
    }
    return found;
}

}  // namespace qzm
