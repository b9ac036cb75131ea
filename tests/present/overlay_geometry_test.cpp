// Overlay geometry without a painter: image fit, axis projection, and where rectangles, axes, gaze
// lines, blink bars and labels of a face go, plus the label texts. Expected values are worked out
// by hand for a 320 x 240 image on the 320 x 320 surface and a 640-wide module (s = 0.5, (0, 40)).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "present/overlay_geometry.h"

using namespace qzm;

namespace {

constexpr OverlayMapping kHalf{0.5, 0, 40};
constexpr OverlayRect kPicture{0, 40, 320, 240};

CQZMDetectRes Detect(int x, int y, int size) {
    CQZMDetectRes r;
    r.x = x;
    r.y = y;
    r.size = size;
    r.valid = 1;
    return r;
}

TEST(OverlayGeometry, FitsImagesLargeAndCentred) {
    struct Case {
        int surfaceW, surfaceH, imageW, imageH;
        double scale;
        int x, y, w, h;
    };
    const Case cases[] = {
        {320, 320, 240, 320, 1.0, 40, 0, 240, 320},
        {320, 320, 640, 480, 0.5, 0, 40, 320, 240},
        // Wide surface: the height limits a 4:3 image and a square one alike.
        {320, 200, 320, 240, 200.0 / 240, 27, 0, 266, 200},
        {320, 200, 100, 100, 2.0, 60, 0, 200, 200},
    };
    for (const Case& c : cases) {
        const auto fit = FitImage(c.surfaceW, c.surfaceH, c.imageW, c.imageH);
        ASSERT_TRUE(fit.has_value());
        EXPECT_DOUBLE_EQ(fit->scale, c.scale) << c.imageW << "x" << c.imageH;
        EXPECT_EQ((std::vector{fit->offsetX, fit->offsetY, fit->width, fit->height}),
                  (std::vector{c.x, c.y, c.w, c.h}));
    }
    EXPECT_FALSE(FitImage(320, 320, 0, 240).has_value());
}

TEST(OverlayGeometry, ProjectsAxesForHandWorkedAngles) {
    struct Case {
        int yaw, pitch, roll;
        AxisVector x, y, z;
    };
    // Length 30. Components are rounded by +0.5 and truncation, so -30 becomes -29; yaw 45 with
    // pitch 45 tilts the picture by atan2(-0.5, 0.7071) = -35.26 degrees, taken as -35.
    const Case cases[] = {
        {0, 0, 0, {30, 0}, {0, 30}, {0, 0}},      {90, 0, 0, {0, 0}, {0, 30}, {30, 0}},
        {0, 90, 0, {30, 0}, {0, 0}, {0, 30}},     {0, 0, 90, {0, -29}, {30, 0}, {0, 0}},
        {45, 45, 0, {26, 0}, {-11, 17}, {9, 24}}, {-30, 0, 10, {26, -4}, {5, 30}, {-14, 3}},
    };
    for (const Case& c : cases) {
        const auto axes = ProjectAxes(c.yaw, c.pitch, c.roll, 30);
        EXPECT_EQ(axes[0], c.x) << c.yaw << "/" << c.pitch << "/" << c.roll;
        EXPECT_EQ(axes[1], c.y) << c.yaw << "/" << c.pitch << "/" << c.roll;
        EXPECT_EQ(axes[2], c.z) << c.yaw << "/" << c.pitch << "/" << c.roll;
    }
}

TEST(OverlayGeometry, PlacesInvalidRectanglesGazeLinesAndBlinkBars) {
    // Invalid positions stay a degenerate rectangle at -1 (at scale 1 without offset).
    for (const CQZMDetectRes& invalid : {Detect(-1, -1, 50), Detect(100, 100, -1), CQZMDetectRes{}}) {
        for (const OverlayPoint& corner : MapRectOutline(invalid.Box(), {1.0, 0, 0})) {
            EXPECT_EQ(corner, (OverlayPoint{-1, -1}));
        }
    }

    // Face centred at module (320, 240), side 120: surface box 130..190. Eyes a quarter in from the sides and
    // a third down; line length 2 x 60 / 3 = 40.
    const CQZMDetectRes face = Detect(320, 240, 120);
    CQZMGazeRes gaze;
    gaze.valid = 1;
    gaze.gazeYaw = 90;
    const auto lines = GazeGeometry(face, gaze, kHalf);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->eyes, (std::array<OverlayPoint, 2>{{{145, 150}, {175, 150}}}));
    EXPECT_EQ(lines->ends, (std::array<OverlayPoint, 2>{{{185, 150}, {215, 150}}}));
    const auto segments = lines->Segments();
    EXPECT_EQ(segments[2], (OverlaySegment{{185, 150}, {143, 148}}));
    EXPECT_EQ(segments.back(), (OverlaySegment{{215, 150}, {176, 151}}));
    gaze.gazeYaw = 0;
    gaze.gazePitch = 90;
    EXPECT_EQ(GazeGeometry(face, gaze, kHalf)->ends[1], (OverlayPoint{175, 110}));
    EXPECT_EQ(GazeGeometry(face, CQZMGazeRes{}, kHalf)->ends, GazeGeometry(face, CQZMGazeRes{}, kHalf)->eyes);
    gaze.gazePitch = -128;
    EXPECT_FALSE(GazeGeometry(face, gaze, kHalf).has_value());

