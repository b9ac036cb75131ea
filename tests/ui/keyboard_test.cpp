// The program without a mouse: every control named for assistive technology, the focus moving with
// Tab in the order of the layout, the shortcuts of the main window, and the custom buttons pressed
// with Space and Enter.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "demo_harness.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/dialogs/wait_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/regist_img_page.h"
#include "ui/pages/result_log_dlg.h"
#include "ui/pages/statistics_page.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;

namespace {

constexpr int kWaitMs = 15000;

// The name given to the widget, else the one Qt derives (a button's text, for example).
QString NameOf(QWidget* widget) {
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// A widget the user can operate: it takes focus or is a button, a slider, an edit or a list. The
// parts of a scrolling control (its view, scroll bars and header) are read as that control.
bool Interactive(const QWidget* widget) {
    for (const QWidget* above = widget->parentWidget(); above != nullptr; above = above->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(above))
            return false;
    }
    return (widget->focusPolicy() & Qt::TabFocus) != 0 || qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractItemView*>(widget);
}

// The interactive widgets shown in window that assistive technology would read without a name.
QStringList Unnamed(QWidget& window) {
    QStringList unnamed;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->window() == &window && Interactive(widget) &&
            NameOf(widget).trimmed().isEmpty()) {
            unnamed << QStringLiteral("%1 in %2")
                           .arg(QString::fromLatin1(widget->metaObject()->className()),
                                QString::fromLatin1(widget->parentWidget()->metaObject()->className()));
        }
    }
    return unnamed;
}

// The names of the widgets Tab visits from start until it comes back there (at most 60).
QStringList TabChain(QWidget& start) {
    start.setFocus(Qt::TabFocusReason);
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        QWidget* focused = QApplication::focusWidget();
        if (focused == nullptr)
            break;
        if (i > 0 && focused == &start)
            break;
        names << NameOf(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return names;
}

bool Activate(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// A key pressed in the main window. The test platform leaves no window active once a modal dialog
// has gone (a desktop hands the activation back to the window below), so it is activated first.
void Press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QVERIFY(Activate(window));
    QTest::keyClick(&window, key, modifiers);
}

const QStringList kFunctionNames = {"Human Body", "Hand", "Face",  "Direction",  "Age",
                                    "Gender",     "Gaze", "Blink", "Expression", "Recognition"};

}  // namespace

