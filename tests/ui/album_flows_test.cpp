// The album page's flows as a user walks them through the real main window against the emulated
// module: users, names, registrations, deleting faces and users, album files, the maintenance
// page, and closing while an album file is saved. Checks what the user sees (rows, counts, faces,
// messages) and what ends up on disk and in the module.
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "demo_harness.h"
#include "device/qzm_frame.h"
#include "dialog_script.h"
#include "ui/dialogs/name_input_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/progress_dlg.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/dialogs/wait_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/reg_preview_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::Buttons;
using qzm_test::ChooseFile;
using qzm_test::ClickFace;
using qzm_test::ClickRow;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;
using qzm_test::EnterName;
using qzm_test::HighlightedPixels;
using qzm_test::Refusing;
using qzm_test::Rows;
using qzm_test::ShowsSelected;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 15000;
const QString kGreek = QStringLiteral("Ελένη 山田 🙂");

using NameScript = DialogScript<CNameInputDlg>;
using FileScript = DialogScript<COrgFileDlg>;

std::vector<std::string> NamesIn(const std::vector<UserName>& table) {
    std::vector<std::string> names;
    for (const UserName& user : table)
        names.push_back(user.second);
    return names;
}

// What the store holds: "name:count" per user.
QStringList StoredUsers(CDemoController& controller) {
    QStringList users;
    for (const UserSummary& user : controller.UserList())
        users << QString::fromStdString(user.name) + QLatin1Char(':') + QString::number(user.dataCount);
    return users;
}

// Users added and faces registered through the controller before the window opens. With album
// commands the module's album becomes the backup the window's start restores, so module and PC
// agree when the window opens.
void Prepare(DemoHarness& demo, const std::vector<std::pair<std::string, int>>& users) {
    for (const auto& [name, faces] : users) {
        const int id = demo.controller->AddNewUser(name);
        QVERIFY(id >= 0);
        for (int i = 0; i < faces; ++i)
            QVERIFY(demo.controller->RegisterFace(id).ok());
    }
    if (demo.controller->Read().deviceType == kExtendedDevice)
        QVERIFY(demo.controller->SaveAlbumBackup().ok());
}

// The main window showing its album page with the live image running.
std::unique_ptr<CQZMDemoDlg> OpenAlbumPage(DemoHarness& demo) {
    auto dialog = demo.OpenMainWindow();
    if (!dialog)
        return nullptr;
    QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return dialog->AlbumPage().Preview().DisplayImage().Width() == 160; },
                         kWaitMs))
        return nullptr;
    return dialog;
}

// The live image runs again: the module keeps being asked for frames.
bool LiveImageRuns(DemoHarness& demo) {
    const std::uint64_t before = demo.Host().CommandsHandled();
    return QTest::qWaitFor([&] { return demo.Host().CommandsHandled() >= before + 3; }, kWaitMs);
}

// Every value the progress bar takes, in order.
struct ProgressTrace {
    explicit ProgressTrace(CProgressDlg& dialog) {
        QObject::connect(dialog.findChild<QProgressBar*>(), &QProgressBar::valueChanged, &dialog,
                         [this](int value) { values.push_back(value); });
    }
    int Max() const { return values.empty() ? -1 : *std::max_element(values.begin(), values.end()); }
    std::vector<int> values;
};

