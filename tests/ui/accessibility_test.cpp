// The program as an assistive tool drives it, against the emulated module: the names of the window
// and the rate line, and every skinned button worked through its accessible action, which must do
// what a click does.
#include <QAccessible>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "demo_harness.h"
#include "dialog_script.h"
#include "ui/dialogs/exec_setting_dlg.h"
#include "ui/dialogs/name_input_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui/pages/statistics_page.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::ClickFace;
using qzm_test::ClickRow;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;

namespace {

constexpr int kWaitMs = 15000;

QString AccessibleName(QWidget& widget) {
    return QAccessible::queryAccessibleInterface(&widget)->text(QAccessible::Name);
}

QAccessible::State AccessibleState(QWidget& widget) {
    return QAccessible::queryAccessibleInterface(&widget)->state();
}

// Runs the button's own action (the one it lists besides SetFocus) through its accessible
// interface, as a screen reader does, and gives the clicks it caused once the first came or
// waitMs ran out; -1 when it lists no such action. What the click starts has ended by then.
int ClicksByAction(CStateBmpButton& button, int waitMs = kWaitMs) {
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(&button)->actionInterface();
    QStringList names = actions->actionNames();
    names.removeAll(QAccessibleActionInterface::setFocusAction());
    if (names.size() != 1)
        return -1;
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    actions->doAction(names.front());
    return QTest::qWaitFor([&] { return !clicked.isEmpty(); }, waitMs) ? int(clicked.count()) : 0;
}

}  // namespace

class AccessibilityIntegration : public QObject {
    Q_OBJECT

private slots:
    // The window is named as its title: port, baud rate and firmware, or "Not connected." when
    // the module is silent at the start; the working folder too where it is shown.
    void windowNameFollowsTheTitle() {
        for (const bool silent : {true, false}) {
            DemoHarness demo;
            QVERIFY(demo.Connect());
            ModuleFaults faults;
            faults.silent = silent;
            demo.Host().SetFaults(faults);
            auto dialog = demo.OpenMainWindow();
            QVERIFY(dialog);
            QCOMPARE(AccessibleName(*dialog), dialog->windowTitle());
            QVERIFY(AccessibleName(*dialog).endsWith(QLatin1String(
                silent ? " - Not connected." : " - Simulated module:921600baud - F/W 1.2.0.2048")));
            dialog->SetWorkingFolderShown(QStringLiteral("/srv/evaluation"));
            QCOMPARE(AccessibleName(*dialog), dialog->windowTitle());
        }
    }

