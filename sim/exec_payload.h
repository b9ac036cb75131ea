// The answer of the emulated module to an execution: counts, body and hand entries, the face entries with
// the parts the request asked for, then the image.
//
// Payload (little-endian, signed unless said otherwise):
//   counts: bodies, hands, faces (unsigned bytes), one reserved byte
//   per body and per hand: x, y, size, confidence (16-bit each)
//   per face, each part only when its flag is set, in this order:
//     detection   (flags 1 bit 2) x, y, size, confidence (16-bit)
//     direction   (bit 3)         yaw, pitch, roll, confidence (16-bit)
//     age         (bit 4)         age (8-bit), confidence (16-bit)
//     gender      (bit 5)         gender (8-bit), confidence (16-bit)
//     gaze        (bit 6)         yaw, pitch (8-bit)
//     blink       (bit 7)         left, right (16-bit)
//     expression  (flags 2 bit 0) Execute: strongest code, its score, degree (8-bit);
//                                 ExecuteEx: five scores, degree (8-bit)
//     recognition (flags 2 bit 1) user number, score (16-bit)
//   image (option 1 or 2): width, height (16-bit), then width x height grey bytes
// Everything before the pixels stays within 1968 bytes, the room the PC reserves for it; the counts are
// cut so that it does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/scene_view.h"

namespace qzm {

constexpr std::size_t kExecEntryRoom = 1968;  // counts, entries and the image header together

struct ExecRequest {
    std::uint8_t flags1 = 0;
    std::uint8_t flags2 = 0;
    std::uint8_t imageOption = 0;  // 0 none, 1 = 320 x 240, 2 = 160 x 120
    bool fiveScores = false;       // ExecuteEx: five expression scores instead of code and score

    bool Body() const { return flags1 & 0x01; }
    bool Hand() const { return flags1 & 0x02; }
    bool FaceDetection() const { return flags1 & 0x04; }
    bool Direction() const { return flags1 & 0x08; }
    bool Age() const { return flags1 & 0x10; }
    bool Gender() const { return flags1 & 0x20; }
    bool Gaze() const { return flags1 & 0x40; }
    bool Blink() const { return flags1 & 0x80; }
    bool Expression() const { return flags2 & 0x01; }
    bool Recognition() const { return flags2 & 0x02; }
    // Faces are looked for whenever any face function is on.
    bool AnyFaceFunction() const { return (flags1 & 0xFC) != 0 || (flags2 & 0x03) != 0; }

    int ImageWidth() const { return imageOption == 1 ? 320 : imageOption == 2 ? 160 : 0; }
    int ImageHeight() const { return imageOption == 1 ? 240 : imageOption == 2 ? 120 : 0; }
};

// The three request bytes; false when the image option is above 2 or a reserved flag bit is set.
bool ParseExecRequest(std::span<const std::uint8_t> data, bool fiveScores, ExecRequest& request);

// Bytes of one face entry under the request's flags.
std::size_t FaceEntrySize(const ExecRequest& request);

// The recognition part of one face.
struct RecognitionAnswer {
    int user = -1;  // registered user number, -1 nobody, -127 nothing registered, kNotPossible
    int score = 0;
};

// How many of each the payload holds.
struct ExecCounts {
    std::size_t bodies = 0;
    std::size_t hands = 0;
    std::size_t faces = 0;
};

// Counts and entries of the detections (recognition[i] belongs to found.faces[i]), followed by the image
// header when the request asks for an image; the pixels are the caller's to append. Bodies and hands whose
// function is off, and faces when no face function is on, are not counted.
std::vector<std::uint8_t> BuildExecPayload(const ExecRequest& request, const Detections& found,
                                           std::span<const RecognitionAnswer> recognition,
                                           ExecCounts* counts = nullptr);

}  // namespace qzm
