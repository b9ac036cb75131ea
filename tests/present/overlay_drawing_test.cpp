// The overlay drawn into a QImage and read back at computed pixels, as the image page shows it:
// frames from the module converted and flipped like the page does, fitted into the 320 x 320
// surface, results drawn over them. Also saves a screenshot of a busy frame for a person to judge.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "device/qzm_frame.h"
#include "device/qzm_results.h"
#include "image/image_data.h"
#include "image/img_conv.h"
#include "present/alpha_dc.h"
#include "present/result_dc.h"

using namespace qzm;

namespace {

// One application object for the whole binary, on the offscreen platform unless told otherwise.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "qzm_present_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr OverlayColour kGrey{128, 128, 128};
constexpr OverlayColour kDimmed{48, 48, 48};  // grey under the label background
constexpr bool kAll[kFunctionCount] = {true, true, true, true, true, true, true, true, true, true};

OverlayColour At(const QImage& image, int x, int y) {
    const QRgb c = image.pixel(x, y);
    return {static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
            static_cast<std::uint8_t>(qBlue(c))};
}

bool NearDimmed(const OverlayColour& c) {
    auto near = [](int v) { return v >= kDimmed.red - 1 && v <= kDimmed.red + 1; };
    return near(c.red) && near(c.green) && near(c.blue);
}

int CountPixels(const QImage& image, const std::function<bool(const OverlayColour&)>& match) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += match(At(image, x, y)) ? 1 : 0;
        }
    }
    return count;
}

// A module frame: packed 8-bit grey, top row first.
CImageData ModuleFrame(int width, int height, const std::function<int(int x, int y)>& grey) {
    CImageData frame;
    EXPECT_EQ(frame.Allocate(width, nullptr, height, kFormatGrey8, 1), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame.Plane(0)[y * width + x] = static_cast<std::uint8_t>(grey(x, y));
        }
    }
    return frame;
}

// What the image page draws: the frame in 24-bit blue-green-red with its rows bottom-up.
CImageData DisplayImage(const CImageData& frame) {
    CImageData display;
    EXPECT_EQ(display.Allocate(frame.Width(), nullptr, frame.Height(), kFormatBgr24, 1), 0);
    IMGCONVINFO target = display.Info();
    EXPECT_EQ(CImgConv(frame.Width(), frame.Height(), kFormatGrey8, kFormatBgr24)
                  .Convert(frame.Info(), &target, true),
              0);
    return display;
}

CQZMDetectRes Detect(int x, int y, int size) {
    CQZMDetectRes r;
    r.x = x;
    r.y = y;
    r.size = size;
    r.confidence = 800;
    r.valid = 1;
    return r;
}

CFaceResult FaceAt(int x, int y, int size) {
    CFaceResult face;
    face.detection = Detect(x, y, size);
    return face;
}

class OverlayDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dc_.Create(320, 320), 1);
        Clear();
    }
    void Clear() { dc_.Painter().fillRect(0, 0, 320, 320, QColor(128, 128, 128)); }
    // A plain 320 x 240 picture: scale 1.0 at (0, 40), so module coordinates at factor 0.5.
    void ShowPlainFrame() {
        ASSERT_EQ(dc_.DrawImage(DisplayImage(ModuleFrame(320, 240, [](int, int) { return 128; }))), 0);
    }
    OverlayColour At(int x, int y) const { return ::At(dc_.Surface(), x, y); }

    CQZMResultDC dc_;
};