    // Half the face is 30 pixels: a blink record that is not valid (degrees -1) fills it.
    EXPECT_EQ((*BlinkGeometry(face, CQZMBlinkRes{}, kHalf, kPicture))[0].bar, (OverlayRect{125, 130, 4, 30}));
    CQZMBlinkRes blink;
    blink.valid = 1;
    blink.left = 500;
    blink.right = -128;
    EXPECT_FALSE(BlinkGeometry(face, blink, kHalf, kPicture).has_value());
}

TEST(OverlayGeometry, StacksLabelsAboveTheFaceAndCutsTheirBackgroundAtTheEdge) {
    const TextExtent extents[] = {{50, 13}, {30, 15}};
    // Two boxes of the widest and highest text, ending 4 pixels above the face top 130.
    const auto placed = PlaceLabels(Detect(320, 240, 120), extents, kHalf, kPicture);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].box, (OverlayRect{130, 96, 50, 15}));
    EXPECT_EQ(placed[0].background, (OverlayRect{130, 96, 50, 13}));
    EXPECT_EQ(placed[1].background, (OverlayRect{130, 111, 30, 15}));
    // A text wider than the picture starts at its left edge, its background cut at the right one.
    EXPECT_EQ(PlaceLabels(Detect(320, 240, 120), extents, kHalf, {0, 40, 40, 240})[0].background,
              (OverlayRect{0, 96, 40, 13}));
    // A face without a position stacks above (-1, -1).
    EXPECT_EQ(PlaceLabels(CQZMDetectRes{}, extents, {1.0, 0, 0}, {0, 0, 320, 320})[0].box,
              (OverlayRect{-1, -35, 50, 15}));
    EXPECT_TRUE(PlaceLabels(Detect(320, 240, 120), {}, kHalf, kPicture).empty());
}

