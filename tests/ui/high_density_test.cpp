// The windows on a dense screen, device pixel ratio 2: twice the pixels in each direction, drawn at
// that resolution rather than enlarged. The ratio is fixed when the application starts, so CTest
// runs this class in a run of the binary of its own under QT_SCALE_FACTOR=2 (--class
// HighDensityIntegration). Screenshots: high_density_main.png, high_density_album.png,
// high_density_album_faces.png, high_density_settings.png, high_density_statistics.png.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "demo_harness.h"
#include "present/overlay_geometry.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/reg_preview_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui/pages/statistics_page.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;

namespace {

constexpr int kRatio = 2;

// The widget as the screen shows it, one image pixel per device pixel.
QImage Shot(QWidget& widget) {
    QPixmap pixmap = widget.grab();
    pixmap.setDevicePixelRatio(1);
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// The part of shot that shows child (in device pixels).
QImage PartOf(const QImage& shot, QWidget& window, QWidget& child) {
    const QRect logical(child.mapTo(&window, QPoint(0, 0)), child.size());
    return shot.copy(QRect(logical.topLeft() * kRatio, logical.size() * kRatio));
}

// Drawn at the device resolution: an image merely enlarged from half the size is made of uniform
// 2 x 2 blocks; edges, text and lines drawn for the dense screen break that somewhere.
bool DrawnAtDeviceResolution(const QImage& image) {
    for (int y = 0; y + 1 < image.height(); y += 2) {
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb c = image.pixel(x, y);
            if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c)
                return true;
        }
    }
    return false;
}

// Lengths of the horizontal runs of colour in image, counted per length.
std::map<int, int> RunLengths(const QImage& image, const OverlayColour& colour) {
    const QRgb wanted = qRgb(colour.red, colour.green, colour.blue);
    std::map<int, int> runs;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x <= image.width(); ++x) {
            if (x < image.width() && image.pixel(x, y) == wanted) {
                ++run;
            } else if (run > 0) {
                ++runs[run];
                run = 0;
            }
        }
    }
    return runs;
}

}  // namespace

