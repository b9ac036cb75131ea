#include "page_results.h"

#include <vector>

#include "image/img_conv.h"
#include "sim/emulated_scene.h"
#include "sim/exec_payload.h"
#include "sim/scene_painter.h"
#include "sim/scene_view.h"

namespace qzm_test {

using namespace qzm;

Functions AllFunctions() {
    Functions functions;
    functions.fill(true);
    return functions;
}

Functions OnlyFunctions(std::initializer_list<int> indexes) {
    Functions functions{};
    for (int index : indexes) {
        functions[index] = true;
    }
    return functions;
}

CQZMDetectRes Detection(int x, int y, int size, int confidence) {
    CQZMDetectRes detection;
    detection.x = x;
    detection.y = y;
    detection.size = size;
    detection.confidence = confidence;
    detection.valid = 1;
    return detection;
}

CFaceResult FullFace(int x, int y, int size) {
    CFaceResult face;
    face.detection = Detection(x, y, size);
    face.age.age = 30;
    face.age.confidence = 600;
    face.gender.gender = 1;
    face.gender.confidence = 900;
    face.recognition.userId = 1;
    face.recognition.score = 750;
    face.age.valid = face.gender.valid = face.recognition.valid = 1;
    return face;
}

std::uint8_t FramePixel(int x, int y) {
    return static_cast<std::uint8_t>(20 + (x * 3 + y * 7) % 200);
}

CImageData PatternFrame(int width, int height) {
    CImageData frame;
    frame.Allocate(width, nullptr, height, kFormatGrey8, 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame.Plane(0)[y * frame.Stride(0) + x] = FramePixel(x, y);
        }
    }
    return frame;
}

ScriptedExecution EmulatedExecution() {
    // The first moment at which all three people and a hand are in view.
    const CEmulatedScene scene;
    const StoredSettings settings;
    SceneSnapshot view;
    Detections found;
    for (double t = 0; t < 300; t += 0.5) {
        view = TurnForCamera(scene.At(t), 0);
        found = Detect(view, settings);
        if (found.faces.size() == 3 && !found.hands.empty()) {
            break;
        }
    }

    ExecRequest request;
    request.flags1 = 0xFF;
    request.flags2 = 0x03;
    request.imageOption = kImage320x240;
    request.fiveScores = true;
    std::vector<RecognitionAnswer> recognition(found.faces.size());
    const RecognitionAnswer answers[] = {{1, 812}, {-1, 0}, {2, 655}};
    for (std::size_t i = 0; i < recognition.size() && i < std::size(answers); ++i) {
        recognition[i] = answers[i];
    }
    std::vector<std::uint8_t> answer = BuildExecPayload(request, found, recognition);
    std::vector<std::uint8_t> pixels(320 * 240);
    CScenePainter painter;
    painter.Paint(view, 0, 320, 240, pixels.data());
    answer.insert(answer.end(), pixels.begin(), pixels.end());

    ScriptedExecution execution;
    execution.frame.Allocate(320, nullptr, 240, kFormatGrey8, 1);
    CRawExecResult raw;
    ParseExecPayload(answer, request.flags1, request.flags2, request.fiveScores, request.imageOption,
                     execution.frame.Plane(0), execution.frame.PlaneCapacity(0), &raw);
    DecodeExecResult(raw, &execution.result);
    SetExecImageSize(raw, &execution.frame);
    return execution;
}

}  // namespace qzm_test