// Near the picture's edges the label stack (50 x 30 here) moves down or in and the blink bars move
// in or down, instead of being drawn where nobody sees them.
TEST(OverlayGeometry, LabelsAndBlinkBarsStayInsideThePicture) {
    const TextExtent extents[] = {{50, 13}, {30, 15}};
    struct Case {
        const char* where;
        CQZMDetectRes face;
        OverlayPoint stack;
        int leftBarX, rightBarX, frameTop;
    };
    const Case cases[] = {
        {"middle", Detect(320, 240, 60), {145, 111}, 140, 179, 145},
        {"top", Detect(320, 10, 60), {145, 40}, 140, 179, 40},
        {"left", Detect(10, 240, 60), {0, 111}, 0, 24, 145},
        {"right", Detect(630, 240, 60), {270, 111}, 295, 315, 145},
        {"top left corner", Detect(0, 0, 40), {0, 40}, 0, 14, 40},
    };
    for (const Case& c : cases) {
        const auto placed = PlaceLabels(c.face, extents, kHalf, kPicture);
        EXPECT_EQ(placed[0].box.x, c.stack.x) << c.where;
        EXPECT_EQ(placed[0].box.y, c.stack.y) << c.where;
        EXPECT_EQ(placed[1].box.y, c.stack.y + 15) << c.where;
        const auto bars = BlinkGeometry(c.face, CQZMBlinkRes{}, kHalf, kPicture);
        ASSERT_TRUE(bars.has_value());
        EXPECT_EQ((*bars)[0].bar.x, c.leftBarX) << c.where;
        EXPECT_EQ((*bars)[1].bar.x, c.rightBarX) << c.where;
        EXPECT_EQ((*bars)[0].frame[0].y, c.frameTop) << c.where;
        // The bar rises from the face's middle to the frame's top, whichever way it moved.
        EXPECT_EQ((*bars)[0].bar.y, c.frameTop) << c.where;
    }
}

TEST(OverlayGeometry, LabelTextsAndColours) {
    const std::vector<UserName> users = {{3, "Ζωή"}, {3, "later"}, {8, "Bob"}};
    bool all[kFunctionCount] = {};
    for (bool& flag : all) {
        flag = true;
    }
    auto labelsOf = [&](const CFaceResult& face) { return FaceLabels(all, face, users); };
    CFaceResult face;  // nothing valid
    EXPECT_EQ(labelsOf(face), (std::vector<LabelLine>{{"Not registered", kRecognitionColour},
                                                      {"-1", kAgeColour},
                                                      {"Female", kFemaleColour},
                                                      {"", kExpressionColours[0]}}));
    face.recognition.valid = face.age.valid = face.gender.valid = face.expression.valid = 1;
    struct Case {
        int userId, age, gender, top, topScore;
        std::vector<int> scores;
        LabelLine name, ageLine, genderLine, expression;
    };
    const Case cases[] = {
        {3,
         34,
         1,
         2,
         60,
         {-128, -128, -128, -128, -128},
         {"Ζωή", kRecognitionColour},
         {"34", kAgeColour},
         {"Male", kMaleColour},
         {"Happiness", kExpressionColours[2]}},
        {-127,
         -128,
         -128,
         -128,
         -128,
         {10, 80, 80, 5, 5},
         {"Data not registered", kRecognitionColour},
         {"?", kAgeColour},
         {"?", kGenderUnknownColour},
         {"Happiness", kExpressionColours[2]}},
        {-128,
         70,
         0,
         -128,
         -128,
         {-128, -128, -128, -128, -128},
         {"?", kRecognitionColour},
         {"70", kAgeColour},
         {"Female", kFemaleColour},
         {"?", kExpressionUnknownColour}},
        {9,
         0,
         2,
         7,
         99,
         {-128, -128, -128, -128, -128},  // unknown user and expression code
         {"", kRecognitionColour},
         {"0", kAgeColour},
         {"Female", kFemaleColour},
         {"", kExpressionColours[0]}},
    };
    for (const Case& c : cases) {
        face.recognition.userId = c.userId;
        face.age.age = c.age;
        face.gender.gender = c.gender;
        face.expression.topExpression = c.top;
        face.expression.topScore = c.topScore;
        std::copy(c.scores.begin(), c.scores.end(), face.expression.scores);
        EXPECT_EQ(labelsOf(face), (std::vector<LabelLine>{c.name, c.ageLine, c.genderLine, c.expression}));
    }
    bool ageOnly[kFunctionCount] = {};
    ageOnly[kFunctionAge] = true;
    EXPECT_EQ(FaceLabels(ageOnly, face, users), (std::vector<LabelLine>{{"0", kAgeColour}}));
    const bool none[kFunctionCount] = {true, true, true, true, false, false, true, true, false, false};
    EXPECT_TRUE(FaceLabels(none, face, users).empty());
}

}  // namespace
