// Saving what the image page shows: the picture's menu, the file dialog and the PNG files, against
// the emulated module.
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include "demo_harness.h"
#include "dialog_script.h"
#include "present/overlay_geometry.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::ChooseFile;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;

namespace {

int CountColour(const QImage& image, const OverlayColour& colour) {
    const QRgb wanted = qRgb(colour.red, colour.green, colour.blue);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == wanted ? 1 : 0;
    }
    return count;
}

}  // namespace

class SaveImageIntegration : public QObject {
    Q_OBJECT

private slots:
    // From the picture's menu (opened with the menu key) the frame alone, then the frame with the
    // results; the second dialog starts where the first saved, and the folder is kept in
    // Application.ini for the next start.
    void savesTheFrameAndTheResults() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CImageDlg& page = dialog->MainPage().ImagePage();
        const std::unique_ptr<QMenu> placeholderMenu = page.BuildPictureMenu();
        for (QAction* action : placeholderMenu->actions())
            QVERIFY(!action->isEnabled());  // the placeholder: nothing to save

        DemoHarness::ExecuteWithEveryFunction(*dialog);
        QVERIFY(page.ShowsFrame());

        const QString folder = QString::fromStdString((demo.folder.path() / "pictures").string());
        QVERIFY(QDir().mkpath(folder));
        // What each file dialog offered: "save", its folder and the proposed file.
        QStringList first;
        QStringList second;
        DialogScript<QFileDialog> files{ChooseFile(folder + "/frame.png", &first),
                                        ChooseFile(folder + "/results.png", &second)};
        QStringList menuTexts;
        DialogScript<QMenu> menus{[&](QMenu& menu) {
            for (QAction* action : menu.actions()) {
                menuTexts << action->text();
                QVERIFY(action->isEnabled());
            }
            // As a click on the item: the menu closes, then the item acts.
            menu.close();
            menu.actions().at(0)->trigger();
        }};
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(10, 10),
                              page.Picture().mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(&page.Picture(), &key);
        QCOMPARE(menuTexts, (QStringList{"Save image...", "Save image with results..."}));
        QCOMPARE(first.value(0), QStringLiteral("save"));
        QVERIFY(QRegularExpression(QStringLiteral("^qzm-frame-\\d{8}-\\d{6}\\.png$"))
                    .match(QFileInfo(first.value(2)).fileName())
                    .hasMatch());

        // As the module sent it: 320 x 240 grey, upright, no overlay.
        const QImage frame(folder + "/frame.png");
        QCOMPARE(frame.size(), QSize(320, 240));
        QVERIFY(frame.isGrayscale());
        QCOMPARE(frame.convertToFormat(QImage::Format_Grayscale8), page.Frame());
        QCOMPARE(CountColour(frame, kFaceColour), 0);

        page.BuildPictureMenu()->actions().at(1)->trigger();
        QCOMPARE(second.value(1), folder);
        QVERIFY(QFileInfo(second.value(2)).fileName().startsWith("qzm-result-"));
        QVERIFY(files.Done());

        // The frame's part of the picture as shown, with the face's box drawn over it.
        const QImage results(folder + "/results.png");
        QCOMPARE(results.size(), QSize(320, 240));
        QVERIFY(CountColour(results, kFaceColour) > 40);
        QCOMPARE(results.pixel(0, 0), frame.pixel(0, 0));

        QVERIFY(ReadFile("Application.ini").find("PrevImageFolder=" + folder.toStdString()) !=
                std::string::npos);
        QVERIFY(demo.messenger.Messages().empty());
    }
};

QZM_UI_TEST_CLASS(SaveImageIntegration)
#include "save_image_test.moc"