class HighDensityIntegration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), qreal(kRatio)); }

    // After an execution with every function: the main window, its skins, logo, picture and
    // overlay at twice the pixels; the face's box lines two device pixels wide, as one unit is.
    void mainWindowAfterAnExecution() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        DemoHarness::ExecuteWithEveryFunction(*dialog);
        CImageDlg& page = dialog->MainPage().ImagePage();
        QVERIFY(page.ShowsFrame());
        QTRY_VERIFY(dialog->MainPage().ResultLog().LogView()->toPlainText().contains("Face count:1"));

        const QImage shot = Shot(*dialog);
        QCOMPARE(shot.size(), dialog->size() * kRatio);
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("high_density_main"));

        // The picture on the screen is the surface pixel for pixel, and the surface was drawn at
        // the screen's resolution: labels and diagonal axes break the 2 x 2 blocks.
        const QImage picture = PartOf(shot, *dialog, page.Picture());
        const QImage shown = page.ShownPicture();
        QCOMPARE(shown.size(), QSize(320, 240) * kRatio);
        QCOMPARE(picture.copy(QRect(QPoint(0, 40 * kRatio), shown.size())),
                 shown.convertToFormat(QImage::Format_RGB32));
        QVERIFY(DrawnAtDeviceResolution(shown));
        // Vertical lines of the face's box: runs of exactly two device pixels across them.
        const std::map<int, int> runs = RunLengths(shown, kFaceColour);
        QVERIFY(runs.count(kRatio) > 0 && runs.at(kRatio) >= 40);
        QCOMPARE(runs.count(1), std::size_t{0});

        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        for (QWidget* widget :
             std::initializer_list<QWidget*>{panel.ExecuteOnceButton(), panel.SettingsButton(),
                                             page.Toggle(kFunctionFace), &dialog->MainButton()}) {
            QVERIFY2(DrawnAtDeviceResolution(PartOf(shot, *dialog, *widget)),
                     qPrintable(widget->accessibleName()));
        }
        const QRect logo = dialog->LogoRect();
        QVERIFY(DrawnAtDeviceResolution(shot.copy(QRect(logo.topLeft() * kRatio, logo.size() * kRatio))));

        // The statistics page's charts, drawn anew at the screen's density (bars, text and lines),
        // and saved at it too.
        QTest::mouseClick(&dialog->StatisticsButton(), Qt::LeftButton);
        CStatisticsPage& statistics = dialog->StatisticsPage();
        QVERIFY(statistics.isVisible());
        const QImage charts = Shot(statistics.ChartArea());
        QCOMPARE(charts.size(), statistics.ChartArea().size() * kRatio);
        const QImage window = Shot(*dialog);
        for (QWidget* chart :
             std::initializer_list<QWidget*>{&statistics.ResponseChart(), &statistics.RatesChart(),
                                             &statistics.FaceTimeChart(0), &statistics.FaceTimeChart(3)})
            QVERIFY2(DrawnAtDeviceResolution(PartOf(window, *dialog, *chart)),
                     qPrintable(chart->accessibleName()));
        // Further down the chart area than the low window shows: checked in the area's own shot.
        for (QWidget* chart :
             std::initializer_list<QWidget*>{&statistics.FaceTimeChart(5), statistics.UserCharts().front()})
            QVERIFY2(DrawnAtDeviceResolution(PartOf(charts, statistics.ChartArea(), *chart)),
                     qPrintable(chart->accessibleName()));
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("high_density_statistics"));
        QVERIFY(demo.messenger.Messages().empty());
    }

    // The placeholder before the first frame, the album page and the settings dialog.
    void placeholderAlbumPageAndSettings() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CImageDlg& page = dialog->MainPage().ImagePage();
        QVERIFY(DrawnAtDeviceResolution(PartOf(Shot(*dialog), *dialog, page.Picture())));

        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QVERIFY(dialog->AlbumPage().isVisible());
        const QImage album = Shot(*dialog);
        QCOMPARE(album.size(), dialog->size() * kRatio);
        QVERIFY(DrawnAtDeviceResolution(PartOf(album, *dialog, dialog->AlbumPage().OpenButton())));
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("high_density_album"));
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);

        CSettingDlg& settings = dialog->SettingsDialog();
        QSize shotSize;
        QSize settingsSize;
        bool okSharp = false;
        DialogScript<CSettingDlg> user{[&](CSettingDlg&) {
            const QImage shot = Shot(settings);
            shotSize = shot.size();
            settingsSize = settings.size();
            okSharp = DrawnAtDeviceResolution(PartOf(shot, settings, *settings.OkButton()));
            qzm_test::SaveScreenshot(settings, QStringLiteral("high_density_settings"));
            QTest::mouseClick(settings.CancelButton(), Qt::LeftButton);
        }};
        QTest::mouseClick(dialog->MainPage().ExecutePanel().SettingsButton(), Qt::LeftButton);
        QCOMPARE(shotSize, settingsSize * kRatio);
        QVERIFY(okSharp);
        QVERIFY(demo.messenger.Messages().empty());
    }

    // The album page with a user's faces, one selected, and the live image: the camera picture and
    // the strip of faces with its highlight hold two pixels per unit, shown pixel for pixel.
    void albumPageFacesAndLiveImage() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        const int id = demo.controller->AddNewUser("Ann");
        for (int i = 0; i < 3; ++i)
            QVERIFY(demo.controller->RegisterFace(id).ok());
        QVERIFY(demo.controller->SaveAlbumBackup().ok());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        CRegistDlg& album = dialog->AlbumPage();
        QVERIFY(QTest::qWaitFor([&] { return album.Preview().DisplayImage().Width() == 160; }, 15000));
        qzm_test::ClickRow(album.UserPanel().List(), 0);
        CRegistImgPage& strip = album.ImagePage();
        qzm_test::ClickFace(strip, 1);
        QCOMPARE(strip.SelectedCell(), 1);

        const QImage shot = Shot(*dialog);
        const QImage& surface = album.Preview().Surface();
        QCOMPARE(surface.devicePixelRatio(), qreal(kRatio));
        const QPoint area(CRegPreviewDlg::kAreaX, CRegPreviewDlg::kAreaY);
        QVERIFY(PartOf(shot, *dialog, album.Preview()).copy(QRect(area * kRatio, surface.size())) ==
                surface.convertToFormat(QImage::Format_RGB32));
        // The strip inside its frame, as far as the faces' image reaches.
        const QImage& faces = strip.Strip();
        QCOMPARE(faces.devicePixelRatio(), qreal(kRatio));
        const int frame = CRegistImgPage::kFrame;
        const QSize room = (strip.StripView().size() - QSize(2 * frame, 2 * frame)) * kRatio;
        const QRect drawn(QPoint(0, 0), faces.size().boundedTo(room));
        const QImage inside =
            PartOf(shot, *dialog, strip.StripView()).copy(drawn.translated(frame * kRatio, frame * kRatio));
        QVERIFY(inside == faces.copy(drawn).convertToFormat(QImage::Format_RGB32));
        QVERIFY(DrawnAtDeviceResolution(inside));
        // The frame's outer edge is the view's last unit: its last two device pixels.
        const QImage view = PartOf(shot, *dialog, strip.StripView());
        const QRgb shadow = strip.StripView().palette().color(QPalette::Shadow).rgb();
        for (const int x : {view.width() - 2, view.width() - 1})
            QCOMPARE(view.pixel(x, view.height() / 2), shadow);
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("high_density_album_faces"));
        QVERIFY(demo.messenger.Messages().empty());
    }

    // A frame finer than the area's units keeps its detail: 640 x 480 columns alternating black
    // and white, drawn at half size, one device pixel each.
    void previewShowsDetailInDevicePixels() {
        CImageData frame;
        frame.Allocate(640, nullptr, 480, kFormatGrey8, 1);
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x)
                frame.Plane(0)[y * frame.Stride(0) + x] = x % 2 == 0 ? 0 : 255;
        }
        CRegPreviewDlg preview;
        preview.show();
        QCOMPARE(preview.SetImage(frame), 0);
        const QImage row =
            Shot(preview).copy(CRegPreviewDlg::kAreaX * kRatio, (CRegPreviewDlg::kAreaY + 40) * kRatio, 4, 1);
        QCOMPARE(row.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(row.pixelColor(1, 0), QColor(Qt::white));
        QCOMPARE(row.pixelColor(2, 0), QColor(Qt::black));
    }
};

QZM_UI_TEST_CLASS(HighDensityIntegration)
#include "high_density_test.moc"