class KeyboardIntegration : public QObject {
    Q_OBJECT

private slots:
    // Every control of the main window's pages and of the settings dialog's tabs has a name.
    void everyControlIsNamed() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        DemoHarness::ExecuteWithEveryFunction(*dialog);
        QVERIFY2(Unnamed(*dialog).isEmpty(), qPrintable(Unnamed(*dialog).join(", ")));

        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QVERIFY(dialog->AlbumPage().isVisible());
        QVERIFY2(Unnamed(*dialog).isEmpty(), qPrintable(Unnamed(*dialog).join(", ")));
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);

        CSettingDlg& settings = dialog->SettingsDialog();
        QStringList unnamed;
        DialogScript<CSettingDlg> user{[&](CSettingDlg&) {
            for (int tab = 0; tab < settings.Tabs()->count(); ++tab) {
                settings.Tabs()->setCurrentIndex(tab);
                for (const QString& widget : Unnamed(settings))
                    unnamed << settings.Tabs()->tabText(tab) + QStringLiteral(": ") + widget;
            }
            QTest::mouseClick(settings.CancelButton(), Qt::LeftButton);
        }};
        QTest::mouseClick(dialog->MainPage().ExecutePanel().SettingsButton(), Qt::LeftButton);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QVERIFY(demo.messenger.Messages().empty());
    }

    // Tab walks the main page as it is laid out: the page buttons, the picture's side from the top
    // down, the execution panel, the log; the album page and the settings dialog likewise.
    void tabFollowsTheLayout() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        QVERIFY(demo.controller->AddNewUser("Ada") >= 0);
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QVERIFY(Activate(*dialog));
        DemoHarness::ExecuteWithEveryFunction(*dialog);  // the display toggles in use

        QVERIFY(Activate(*dialog));
        QStringList mainPage = {"Main", "Album", "Statistics", "Display image", "Picture"};
        mainPage << kFunctionNames;
        mainPage << QStringList{"Execute once", "Continuous", "Record", "with frames", "Transfer image size"};
        mainPage << kFunctionNames;
        mainPage << QStringList{"Settings", "Result log"};
        QCOMPARE(TabChain(dialog->MainButton()), mainPage);
        dialog->MainPage().ImagePage().Picture().setFocus(Qt::TabFocusReason);
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("keyboard_focus_picture"));
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        panel.ContinuousButton()->setFocus(Qt::TabFocusReason);
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("keyboard_focus_button"));

        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QVERIFY(Activate(*dialog));
        QCOMPARE(TabChain(dialog->AlbumButton()),
                 (QStringList{"Album", "Statistics", "Open", "Save", "Users", "Add User", "Delete All",
                              "Registered images", "Main"}));
        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);

        CSettingDlg& settings = dialog->SettingsDialog();
        QStringList general;
        QStringList device;
        DialogScript<CSettingDlg> user{[&](CSettingDlg&) {
            Activate(settings);  // shown is not yet active on a loaded machine
            QTabBar* bar = settings.Tabs()->tabBar();
            general = TabChain(*bar);
            settings.Tabs()->setCurrentIndex(1);
            device = TabChain(*bar);
            QTest::mouseClick(settings.CancelButton(), Qt::LeftButton);
        }};
        QTest::mouseClick(panel.SettingsButton(), Qt::LeftButton);
        QCOMPARE(general, (QStringList{"General", "Log output", "OK", "Cancel"}));
        QCOMPARE(device, (QStringList{"Device", "Camera angle", "Connect on startup", "OK", "Cancel"}));
    }

    // F5, F6, Ctrl+1 to Ctrl+3 do what the buttons do, and only where the buttons could be
    // clicked; a focused button is pressed with Enter and with Space.
    void shortcutsAndKeysPressButtons() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QVERIFY(Activate(*dialog));
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        QVERIFY(panel.ExecuteOnceButton()->toolTip().endsWith(" (F5)"));
        QVERIFY(panel.ContinuousButton()->toolTip().endsWith(" (F6)"));
        QVERIFY(dialog->MainButton().toolTip().endsWith(" (Ctrl+1)"));
        QVERIFY(dialog->AlbumButton().toolTip().endsWith(" (Ctrl+2)"));
        QVERIFY(dialog->StatisticsButton().toolTip().endsWith(" (Ctrl+3)"));

        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        Press(*dialog, Qt::Key_F5);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));

        Press(*dialog, Qt::Key_F6);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeContinuous));
        QVERIFY(panel.ContinuousOn());
        QVERIFY(QTest::qWaitFor([&] { return shown.count() >= 3; }, kWaitMs));
        Press(*dialog, Qt::Key_F6);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        QVERIFY(!panel.ContinuousOn());

        // On the album page the panel is hidden: F5 and F6 do nothing there.
        Press(*dialog, Qt::Key_2, Qt::ControlModifier);
        QVERIFY(dialog->AlbumPage().isVisible());
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));
        const int before = static_cast<int>(shown.count());
        Press(*dialog, Qt::Key_F5);
        Press(*dialog, Qt::Key_F6);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));
        QCOMPARE(shown.count(), before);
        QVERIFY(!panel.ContinuousOn());
        // The statistics page ends the live image as the main page does; Ctrl+1 comes back.
        Press(*dialog, Qt::Key_3, Qt::ControlModifier);
        QVERIFY(dialog->StatisticsPage().isVisible());
        QVERIFY(!dialog->AlbumPage().isVisible() && !dialog->MainPage().isVisible());
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        Press(*dialog, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(dialog->MainPage().isVisible());
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));

        // While the wait dialog is up (a silent module keeps it there until the time-out), the keys
        // reach nothing.
        ModuleFaults silent;
        silent.silent = true;
        demo.Host().SetFaults(silent);
        DialogScript<CWaitDlg> waiting{[&](CWaitDlg& wait) {
            QCOMPARE(&wait, &dialog->WaitDialog());
            // Even with the main window active, as a window manager might leave it.
            for (QWidget* target : {static_cast<QWidget*>(&wait), static_cast<QWidget*>(dialog.get())}) {
                Press(*target, Qt::Key_F6);
                Press(*target, Qt::Key_2, Qt::ControlModifier);
            }
        }};
        Press(*dialog, Qt::Key_F5);
        QVERIFY(waiting.Done());
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});
        QVERIFY(!panel.ContinuousOn());
        QVERIFY(dialog->MainPage().isVisible());
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        demo.Host().SetFaults({});

        // The focused custom button: Enter executes once, Space switches continuous execution on.
        QVERIFY(Activate(*dialog));
        panel.ExecuteOnceButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(panel.ExecuteOnceButton(), Qt::Key_Return);
        QCOMPARE(shown.count(), before + 1);
        QVERIFY(Activate(*dialog));
        panel.ContinuousButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(panel.ContinuousButton(), Qt::Key_Space);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeContinuous));
        QTest::keyClick(panel.ContinuousButton(), Qt::Key_Enter);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});
    }

    // The face strip: the arrow keys select the faces shown, skipping empty cells, and stop at the
    // ends. The log: the menu key asks for the log menu, as a right click does.
    void arrowsSelectFacesAndTheMenuKeyOpensTheLogMenu() {
        CRegistImgPage strip;
        std::array<CDemoController::ImageSlot, 10> faces;
        for (const int cell : {1, 3}) {
            faces[cell].dataNumber = cell;
            faces[cell].image.Allocate(64, nullptr, 64, kFormatGrey8, 1);
        }
        strip.ShowImages(faces);
        QWidget& view = strip.StripView();
        QCOMPARE(view.focusPolicy(), Qt::TabFocus);
        std::vector<int> selected;
        for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Left}) {
            QTest::keyClick(&view, key);
            selected.push_back(strip.SelectedDataNumber());
        }
        QCOMPARE(selected, (std::vector<int>{1, 3, 3, 1, 1}));
        QVERIFY(strip.DeleteButton().isEnabled());

        DemoHarness demo;
        CResultLogDlg log(demo.controller->Settings());
        int menus = 0;
        auto closeNextMenu = [&] {
            QTimer::singleShot(0, &log, [&] {
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    ++menus;
                    popup->close();
                }
            });
        };
        closeNextMenu();
        QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(log.LogView(), &mouse);
        QCoreApplication::processEvents();
        QCOMPARE(menus, 0);  // the right click's own release opens it
        closeNextMenu();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(log.LogView(), &key);
        QCOMPARE(menus, 1);
    }
};

QZM_UI_TEST_CLASS(KeyboardIntegration)
#include "keyboard_test.moc"