std::vector<std::uint8_t> Bytes(const fs::path& path) {
    const std::string text = ReadFile(path);
    return {text.begin(), text.end()};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

// The faces of a user as the controller shows them, pixel for pixel.
std::vector<std::vector<std::uint8_t>> Faces(CDemoController& controller, int id) {
    std::vector<std::vector<std::uint8_t>> faces;
    for (const CDemoController::ImageSlot& slot : controller.LoadUserImages(id)) {
        if (slot.dataNumber >= 0) {
            const std::uint8_t* pixels = slot.image.Plane(0);
            faces.emplace_back(pixels, pixels + slot.image.Stride(0) * slot.image.Height());
        }
    }
    return faces;
}

// Clicks "Delete all data" on the maintenance page of the settings dialog, then Cancel.
DialogScript<CSettingDlg>::Action DeleteAllData() {
    return [](CSettingDlg& settings) {
        QTabWidget& tabs = *settings.Tabs();
        tabs.setCurrentWidget(settings.MaintenancePage());
        QCOMPARE(tabs.tabText(tabs.currentIndex()), QStringLiteral("Maintenance"));
        CStateBmpButton* button = nullptr;
        for (CStateBmpButton* candidate : settings.MaintenancePage()->findChildren<CStateBmpButton*>()) {
            if (candidate->text() == QLatin1String("Delete all data"))
                button = candidate;
        }
        QVERIFY(button != nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(settings.CancelButton(), Qt::LeftButton);
    };
}

}  // namespace

class AlbumFlowsIntegration : public QObject {
    Q_OBJECT

private slots:
    // Adding users, registering with no face, two faces and one in view, deleting one face and
    // all of them, renaming: what the list, the strip and the messages show at each step, and the
    // names in the overlay's and the result log's tables.
    void usersAndRegistrations() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegistDlg& page = dialog->AlbumPage();
        CRegUserDlg& users = page.UserPanel();
        CRegistImgPage& strip = page.ImagePage();
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, false, false}));

        // Add User proposes USER001 selected; a name in any script is kept as typed.
        QString proposed;
        NameScript names{EnterName(kGreek, false, &proposed)};
        QTest::mouseClick(&users.AddUserButton(), Qt::LeftButton);
        QCOMPARE(proposed, QStringLiteral("USER001"));
        QCOMPARE(Rows(users), (QStringList{kGreek + "/0"}));
        names.Add(EnterName("Bob", true, &proposed));
        QTest::mouseClick(&users.AddUserButton(), Qt::LeftButton);
        QCOMPARE(proposed, QStringLiteral("USER002"));
        QCOMPARE(Rows(users), (QStringList{kGreek + "/0", "Bob/0"}));
        QVERIFY(names.Done());
        QCOMPARE(NamesIn(dialog->MainPage().ImagePage().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "Bob"}));
        QCOMPARE(NamesIn(dialog->MainPage().ResultLog().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "Bob"}));
        QVERIFY(ReadFile("Application.ini").find("RegistCount=2") != std::string::npos);
        // Greek and Japanese do not fit the ANSI code page: the file is UTF-16 with its mark.
        const std::string info = ReadFile("DB/RegistData/000/UserInfo.dat");
        QVERIFY(info.size() > 2 && info.compare(0, 2, "\xFF\xFE") == 0);
        QVERIFY(QString::fromUtf16(reinterpret_cast<const char16_t*>(info.data() + 2), (info.size() - 2) / 2)
                    .contains(kGreek));

        // Register: no face, two faces, then one face in view.
        ClickRow(users.List(), 0);
        QCOMPARE(Buttons(users), (QList<bool>{true, true, true, true, true}));
        QCOMPARE(strip.ShownCount(), 0);
        demo.messenger.Script({MsgAnswer::kOk, MsgAnswer::kOk, MsgAnswer::kOk});
        for (const int faces : {0, 2, 1}) {
            demo.Host().Emulator().SetFacesInView(faces);
            QTest::mouseClick(&users.RegisterButton(), Qt::LeftButton);
        }
        QCOMPARE(demo.MessageIds(), (std::vector<int>{2081, 2082, 2080}));
        QCOMPARE(demo.messenger.Messages()[0].text, QStringLiteral("Registration failed:\nFace not found."));
        QCOMPARE(demo.messenger.Messages()[1].icon, MsgIcon::kWarning);
        QCOMPARE(demo.messenger.Messages()[2].icon, MsgIcon::kInformation);
        QCOMPARE(strip.ShownCount(), 1);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/1", "Bob/0"}));
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{1});
        QVERIFY(LiveImageRuns(demo));
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));

        demo.messenger.Script({MsgAnswer::kOk, MsgAnswer::kOk});
        QTest::mouseClick(&users.RegisterButton(), Qt::LeftButton);
        QTest::mouseClick(&users.RegisterButton(), Qt::LeftButton);
        QCOMPARE(demo.messenger.Messages().size(), std::size_t{5});
        QCOMPARE(strip.ShownCount(), 3);
        QVERIFY(strip.DeleteAllButton().isEnabled());
        QVERIFY(!strip.DeleteButton().isEnabled());

        // The face the module recognises is labelled with the name as typed.
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);
        DemoHarness::ExecuteWithEveryFunction(*dialog);
        QTRY_VERIFY(
            dialog->MainPage().ResultLog().LogView()->toPlainText().contains(kGreek + " Confidence:"));
        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/3", "Bob/0"}));
        ClickRow(users.List(), 0);
        QCOMPARE(strip.ShownCount(), 3);
        ClickFace(strip, 1);
        QVERIFY(!qzm_test::SaveScreenshot(*dialog, QStringLiteral("album_page_flows")).isEmpty());

        // Delete the middle face, then all of them.
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk, MsgAnswer::kYes, MsgAnswer::kOk});
        const std::size_t before = demo.messenger.Messages().size();
        ClickFace(strip, 1);
        QVERIFY(strip.DeleteButton().isEnabled());
        QTest::mouseClick(&strip.DeleteButton(), Qt::LeftButton);
        QCOMPARE(strip.ShownCount(), 2);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/2", "Bob/0"}));
        QVERIFY(!fs::exists("DB/RegistData/000/01"));
        QVERIFY(fs::exists("DB/RegistData/000/02"));
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{2});
        QTest::mouseClick(&strip.DeleteAllButton(), Qt::LeftButton);
        QCOMPARE(strip.ShownCount(), 0);
        QVERIFY(!strip.DeleteAllButton().isEnabled());
        QCOMPARE(Rows(users), (QStringList{kGreek + "/0", "Bob/0"}));
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{0});
        std::vector<int> ids = demo.MessageIds();
        QCOMPARE(std::vector<int>(ids.begin() + before, ids.end()),
                 (std::vector<int>{2102, 2090, 2103, 2090}));
        QVERIFY(LiveImageRuns(demo));

        // Rename: another user's name is refused with the dialog still open, the own name is
        // accepted, and a new name reaches the list and the name tables.
        ClickRow(users.List(), 1);
        bool stillOpen = false;
        names.Add([&](CNameInputDlg& nameDialog) {
            QCOMPARE(nameDialog.Edit().text(), QStringLiteral("Bob"));
            EnterName(kGreek)(nameDialog);
            stillOpen = nameDialog.isVisible();
            EnterName("Bob", true)(nameDialog);
        });
        QTest::mouseClick(&users.ChangeNameButton(), Qt::LeftButton);
        QVERIFY(stillOpen);
        QCOMPARE(demo.messenger.Messages().back().id, 2110);
        QCOMPARE(demo.messenger.Messages().back().icon, MsgIcon::kWarning);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/0", "Bob/0"}));
        names.Add(EnterName(QStringLiteral("山田太郎")));
        QTest::mouseClick(&users.ChangeNameButton(), Qt::LeftButton);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/0", QStringLiteral("山田太郎/0")}));
        QCOMPARE(users.SelectedUser(), 1);
        QCOMPARE(NamesIn(dialog->MainPage().ResultLog().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "山田太郎"}));
        QCOMPARE(NamesIn(dialog->MainPage().ImagePage().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "山田太郎"}));
        QVERIFY(names.Done());
        QCOMPARE(demo.messenger.Unscripted(), 1);  // the 2110 refusal, answered OK
    }

    // Three users selected, one of them refused by the module: 2092, that user still listed. Two
    // users selected show no faces. Delete All empties the list, refused first, then done.
    void deletingUsers() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Ann", 0}, {"Ben", 1}, {"Cid", 0}, {"Dee", 2}});
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegUserDlg& users = dialog->AlbumPage().UserPanel();
        CRegistImgPage& strip = dialog->AlbumPage().ImagePage();
        QCOMPARE(Rows(users), (QStringList{"Ann/0", "Ben/1", "Cid/0", "Dee/2"}));
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));

        // Only Ben has data, so only his deletion reaches the module, which refuses it.
        ClickRow(users.List(), 0);
        ClickRow(users.List(), 1, Qt::ControlModifier);
        ClickRow(users.List(), 2, Qt::ControlModifier);
        QCOMPARE(Buttons(users), (QList<bool>{true, false, true, true, false}));
        demo.Host().SetFaults(Refusing(kCmdDeleteUser, 0xC2));
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(&users.DeleteUserButton(), Qt::LeftButton);
        demo.Host().SetFaults({});
        QCOMPARE(demo.MessageIds(), (std::vector<int>{2100, 2092}));
        QCOMPARE(demo.messenger.Messages()[1].text, QStringLiteral("Some users couldn't be deleted."));
        QCOMPARE(demo.messenger.Messages()[1].icon, MsgIcon::kWarning);
        QCOMPARE(Rows(users), (QStringList{"Ben/1", "Dee/2"}));
        QCOMPARE(StoredUsers(*demo.controller), (QStringList{"Ben:1", "Dee:2"}));
        QVERIFY(!fs::exists("DB/RegistData/000"));
        QVERIFY(!fs::exists("DB/RegistData/002"));
        QCOMPARE(NamesIn(dialog->MainPage().ResultLog().UserList()),
                 (std::vector<std::string>{"Ben", "Dee"}));
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, true, false}));
        // The window active again, as a window manager makes it once the wait dialog is gone: the
        // list has the focus back and a current row, but nothing is selected, and nothing looks it.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTRY_VERIFY(users.List().hasFocus());
        QVERIFY(users.List().currentIndex().isValid());
        QVERIFY(users.SelectedUsers().empty());
        for (int row = 0; row < 2; ++row)
            QCOMPARE(HighlightedPixels(users.List(), row), 0);

        // One user shows the faces, two show none.
        ClickRow(users.List(), 1);
        QCOMPARE(strip.ShownCount(), 2);
        QVERIFY(HighlightedPixels(users.List(), 1) > 0 && HighlightedPixels(users.List(), 0) == 0);
        QCOMPARE(Buttons(users), (QList<bool>{true, true, true, true, true}));
        ClickRow(users.List(), 0, Qt::ControlModifier);
        QCOMPARE(strip.ShownCount(), 0);
        QVERIFY(!strip.DeleteAllButton().isEnabled());

        // No answer to "Delete selected user?" but No: nothing happens.
        demo.messenger.Script({MsgAnswer::kNo});
        QTest::mouseClick(&users.DeleteUserButton(), Qt::LeftButton);
        QCOMPARE(Rows(users), (QStringList{"Ben/1", "Dee/2"}));

        // A registration the module refuses stores nothing.
        ClickRow(users.List(), 1);
        demo.Host().SetFaults(Refusing(kCmdRegister, 0xC2));
        demo.messenger.Script({MsgAnswer::kOk});
        QTest::mouseClick(&users.RegisterButton(), Qt::LeftButton);
        demo.Host().SetFaults({});
        QCOMPARE(demo.messenger.Messages().back().id, 2083);
        QCOMPARE(
            demo.messenger.Messages().back().text,
            QStringLiteral("Registration unsuccessful.\nThe module refused the command. (error code C2)"));
        QCOMPARE(Rows(users), (QStringList{"Ben/1", "Dee/2"}));
        QCOMPARE(strip.ShownCount(), 2);

        // Delete All refused by the module keeps everyone; then it goes through.
        demo.Host().SetFaults(Refusing(kCmdDeleteAll, 0xC2));
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(&users.DeleteAllButton(), Qt::LeftButton);
        demo.Host().SetFaults({});
        QCOMPARE(demo.messenger.Messages().back().id, 2091);
        QCOMPARE(Rows(users), (QStringList{"Ben/1", "Dee/2"}));
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(&users.DeleteAllButton(), Qt::LeftButton);
        std::vector<int> ids = demo.MessageIds();
        QCOMPARE(std::vector<int>(ids.end() - 2, ids.end()), (std::vector<int>{2101, 2090}));
        QCOMPARE(Rows(users), QStringList{});
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, false, false}));
        QCOMPARE(strip.ShownCount(), 0);
        QVERIFY(demo.controller->UserList().empty());
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{0});
        QVERIFY(ReadFile("Application.ini").find("RegistCount=0") != std::string::npos);
        QVERIFY(dialog->MainPage().ResultLog().UserList().empty());
        QVERIFY(LiveImageRuns(demo));
        QCOMPARE(demo.messenger.Unscripted(), 0);
    }

    // A face file that cannot be read hides nothing: the faces after it are shown, the broken one
    // crossed out and named in a message; the count stays true, so a full user stays full, and the
    // broken face can be selected and deleted.
    void unreadableFaceIsShownCrossedOut() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Full", 10}, {"Three", 3}});
        fs::remove("DB/RegistData/000/03");
        std::ofstream("DB/RegistData/001/00", std::ios::trunc) << "no image";
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegUserDlg& users = dialog->AlbumPage().UserPanel();
        CRegistImgPage& strip = dialog->AlbumPage().ImagePage();

        demo.messenger.Script({MsgAnswer::kOk, MsgAnswer::kOk});
        ClickRow(users.List(), 0);
        QCOMPARE(strip.ShownCount(), 10);
        QCOMPARE(Rows(users).front(), QStringLiteral("Full/10"));
        QVERIFY(!users.RegisterButton().isEnabled());
        ClickRow(users.List(), 1);
        QCOMPARE(strip.ShownCount(), 3);
        QCOMPARE(demo.MessageIds(), (std::vector<int>{2084, 2084}));
        QCOMPARE(demo.messenger.Messages()[1].text,
                 QStringLiteral("1 of the registered faces of Three cannot be read from the PC's files.\n"
                                "They are crossed out: delete them and register them again."));
        QVERIFY(!qzm_test::SaveScreenshot(strip, QStringLiteral("album_unreadable_face")).isEmpty());

        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        ClickFace(strip, 0);
        QCOMPARE(strip.SelectedDataNumber(), 0);
        QTest::mouseClick(&strip.DeleteButton(), Qt::LeftButton);
        QCOMPARE(strip.ShownCount(), 2);
        QCOMPARE(Rows(users).back(), QStringLiteral("Three/2"));
        QCOMPARE(demo.MessageIds().back(), 2090);
        QCOMPARE(StoredUsers(*demo.controller), (QStringList{"Full:10", "Three:2"}));
    }

    // The tenth registration through the page disables "Register"; the 500th user disables
    // "Add User".
    void limits() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Nine", 9}});
        for (int i = 1; i < 499; ++i)
            QVERIFY(demo.controller->AddNewUser("U" + std::to_string(i)) == i);
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegUserDlg& users = dialog->AlbumPage().UserPanel();
        QCOMPARE(users.List().topLevelItemCount(), 499);
        ClickRow(users.List(), 0);
        QVERIFY(users.RegisterButton().isEnabled());
        demo.messenger.Script({MsgAnswer::kOk});
        QTest::mouseClick(&users.RegisterButton(), Qt::LeftButton);
        QCOMPARE(demo.MessageIds(), std::vector<int>{2080});
        QCOMPARE(Rows(users).front(), QStringLiteral("Nine/10"));
        QCOMPARE(dialog->AlbumPage().ImagePage().ShownCount(), 10);
        QVERIFY(!users.RegisterButton().isEnabled());

        QVERIFY(users.AddUserButton().isEnabled());
        NameScript names{EnterName("Last")};
        QTest::mouseClick(&users.AddUserButton(), Qt::LeftButton);
        QCOMPARE(users.List().topLevelItemCount(), 500);
        QCOMPARE(Rows(users).back(), QStringLiteral("Last/0"));
        QVERIFY(!users.AddUserButton().isEnabled());
        // The selection stayed on the full user.
        QCOMPARE(users.SelectedUser(), 0);
        QVERIFY(!users.RegisterButton().isEnabled());
    }

    // Save to a file, delete all users, open the file again: users, counts and faces are back in
    // the list, the store and the module. The file dialogs start at the last file with it selected
    // and leave the working folder as it was; saving over a file asks first.
    void albumFileRoundTrip() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{kGreek.toStdString(), 2}, {"Bob", 1}});
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegistDlg& page = dialog->AlbumPage();
        CRegUserDlg& users = page.UserPanel();
        const auto greekFaces = Faces(*demo.controller, 0);
        QCOMPARE(greekFaces.size(), std::size_t{2});
        const QString working = QDir::currentPath();
        QVERIFY(QDir().mkpath(QStringLiteral("albums")));
        const QString file = working + QStringLiteral("/albums/a.qzc");
        ProgressTrace progress(dialog->ProgressDialog());

        QStringList seen;
        FileScript files{ChooseFile(file, &seen)};
        demo.messenger.Script({MsgAnswer::kOk});
        QTest::mouseClick(&page.SaveButton(), Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"save", working, working + "/QZMAlbum.qzc"}));
        QCOMPARE(demo.MessageIds(), std::vector<int>{5032});
        QCOMPARE(demo.messenger.Messages()[0].text, QStringLiteral("Album saved."));
        QCOMPARE(progress.Max(), 100);
        QCOMPARE(QDir::currentPath(), working);
        QVERIFY(ReadFile("Application.ini").find("PrevSelectFile=" + file.toStdString()) !=
                std::string::npos);
        // Album, then the users in list order, the name as typed in UTF-16.
        const std::vector<std::uint8_t> saved = Bytes(file.toStdString());
        const std::uint32_t albumSize = Le32(saved, 0);
        QCOMPARE(saved.size(), albumSize + 16 + 264 * 2 + 4144 * 3);
        QCOMPARE(Le32(saved, 8 + albumSize), std::uint32_t{2});
        const auto* name = reinterpret_cast<const char16_t*>(saved.data() + 16 + albumSize + 4);
        QCOMPARE(QString::fromUtf16(name, kGreek.size()), kGreek);
        QVERIFY(LiveImageRuns(demo));

        // Everything deleted.
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(&users.DeleteAllButton(), Qt::LeftButton);
        QCOMPARE(Rows(users), QStringList{});
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{0});

        // Open, not saving first: the open dialog starts in albums with a.qzc selected.
        bool selectedInList = false;
        seen.clear();
        files.Add([&](COrgFileDlg& open) {
            selectedInList = ShowsSelected(open, QStringLiteral("a.qzc"));
            ChooseFile(file, &seen)(open);
        });
        progress.values.clear();
        demo.messenger.Script({MsgAnswer::kNo, MsgAnswer::kOk});
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"open", working + "/albums", file}));
        QVERIFY(selectedInList);
        std::vector<int> ids = demo.MessageIds();
        QCOMPARE(std::vector<int>(ids.end() - 2, ids.end()), (std::vector<int>{5030, 5031}));
        QCOMPARE(demo.messenger.Messages()[ids.size() - 2].buttons, MsgButtons::kYesNoCancel);
        QCOMPARE(progress.Max(), 100);
        QCOMPARE(QDir::currentPath(), working);
        QCOMPARE(Rows(users), (QStringList{kGreek + "/2", "Bob/1"}));
        QCOMPARE(Buttons(users), (QList<bool>{true, false, false, true, false}));
        QCOMPARE(page.ImagePage().ShownCount(), 0);
        QCOMPARE(StoredUsers(*demo.controller), (QStringList{kGreek + ":2", "Bob:1"}));
        QCOMPARE(NamesIn(dialog->MainPage().ResultLog().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "Bob"}));
        QCOMPARE(NamesIn(dialog->MainPage().ImagePage().UserList()),
                 (std::vector<std::string>{kGreek.toStdString(), "Bob"}));
        QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{3});
        QVERIFY(ReadFile("Application.ini").find("RegistCount=2") != std::string::npos);
        ClickRow(users.List(), 0);
        QCOMPARE(page.ImagePage().ShownCount(), 2);
        QVERIFY(Faces(*demo.controller, 0) == greekFaces);
        QVERIFY(LiveImageRuns(demo));
        QCOMPARE(dialog->ProgressDialog().findChild<QLabel*>()->text(), QStringLiteral("Loading a.qzc."));

        // Open, saving first: the save dialog, then the open dialog in the folder of the file just
        // saved with that file selected.
        const QString second = working + QStringLiteral("/albums/b.qzc");
        seen.clear();
        selectedInList = false;
        files.Add(ChooseFile(second, &seen));
        files.Add([&](COrgFileDlg& open) {
            selectedInList = ShowsSelected(open, QStringLiteral("b.qzc"));
            ChooseFile(file, &seen)(open);
        });
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk, MsgAnswer::kOk});
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"save", working + "/albums", file, "open", working + "/albums", second}));
        QVERIFY(selectedInList);
        ids = demo.MessageIds();
        QCOMPARE(std::vector<int>(ids.end() - 3, ids.end()), (std::vector<int>{5030, 5032, 5031}));
        QCOMPARE(Bytes(second.toStdString()), Bytes(file.toStdString()));
        QCOMPARE(Rows(users), (QStringList{kGreek + "/2", "Bob/1"}));
        QVERIFY(ReadFile("Application.ini").find("PrevSelectFile=" + file.toStdString()) !=
                std::string::npos);

        // Saving over the file asks first; No keeps the dialog, which is then cancelled.
        int asked = 0;
        DialogScript<QMessageBox> overwrite{[&](QMessageBox& box) {
            ++asked;
            box.button(QMessageBox::No)->click();
        }};
        files.Add([&](COrgFileDlg& save) {
            ChooseFile(file)(save);
            QVERIFY(save.isVisible());
            save.reject();
        });
        const std::size_t before = demo.messenger.Messages().size();
        QTest::mouseClick(&page.SaveButton(), Qt::LeftButton);
        QCOMPARE(asked, 1);
        QCOMPARE(demo.messenger.Messages().size(), before);
        QCOMPARE(Bytes(file.toStdString()), saved);

        // Open answered Yes, the save dialog cancelled: no open dialog follows. Cancel: nothing.
        const int dialogsBefore = files.Shown();
        files.Add([](COrgFileDlg& save) {
            QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
            save.reject();
        });
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kCancel});
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        QTest::qWait(100);
        QCOMPARE(files.Shown(), dialogsBefore + 1);
        ids = demo.MessageIds();
        QCOMPARE(std::vector<int>(ids.begin() + before, ids.end()), (std::vector<int>{5030, 5030}));
        QCOMPARE(QDir::currentPath(), working);
        QCOMPARE(demo.messenger.Unscripted(), 0);
        QVERIFY(files.Done());
    }

    // A load the module refuses shows 5033 with the full path and its code, a broken file 5033
    // with 20 (nothing received); either way the store, RegistCount and the album backup stay. A
    // failed save before an open ends the open.
    void refusedLoadsKeepTheStore() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Ann", 1}});
        const std::string file = (fs::current_path() / "a.qzc").string();
        QVERIFY(demo.controller->SaveAlbumToFile(file).ok());
        Prepare(demo, {{"Zed", 2}});
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegistDlg& page = dialog->AlbumPage();
        const std::string broken = (fs::current_path() / "broken.qzc").string();
        std::vector<std::uint8_t> bytes = Bytes(file);
        bytes.resize(bytes.size() - 100);
        std::ofstream(broken, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const std::string backup = ReadFile("DB/qzcxx.qzb");

        struct Case {
            std::string path;
            std::optional<std::uint8_t> refusal;
            QString code;
        };
        for (const Case& test : {Case{file, 0xC4, "C4"}, Case{broken, std::nullopt, "20"}}) {
            if (test.refusal)
                demo.Host().SetFaults(Refusing(kCmdLoadAlbum, *test.refusal));
            FileScript files{ChooseFile(QString::fromStdString(test.path))};
            demo.messenger.Script({MsgAnswer::kNo, MsgAnswer::kOk});
            QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
            demo.Host().SetFaults({});
            const auto& shown = demo.messenger.Messages().back();
            QCOMPARE(shown.id, 5033);
            QVERIFY2(shown.text.startsWith(QStringLiteral("Cannot open %1. (error code %2)")
                                               .arg(QString::fromStdString(test.path), test.code)),
                     qPrintable(shown.text));
            QCOMPARE(shown.icon, MsgIcon::kWarning);
            QCOMPARE(Rows(page.UserPanel()), (QStringList{"Ann/1", "Zed/2"}));
            QCOMPARE(StoredUsers(*demo.controller), (QStringList{"Ann:1", "Zed:2"}));
            QCOMPARE(ReadFile("DB/qzcxx.qzb"), backup);
            QVERIFY(ReadFile("Application.ini").find("RegistCount=2") != std::string::npos);
            QVERIFY(fs::exists("DB/RegistData/001/01"));
            QVERIFY(files.Done());
        }

        // "Save the current Album?" answered Yes and the save failing: the request ends there, no
        // open dialog follows, and the album the user wanted kept stays.
        demo.Host().SetFaults(Refusing(kCmdSaveAlbum, 0x05));
        FileScript files{ChooseFile(QString::fromStdString((fs::current_path() / "kept.qzc").string()))};
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
        demo.Host().SetFaults({});
        QTest::qWait(100);
        QCOMPARE(files.Shown(), 1);
        QCOMPARE(demo.MessageIds().back(), 5034);
        QCOMPARE(Rows(page.UserPanel()), (QStringList{"Ann/1", "Zed/2"}));
        QCOMPARE(StoredUsers(*demo.controller), (QStringList{"Ann:1", "Zed:2"}));
        QCOMPARE(demo.messenger.Unscripted(), 0);
    }

    // A module without album commands: "Open" and "Save" disabled, and the settings dialog has the
    // maintenance page, whose "Delete all data" empties the PC's store whether the module answers
    // or not.
    void deleteAllDataFromMaintenance_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("message");
        QTest::newRow("module answers") << false << 2090;
        QTest::newRow("module silent") << true << 2091;
    }
    void deleteAllDataFromMaintenance() {
        QFETCH(bool, silent);
        QFETCH(int, message);
        DemoHarness demo(ModuleIdentity::Basic());
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Ann", 1}, {"Ben", 0}});
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        CRegistDlg& page = dialog->AlbumPage();
        QVERIFY(!page.OpenButton().isEnabled());
        QVERIFY(!page.SaveButton().isEnabled());
        QCOMPARE(Rows(page.UserPanel()), (QStringList{"Ann/1", "Ben/0"}));
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);

        if (silent) {
            ModuleFaults faults;
            faults.silent = true;
            faults.onlyCommand = kCmdDeleteAll;
            demo.Host().SetFaults(faults);
        }
        DialogScript<CSettingDlg> settings{DeleteAllData()};
        demo.messenger.Script({MsgAnswer::kYes, MsgAnswer::kOk});
        QTest::mouseClick(dialog->MainPage().ExecutePanel().SettingsButton(), Qt::LeftButton);
        demo.Host().SetFaults({});
        QVERIFY(settings.Done());
        QCOMPARE(demo.MessageIds(), (std::vector<int>{5021, message}));
        QCOMPARE(demo.messenger.Messages()[0].buttons, MsgButtons::kYesNo);
        QCOMPARE(demo.messenger.Messages()[1].icon, silent ? MsgIcon::kWarning : MsgIcon::kInformation);
        QVERIFY(demo.controller->UserList().empty());
        QVERIFY(!fs::exists("DB/RegistData/000"));
        QVERIFY(ReadFile("Application.ini").find("RegistCount=0") != std::string::npos);
        // (The emulator carries out a command it does not answer, so only the answering module
        // shows whether it forgot.)
        if (!silent)
            QCOMPARE(demo.Host().Emulator().RegisteredEntries(), std::size_t{0});
        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QCOMPARE(Rows(page.UserPanel()), QStringList{});
        QCOMPARE(Buttons(page.UserPanel()), (QList<bool>{true, false, false, false, false}));
        QVERIFY(dialog->MainPage().ResultLog().UserList().empty());
        QVERIFY(LiveImageRuns(demo));
    }

    // Closing the window while an album file is being saved: the save ends and is reported first,
    // then the window closes with the module's album backed up.
    void closingWaitsForTheAlbumJob() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        Prepare(demo, {{"Ann", 2}});
        auto dialog = OpenAlbumPage(demo);
        QVERIFY(dialog);
        const QString file = QDir::current().filePath(QStringLiteral("slow.qzc"));
        // The live image has stopped once the file dialog is up; the module then answers at
        // 1200 baud, so the album takes more than a second to arrive.
        FileScript files{[&](COrgFileDlg& save) {
            demo.Host().SetPacing(1200);
            ChooseFile(file)(save);
        }};
        std::size_t messagesAtClose = 99;
        connect(dialog.get(), &CQZMDemoDlg::Closed, this,
                [&] { messagesAtClose = demo.messenger.Messages().size(); });
        bool stayedUp = false;
        DialogScript<CProgressDlg> whileSaving{[&](CProgressDlg& progress) {
            QCOMPARE(progress.findChild<QLabel*>()->text(), QStringLiteral("Saving slow.qzc."));
            dialog->close();
            QTest::qWait(300);
            stayedUp = progress.isVisible() && dialog->isVisible() && !dialog->WaitDialog().isVisible() &&
                       messagesAtClose == 99;
        }};
        QSignalSpy closed(dialog.get(), &CQZMDemoDlg::Closed);
        demo.messenger.Script({MsgAnswer::kOk});
        QTest::mouseClick(&dialog->AlbumPage().SaveButton(), Qt::LeftButton);
        QVERIFY(closed.count() == 1 || closed.wait(kWaitMs));
        QVERIFY(stayedUp);
        QCOMPARE(demo.MessageIds(), std::vector<int>{5032});
        QCOMPARE(messagesAtClose, std::size_t{1});
        QVERIFY(!dialog->isVisible());
        QVERIFY(fs::exists(file.toStdString()));
        QVERIFY(fs::exists("DB/qzcxx.qzb"));
        QVERIFY(!fs::exists("DBBack"));
    }
};

QZM_UI_TEST_CLASS(AlbumFlowsIntegration)
#include "album_flows_test.moc"
