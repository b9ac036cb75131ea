// The connection and execution pages as a user meets them: which port is chosen from a stored
// name and kept while adapters come and go, what a typed or cleared number turns into, the spin
// arrows, and what the pages hand back.
#include <QAbstractItemView>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "settings_test_support.h"
#include "ui/controls/spin_ctrl.h"
#include "ui/dialogs/connect_setting_dlg.h"
#include "ui/dialogs/exec_setting_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::Named;
using qzm_test::Ports;

namespace {

void Leave(QWidget& edit) {
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &leave);
}

// Start-up form, shown, with ports offered and the stored port given.
struct StartupPage {
    CConnectSettingDlg page{SettingForm::kStartup};
    explicit StartupPage(const QStringList& ports, const QString& stored = QString()) {
        SettingValues values;
        values.portName = stored.toStdString();
        page.SetValues(Ports(ports), values);
        page.show();
    }
    std::string ReadPort() const {
        SettingValues values;
        page.GetValues(values);
        return values.portName;
    }
};

}  // namespace

class SettingPagesTest : public QObject {
    Q_OBJECT

private slots:
    void storedPortSelection_data() {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");
        const QStringList usb10First{"/dev/ttyUSB10", "/dev/ttyUSB1", "Simulated module"};
        const QStringList other{"/dev/ttyACM0", "Simulated module"};
        const struct {
            const char* row;
            QStringList ports;
            const char *stored, *selected;
        } rows[] = {
            {"the first name it begins, a longer one listed first too", usb10First, "/dev/ttyUSB1",
             "/dev/ttyUSB10"},
            {"letter case ignored", usb10First, "/DEV/TTYUSB1", "/dev/ttyUSB10"},
            {"in natural order the same name comes first",
             {"/dev/ttyUSB1", "/dev/ttyUSB10"},
             "/dev/ttyUSB1",
             "/dev/ttyUSB1"},
            {"stored port gone: the first", other, "/dev/ttyUSB3", "/dev/ttyACM0"},
            {"nothing stored: the first", other, "", "/dev/ttyACM0"},
            {"no ports: no name", {}, "/dev/ttyUSB0", ""},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.row) << row.ports << QString::fromLatin1(row.stored)
                                   << QString::fromLatin1(row.selected);
        }
    }
    void storedPortSelection() {
        QFETCH(QStringList, ports);
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        StartupPage shown(ports, stored);
        QCOMPARE(shown.page.PortCombo().currentText(), selected);
        QCOMPARE(shown.ReadPort(), selected.toStdString());
    }

    // Adapters plugged in and out while the user looks at the open drop-down list.
    void portListFollowsAdapters() {
        const QStringList ports{"/dev/ttyUSB0", "/dev/ttyUSB1", "Simulated module"};
        StartupPage shown(ports, QStringLiteral("/dev/ttyUSB1"));
        COrgComboBox& combo = shown.page.PortCombo();
        QAbstractItemView& list = *combo.view();
        combo.showPopup();
        QTRY_VERIFY(list.isVisible());
        // The user moves the highlight without choosing yet.
        list.setCurrentIndex(combo.model()->index(2, 0));

        shown.page.UpdatePortList(Ports(ports));
        QVERIFY(list.isVisible());
        QCOMPARE(list.currentIndex().row(), 2);
        QCOMPARE(combo.currentText(), QStringLiteral("/dev/ttyUSB1"));

        // A new adapter with a long by-id name: the list is reopened, wide enough to read it,
        // and the chosen port stays chosen.
        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        shown.page.UpdatePortList(Ports({"/dev/ttyUSB0", "/dev/ttyUSB1", byId, "Simulated module"}));
        QTRY_VERIFY(list.isVisible());
        QCOMPARE(combo.count(), 4);
        QCOMPARE(shown.ReadPort(), std::string("/dev/ttyUSB1"));
        QVERIFY(list.window()->width() > QFontMetrics(list.font()).horizontalAdvance(byId));
        combo.hidePopup();

        // Item data follow the new list: the by-id link reads back as itself.
        combo.setCurrentIndex(2);
        QCOMPARE(shown.ReadPort(), byId.toStdString());

        // The chosen port is unplugged: the first one is chosen.
        shown.page.UpdatePortList(Ports({"/dev/ttyUSB0", "Simulated module"}));
        QCOMPARE(combo.currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(shown.ReadPort(), std::string("/dev/ttyUSB0"));

        shown.page.UpdatePortList({});
        QCOMPARE(shown.ReadPort(), std::string());
    }

    void connectionReadBack_data() {
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("cameraAngle");
        QTest::addColumn<int>("readBaud");
        QTest::addColumn<int>("readAngle");
        QTest::newRow("offered values") << 38400 << 3 << 38400 << 3;
        QTest::newRow("hand-edited values read as the defaults") << 57600 << 7 << 921600 << 0;
    }
    void connectionReadBack() {
        QFETCH(int, baudRate);
        QFETCH(int, cameraAngle);
        CConnectSettingDlg page{SettingForm::kStartup};
        SettingValues values;
        values.portName = "/dev/ttyUSB1";
        values.baudRate = baudRate;
        values.detection.cameraAngle = cameraAngle;
        values.autoConnect = 1;
        page.SetValues(Ports({"/dev/ttyUSB0", "/dev/ttyUSB1"}), values);
        page.show();
        // A value no item has leaves the combo empty rather than showing something else.
        QCOMPARE(page.BaudCombo().currentIndex() >= 0, page.BaudCombo().findData(baudRate) >= 0);
        QCOMPARE(page.AngleCombo().currentIndex() >= 0, cameraAngle <= 3);

        auto* autoConnect = Named<QCheckBox>(page, QStringLiteral("Connect on startup"));
        QVERIFY(autoConnect && autoConnect->isChecked());
        autoConnect->click();
        SettingValues read;
        page.GetValues(read);
        QTEST(read.baudRate, "readBaud");
        QTEST(read.detection.cameraAngle, "readAngle");
        QCOMPARE(read.autoConnect, 0);
        QCOMPARE(read.portName, std::string("/dev/ttyUSB1"));
    }

    void rangeEditTyping_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");  // replaces the whole text; "" clears it
        QTest::addColumn<QString>("whileTyping");
        QTest::addColumn<QString>("afterLeaving");
        const struct {
            const char *row, *edit, *typed, *whileTyping, *afterLeaving;
        } rows[] = {
            {"fourth digit above the maximum", "Human Body threshold", "1500", "1000", "1000"},
            {"size below the minimum waits for leaving", "Face minimum size", "5", "5", "20"},
            {"cleared recognition threshold", "Recognition threshold", "", "0", "0"},
            {"cleared face threshold", "Face threshold", "", "1", "1"},
            {"thresholds take digits only", "Hand threshold", "7x", "7", "7"},
            {"sizes take any text, leaving makes it a number", "Hand maximum size", "abc", "abc", "20"},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.row) << QString::fromLatin1(row.edit) << QString::fromLatin1(row.typed)
                                   << QString::fromLatin1(row.whileTyping)
                                   << QString::fromLatin1(row.afterLeaving);
        }
    }
    void rangeEditTyping() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        CExecSettingDlg page;
        auto* field = Named<CRangeEdit>(page, edit);
        QVERIFY(field);
        field->selectAll();
        if (typed.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(field, typed);
        }
        QTEST(field->text(), "whileTyping");
        Leave(*field);
        QTEST(field->text(), "afterLeaving");
    }

    void spinArrows() {
        CExecSettingDlg page;
        page.show();
        auto* threshold = Named<CRangeEdit>(page, QStringLiteral("Human Body threshold"));
        auto* up = Named<QToolButton>(page, QStringLiteral("Human Body threshold up"));
        auto* down = Named<QToolButton>(page, QStringLiteral("Human Body threshold down"));
        QVERIFY(threshold && up && down);
        // Inside the edit at its right edge, clear of the right-aligned text.
        const QRect arrows(up->parentWidget()->mapTo(threshold, QPoint(0, 0)), up->parentWidget()->size());
        QVERIFY(arrows.right() < threshold->width() && arrows.left() > threshold->width() / 2);
        QVERIFY(threshold->textMargins().right() >= arrows.width());

        threshold->SetValue(999);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(threshold->text(), QStringLiteral("1000"));
        QVERIFY(!up->isEnabled());
        QVERIFY(down->isEnabled());
        QTest::keyClick(threshold, Qt::Key_Down);
        QTest::keyClick(threshold, Qt::Key_PageDown);
        QCOMPARE(threshold->text(), QStringLiteral("989"));
        QVERIFY(up->isEnabled());

        // The recognition threshold goes down to 0; a size steps from text outside its range.
        auto* recognition = Named<CRangeEdit>(page, QStringLiteral("Recognition threshold"));
        recognition->SetValue(1);
        QTest::keyClick(recognition, Qt::Key_Down);
        QTest::keyClick(recognition, Qt::Key_Down);
        QCOMPARE(recognition->text(), QStringLiteral("0"));
        QVERIFY(!Named<QToolButton>(page, QStringLiteral("Recognition threshold down"))->isEnabled());
        auto* size = Named<CRangeEdit>(page, QStringLiteral("Hand minimum size"));
        size->SetValue(-1);
        QTest::mouseClick(Named<QToolButton>(page, QStringLiteral("Hand minimum size up")), Qt::LeftButton);
        QCOMPARE(size->text(), QStringLiteral("21"));
    }

    void execValues() {
        CExecSettingDlg page;
        // Before any values: the module's usual settings and the first angle items.
        QStringList shown;
        for (int kind = 0; kind < 4; ++kind) {
            shown << page.ThresholdEdit(kind).text();
        }
        for (int kind = 0; kind < 3; ++kind) {
            shown << page.MinimumSizeEdit(kind).text() << page.MaximumSizeEdit(kind).text();
        }
        QCOMPARE(shown, (QStringList{"500", "500", "500", "500", "30", "8192", "40", "8192", "64", "8192"}));
        QCOMPARE(page.YawCombo().currentText(), QStringLiteral("±30°"));
        QCOMPARE(page.RollCombo().currentText(), QStringLiteral("±15°"));

        // Values never read or stored show as -1 and come back as each edit's minimum.
        page.WriteValues(ExecSettings{});
        QCOMPARE(page.ThresholdEdit(ExecSettings::kRecognition).text(), QStringLiteral("-1"));
        QCOMPARE(page.MaximumSizeEdit(ExecSettings::kFace).text(), QStringLiteral("-1"));
        ExecSettings minimums{{1, 1, 1, 0}, {{20, 20}, {20, 20}, {20, 20}}, 0, 0};
        QCOMPARE(page.ReadValues(), minimums);

        // Written as they are (a minimum above its maximum too); a code no item has keeps the
        // selection; a number above the maximum shows as the maximum at once.
        ExecSettings values = qzm_test::SampleExecSettings();
        values.sizeRange[ExecSettings::kHand] = CRange(900, 100);
        page.WriteValues(values);
        QCOMPARE(page.ReadValues(), values);
        ExecSettings odd = values;
        odd.yawAngle = 3;
        odd.rollAngle = 2;
        odd.threshold[ExecSettings::kFace] = 5000;
        page.WriteValues(odd);
        QCOMPARE(page.ThresholdEdit(ExecSettings::kFace).text(), QStringLiteral("1000"));
        ExecSettings expected = values;
        expected.threshold[ExecSettings::kFace] = 1000;
        QCOMPARE(page.ReadValues(), expected);

        ExecSettings defaults = values;
        defaults.threshold[ExecSettings::kHand] = 321;
        defaults.yawAngle = 0;
        page.SetDefaults(defaults);
        auto* reset = Named<QAbstractButton>(page, QStringLiteral("Reset values"));
        QVERIFY(reset);
        reset->click();
        QCOMPARE(page.ReadValues(), defaults);
    }
};

QZM_UI_TEST_CLASS(SettingPagesTest)
#include "settings_pages_test.moc"