TEST_F(OverlayDrawing, FitsImagesUprightAndCentred) {
    // The module's top rows (white) must appear at the top of the picture.
    ASSERT_EQ(
        dc_.DrawImage(DisplayImage(ModuleFrame(320, 240, [](int, int y) { return y < 10 ? 255 : 60; }))), 0);
    EXPECT_EQ(dc_.Scale(), 1.0);
    EXPECT_EQ((std::vector{dc_.OffsetX(), dc_.OffsetY()}), (std::vector{0, 40}));
    EXPECT_EQ(At(5, 39), kGrey);
    EXPECT_EQ(At(5, 40), (OverlayColour{255, 255, 255}));
    EXPECT_EQ(At(5, 279), (OverlayColour{60, 60, 60}));
    EXPECT_EQ(At(5, 280), kGrey);

    // 8-bit grey bottom-up, doubled: image pixel (0, 0) covers surface (0..1, 40..41).
    CImageData grey = ModuleFrame(160, 120, [](int x, int y) { return x == 0 && y == 119 ? 200 : 30; });
    ASSERT_EQ(dc_.DrawImage(grey), 0);
    EXPECT_EQ(dc_.Scale(), 2.0);
    EXPECT_EQ((std::vector{At(1, 41), At(2, 41), At(1, 42)}),
              (std::vector<OverlayColour>{{200, 200, 200}, {30, 30, 30}, {30, 30, 30}}));

    // Rows padded to 4 bytes (161 x 3 = 483 -> 484): a bright column stays straight.
    CImageData padded;
    ASSERT_EQ(padded.Allocate(161, nullptr, 120, kFormatBgr24, 0), 0);
    for (int row = 0; row < 120; ++row) {
        std::memset(padded.Plane(0) + row * padded.Stride(0) + 100 * 3, 250, 3);
    }
    ASSERT_EQ(dc_.DrawImage(padded), 0);
    for (int y = 0; y < 120; ++y) {
        const int sy = dc_.OffsetY() + static_cast<int>((y + 0.5) * dc_.Scale());
        EXPECT_EQ(At(dc_.OffsetX() + static_cast<int>(100.5 * dc_.Scale()), sy),
                  (OverlayColour{250, 250, 250}));
        EXPECT_EQ(At(dc_.OffsetX() + static_cast<int>(99.5 * dc_.Scale()), sy), (OverlayColour{0, 0, 0}));
    }

    // Nothing to draw: scale and offset stay.
    const double scale = dc_.Scale();
    EXPECT_EQ(dc_.DrawImage(CImageData{}), -1);
    CImageData other;
    ASSERT_EQ(other.Allocate(4, nullptr, 4, kFormatColour32, 1), 0);
    EXPECT_EQ(dc_.DrawImage(other), -1);
    EXPECT_EQ(dc_.Scale(), scale);
}

TEST_F(OverlayDrawing, SmallFrameFaceLandsAtQuarterFactorWithAxesRightAndUp) {
    ASSERT_EQ(dc_.DrawImage(DisplayImage(ModuleFrame(160, 120, [](int, int) { return 90; }))), 0);
    CExecResult result;
    result.faces.push_back(FaceAt(320, 240, 120));
    bool flags[kFunctionCount] = {};
    flags[kFunctionFace] = flags[kFunctionDirection] = true;
    dc_.DrawResults(flags, 160.0 / 640, result);

    // Centre at surface (160, 160); box 130..190; axes 20 long.
    const OverlayColour green = kFaceColour;
    EXPECT_EQ((std::vector{At(130, 160), At(190, 160), At(160, 130), At(160, 190)}),
              (std::vector{green, green, green, green}));
    EXPECT_EQ(At(175, 160), kDirectionXColour);
    EXPECT_EQ(At(181, 160), (OverlayColour{90, 90, 90}));
    EXPECT_EQ(At(160, 145), kDirectionYColour);
    EXPECT_EQ(At(160, 160), kDirectionYColour);  // the Z axis has no length: nothing over Y
    EXPECT_EQ(CountPixels(dc_.Surface(), [](const OverlayColour& c) { return c == kDirectionZColour; }), 0);
}

// For a dense screen: the same drawing in twice the pixels each way, lines two pixels wide instead
// of an enlarged picture of one-pixel lines.
TEST(OverlaySurface, DevicePixelRatioTwoDrawsInTwiceThePixels) {
    CQZMResultDC dc;
    ASSERT_EQ(dc.Create(320, 320, QImage::Format_RGB32, 2.0), 1);
    EXPECT_EQ((std::vector{dc.Width(), dc.Height(), dc.Surface().width(), dc.Surface().height()}),
              (std::vector{320, 320, 640, 640}));
    EXPECT_EQ(dc.DevicePixelRatio(), 2.0);
    dc.Painter().fillRect(0, 0, 320, 320, QColor(128, 128, 128));
    ASSERT_EQ(dc.DrawImage(DisplayImage(ModuleFrame(160, 120, [](int, int) { return 90; }))), 0);
    EXPECT_EQ((std::vector{dc.Scale(), double(dc.OffsetX()), double(dc.OffsetY())}),
              (std::vector{2.0, 0.0, 40.0}));
    CExecResult result;
    result.faces.push_back(FaceAt(320, 240, 120));
    bool flags[kFunctionCount] = {};
    flags[kFunctionFace] = true;
    dc.DrawResults(flags, 160.0 / 640, result);

    // The box's left side at x = 130: two pixels wide.
    const QImage& shot = dc.Surface();
    const OverlayColour frame{90, 90, 90};
    const int leftEdge = At(shot, 259, 320) == kFaceColour ? 259 : 260;
    EXPECT_EQ((std::vector{At(shot, leftEdge - 1, 320), At(shot, leftEdge, 320), At(shot, leftEdge + 1, 320),
                           At(shot, leftEdge + 2, 320)}),
              (std::vector{frame, kFaceColour, kFaceColour, frame}));
    // Four sides of 60 units, each unit two by two pixels: four times what ratio 1 draws.
    EXPECT_EQ(CountPixels(shot, [](const OverlayColour& c) { return c == kFaceColour; }), 4 * 4 * 60);

    CImageData copy;
    ASSERT_EQ(dc.CopyToImage(&copy), 0);
    EXPECT_EQ((std::vector{copy.Width(), copy.Height()}), (std::vector{640, 640}));
    EXPECT_EQ(dc.Create(320, 320, QImage::Format_RGB32, 0.0), 0);
}

