// What the emulated module makes of the scene: the picture turned by the camera angle, and the bodies,
// hands and faces it reports under its detection settings.
#pragma once

#include <vector>

#include "sim/emulated_scene.h"
#include "sim/stored_settings.h"

namespace qzm {

// The scene as the module's results see it with this camera angle code (0..3): every position turned
// clockwise by 0°, 90°, 180° or 270° about the centre of the 640 x 480 space. People stay upright (the
// module turns the picture to match how the camera is mounted); what is turned out of the space is not
// in view any more.
SceneSnapshot TurnForCamera(const SceneSnapshot& scene, int cameraAngle);

// The world point a result position of this camera angle code shows.
void ResultToWorld(int cameraAngle, double x, double y, double& worldX, double& worldY);

// True when a detection centred here lies in the 640 x 480 result space.
bool InResultSpace(double x, double y);

// Positions and sizes rounded to whole result pixels, as they go on the wire.
struct Detections {
    std::vector<SceneBox> bodies;
    std::vector<SceneBox> hands;
    std::vector<SceneFace> faces;
};

// What the module reports from a turned scene: things in view whose confidence reaches the threshold and
// whose size lies in the size range; faces also only when their yaw and roll lie within the face angle
// ranges.
Detections Detect(const SceneSnapshot& view, const StoredSettings& settings);

}  // namespace qzm
