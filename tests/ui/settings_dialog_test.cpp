// The settings dialog in both forms, driven as its owner and a user drive it: values in, pages
// edited, "Reset values" answered by the owner, OK or Cancel, values out. Screenshots of every tab
// and of the start-up form go to the build folder.
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <thread>

#include "dialog_script.h"
#include "settings_test_support.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::Named;
using qzm_test::Ports;

namespace {

constexpr int kDeviceTypeBasic = 0;
constexpr int kDeviceTypeExtended = 1;

// What the owner keeps in its settings before it opens the dialog.
SettingValues StoredValues() {
    SettingValues values;
    values.portName = "/dev/ttyUSB0";
    values.baudRate = 115200;
    values.detection.cameraAngle = 1;
    values.autoConnect = 0;
    values.detection.exec = qzm_test::SampleExecSettings();
    values.logOutput = 0;
    return values;
}

// The defaults file's values, as the owner answers "Reset values".
ExecSettings DefaultExecSettings() {
    return {{500, 500, 500, 500}, {{30, 8192}, {40, 8192}, {64, 8192}}, 0, 0};
}

// Runs whileOpen once the dialog is up, as its user; whileOpen closes it.
int ShowAndDo(CSettingDlg& dlg, const std::vector<std::string>& ports, SettingForm form, int deviceType,
              const std::function<void()>& whileOpen) {
    qzm_test::DialogScript<CSettingDlg> user{[&](CSettingDlg&) { whileOpen(); }};
    return dlg.ShowModal(ports, form, deviceType);
}

// Visible texts narrower than they need, and visible controls without an accessible name.
QStringList LookProblems(const QWidget& root) {
    QStringList problems;
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->parentWidget()->inherits("QTabBar")) {
            continue;
        }
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const bool captioned = qobject_cast<QLabel*>(widget) || button || qobject_cast<QGroupBox*>(widget) ||
                               qobject_cast<QComboBox*>(widget);
        // Spin arrows are smaller than a tool button likes and carry no text to clip.
        const bool textless = button && button->text().isEmpty();
        if (captioned && !textless && widget->width() < widget->sizeHint().width()) {
            problems << QStringLiteral("clipped: ") + widget->accessibleName();
        }
        if ((captioned || widget->inherits("QLineEdit")) && widget->accessibleName().isEmpty()) {
            problems << QStringLiteral("unnamed: ") + widget->metaObject()->className();
        }
    }
    return problems;
}

QStringList TabTexts(const QTabWidget& tabs) {
    QStringList texts;
    for (int i = 0; i < tabs.count(); ++i) {
        texts << tabs.tabText(i);
    }
    return texts;
}

}  // namespace

class SettingDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The whole normal-form flow: every tab looked at, values changed, defaults asked for, OK.
    void normalFormEditAndOk() {
        CSettingDlg dlg;
        dlg.SetValues(StoredValues());
        dlg.SetDefaults(DefaultExecSettings());
        const int result = ShowAndDo(dlg, {}, SettingForm::kNormal, kDeviceTypeBasic, [&] {
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Settings"));
            QCOMPARE(dlg.OkButton()->text(), QStringLiteral("OK"));
            QCOMPARE(dlg.CancelButton()->text(), QStringLiteral("Cancel"));
            QTabWidget& tabs = *dlg.Tabs();
            QCOMPARE(TabTexts(tabs), (QStringList{"General", "Device", "Execution", "Maintenance"}));
            QCOMPARE(tabs.currentWidget(), dlg.GeneralPage());

            // Buttons 8 pixels under the tabs, Cancel flush with their right edge, OK 8 to its
            // left, and 8 pixels of dialog round them.
            const QRect area = tabs.geometry();
            const QRect ok = dlg.OkButton()->geometry();
            const QRect cancel = dlg.CancelButton()->geometry();
            QCOMPARE(area.topLeft(), QPoint(8, 8));
            QCOMPARE(cancel.top(), area.bottom() + 1 + 8);
            QCOMPARE(cancel.right(), area.right());
            QCOMPARE(ok.right() + 1 + 8, cancel.left());
            QCOMPARE(ok.top(), cancel.top());
            QCOMPARE(dlg.size(), QSize(cancel.right() + 1 + 8, cancel.bottom() + 1 + 8));

            const char* const names[] = {"settings_general", "settings_device", "settings_execution",
                                         "settings_maintenance"};
            for (int tab = 0; tab < tabs.count(); ++tab) {
                tabs.setCurrentIndex(tab);
                QVERIFY(!qzm_test::SaveScreenshot(dlg, QString::fromLatin1(names[tab])).isEmpty());
                QCOMPARE(LookProblems(*tabs.currentWidget()), QStringList());
            }
            QCOMPARE(LookProblems(dlg), QStringList());

            auto* logOutput = Named<QCheckBox>(dlg, QStringLiteral("Log output"));
            QVERIFY(logOutput && !logOutput->isChecked());
            logOutput->click();

            tabs.setCurrentIndex(1);
            QVERIFY(!Named<QComboBox>(dlg, QStringLiteral("Port"))->isVisible());
            QVERIFY(!Named<QComboBox>(dlg, QStringLiteral("Baud rate"))->isVisible());
            auto* angle = Named<QComboBox>(dlg, QStringLiteral("Camera angle"));
            QCOMPARE(angle->currentText(), QStringLiteral("90°"));
            angle->setCurrentIndex(2);
            Named<QCheckBox>(dlg, QStringLiteral("Connect on startup"))->click();

            tabs.setCurrentIndex(2);
            auto* body = Named<CRangeEdit>(dlg, QStringLiteral("Human Body threshold"));
            QCOMPARE(body->text(), QStringLiteral("600"));
            body->selectAll();
            QTest::keyClicks(body, QStringLiteral("777"));
            Named<QAbstractButton>(dlg, QStringLiteral("Reset values"))->click();
            QCOMPARE(body->text(), QStringLiteral("500"));
            QCOMPARE(Named<QComboBox>(dlg, QStringLiteral("Yaw angle"))->currentText(),
                     QStringLiteral("±30°"));
            body->selectAll();
            QTest::keyClicks(body, QStringLiteral("650"));
            // Enter in an edit is OK, as everywhere else in the dialog.
            QTest::keyClick(body, Qt::Key_Return);
        });
        QCOMPARE(result, CSettingDlg::kResultOk);
        QVERIFY(!dlg.Tabs() && !dlg.ExecPage());

        SettingValues expected = StoredValues();
        // Port and baud rate are not edited in this form and come back as they were, although the
        // page was given no ports.
        expected.detection.cameraAngle = 2;
        expected.autoConnect = 1;
        expected.logOutput = 1;
        expected.detection.exec = DefaultExecSettings();
        expected.detection.exec.threshold[ExecSettings::kBody] = 650;
        QCOMPARE(dlg.Values().detection.exec, expected.detection.exec);
        QVERIFY(dlg.Values() == expected);
    }

    void cancelReadsNothingBack_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape key") << true;
    }
    void cancelReadsNothingBack() {
        QFETCH(bool, escape);
        CSettingDlg dlg;
        dlg.SetValues(StoredValues());
        dlg.SetDefaults(DefaultExecSettings());
        const int result = ShowAndDo(dlg, {}, SettingForm::kNormal, kDeviceTypeBasic, [&] {
            Named<QCheckBox>(dlg, QStringLiteral("Log output"))->click();
            Named<QComboBox>(dlg, QStringLiteral("Camera angle"))->setCurrentIndex(3);
            Named<QAbstractButton>(dlg, QStringLiteral("Reset values"))->click();
            auto* hand = Named<CRangeEdit>(dlg, QStringLiteral("Hand threshold"));
            hand->selectAll();
            QTest::keyClicks(hand, QStringLiteral("42"));
            if (escape) {
                QTest::keyClick(hand, Qt::Key_Escape);
            } else {
                dlg.CancelButton()->click();
            }
        });
        QCOMPARE(result, CSettingDlg::kResultCancel);
        // Not even the defaults "Reset values" wrote in.
        QVERIFY(dlg.Values() == StoredValues());

        // The next showing starts from the values, not from what was typed before.
        dlg.SetValues(StoredValues());
        ShowAndDo(dlg, {}, SettingForm::kNormal, kDeviceTypeBasic, [&] {
            QCOMPARE(Named<CRangeEdit>(dlg, QStringLiteral("Hand threshold"))->text(), QStringLiteral("550"));
            QVERIFY(!Named<QCheckBox>(dlg, QStringLiteral("Log output"))->isChecked());
            dlg.CancelButton()->click();
        });
    }

    void tabsByDeviceType_data() {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QStringList>("tabs");
        QTest::newRow("basic command set")
            << kDeviceTypeBasic << QStringList{"General", "Device", "Execution", "Maintenance"};
        QTest::newRow("device type 1")
            << kDeviceTypeExtended << QStringList{"General", "Device", "Execution"};
    }
    void tabsByDeviceType() {
        QFETCH(int, deviceType);
        QFETCH(QStringList, tabs);
        CSettingDlg dlg;
        QSignalSpy requests(&dlg, &CSettingDlg::DeleteAllDataRequested);
        ShowAndDo(dlg, {}, SettingForm::kNormal, deviceType, [&] {
            QCOMPARE(TabTexts(*dlg.Tabs()), tabs);
            auto* deleteAll = Named<QAbstractButton>(dlg, QStringLiteral("Delete all data"));
            QCOMPARE(deleteAll != nullptr, tabs.contains(QStringLiteral("Maintenance")));
            if (deleteAll) {
                dlg.Tabs()->setCurrentIndex(3);
                QVERIFY(Named<QLabel>(dlg, CMaintenanceDlg::CautionText())->isVisible());
                deleteAll->click();
            }
            dlg.CancelButton()->click();
        });
        QCOMPARE(requests.count(), deviceType == kDeviceTypeBasic ? 1 : 0);
    }

    // The start-up form while an adapter is plugged in: its port appears, the user picks it and a
    // baud rate and connects.
    void startupFormFollowsPortsAndConnects() {
        CSettingDlg dlg;
        SettingValues stored;
        stored.portName = "/dev/ttyUSB3";
        dlg.SetValues(stored);
        const std::vector<std::string> before = Ports({"/dev/ttyS0", "Simulated module"});
        const std::vector<std::string> after = Ports({"/dev/ttyS0", "/dev/ttyUSB0", "Simulated module"});
        // The owner's port watcher, a timer on the window thread.
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, &dlg, [&] { dlg.UpdatePortList(after); });

        const int result = ShowAndDo(dlg, before, SettingForm::kStartup, kDeviceTypeBasic, [&] {
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Connection settings"));
            QCOMPARE(dlg.OkButton()->text(), QStringLiteral("Connect"));
            QVERIFY(!dlg.Tabs() && !dlg.GeneralPage() && !dlg.ExecPage() && !dlg.MaintenancePage());
            CConnectSettingDlg& page = *dlg.ConnectPage();
            QCOMPARE(page.pos(), QPoint(0, 0));
            const QRect cancel = dlg.CancelButton()->geometry();
            QCOMPARE(cancel.top(), page.geometry().bottom() + 1 + 8);
            QCOMPARE(cancel.right(), page.geometry().right());
            QCOMPARE(dlg.size(), QSize(cancel.right() + 1 + 8, cancel.bottom() + 1 + 8));

            auto* port = Named<QComboBox>(dlg, QStringLiteral("Port"));
            auto* baud = Named<QComboBox>(dlg, QStringLiteral("Baud rate"));
            QVERIFY(port && port->isVisible() && baud && baud->isVisible());
            QCOMPARE(port->currentText(), QStringLiteral("/dev/ttyS0"));
            QCOMPARE(baud->currentText(), QStringLiteral("921600"));
            QVERIFY(!qzm_test::SaveScreenshot(dlg, QStringLiteral("settings_startup")).isEmpty());
            QCOMPARE(LookProblems(dlg), QStringList());

            watcher.start();
            QTRY_COMPARE(port->count(), 3);
            QCOMPARE(port->currentText(), QStringLiteral("/dev/ttyS0"));
            port->setCurrentIndex(port->findText(QStringLiteral("/dev/ttyUSB0")));
            baud->setCurrentIndex(baud->findText(QStringLiteral("460800")));
            QTest::qWait(30);  // further equal refreshes leave the choice alone
            dlg.OkButton()->click();
        });
        watcher.stop();
        QCOMPARE(result, CSettingDlg::kResultOk);
        SettingValues expected = stored;
        expected.portName = "/dev/ttyUSB0";
        expected.baudRate = 460800;
        // No execution or general page in this form: those values are left as they were.
        QVERIFY(dlg.Values() == expected);
    }

    // A port watcher on its own thread: the update reaches the page on the window thread.
    void portUpdateFromAnotherThread() {
        CSettingDlg dlg;
        const int result =
            ShowAndDo(dlg, Ports({"Simulated module"}), SettingForm::kStartup, kDeviceTypeBasic, [&] {
                std::thread watcher([&] { dlg.UpdatePortList(Ports({"/dev/ttyACM0", "Simulated module"})); });
                watcher.join();
                QCOMPARE(dlg.ConnectPage()->PortList().size(), std::size_t{1});
                QTRY_COMPARE(dlg.ConnectPage()->PortList().size(), std::size_t{2});
                QCOMPARE(dlg.ConnectPage()->PortCombo().currentText(), QStringLiteral("Simulated module"));
                dlg.OkButton()->click();
            });
        QCOMPARE(result, CSettingDlg::kResultOk);
        QCOMPARE(dlg.Values().portName, std::string("Simulated module"));
        // After the dialog has closed an update has nowhere to go and is dropped.
        dlg.UpdatePortList(Ports({"/dev/ttyACM0"}));
    }
};

QZM_UI_TEST_CLASS(SettingDialogTest)
#include "settings_dialog_test.moc"