TEST_F(OverlayDrawing, BlinkBarsFillFromTheCentreInsideWhiteFrames) {
    ShowPlainFrame();
    CExecResult result;
    result.faces.push_back(FaceAt(320, 240, 120));
    result.faces[0].blink.valid = 1;
    result.faces[0].blink.left = 1000;
    result.faces[0].blink.right = 1;
    bool flags[kFunctionCount] = {};
    flags[kFunctionBlink] = true;
    dc_.DrawResults(flags, 0.5, result);

    const OverlayColour white = kBlinkFrameColour;
    auto redRows = [&](int x) {
        int rows = 0;
        for (int y = 120; y < 170; ++y) {
            rows += At(x, y) == kBlinkBarColour ? 1 : 0;
        }
        return rows;
    };
    // Left frame x 125..129, right frame 194..198, both y 130..160; the bar of 29 ends at y 159.
    EXPECT_EQ(redRows(127), 0);
    EXPECT_EQ((std::vector{At(125, 130), At(129, 145), At(127, 160), At(194, 130), At(198, 150)}),
              (std::vector{white, white, white, white, white}));
    EXPECT_EQ(redRows(195), 29);
    EXPECT_EQ((std::vector{At(195, 131), At(197, 159), At(196, 160)}),
              (std::vector{kBlinkBarColour, kBlinkBarColour, white}));
}

TEST_F(OverlayDrawing, LabelsDimTheirBoxStayInsideAndShowNamesAsTyped) {
    ShowPlainFrame();
    const QFontMetrics metrics = dc_.Painter().fontMetrics();
    const std::string greek = "Ζωή";
    dc_.SetUserList({{4, "Alexandrina Montgomery-Whitfield"}, {5, greek}});
    CExecResult result;
    result.faces = {FaceAt(320, 240, 120), FaceAt(620, 400, 120)};
    result.faces[0].recognition.valid = result.faces[1].recognition.valid = 1;
    result.faces[0].recognition.userId = 5;
    result.faces[1].recognition.userId = 4;
    bool flags[kFunctionCount] = {};
    flags[kFunctionRecognition] = true;
    dc_.DrawResults(flags, 0.5, result);

    // One line each, ending 4 pixels above the face top at y 130.
    const int top = 130 - 4 - metrics.height();
    const int width = metrics.horizontalAdvance(QString::fromStdString(greek));
    ASSERT_NE(width, metrics.horizontalAdvance(QString::fromLatin1(greek.c_str())));
    for (int y = top; y < top + metrics.height(); ++y) {
        EXPECT_EQ(At(129, y), kGrey);
        EXPECT_NE(At(130 + width - 1, y), kGrey) << y;
        EXPECT_EQ(At(130 + width, y), kGrey) << y;
    }
    EXPECT_EQ(At(130, 126), kGrey);  // the 4-pixel gap
    // The long name of the face at x 280 moves in from the picture's right edge, dimmed all the way.
    const int longTop = 210 - 4 - metrics.height();
    const int longLeft = 320 - metrics.horizontalAdvance(QStringLiteral("Alexandrina Montgomery-Whitfield"));
    ASSERT_LT(longLeft, 280);
    for (int x = longLeft; x < 320; ++x) {
        EXPECT_NE(At(x, longTop), kGrey) << x;
    }
    EXPECT_EQ(At(longLeft - 1, longTop), kGrey);
    EXPECT_GT(CountPixels(dc_.Surface(), NearDimmed), 0);

    // A larger font gives larger boxes at once.
    QFont large = dc_.Painter().font();
    large.setPointSize(large.pointSize() * 2);
    dc_.Painter().setFont(large);
    Clear();
    dc_.DrawResults(flags, 0.5, result);
    const QFontMetrics largeMetrics(large, &dc_.Surface());
    const int largeWidth = largeMetrics.horizontalAdvance(QString::fromStdString(greek));
    ASSERT_GT(largeWidth, width);
    EXPECT_NE(At(130 + largeWidth - 1, 130 - 4 - largeMetrics.height()), kGrey);
    EXPECT_EQ(At(130 + largeWidth, 130 - 4 - largeMetrics.height()), kGrey);

    // Every function but the labels: nothing is dimmed.
    Clear();
    ShowPlainFrame();
    const bool noLabels[kFunctionCount] = {true, true, true, true, false, false, true, true, false, false};
    dc_.DrawResults(noLabels, 0.5, result);
    EXPECT_EQ(CountPixels(dc_.Surface(), NearDimmed), 0);
}

