// Draws the emulated camera picture: a textured room with every body, hand and face in view drawn where the
// results place them, so that an overlay drawn from the results can be checked by eye.
//
// Faces are light ovals with a dark outline, two dark eyes (a thin line while the eyes are closed),
// eyebrows, a nose and a mouth that shows the expression; their features move with the head's yaw and
// pitch and turn with its roll. Bodies are a neck and shoulders, hands a palm with four fingers and a
// thumb. The room's texture is computed once per camera angle and image size.
//
// Not thread-safe: the emulator guards its painter with its own lock.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/emulated_scene.h"

namespace qzm {

class CScenePainter {
public:
    // view: the scene turned for the camera angle (TurnForCamera); pixels: width x height grey bytes, row
    // by row, for an image that shows the whole 640 x 480 result space.
    void Paint(const SceneSnapshot& view, int cameraAngle, int width, int height, std::uint8_t* pixels);

    // A side x side portrait of the face, as the module returns it on registration.
    static void PaintPortrait(const SceneFace& face, int side, std::uint8_t* pixels);

    // Where the centres of the eyes of a face drawn at (0, 0) with side 1 lie, roll included (for tests
    // that look at the picture). The first is the eye on the picture's left.
    struct Point {
        double x = 0;
        double y = 0;
    };
    static std::array<Point, 2> EyeCentres(const SceneFace& face);

private:
    const std::vector<std::uint8_t>& Background(int cameraAngle, int width, int height);

    // [camera angle][0: 320 x 240, 1: 160 x 120]; empty until first used.
    std::array<std::array<std::vector<std::uint8_t>, 2>, 4> backgrounds_;
};

}  // namespace qzm
