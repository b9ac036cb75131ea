// The album page as a user meets it: the user list and its buttons following the selection, the
// strip of faces with its selection and scrolling, the live image, the name dialog with the owner's
// check, and the album file dialog starting where the last album file was.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "dialog_script.h"
#include "image/img_conv.h"
#include "scripted_messenger.h"
#include "sim/emulated_scene.h"
#include "sim/scene_painter.h"
#include "test_folder.h"
#include "ui/dialogs/name_input_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::Buttons;
using qzm_test::ClickRow;
using qzm_test::Rows;

namespace {

using Slots = std::array<CDemoController::ImageSlot, 10>;
using RequestLog = QStringList;

std::vector<UserSummary> Users(int count, int dataCount = 0) {
    std::vector<UserSummary> users;
    for (int i = 0; i < count; ++i) {
        users.push_back(
            {i, QStringLiteral("USER%1").arg(i + 1, 3, 10, QLatin1Char('0')).toStdString(), dataCount});
    }
    return users;
}

// Records every request a page raises, by name, until either goes.
class Requests : public QObject {
public:
    explicit Requests(CRegistDlg& page) {
        const std::pair<void (CRegistDlg::*)(), const char*> named[] = {
            {&CRegistDlg::OpenAlbumRequested, "open album"},
            {&CRegistDlg::SaveAlbumRequested, "save album"},
            {&CRegistDlg::AddUserRequested, "add user"},
            {&CRegistDlg::RenameUserRequested, "rename user"},
            {&CRegistDlg::DeleteUsersRequested, "delete users"},
            {&CRegistDlg::DeleteAllUsersRequested, "delete all users"},
            {&CRegistDlg::RegisterFaceRequested, "register"},
            {&CRegistDlg::DeleteImageRequested, "delete image"},
            {&CRegistDlg::DeleteAllImagesRequested, "delete all images"}};
        for (const auto& [signal, name] : named)
            connect(&page, signal, this, [this, name = name] { log << QString::fromLatin1(name); });
        connect(&page, &CRegistDlg::UserImagesWanted, this,
                [this](int userId) { log << QStringLiteral("faces of %1").arg(userId); });
    }
    explicit Requests(CRegUserDlg& users) {
        connect(&users, &CRegUserDlg::SelectionChanged, this,
                [this](int rows) { log << QStringLiteral("%1 selected").arg(rows); });
    }
    RequestLog log;
};

// 64 x 64 display images as the controller's slots hold them: count faces with the given data
// numbers, each one plain grey shade, or a portrait of the emulated scene when portraits is set.
Slots Faces(const std::vector<int>& dataNumbers, bool portraits = false) {
    Slots faces;
    for (std::size_t i = 0; i < dataNumbers.size(); ++i) {
        CImageData grey;
        grey.Allocate(64, nullptr, 64, kFormatGrey8, 1);
        if (portraits) {
            SceneFace face;
            face.size = 64;
            face.yaw = static_cast<int>(i % 3) * 12 - 12;
            face.roll = static_cast<int>(i % 2) * 8 - 4;
            face.expression = static_cast<int>(i % 5) + 1;
            face.eyesClosed = i == 3;
            CScenePainter::PaintPortrait(face, 64, grey.Plane(0));
        } else {
            std::fill_n(grey.Plane(0), 64 * 64, static_cast<std::uint8_t>(200));
        }
        faces[i].dataNumber = dataNumbers[i];
        faces[i].image.Allocate(64, nullptr, 64, kFormatBgr24, 1);
        IMGCONVINFO target = faces[i].image.Info();
        CImgConv(64, 64, kFormatGrey8, kFormatBgr24).Convert(grey.Info(), &target, false);
    }
    return faces;
}

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class AlbumPageTest : public QObject {
    Q_OBJECT

private slots:
    // Selecting users row by row: the buttons follow, the album page passes on the request for one
    // user and clears the faces itself for two.
    void selectionDrivesButtonsAndFaces() {
        CRegistDlg page(true);
        CRegUserDlg& users = page.UserPanel();
        Requests toOwner(page);
        Requests fromList(users);
        std::vector<UserSummary> list = Users(3, 2);
        list[1].dataCount = 10;
        users.RefreshUsers(list);
        page.show();
        QCOMPARE(Rows(users), (QStringList{"USER001/2", "USER002/10", "USER003/2"}));
        //                            add   change delete delAll register
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, true, false}));

        // The user with ten registrations cannot take another.
        ClickRow(users.List(), 1);
        QCOMPARE(Buttons(users), (QList<bool>{true, true, true, true, false}));
        QCOMPARE(page.SelectedUser(), 1);
        QCOMPARE(toOwner.log.last(), QStringLiteral("faces of 1"));
        page.ImagePage().ShowImages(Faces({0, 1, 2}));

        ClickRow(users.List(), 2, Qt::ControlModifier);
        QCOMPARE(fromList.log.last(), QStringLiteral("2 selected"));
        QCOMPARE(toOwner.log.size(), 1);
        QCOMPARE(page.ImagePage().ShownCount(), 0);
        QVERIFY(!page.ImagePage().DeleteAllButton().isEnabled());
        QCOMPARE(Buttons(users), (QList<bool>{true, false, true, true, false}));
        QCOMPARE(page.SelectedUser(), -1);
        QCOMPARE(page.SelectedUsers(), (std::vector<int>{1, 2}));

        ClickRow(users.List(), 0);
        QCOMPARE(Buttons(users), (QList<bool>{true, true, true, true, true}));
        QCOMPARE(toOwner.log.size(), 2);
        // A count shown for someone else leaves "Register" alone; the selected user's count rules it.
        users.SetDataCount(2, 10);
        QVERIFY(users.RegisterButton().isEnabled());
        users.SetDataCount(0, 10);
        QCOMPARE(users.List().topLevelItem(0)->text(1), QStringLiteral("10"));
        QVERIFY(!users.RegisterButton().isEnabled());
        users.SetDataCount(0, 9);
        QVERIFY(users.RegisterButton().isEnabled());

        ClickRow(users.List(), 0, Qt::ControlModifier);
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, true, false}));
        QCOMPARE(fromList.log.last(), QStringLiteral("0 selected"));
        QVERIFY(!users.List().currentIndex().isValid());

        // After a reset (all data deleted, an album loaded) nothing is left but "Add User".
        ClickRow(users.List(), 0);
        page.ImagePage().ShowImages(Faces({0, 1}));
        toOwner.log.clear();
        users.Reset();
        QCOMPARE(users.List().topLevelItemCount(), 0);
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, false, false}));
        QCOMPARE(page.ImagePage().ShownCount(), 0);
        QVERIFY(toOwner.log.isEmpty());
    }

    void refreshUsers_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("selectRow");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("renameFirst");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<QList<bool>>("buttons");
        QTest::newRow("added user appended, selection kept")
            << 2 << 1 << 3 << "" << QStringList{"USER001", "USER002", "USER003"} << 1
            << QList<bool>{true, true, true, true, true};
        QTest::newRow("removed user rebuilds, selection gone")
            << 3 << 2 << 2 << "" << QStringList{"USER001", "USER002"} << -1
            << QList<bool>{true, false, false, true, false};
        QTest::newRow("rename rewrites the row, selection kept")
            << 2 << 0 << 2 << "Ελένη 山田 🙂" << QStringList{"Ελένη 山田 🙂", "USER002"}
            << 0 << QList<bool>{true, true, true, true, true};
        QTest::newRow("all users gone")
            << 2 << 0 << 0 << "" << QStringList{} << -1 << QList<bool>{true, false, false, false, false};
    }
    void refreshUsers() {
        QFETCH(int, before);
        QFETCH(int, selectRow);
        QFETCH(int, after);
        QFETCH(QString, renameFirst);
        CRegUserDlg users;
        Requests requests(users);
        users.RefreshUsers(Users(before));
        users.show();
        ClickRow(users.List(), selectRow);
        requests.log.clear();
        std::vector<UserSummary> list = Users(after);
        if (!renameFirst.isEmpty()) {
            list[0].name = renameFirst.toStdString();
        }
        users.RefreshUsers(list);
        QStringList rows;
        for (int i = 0; i < users.List().topLevelItemCount(); ++i) {
            rows << users.List().topLevelItem(i)->text(0);
        }
        QTEST(rows, "rows");
        QTEST(users.SelectedUser(), "selectedAfter");
        QTEST(Buttons(users), "buttons");
        // Losing the selection is a selection change the page hears about.
        const RequestLog expected = users.SelectedUser() < 0 ? RequestLog{"0 selected"} : RequestLog{};
        QCOMPARE(requests.log, expected);
    }

    // "Add User" goes off with the 500th user and comes back when one goes.
    void fullListDisablesAddUser() {
        CRegUserDlg users;
        users.RefreshUsers(Users(499));
        QVERIFY(users.AddUserButton().isEnabled());
        users.RefreshUsers(Users(500));
        QCOMPARE(users.List().topLevelItemCount(), 500);
        QVERIFY(!users.AddUserButton().isEnabled());
        QVERIFY(users.DeleteAllButton().isEnabled());
        users.RefreshUsers(Users(499));
        QVERIFY(users.AddUserButton().isEnabled());
    }

    // Each button raises its own request, passed on by the album page; "Open" and "Save" only work
    // with a module that has the album commands.
    void buttonsRaiseRequests() {
        CRegistDlg page(false);
        Requests toOwner(page);
        page.UserPanel().RefreshUsers(Users(2, 1));
        page.show();
        QVERIFY(!page.OpenButton().isEnabled());
        QVERIFY(!page.SaveButton().isEnabled());
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        QVERIFY(toOwner.log.isEmpty());
        page.SetAlbumCommands(true);
        ClickRow(page.UserPanel().List(), 0);
        page.ImagePage().ShowImages(Faces({4}));
        QTest::mouseClick(&page.ImagePage().StripView(), Qt::LeftButton, {}, QPoint(2 + 8 + 32, 2 + 24 + 32));
        toOwner.log.clear();
        CRegUserDlg& users = page.UserPanel();
        for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
                 &page.OpenButton(), &page.SaveButton(), &users.AddUserButton(), &users.ChangeNameButton(),
                 &users.DeleteUserButton(), &users.DeleteAllButton(), &users.RegisterButton(),
                 &page.ImagePage().DeleteButton(), &page.ImagePage().DeleteAllButton()}) {
            QVERIFY2(button->isEnabled(), qPrintable(button->text()));
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(toOwner.log,
                 (RequestLog{"open album", "save album", "add user", "rename user", "delete users",
                             "delete all users", "register", "delete image", "delete all images"}));
    }

    // A page narrower than ten faces: the strip scrolls, a click picks the face under the pointer
    // at the scroll position, and only a face can be picked.
    void stripSelectionWithScrolling() {
        CRegistImgPage strip;
        strip.resize(300, strip.height());
        strip.show();
        const std::vector<int> dataNumbers{7, 3, 0, 5, 9, 1, 2, 4, 6, 8};
        strip.ShowImages(Faces(dataNumbers));
        QCOMPARE(strip.ShownCount(), 10);
        QVERIFY(strip.ScrollBar().isVisible());
        QCOMPARE(strip.ScrollBar().maximum(), 72 * 10 + 8 - (300 - 4));
        strip.ScrollBar().triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(strip.ScrollBar().value(), 4);
        strip.ScrollBar().triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(strip.ScrollBar().value(), 16);
        strip.ScrollBar().setValue(150);
        QVERIFY(!strip.DeleteButton().isEnabled());
        QVERIFY(strip.DeleteAllButton().isEnabled());

        // Strip x 8 + 72 * 3 + 10 is view x 86 at scroll 150 (frame 2).
        QWidget& view = strip.StripView();
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(86, 2 + 24 + 30));
        QCOMPARE(strip.SelectedCell(), 3);
        QCOMPARE(strip.SelectedDataNumber(), 5);
        QVERIFY(strip.DeleteButton().isEnabled());
        // The face shows through the blue highlight at half strength; its neighbour is untouched.
        const QColor blended = qzm_test::Grab(view).pixelColor(86 + 20, 2 + 24 + 20);
        QVERIFY2(qAbs(blended.red() - (200 + 49) / 2) <= 2 && qAbs(blended.blue() - (200 + 197) / 2) <= 2,
                 qPrintable(blended.name()));
        QCOMPARE(qzm_test::Grab(view).pixelColor(86 - 72, 2 + 24 + 20), QColor(200, 200, 200));

        // Between two faces, or below them: nothing selected.
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(86 + 58, 2 + 24 + 30));
        QCOMPARE(strip.SelectedDataNumber(), -1);
        QVERIFY(!strip.DeleteButton().isEnabled());
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(86, 2 + 24 + 70));
        QCOMPARE(strip.SelectedCell(), -1);

        // Three faces fit: no scroll bar, and an empty cell cannot be picked.
        strip.ShowImages(Faces({2, 0, 1}));
        QVERIFY(!strip.ScrollBar().isVisible());
        QCOMPARE(strip.ScrollBar().value(), 0);
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2 + 8 + 72 * 3 + 10, 2 + 24 + 30));
        QCOMPARE(strip.SelectedCell(), -1);
        QVERIFY(!strip.DeleteButton().isEnabled());
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2 + 8 + 72 * 2 + 10, 2 + 24 + 30));
        QCOMPARE(strip.SelectedDataNumber(), 1);
        strip.Clear();
        QCOMPARE(strip.SelectedDataNumber(), -1);
        QVERIFY(!strip.DeleteAllButton().isEnabled());
    }

    // A 160 x 120 frame is drawn twice as large, 40 pixels down in the grey area, upright.
    void previewFitsTheFrame() {
        CRegPreviewDlg preview;
        preview.show();
        CImageData frame;
        frame.Allocate(160, nullptr, 120, kFormatGrey8, 1);
        for (int y = 0; y < 120; ++y) {
            std::fill_n(frame.Plane(0) + y * 160, 160, static_cast<std::uint8_t>(2 * y));
        }
        QCOMPARE(preview.SetImage(frame), 0);
        const QImage shot = qzm_test::Grab(preview);
        const QPoint area(CRegPreviewDlg::kAreaX, CRegPreviewDlg::kAreaY);
        QCOMPARE(shot.pixelColor(area + QPoint(100, 20)), QColor(128, 128, 128));
        QCOMPARE(shot.pixelColor(area + QPoint(100, 40 + 2 * 10 + 1)), QColor(20, 20, 20));
        QCOMPARE(shot.pixelColor(area + QPoint(300, 40 + 2 * 100)), QColor(200, 200, 200));
        QCOMPARE(preview.DisplayImage().Format(), kFormatBgr24);

        CImageData colour;
        colour.Allocate(8, nullptr, 8, kFormatBgr24, 1);
        QCOMPARE(preview.SetImage(colour), -1);
        QCOMPARE(preview.SetImage(CImageData()), -1);
        QCOMPARE(qzm_test::Grab(preview).pixelColor(area + QPoint(100, 61)), QColor(20, 20, 20));
    }

    // The owner's check refuses a name that is taken; the dialog says so and stays up with the text
    // selected for a new try, and closes once the name is free. A name in any script is kept as
    // typed.
    void nameDialogWaitsForTheOwner() {
        CScriptedMessenger messenger;
        CNameInputDlg dlg(messenger);
        QStringList checked;
        dlg.SetText(QStringLiteral("USER002"), [&](const QString& name) {
            checked << name;
            return name != QLatin1String("USER001");
        });
        int result = -1;
        const QString greek = QStringLiteral("Ελένη 山田 🙂");
        qzm_test::DialogScript<CNameInputDlg> user{[&](CNameInputDlg& shown) {
            QCOMPARE(&shown, &dlg);
            QLineEdit& edit = dlg.Edit();
            QCOMPARE(edit.selectedText(), QStringLiteral("USER002"));
            edit.clear();
            QTest::keyClicks(&edit, QStringLiteral("USER001"));
            QTest::keyClick(&edit, Qt::Key_Return);
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.focusWidget(), &edit);
            QCOMPARE(edit.selectedText(), QStringLiteral("USER001"));
            edit.insert(greek);
            QVERIFY(!qzm_test::SaveScreenshot(dlg, QStringLiteral("name_dialog")).isEmpty());
            QTest::mouseClick(&dlg.OkButton(), Qt::LeftButton);
        }};
        result = dlg.exec();
        QCOMPARE(result, CNameInputDlg::kResultOk);
        QCOMPARE(checked, (QStringList{"USER001", greek}));
        QCOMPARE(dlg.Text(), greek);
        QCOMPARE(messenger.Messages().size(), std::size_t(1));
        QCOMPARE(messenger.Messages()[0].id, 2110);

        user.Add([](CNameInputDlg& shown) { QTest::keyClick(&shown.Edit(), Qt::Key_Escape); });
        QCOMPARE(dlg.exec(), CNameInputDlg::kResultCancel);
        QVERIFY(user.Done());
    }

    void nameDialogRefuses_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("message");
        QTest::newRow("empty") << "" << int(kStrNameEmpty);
        QTest::newRow("blanks") << "   " << int(kStrNameEmpty);
        QTest::newRow("tab and ideographic space") << "\t\u3000" << int(kStrNameEmpty);
        QTest::newRow("line feed") << "Anna\nBell" << int(kStrNameLineBreak);
        QTest::newRow("carriage return") << "Anna\r" << int(kStrNameLineBreak);
        QTest::newRow("line separator") << "Anna\u2028Bell" << int(kStrNameLineBreak);
    }
    void nameDialogRefuses() {
        QFETCH(QString, name);
        CScriptedMessenger messenger;
        CNameInputDlg dlg(messenger);
        int checks = 0;
        dlg.SetText({}, [&](const QString&) {
            ++checks;
            return true;
        });
        dlg.show();
        dlg.Edit().setText(name);
        QTest::keyClick(&dlg.Edit(), Qt::Key_Return);
        QTest::mouseClick(&dlg.OkButton(), Qt::LeftButton);
        QCOMPARE(checks, 0);
        QVERIFY(dlg.isVisible());
        QCOMPARE(messenger.Messages().size(), std::size_t(2));
        QTEST(messenger.Messages()[0].id, "message");
        QCOMPARE(messenger.Messages()[0].icon, MsgIcon::kWarning);
        QVERIFY(!messenger.Messages()[0].text.isEmpty());
    }

    void nameDialogLength_data() {
        const QString smile = QStringLiteral("🙂");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("130 letters") << QString(130, u'a') << QString(127, u'a');
        QTest::newRow("emoji would be split: left out") << QString(126, u'a') + smile << QString(126, u'a');
        QTest::newRow("emoji fits whole") << QString(125, u'a') + smile << QString(125, u'a') + smile;
        QTest::newRow("64 emoji") << smile.repeated(64) << smile.repeated(63);
        QTest::newRow("Japanese kept") << QStringLiteral("山田太郎") << QStringLiteral("山田太郎");
    }
    void nameDialogLength() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        CScriptedMessenger messenger;
        CNameInputDlg dlg(messenger);
        dlg.SetText(typed);
        QCOMPARE(dlg.Text(), kept);
        // Pasted into what is there: the same cut, and the caret stays after the text.
        dlg.Edit().clear();
        dlg.Edit().insert(typed);
        QCOMPARE(dlg.Edit().text(), kept);
        QCOMPARE(dlg.Edit().cursorPosition(), kept.size());
    }

    // Saving to albums/a.qzc and opening next: the open dialog starts in that folder with a.qzc
    // selected; whatever happens meanwhile, the working folder is the same afterwards; cancel gives "".
    void albumFileDialogStartsAtTheLastFile() {
        const ScopedWorkingFolder folder;
        const QString base = QString::fromStdString(folder.path().string());
        QVERIFY(QDir(base).mkpath(QStringLiteral("albums")));
        QVERIFY(QDir(base).mkpath(QStringLiteral("elsewhere")));
        Touch(base + QStringLiteral("/albums/b.qzc"));
        const QString chosenPath = base + QStringLiteral("/albums/a.qzc");

        QStringList seen;
        qzm_test::DialogScript<COrgFileDlg> files{[&](COrgFileDlg& dlg) {
            seen << dlg.nameFilters().join(u';') << dlg.InitialFileName();
            qzm_test::ChooseFile(chosenPath, &seen)(dlg);
        }};
        const QString chosen = ChooseAlbumFile(true, QStringLiteral("./QZMAlbum.qzc"));
        QCOMPARE(chosen, chosenPath);
        QCOMPARE(seen,
                 (QStringList{"Album File(*.qzc)", "QZMAlbum.qzc", "save", base, base + "/QZMAlbum.qzc"}));
        Touch(chosen);

        seen.clear();
        bool selectedInList = false;
        files.Add([&](COrgFileDlg& dlg) {
            seen << (dlg.acceptMode() == QFileDialog::AcceptSave ? "save" : "open")
                 << dlg.directory().absolutePath() << dlg.selectedFiles();
            selectedInList = qzm_test::ShowsSelected(dlg, QStringLiteral("a.qzc"));
            QDir::setCurrent(base + QStringLiteral("/elsewhere"));
            dlg.reject();
        });
        QCOMPARE(ChooseAlbumFile(false, chosen), QString());
        QCOMPARE(seen, (QStringList{"open", base + "/albums", chosenPath}));
        QVERIFY(selectedInList);
        QCOMPARE(QDir::currentPath(), base);
        QVERIFY(files.Done());
    }

    // The page as a user sees it with two users, one selected with five faces, and the live image.
    void albumPageScreenshot() {
        CRegistDlg page(true);
        std::vector<UserSummary> users = Users(2, 5);
        users[1].name = "Ελένη";
        users[1].dataCount = 0;
        page.UserPanel().RefreshUsers(users);
        page.show();
        ClickRow(page.UserPanel().List(), 0);
        page.ImagePage().ShowImages(Faces({0, 1, 2, 3, 4}, true));
        QTest::mouseClick(&page.ImagePage().StripView(), Qt::LeftButton, {},
                          QPoint(2 + 8 + 72 + 30, 2 + 24 + 30));

        CEmulatedScene scene;
        scene.SetFacesInView(1);
        CScenePainter painter;
        CImageData frame;
        frame.Allocate(320, nullptr, 240, kFormatGrey8, 1);
        painter.Paint(scene.At(2.0), 0, 320, 240, frame.Plane(0));
        QCOMPARE(page.Preview().SetImage(frame), 0);
        QVERIFY(!qzm_test::SaveScreenshot(page, QStringLiteral("album_page")).isEmpty());

        // Every control is named as its caption.
        for (const CStateBmpButton* button : page.findChildren<CStateBmpButton*>()) {
            QCOMPARE(button->accessibleName(), button->text());
        }
        QCOMPARE(page.UserPanel().List().accessibleName(), QStringLiteral("Users"));
        QCOMPARE(page.ImagePage().StripView().accessibleName(), QStringLiteral("Registered images"));
        QCOMPARE(page.Preview().accessibleName(), QStringLiteral("Live image"));
        // The panels sit side by side, equally high, with the faces under both.
        QCOMPARE(page.Preview().geometry().topLeft(), QPoint(8, 40));
        QCOMPARE(page.UserPanel().geometry().topLeft(), QPoint(8 + 360, 40));
        QCOMPARE(page.UserPanel().height(), page.Preview().height());
        QCOMPARE(page.ImagePage().geometry().left(), 8);
        QCOMPARE(page.ImagePage().geometry().right(), page.UserPanel().geometry().right());
        const QRect list = page.UserPanel().List().geometry();
        QVERIFY(page.UserPanel().RegisterButton().geometry().top() > list.bottom());
        QCOMPARE(page.UserPanel().AddUserButton().geometry().left(), list.right() + 1 + 8);
    }
};

QZM_UI_TEST_CLASS(AlbumPageTest)
#include "album_page_test.moc"