    // The rate line's name carries the number shown while continuous execution runs, and is the
    // bare "Results per second" once it stops.
    void rateNameCarriesTheRate() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        QLabel* rate = nullptr;
        for (QLabel* label : panel.findChildren<QLabel*>()) {
            if (AccessibleName(*label) == QLatin1String("Results per second"))
                rate = label;
        }
        QVERIFY(rate != nullptr);
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !rate->text().isEmpty(); }, kWaitMs));
        QCOMPARE(AccessibleName(*rate),
                 QStringLiteral("Results per second: ") + rate->text().section(' ', 0, 0));
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QCOMPARE(AccessibleName(*rate), QStringLiteral("Results per second"));
    }

    // Every skinned button of both pages, the settings dialog and the name dialog, worked through
    // its action: one click each, doing what the click does. Execute once executes, Continuous
    // starts and stops, switches flip, pages change, dialogs open and close; behind the modal
    // settings dialog the main window's buttons are out of reach, as for the mouse.
    void everySkinnedButtonActsThroughItsAction() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        const int ann = demo.controller->AddNewUser("Ann");
        QVERIFY(demo.controller->RegisterFace(ann).ok() && demo.controller->RegisterFace(ann).ok());
        QVERIFY(demo.controller->SaveAlbumBackup().ok());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QSet<CStateBmpButton*> acted;
        auto act = [&](CStateBmpButton& button) {
            acted.insert(&button);
            return ClicksByAction(button);
        };

        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        panel.FunctionSelect().SetFunctions({true, true, true, true, true, true, true, true, true, true});
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        QVERIFY(!AccessibleState(*panel.ExecuteOnceButton()).checkable);
        QCOMPARE(act(*panel.ExecuteOnceButton()), 1);
        QCOMPARE(shown.count(), 1);
        QTRY_VERIFY(dialog->MainPage().ResultLog().LogText().contains(" Face count:1"));
        QCOMPARE(act(*panel.ContinuousButton()), 1);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeContinuous));
        QVERIFY(AccessibleState(*panel.ContinuousButton()).checked);
        QVERIFY(QTest::qWaitFor([&] { return shown.count() >= 3; }, kWaitMs));
        QCOMPARE(act(*panel.ContinuousButton()), 1);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        QVERIFY(!AccessibleState(*panel.ContinuousButton()).checked);

        // Record asks for the file to record into; cancelled, it stays off.
        {
            DialogScript<COrgFileDlg> cancelled{};
            QCOMPARE(act(*panel.RecordButton()), 1);
            QCOMPARE(cancelled.Shown(), 1);
            QVERIFY(!AccessibleState(*panel.RecordButton()).checked);
        }

        // The function switches and the display toggles flip and flip back.
        for (int i = 0; i < kFunctionCount; ++i) {
            for (CStateBmpButton* button :
                 {panel.FunctionSelect().Switch(i), dialog->MainPage().ImagePage().Toggle(i)}) {
                for (const int state : {0, 1}) {
                    QCOMPARE(act(*button), 1);
                    QCOMPARE(button->State(), state);
                    QCOMPARE(bool(AccessibleState(*button).checked), state == 1);
                }
            }
        }

        CSettingDlg& settings = dialog->SettingsDialog();
        int blockedClicks = -1;
        QString defaultFace;
        DialogScript<CSettingDlg> user{[&](CSettingDlg&) {
            blockedClicks = ClicksByAction(*panel.ExecuteOnceButton(), 300);
            CRangeEdit& face = settings.ExecPage()->ThresholdEdit(ExecSettings::kFace);
            face.setText(QStringLiteral("777"));
            CStateBmpButton* reset = settings.ExecPage()->findChild<CStateBmpButton*>();
            QCOMPARE(ClicksByAction(*reset), 1);
            defaultFace = face.text();
            QCOMPARE(ClicksByAction(*settings.CancelButton()), 1);
        }};
        QCOMPARE(act(*panel.SettingsButton()), 1);
        QVERIFY(!settings.isVisible());
        QCOMPARE(blockedClicks, 0);
        QCOMPARE(defaultFace,
                 QString::number(demo.controller->Read().defaults.threshold[ExecSettings::kFace]));

        QCOMPARE(act(dialog->AlbumButton()), 1);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));
        QVERIFY(AccessibleState(dialog->AlbumButton()).checked &&
                !AccessibleState(dialog->MainButton()).checked);
        CRegistDlg& album = dialog->AlbumPage();
        CRegUserDlg& users = album.UserPanel();
        CRegistImgPage& strip = album.ImagePage();
        ClickRow(users.List(), 0);
        DialogScript<CNameInputDlg> names{[&](CNameInputDlg& name) { QCOMPARE(act(name.CancelButton()), 1); },
                                          [&](CNameInputDlg& name) {
                                              name.Edit().setText(QStringLiteral("Bea"));
                                              QCOMPARE(act(name.OkButton()), 1);
                                          }};
        QCOMPARE(act(users.AddUserButton()), 1);
        QCOMPARE(act(users.ChangeNameButton()), 1);
        QVERIFY(names.Done());
        QCOMPARE(users.List().topLevelItemCount(), 1);
        QCOMPARE(users.List().topLevelItem(0)->text(0), QStringLiteral("Bea"));
        demo.messenger.Script({MsgAnswer::kOk});
        QCOMPARE(act(users.RegisterButton()), 1);
        QCOMPARE(strip.ShownCount(), 3);

        // Deletions asked about and answered No; album files chosen and cancelled.
        ClickFace(strip, 0);
        for (CStateBmpButton* button : {&strip.DeleteButton(), &strip.DeleteAllButton(),
                                        &users.DeleteUserButton(), &users.DeleteAllButton()}) {
            demo.messenger.Script({MsgAnswer::kNo});
            QCOMPARE(act(*button), 1);
        }
        DialogScript<COrgFileDlg> files{};
        demo.messenger.Script({MsgAnswer::kNo});  // no need to save the album before opening one
        QCOMPARE(act(album.OpenButton()), 1);
        QCOMPARE(act(album.SaveButton()), 1);
        QCOMPARE(files.Shown(), 2);
        QCOMPARE(demo.MessageIds(), (std::vector<int>{2080, 2102, 2103, 2100, 2101, 5030}));
        QCOMPARE(demo.controller->UserList().front().dataCount, 3);

        QCOMPARE(act(dialog->StatisticsButton()), 1);
        QVERIFY(!dialog->AlbumPageShown() && dialog->StatisticsPage().isVisible());
        QVERIFY(AccessibleState(dialog->StatisticsButton()).checked);
        QCOMPARE(act(dialog->MainButton()), 1);
        QVERIFY(!dialog->AlbumPageShown());
        // Every skinned button still in the window was worked (the settings dialog makes its own
        // anew each time it opens).
        for (CStateBmpButton* button : dialog->findChildren<CStateBmpButton*>())
            QVERIFY2(acted.contains(button), qPrintable(button->text()));
        QCOMPARE(demo.messenger.Unscripted(), 0);
    }
};

QZM_UI_TEST_CLASS(AccessibilityIntegration)
#include "accessibility_test.moc"
