#include "sim/exec_payload.h"

#include <algorithm>
#include <cmath>

#include "device/qzm_frame.h"

namespace qzm {

namespace {

constexpr std::size_t kCountsSize = 4;
constexpr std::size_t kBoxEntrySize = 8;
constexpr std::size_t kImageHeaderSize = 4;

void Put16(std::vector<std::uint8_t>& out, double value) {
    PutLE16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))));
}

void Put8(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(value)));
}

void PutBox(std::vector<std::uint8_t>& out, double x, double y, double size, int confidence) {
    Put16(out, x);
    Put16(out, y);
    Put16(out, size);
    Put16(out, confidence);
}

int StrongestExpression(const SceneFace& face) {
    if (face.expressionScores[0] == kNotPossible)
        return kNotPossible;
    int top = 0;
    for (int k = 1; k < 5; ++k) {
        if (face.expressionScores[k] > face.expressionScores[top])
            top = k;
    }
    return top;
}

void PutFace(std::vector<std::uint8_t>& out, const ExecRequest& request, const SceneFace& face,
             const RecognitionAnswer& recognition) {
    if (request.FaceDetection())
        PutBox(out, face.x, face.y, face.size, face.confidence);
    if (request.Direction()) {
        Put16(out, face.yaw);
        Put16(out, face.pitch);
        Put16(out, face.roll);
        Put16(out, face.directionConfidence);
    }
    if (request.Age()) {
        Put8(out, face.age);
        Put16(out, face.age == kNotPossible ? 0 : face.ageConfidence);
    }
    if (request.Gender()) {
        Put8(out, face.gender);
        Put16(out, face.gender == kNotPossible ? 0 : face.genderConfidence);
    }
    if (request.Gaze()) {
        Put8(out, face.gazeYaw);
        Put8(out, face.gazePitch);
    }
    if (request.Blink()) {
        Put16(out, face.blinkLeft);
        Put16(out, face.blinkRight);
    }
    if (request.Expression()) {
        if (request.fiveScores) {
            for (int score : face.expressionScores)
                Put8(out, score);
        } else {
            int top = StrongestExpression(face);
            Put8(out, top == kNotPossible ? kNotPossible : top + 1);
            Put8(out, top == kNotPossible ? kNotPossible : face.expressionScores[top]);
        }
        Put8(out, face.expressionDegree);
    }
    if (request.Recognition()) {
        Put16(out, recognition.user);
        Put16(out, recognition.score);
    }
}

}  // namespace

bool ParseExecRequest(std::span<const std::uint8_t> data, bool fiveScores, ExecRequest& request) {
    if (data.size() != 3 || data[2] > 2 || (data[1] & 0xFC) != 0)
        return false;
    request.flags1 = data[0];
    request.flags2 = data[1];
    request.imageOption = data[2];
    request.fiveScores = fiveScores;
    return true;
}

std::size_t FaceEntrySize(const ExecRequest& request) {
    std::size_t size = 0;
    size += request.FaceDetection() ? 8 : 0;
    size += request.Direction() ? 8 : 0;
    size += request.Age() ? 3 : 0;
    size += request.Gender() ? 3 : 0;
    size += request.Gaze() ? 2 : 0;
    size += request.Blink() ? 4 : 0;
    size += request.Expression() ? (request.fiveScores ? 6 : 3) : 0;
    size += request.Recognition() ? 4 : 0;
    return size;
}

std::vector<std::uint8_t> BuildExecPayload(const ExecRequest& request, const Detections& found,
                                           std::span<const RecognitionAnswer> recognition,
                                           ExecCounts* counts) {
    // The room left for entries once the counts and the image header are in, filled in payload order.
    std::size_t room = kExecEntryRoom - kCountsSize - (request.imageOption != 0 ? kImageHeaderSize : 0);
    auto take = [&room](std::size_t available, std::size_t entrySize) {
        std::size_t n = std::min<std::size_t>(available, 255);
        if (entrySize > 0)
            n = std::min(n, room / entrySize);
        room -= n * entrySize;
        return n;
    };
    ExecCounts n;
    n.bodies = request.Body() ? take(found.bodies.size(), kBoxEntrySize) : 0;
    n.hands = request.Hand() ? take(found.hands.size(), kBoxEntrySize) : 0;
    n.faces = request.AnyFaceFunction()
                  ? take(std::min(found.faces.size(), recognition.size()), FaceEntrySize(request))
                  : 0;

    std::vector<std::uint8_t> out;
    out.reserve(kExecEntryRoom);
    out.push_back(static_cast<std::uint8_t>(n.bodies));
    out.push_back(static_cast<std::uint8_t>(n.hands));
    out.push_back(static_cast<std::uint8_t>(n.faces));
    out.push_back(0);
    for (std::size_t i = 0; i < n.bodies; ++i)
        PutBox(out, found.bodies[i].x, found.bodies[i].y, found.bodies[i].size, found.bodies[i].confidence);
    for (std::size_t i = 0; i < n.hands; ++i)
        PutBox(out, found.hands[i].x, found.hands[i].y, found.hands[i].size, found.hands[i].confidence);
    for (std::size_t i = 0; i < n.faces; ++i)
        PutFace(out, request, found.faces[i], recognition[i]);
    if (request.imageOption != 0) {
        PutLE16(out, static_cast<std::uint16_t>(request.ImageWidth()));
        PutLE16(out, static_cast<std::uint16_t>(request.ImageHeight()));
    }
    if (counts)
        *counts = n;
    return out;
}

}  // namespace qzm