// A long session with a large album brings hundreds of label texts (names, ages). The cache of
// laid-out labels is emptied when it is full, which may happen between two lines of one face: the
// lines laid out before must still be drawn from live memory (the address sanitizer reports it
// otherwise), and a face drawn afterwards looks as on a fresh surface.
TEST_F(OverlayDrawing, LabelsSurviveTheirCacheBeingEmptiedWithinAFace) {
    std::vector<UserName> users;
    for (int id = 0; id < 900; ++id) {
        users.push_back({id, "User " + std::to_string(id)});
    }
    dc_.SetUserList(users);
    bool flags[kFunctionCount] = {};
    flags[kFunctionRecognition] = flags[kFunctionAge] = flags[kFunctionGender] = true;
    auto face = [](int userId, int age) {
        CFaceResult f = FaceAt(320, 300, 120);
        f.recognition.valid = f.age.valid = 1;
        f.recognition.userId = userId;
        f.age.age = age;
        return f;
    };
    // The first face brings three new texts (name, age, gender), every later one two (name, age):
    // the 256th face's age finds the cache full after its name went in.
    for (int frame = 0; frame < 3; ++frame) {
        CExecResult result;
        for (int i = 0; i < 300; ++i) {
            result.faces.push_back(face(frame * 300 + i, 1000 * (frame + 1) + i));
        }
        ShowPlainFrame();
        dc_.DrawResults(flags, 0.5, result);
    }

    CExecResult last;
    last.faces = {face(7, 33)};
    ShowPlainFrame();
    dc_.DrawResults(flags, 0.5, last);
    CQZMResultDC fresh;
    ASSERT_EQ(fresh.Create(320, 320), 1);
    fresh.Painter().fillRect(0, 0, 320, 320, QColor(128, 128, 128));
    fresh.SetUserList(users);
    ASSERT_EQ(fresh.DrawImage(DisplayImage(ModuleFrame(320, 240, [](int, int) { return 128; }))), 0);
    fresh.DrawResults(flags, 0.5, last);
    EXPECT_EQ(dc_.Surface(), fresh.Surface());
}

TEST_F(OverlayDrawing, RecordsWithoutPositionDrawAtMinusOne) {
    // No image yet: scale 1.0, offset (0, 0), factor 1.0, so -1 lies just off the surface.
    CExecResult result;
    result.bodies = {Detect(-1, -1, 40)};
    result.hands = {Detect(50, 50, -1)};
    result.faces.resize(1);  // nothing valid: rectangle, axes, blink and labels all at -1
    dc_.DrawResults(kAll, 1.0, result);
    // Only the gaze thickening reaches from (-1, -1) into the surface, at (0, 0).
    EXPECT_EQ(At(0, 0), kGazeColour);
    EXPECT_EQ(CountPixels(dc_.Surface(), [](const OverlayColour& c) { return c != kGrey; }), 1);
}

