// The image page as the user sees it: the placeholder, frames fitted into the picture, the
// results over them and the display toggles, read from the page's pixels.
#include <QTest>

#include "page_results.h"
#include "present/overlay_geometry.h"
#include "ui/controls/skins.h"
#include "ui/pages/image_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::AllFunctions;
using qzm_test::OnlyFunctions;

namespace {

QRgb Rgb(const OverlayColour& colour) {
    return qRgb(colour.red, colour.green, colour.blue);
}

QRgb Grey(int value) {
    return qRgb(value, value, value);
}

// The page's picture at surface point (x, y).
QRgb PictureAt(CImageDlg& page, int x, int y) {
    const QImage shot = qzm_test::Grab(page);
    return shot.pixel(page.PictureArea().topLeft() + QPoint(x, y));
}

// The placeholder's own pixel, where it is opaque, at picture point (x, y).
QRgb PlaceholderAt(int x, int y) {
    const QImage& placeholder = NoImagePicture();
    const int top = (CImageDlg::kSurfaceSize - placeholder.height()) / 2;
    return placeholder.pixel(x, y - top) | 0xff000000u;
}

// One face at the centre of the module's 640 x 480 space, side 160, and one body low on the left.
CExecResult FaceAndBody() {
    CExecResult result;
    result.faces.push_back(qzm_test::FullFace(320, 240, 160));
    result.bodies.push_back(qzm_test::Detection(100, 400, 100));
    return result;
}

// With a frame of 320 x 240 (or none) on a 640-wide coordinate space the results are drawn at half
// size, 40 pixels down: the face's left edge runs down x = 120 from y = 120 to 200, the body's
// left edge down x = 25 from y = 215 to 265. Below y = 160 the face edge is clear of the blink bars.
const QPoint kFaceEdge(120, 180);
const QPoint kBodyEdge(25, 240);

}  // namespace

class ImagePageTest : public QObject {
    Q_OBJECT

private slots:
    void placeholderAndFrames() {
        CImageDlg page;
        page.resize(page.sizeHint());

        // Before the first execution: the placeholder, centred on the grey picture.
        QCOMPARE(PictureAt(page, 160, 30), Grey(128));
        QCOMPARE(PictureAt(page, 30, 100), PlaceholderAt(30, 100));
        QCOMPARE(PictureAt(page, 160, 200), PlaceholderAt(160, 200));

        // A 160 x 120 frame at scale 2, from (0, 40), top row first.
        const CExecResult none;
        page.SetImage(qzm_test::PatternFrame(160, 120), OnlyFunctions({}), &none);
        const QImage shot = qzm_test::Grab(page);
        const QPoint origin = page.PictureArea().topLeft();
        for (const QPoint& at :
             {QPoint(0, 0), QPoint(159, 0), QPoint(0, 119), QPoint(77, 33), QPoint(159, 119)}) {
            for (const QPoint& within : {QPoint(0, 0), QPoint(1, 1)}) {
                const QPoint surface(2 * at.x() + within.x(), 40 + 2 * at.y() + within.y());
                QCOMPARE(shot.pixel(origin + surface), Grey(qzm_test::FramePixel(at.x(), at.y())));
            }
        }
        QCOMPARE(shot.pixel(origin + QPoint(100, 39)), Grey(128));
        QCOMPARE(shot.pixel(origin + QPoint(100, 280)), Grey(128));

        // Face results on the 160-wide frame: factor 160 / 640, times scale 2: the face centred at
        // module x = 320 spans surface x 120 to 200 around x = 160.
        CExecResult face;
        face.faces.push_back(qzm_test::FullFace(320, 240, 160));
        page.SetImage(qzm_test::PatternFrame(160, 120), OnlyFunctions({kFunctionFace}), &face);
        QCOMPARE(PictureAt(page, 120, 180), Rgb(kFaceColour));
        QCOMPARE(PictureAt(page, 200, 180), Rgb(kFaceColour));

        // An execution without a frame: the placeholder again under the new results, never the
        // old frame.
        page.SetImage(CImageData(), OnlyFunctions({kFunctionBody, kFunctionFace}), &face);
        QCOMPARE(PictureAt(page, 30, 100), PlaceholderAt(30, 100));
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()), Rgb(kFaceColour));

        // A frame the page cannot read (not grey) counts as none.
        CImageData colour;
        colour.Allocate(160, nullptr, 120, kFormatBgr24, 1);
        page.SetImage(colour, OnlyFunctions({}), &none);
        QCOMPARE(PictureAt(page, 30, 100), PlaceholderAt(30, 100));
    }

    void togglesFollowTheLastExecution() {
        CImageDlg page;
        page.resize(page.sizeHint());

        // At start: ten switches, on but unusable until an execution says which functions ran.
        for (int i = 0; i < kFunctionCount; ++i) {
            QCOMPARE(page.Toggle(i)->accessibleName(), page.Toggle(i)->text());
            QVERIFY(!page.Toggle(i)->isEnabled());
            QCOMPARE(page.Toggle(i)->State(), 1);
            QCOMPARE(page.Toggle(i)->size(), QSize(96, 24));
        }
        QCOMPARE(page.Toggle(0)->text(), QStringLiteral("Human Body"));
        QCOMPARE(page.Toggle(9)->text(), QStringLiteral("Recognition"));
        QVERIFY(page.DisplayImageChecked());

        const CExecResult result = FaceAndBody();
        const CImageData frame = qzm_test::PatternFrame(320, 240);
        page.SetCoordinateSpace(0, 480);  // no such space: the 640 x 480 one stays
        page.SetImage(frame, AllFunctions(), &result);
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()), Rgb(kFaceColour));
        QCOMPARE(PictureAt(page, kBodyEdge.x(), kBodyEdge.y()), Rgb(kBodyColour));

        // Face off and on again: the last execution is redrawn without and with its face.
        CStateBmpButton& faceToggle = *page.Toggle(kFunctionFace);
        QVERIFY(faceToggle.isEnabled());
        QTest::mouseClick(&faceToggle, Qt::LeftButton);
        QCOMPARE(page.DisplayState(kFunctionFace), 0);
        QCOMPARE(faceToggle.State(), 0);
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()),
                 Grey(qzm_test::FramePixel(kFaceEdge.x(), kFaceEdge.y() - 40)));
        QCOMPARE(PictureAt(page, kBodyEdge.x(), kBodyEdge.y()), Rgb(kBodyColour));
        QTest::mouseClick(&faceToggle, Qt::LeftButton);
        QCOMPARE(faceToggle.State(), 1);
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()), Rgb(kFaceColour));

        // An execution with Face off: its toggle greys out and its overlay goes, though the user
        // still wants it shown.
        page.SetImage(frame, OnlyFunctions({kFunctionBody, kFunctionHand}), &result);
        QVERIFY(!faceToggle.isEnabled());
        QCOMPARE(page.DisplayState(kFunctionFace), 1);
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()),
                 Grey(qzm_test::FramePixel(kFaceEdge.x(), kFaceEdge.y() - 40)));
        QCOMPARE(PictureAt(page, kBodyEdge.x(), kBodyEdge.y()), Rgb(kBodyColour));

        // A greyed toggle does not react; once Face runs again its overlay is back.
        QTest::mouseClick(&faceToggle, Qt::LeftButton);
        QCOMPARE(page.DisplayState(kFunctionFace), 1);
        page.SetImage(frame, AllFunctions(), &result);
        QCOMPARE(PictureAt(page, kFaceEdge.x(), kFaceEdge.y()), Rgb(kFaceColour));
    }
};

QZM_UI_TEST_CLASS(ImagePageTest)
#include "image_page_test.moc"
