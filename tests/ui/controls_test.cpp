// The custom controls as a user meets them: typing into range edits, right clicks on the log,
// skins drawn by state, skinned buttons as assistive tools drive them, the result list's colours
// and keys.
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>

#include "ui/controls/org_combo_box.h"
#include "ui/controls/org_list_ctrl.h"
#include "ui/controls/org_rich_edit.h"
#include "ui/controls/range_edit.h"
#include "ui/controls/skins.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/controls/ui_text.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui_test_support.h"

using namespace qzm;

namespace {

class KeyRecorder : public QWidget {
public:
    QList<int> pressed, released;

protected:
    void keyPressEvent(QKeyEvent* event) override { pressed << event->key(); }
    void keyReleaseEvent(QKeyEvent* event) override { released << event->key(); }
};

// The mean colour of an image, and how far apart two colours are.
QColor Mean(const QImage& image) {
    return image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}
double Distance(const QColor& a, const QColor& b) {
    return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
}

// Cells of 10 x 10 in one plain colour each: red shades in column 0, blue in column 1, a shade per row.
QImage CellColourSkin() {
    QImage skin(20, 40, QImage::Format_RGB32);
    QPainter painter(&skin);
    for (int row = 0; row < 4; ++row) {
        painter.fillRect(0, row * 10, 10, 10, QColor(100 + 40 * row, 0, 0));
        painter.fillRect(10, row * 10, 10, 10, QColor(0, 0, 100 + 40 * row));
    }
    return skin;
}

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void rangeEditTyping_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("whileTyping");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("below minimum waits for the focus to leave") << 20 << "9"
                                                                    << "9"
                                                                    << "20";
        QTest::newRow("three digits in range") << 20 << "900"
                                               << "900"
                                               << "900";
        QTest::newRow("fourth digit goes above maximum") << 20 << "9000"
                                                         << "8192"
                                                         << "8192";
        QTest::newRow("digits past int") << 20 << "99999999999"
                                         << "8192"
                                         << "8192";
        QTest::newRow("emptied field takes the minimum") << 1 << "7\b"
                                                         << "1"
                                                         << "1";
        QTest::newRow("letters become the minimum") << 1 << "abc"
                                                    << "abc"
                                                    << "1";
    }
    void rangeEditTyping() {
        QFETCH(int, minimum);
        QFETCH(QString, typed);
        CRangeEdit edit;
        edit.SetRange(CRange(minimum, 8192));
        QSignalSpy checks(&edit, &CRangeEdit::RangeChecked);
        QTest::keyClicks(&edit, typed);
        QTEST(edit.text(), "whileTyping");
        // One notice per change the user made, none for the edit's own corrections.
        QCOMPARE(checks.count(), typed.size());
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&edit, &leave);
        QTEST(edit.text(), "afterLeaving");
        QCOMPARE(checks.count(), typed.size() + 1);
    }

    void rangeEditValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("no digits, minimum 1") << "abc" << 1 << 1 << false;
        QTest::newRow("no digits read as 0, minimum 0") << "abc" << 0 << 0 << true;
        QTest::newRow("empty") << "" << 0 << 0 << false;
        QTest::newRow("leading number") << " 42px" << 1 << 42 << true;
        QTest::newRow("above") << "1200" << 1 << 1000 << false;
    }
    void rangeEditValue() {
        QFETCH(QString, text);
        QFETCH(int, minimum);
        CRangeEdit edit;
        edit.SetRange(CRange(minimum, 1000));
        const QSignalBlocker raw(edit);
        edit.setText(text);
        QTEST(edit.GetValue(), "expected");
        QTEST(edit.InRange(), "inRange");
    }

    void comboSelectsByItemData() {
        COrgComboBox combo;
        combo.addItem(UiText(2020), 1);
        combo.addItem(UiText(2021), 2);
        combo.addItem(UiText(2022), 0);
        QCOMPARE(combo.SelectByItemData(2), 1);
        QCOMPARE(combo.SelectByItemData(7), -1);
        QCOMPARE(combo.GetText(), QStringLiteral("160x120"));
        QCOMPARE(combo.SelectByItemData(0), 2);
    }

    void richEditRightClick_data() {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<bool>("menu");
        QTest::newRow("5 right") << QPoint(5, 0) << true;
        QTest::newRow("5 up and left") << QPoint(-5, -5) << true;
        QTest::newRow("6 right") << QPoint(6, 0) << false;
        QTest::newRow("6 down") << QPoint(2, 6) << false;
    }
    void richEditRightClick() {
        QFETCH(QPoint, move);
        QFETCH(bool, menu);
        COrgRichEdit edit;
        edit.resize(300, 200);
        QSignalSpy requests(&edit, &COrgRichEdit::MenuRequested);
        QWidget& area = *edit.viewport();
        const QPoint press(40, 30);
        qzm_test::SendMouse(area, QEvent::MouseButtonPress, Qt::RightButton, press);
        qzm_test::SendMouse(area, QEvent::MouseMove, Qt::RightButton, press + move);
        qzm_test::SendMouse(area, QEvent::MouseButtonRelease, Qt::RightButton, press + move);
        // A left click afterwards is not taken for a right click.
        qzm_test::SendMouse(area, QEvent::MouseButtonPress, Qt::LeftButton, press);
        qzm_test::SendMouse(area, QEvent::MouseButtonRelease, Qt::LeftButton, press);
        QCOMPARE(requests.count(), menu ? 1 : 0);
        if (menu) {
            QCOMPARE(requests[0][0].toPoint(), area.mapTo(&edit, press + move));
        }
    }

    void richEditKeepsNewestBlocksOnTop() {
        COrgRichEdit edit;
        QTextCharFormat bold;
        bold.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
        bold.setFontWeight(QFont::Bold);
        edit.SetDefaultCharFormat(bold);
        const QString separator(20, QLatin1Char('-'));
        for (int block = 1; block <= 3; ++block) {
            edit.InsertText(separator + QStringLiteral("\nBlock %1\n").arg(block), 0);
        }
        QCOMPARE(edit.textCursor().position(), 0);
        QTextCursor probe(edit.document());
        probe.setPosition(separator.size() + 3);
        QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));

        QVERIFY(edit.DeleteLastBlock(separator));
        QCOMPARE(edit.toPlainText(), separator + "\nBlock 3\n" + separator + "\nBlock 2\n");
        // Whole words in any letter case: "Blockade" is not the marker, "BLOCK" is.
        edit.setPlainText(QStringLiteral("BLOCK one\nBlockade two\n"));
        QVERIFY(edit.DeleteLastBlock(QStringLiteral("block")));
        QCOMPARE(edit.toPlainText(), QString());
        edit.InsertText(QStringLiteral("nothing to find\n"));
        QVERIFY(!edit.DeleteLastBlock(separator));
        QCOMPARE(edit.toPlainText(), QStringLiteral("nothing to find\n"));
    }

    void stateButtonDrawsItsCell_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("down");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("off") << 0 << true << false << QColor(100, 0, 0);
        QTest::newRow("on: right half") << 1 << true << false << QColor(0, 0, 100);
        QTest::newRow("on, pressed") << 1 << true << true << QColor(0, 0, 140);
        QTest::newRow("disabled wins over pressed") << 1 << false << true << QColor(0, 0, 180);
    }
    void stateButtonDrawsItsCell() {
        QFETCH(int, state);
        QFETCH(bool, enabled);
        QFETCH(bool, down);
        CStateBmpButton button;
        button.resize(60, 20);
        button.SetBitmaps(CellColourSkin());
        button.SetStateCount(2);
        button.SetState(state);
        button.setEnabled(enabled);
        button.setDown(down);
        QTEST(qzm_test::Grab(button).pixelColor(30, 10), "expected");
    }

    // Caps keep their proportions (5 x 10 drawn 20 high is 10 wide); key-coloured pixels show the parent.
    void stateButtonCapsAndKey() {
        QWidget back;
        back.setStyleSheet(QStringLiteral("background: rgb(0, 255, 0)"));
        back.resize(100, 20);
        CStateBmpButton button(QString(), &back);
        button.resize(100, 20);
        QImage cap(5, 40, QImage::Format_RGB32);
        cap.fill(Qt::yellow);
        QPainter(&cap).fillRect(0, 0, 5, 5, SkinKeyColor());
        QImage centre(4, 40, QImage::Format_RGB32);
        centre.fill(Qt::blue);
        button.SetBitmaps(centre, cap, cap);
        QCOMPARE(qzm_test::Grab(back).pixelColor(4, 2), SkinKeyColor());
        button.SetTransparentColor(SkinKeyColor());
        const QImage keyed = qzm_test::Grab(back);
        const QList<QColor> row{keyed.pixelColor(4, 2), keyed.pixelColor(4, 15), keyed.pixelColor(12, 15),
                                keyed.pixelColor(87, 15), keyed.pixelColor(95, 15)};
        QCOMPARE(row, (QList<QColor>{Qt::green, Qt::yellow, Qt::blue, Qt::blue, Qt::yellow}));
    }

    void listCtrlColoursFixedColumnsAndKeys() {
        KeyRecorder page;
        page.resize(260, 120);
        auto* list = new COrgListCtrl(&page);
        list->setGeometry(0, 0, 260, 120);
        list->SetColumns({{QStringLiteral("Name"), 120}, {QStringLiteral("Result"), 96}});
        for (const char* result : {"OK", "NG", "-"}) {
            new QTreeWidgetItem(list, {QStringLiteral("user"), QString::fromLatin1(result)});
        }
        QCOMPARE(list->header()->sectionResizeMode(1), QHeaderView::Fixed);
        QCOMPARE(list->header()->sectionSize(1), 96);
        QCOMPARE(list->visualItemRect(list->topLevelItem(0)).height(),
                 QFontMetrics(list->font()).size(Qt::TextSingleLine, QStringLiteral("List")).height() + 1);

        page.show();
        const QImage shot = qzm_test::Grab(*list->viewport());
        auto colours = [&](int row) {
            QSet<QRgb> found;
            const QRect area = list->visualItemRect(list->topLevelItem(row));
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    found << shot.pixel(x, y);
                }
            }
            return QPair<bool, bool>(found.contains(qRgb(0, 0, 255)), found.contains(qRgb(255, 0, 0)));
        };
        QCOMPARE(colours(0), qMakePair(true, false));
        QCOMPARE(colours(1), qMakePair(false, true));
        QCOMPARE(colours(2), qMakePair(false, false));

        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(page.pressed, QList<int>{Qt::Key_Down});
        QCOMPARE(page.released, QList<int>{Qt::Key_Down});
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
    }

    // Every skin in its states, next to the other controls, saved for reviewers.
    void skinsAndScreenshot() {
        QWidget panel;
        auto* layout = new QVBoxLayout(&panel);
        struct Sample {
            const char* caption;
            SkinKind kind;
            int state;
            bool enabled, down;
        };
        const Sample samples[] = {{"OK", SkinKind::kButton, 0, true, false},
                                  {"Cancel", SkinKind::kButton, 0, true, true},
                                  {"Register", SkinKind::kButton, 0, false, false},
                                  {"Human Body", SkinKind::kSwitch, 0, true, false},
                                  {"Hand", SkinKind::kSwitch, 1, true, false},
                                  {"Face", SkinKind::kSwitch, 0, true, true},
                                  {"Direction", SkinKind::kSwitch, 1, false, false},
                                  {"Main", SkinKind::kPageButton, 1, true, false},
                                  {"Album", SkinKind::kPageButton, 0, true, false},
                                  {"Execute", SkinKind::kPanelButton, 0, true, false},
                                  {"Continuous", SkinKind::kPanelButton, 1, true, false}};
        QList<CStateBmpButton*> buttons;
        for (const Sample& sample : samples) {
            auto* button = new CStateBmpButton(QString::fromLatin1(sample.caption), &panel);
            ApplySkin(*button, sample.kind);
            button->SetState(sample.state);
            button->setEnabled(sample.enabled);
            button->setDown(sample.down);
            button->setFixedSize(sample.kind == SkinKind::kPanelButton ? QSize(120, 32) : QSize(96, 24));
            layout->addWidget(button);
            buttons << button;
        }
        auto* combo = new COrgComboBox(&panel);
        combo->addItems({UiText(2020), UiText(2021), UiText(2022)});
        layout->addWidget(combo);
        auto* edit = new CRangeEdit(&panel);
        edit->SetValue(64);
        QCOMPARE(edit->text(), QStringLiteral("64"));
        edit->SetRange(CRange(20, 8192));
        edit->setAlignment(Qt::AlignRight);
        layout->addWidget(edit);
        auto* list = new COrgListCtrl(&panel);
        list->SetColumns({{QStringLiteral("Name"), 120}, {QStringLiteral("Result"), 96}});
        new QTreeWidgetItem(list, {QStringLiteral("USER000"), QStringLiteral("OK")});
        new QTreeWidgetItem(list, {QStringLiteral("USER001"), QStringLiteral("NG")});
        list->setFixedHeight(80);
        layout->addWidget(list);
        panel.show();
        QVERIFY(!qzm_test::SaveScreenshot(panel, QStringLiteral("controls")).isEmpty());

        QCOMPARE(buttons[4]->accessibleName(), QStringLiteral("Hand"));
        // A switch that is off is neutral grey, one that is on clearly blue; the key colour never shows.
        const QImage off = qzm_test::Grab(*buttons[3]);
        const QImage on = qzm_test::Grab(*buttons[4]);
        QVERIFY(qAbs(off.pixelColor(48, 20).red() - off.pixelColor(48, 20).blue()) < 20);
        QVERIFY(on.pixelColor(48, 20).blue() - on.pixelColor(48, 20).red() > 40);
        QVERIFY(off.pixelColor(0, 0) != SkinKeyColor());
    }

    // Greyed switches still tell on from off: with Face off, each estimation that is on stands
    // clearly apart in colour from each that is off, and looks blue. Saved for reviewers.
    void disabledSwitchShowsItsState() {
        CExecFuncSelectDlg panel;
        panel.SetFunctions({true, false, false, true, true, false, false, true, false, true});
        panel.show();
        QVERIFY(!qzm_test::SaveScreenshot(panel, QStringLiteral("function_switches_face_off")).isEmpty());
        QList<QColor> on, off;
        for (int i = kFunctionDirection; i < kFunctionCount; ++i) {
            QVERIFY(!panel.Switch(i)->isEnabled());
            (panel.Switch(i)->State() == 1 ? on : off) << Mean(qzm_test::Grab(*panel.Switch(i)));
        }
        for (const QColor& lit : on) {
            QVERIFY2(lit.blue() - lit.red() > 30, qPrintable(lit.name()));
            for (const QColor& unlit : off)
                QVERIFY2(Distance(lit, unlit) > 25, qPrintable(lit.name() + " " + unlit.name()));
        }
    }

    // What assistive tools see of a skinned button: a push button, checkable and checked as a
    // switch; its action is a click that the owner hears of (a switch's state is the owner's to
    // change), and a disabled button offers none.
    void stateButtonAccessibleAction_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("action");
        QTest::newRow("command button")
            << int(SkinKind::kButton) << 0 << true << QAccessibleActionInterface::pressAction();
        QTest::newRow("switch off") << int(SkinKind::kSwitch) << 0 << true
                                    << QAccessibleActionInterface::toggleAction();
        QTest::newRow("switch on") << int(SkinKind::kSwitch) << 1 << true
                                   << QAccessibleActionInterface::toggleAction();
        QTest::newRow("disabled switch") << int(SkinKind::kSwitch) << 1 << false << QString();
    }
    void stateButtonAccessibleAction() {
        QFETCH(int, kind);
        QFETCH(int, state);
        QFETCH(bool, enabled);
        QFETCH(QString, action);
        CStateBmpButton button(QStringLiteral("Face"));
        ApplySkin(button, SkinKind(kind));
        button.SetState(state);
        button.setEnabled(enabled);
        const bool checkable = kind == int(SkinKind::kSwitch);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&button);
        QCOMPARE(accessible->role(), QAccessible::Button);
        QCOMPARE(bool(accessible->state().checkable), checkable);
        QCOMPARE(bool(accessible->state().checked), checkable && state == 1);
        QAccessibleActionInterface* actions = accessible->actionInterface();
        QStringList clicks = actions->actionNames();
        clicks.removeAll(QAccessibleActionInterface::setFocusAction());
        QCOMPARE(clicks, action.isEmpty() ? QStringList() : QStringList{action});

        QSignalSpy clicked(&button, &QAbstractButton::clicked);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QTest::qWait(150);  // the click comes when the press has been seen
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QTest::qWait(150);
        QCOMPARE(clicked.count(), enabled ? 2 : 0);
        QCOMPARE(button.State(), state);
        QCOMPARE(bool(accessible->state().checked), checkable && state == 1);
    }
};

QZM_UI_TEST_CLASS(ControlsTest)
#include "controls_test.moc"