TEST(OverlaySurface, CopiesTheSurfaceInItsOwnLayout) {
    struct Case {
        QImage::Format format;
        int result, imageFormat, stride;
        std::vector<std::uint8_t> lastPixel;
    };
    const Case cases[] = {
        {QImage::Format_RGB32, 0, kFormatColour32, 20, {30, 20, 10}},
        {QImage::Format_BGR888, 0, kFormatBgr24, 15, {30, 20, 10}},
        {QImage::Format_RGB16, 0, kFormatColour16, 10, {0xA3, 0x08}},  // 5-6-5 bits: 1, 5, 3
        {QImage::Format_Grayscale8, 8, 0, 0, {}},
        {QImage::Format_RGB666, 24, 0, 0, {}},  // 24 bits of another layout
    };
    for (const Case& c : cases) {
        CResultDC dc;
        ASSERT_EQ(dc.Create(5, 3, c.format), 1);
        EXPECT_EQ(dc.Create(5, 3, c.format), 0);
        dc.Painter().fillRect(0, 0, 5, 3, QColor(10, 20, 30));
        CImageData image;
        ASSERT_EQ(dc.CopyToImage(&image), c.result) << c.format;
        EXPECT_EQ(image.Format(), c.imageFormat);
        EXPECT_EQ(image.Stride(0), c.stride);
        if (!c.lastPixel.empty()) {
            EXPECT_EQ(image.Packed(), 1);
            const std::uint8_t* last = image.Plane(0) + 2 * c.stride + 4 * c.stride / 5;
            EXPECT_EQ(std::vector(last, last + c.lastPixel.size()), c.lastPixel);
        }
    }
    CQZMResultDC none;
    CImageData image;
    EXPECT_EQ(none.CopyToImage(&image), -1);
    none.DrawResults(kAll, 0.5, CExecResult{});  // no surface: nothing happens
}

TEST(OverlaySurface, AlphaSurfaceShowsFillAroundAndThroughTheKeyedPicture) {
    const QRgb fill = qRgb(49, 106, 197);
    CAlphaDC plain;
    ASSERT_EQ(plain.Create(10, 6), 1);
    EXPECT_EQ(CountPixels(plain.Surface(),
                          [&](const OverlayColour& c) { return qRgb(c.red, c.green, c.blue) != fill; }),
              0);
    EXPECT_EQ(plain.Create(0, 6), 0);

    QImage small(4, 2, QImage::Format_RGB32);
    small.fill(qRgb(255, 0, 0));
    small.setPixel(0, 0, qRgb(255, 0, 255));
    CAlphaDC keyed;
    keyed.SetBackground(&small, qRgb(255, 0, 255));
    ASSERT_EQ(keyed.Create(10, 6), 1);
    EXPECT_EQ(keyed.Surface().pixel(3, 2), fill);  // the key pixel
    EXPECT_EQ(keyed.Surface().pixel(4, 2), qRgb(255, 0, 0));
    EXPECT_EQ(keyed.Surface().pixel(6, 3), qRgb(255, 0, 0));
    EXPECT_EQ(keyed.Surface().pixel(7, 3), fill);

    // Larger than the surface: its centre shows at its own size.
    QImage large(12, 8, QImage::Format_RGB32);
    large.fill(qRgb(255, 0, 0));
    large.setPixel(1, 1, qRgb(0, 255, 0));
    keyed.SetBackground(&large, qRgb(255, 0, 255));
    ASSERT_EQ(keyed.Create(10, 6), 1);
    EXPECT_EQ(keyed.Surface().pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(keyed.Surface().pixel(1, 0), qRgb(255, 0, 0));
}

// On a dense screen: twice the pixels each way; the picture (here of ratio 2) centred at its size in
// units, its key pixel showing the fill.
TEST(OverlaySurface, AlphaSurfaceAtRatioTwo) {
    const QRgb fill = qRgb(49, 106, 197);
    QImage dense(8, 4, QImage::Format_RGB32);
    dense.setDevicePixelRatio(2.0);
    dense.fill(qRgb(255, 0, 0));
    dense.setPixel(0, 0, qRgb(255, 0, 255));
    CAlphaDC keyed;
    keyed.SetBackground(&dense, qRgb(255, 0, 255));
    ASSERT_EQ(keyed.Create(10, 6, 2.0), 1);
    const QImage& surface = keyed.Surface();
    EXPECT_EQ(surface.size(), QSize(20, 12));
    EXPECT_EQ(surface.devicePixelRatio(), 2.0);
    // Units (3, 2) to (7, 4) are device pixels (6, 4) to (14, 8).
    const std::vector<QRgb> diagonal{surface.pixel(5, 3), surface.pixel(6, 4), surface.pixel(7, 5),
                                     surface.pixel(13, 7), surface.pixel(14, 8)};
    EXPECT_EQ(diagonal, (std::vector<QRgb>{fill, fill, qRgb(255, 0, 0), qRgb(255, 0, 0), fill}));
}

// The whole way of one busy execution: the module's answer (three people, two hands, every
// function, the 320 x 240 frame) parsed and decoded, the frame converted as the image page does,
// drawn with every overlay, checked at a few pixels and saved for a person to look at.
TEST(OverlayScreenshot, BusyExecutionFromTheModulesAnswer) {
    QImage scene(320, 240, QImage::Format_Grayscale8);
    {
        QPainter p(&scene);
        QLinearGradient shade(0, 0, 0, 240);
        shade.setColorAt(0, QColor(95, 95, 95));
        shade.setColorAt(1, QColor(40, 40, 40));
        p.fillRect(scene.rect(), shade);
        p.setPen(Qt::NoPen);
        for (const QPoint& at : {QPoint(60, 110), QPoint(160, 100), QPoint(262, 120)}) {
            p.setBrush(QColor(110, 110, 110));
            p.drawRoundedRect(at.x() - 38, at.y() + 28, 76, 110, 20, 20);  // shoulders and body
            p.setBrush(QColor(185, 185, 185));
            p.drawEllipse(at, 26, 32);  // head
        }
        p.setBrush(QColor(175, 175, 175));
        p.drawEllipse(QPoint(20, 190), 12, 15);  // hands
        p.drawEllipse(QPoint(300, 200), 12, 15);
    }

    // Module coordinates are twice the picture's (640 x 480).
    std::vector<std::uint8_t> answer = {3, 2, 3, 0};
    auto put16 = [&](std::initializer_list<int> values) {
        for (int v : values) {
            PutLE16(answer, static_cast<std::uint16_t>(v));
        }
    };
    auto put8 = [&](std::initializer_list<int> values) {
        for (int v : values) {
            answer.push_back(static_cast<std::uint8_t>(v));
        }
    };
    put16({120, 360, 180, 800, 320, 340, 180, 800, 524, 380, 180, 800});  // bodies
    put16({40, 380, 44, 700, 600, 400, 44, 700});                         // hands
    // Per face: detection, direction, age, gender, gaze, blink, five scores and degree, recognition.
    put16({120, 220, 104, 900, -25, 5, 0, 800});
    put8({34, 1, 0, 1, 1, 0, -20, 0});
    put16({300, 350});
    put8({10, 70, 5, 5, 10, 60});
    put16({1, 700});
    put16({320, 200, 104, 900, 0, 0, 0, 800});
    put8({27, 1, 0, 0, 1, 0, 0, 0});
    put16({900, 880});
    put8({60, 20, 10, 5, 5, 40});
    put16({2, 650});
    put16({524, 240, 104, 900, 30, -10, 12, 800});
    put8({51, 1, 0, 1, 1, 0, 15, 10});
    put16({1, 1000});
    put8({5, 5, 5, 80, 5, 70});
    put16({-1, 0});
    put16({320, 240});
    for (int y = 0; y < 240; ++y) {
        answer.insert(answer.end(), scene.constScanLine(y), scene.constScanLine(y) + 320);
    }
    CImageData frame;
    ASSERT_EQ(frame.Allocate(320, nullptr, 240, kFormatGrey8, 1), 0);
    CRawExecResult raw;
    ASSERT_EQ(ParseExecPayload(answer, 0xFF, 0x03, true, kImage320x240, frame.Plane(0),
                               frame.PlaneCapacity(0), &raw),
              0);
    CExecResult result;
    ASSERT_EQ(DecodeExecResult(raw, &result), 0);
    ASSERT_EQ(SetExecImageSize(raw, &frame), 0);
    ASSERT_EQ(result.faces.size(), 3u);

    CQZMResultDC dc;
    ASSERT_EQ(dc.Create(320, 320), 1);
    dc.SetUserList({{1, "Алёна"}, {2, "Ζωή Παππά"}});
    dc.Painter().fillRect(0, 0, 320, 320, QColor(128, 128, 128));
    ASSERT_EQ(dc.DrawImage(DisplayImage(frame)), 0);
    dc.DrawResults(kAll, 0.5, result);

    // The picture where nothing is drawn, then edges at module / 2 + (0, 40).
    const QImage& shot = dc.Surface();
    const std::uint8_t top = scene.constScanLine(5)[5];
    EXPECT_EQ(::At(shot, 5, 45), (OverlayColour{top, top, top}));
    EXPECT_EQ(::At(shot, (120 - 90) / 2, 220), kBodyColour);
    EXPECT_EQ(::At(shot, 160, 40 + (200 - 52) / 2), kFaceColour);
    EXPECT_EQ(::At(shot, (40 - 22) / 2, 230), kHandColour);

    const std::filesystem::path folder = QZM_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / "overlay.png").string())));
}

}  // namespace
