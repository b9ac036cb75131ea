// The custom controls as a user meets them: typing into range edits, right clicks on the log,
// skins drawn by state, the result list's colours and keys.
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ui/org_combo_box.h"
#include "ui/org_list_ctrl.h"
#include "ui/org_rich_edit.h"
#include "ui/range_edit.h"
#include "ui/skins.h"
#include "ui/state_bmp_button.h"
#include "ui/ui_text.h"
#include "ui_test_support.h"

using namespace qzm;

namespace {

// Records the keys a child hands on.
class KeyRecorder : public QWidget {
public:
    QList<int> pressed, released;

protected:
    void keyPressEvent(QKeyEvent* event) override { pressed << event->key(); }
    void keyReleaseEvent(QKeyEvent* event) override { released << event->key(); }
};

// A skin whose every cell is one plain colour: red shades in column 0, blue in column 1, one shade
// per row; the last cell is the key colour.
QImage CellColourSkin(int cellWidth, int cellHeight) {
    QImage skin(2 * cellWidth, 4 * cellHeight, QImage::Format_RGB32);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QColor colour = column == 0 ? QColor(100 + 40 * row, 0, 0) : QColor(0, 0, 100 + 40 * row);
            for (int y = 0; y < cellHeight; ++y) {
                for (int x = 0; x < cellWidth; ++x) {
                    skin.setPixelColor(column * cellWidth + x, row * cellHeight + y, colour);
                }
            }
        }
    }
    return skin;
}

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void rangeEditTyping_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("whileTyping");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("below minimum waits for the focus to leave") << 20 << 8192 << "9"
                                                                    << "9"
                                                                    << "20";
        QTest::newRow("three digits still in range") << 20 << 8192 << "900"
                                                     << "900"
                                                     << "900";
        QTest::newRow("fourth digit goes above maximum") << 20 << 8192 << "9000"
                                                         << "8192"
                                                         << "8192";
        QTest::newRow("a run of digits past int") << 20 << 8192 << "99999999999"
                                                  << "8192"
                                                  << "8192";
        QTest::newRow("emptied field takes the minimum") << 1 << 1000 << "7\b"
                                                         << "1"
                                                         << "1";
        QTest::newRow("letters become the minimum") << 1 << 1000 << "abc"
                                                    << "abc"
                                                    << "1";
        QTest::newRow("zero allowed") << 0 << 1000 << "0"
                                      << "0"
                                      << "0";
    }
    void rangeEditTyping() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(QString, typed);
        CRangeEdit edit;
        edit.SetRange(CRange(minimum, maximum));
        QSignalSpy checks(&edit, &CRangeEdit::RangeChecked);
        QTest::keyClicks(&edit, typed);
        QTEST(edit.text(), "whileTyping");
        // One notice per change the user made, none for the edit's own corrections.
        QCOMPARE(checks.count(), typed.size());

        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&edit, &leave);
        QTEST(edit.text(), "afterLeaving");
        QCOMPARE(checks.count(), typed.size() + 1);
        QVERIFY(edit.InRange());
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
        QTest::newRow("negative") << "-5" << 0 << 0 << false;
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
        QCOMPARE(combo.currentIndex(), 1);
        QCOMPARE(combo.GetText(), QStringLiteral("160x120"));
        QCOMPARE(combo.SelectByItemData(0), 2);
        QCOMPARE(combo.GetText(), QStringLiteral("No image"));
    }

    void richEditRightClick_data() {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<bool>("menu");
        QTest::newRow("still") << QPoint(0, 0) << true;
        QTest::newRow("5 right") << QPoint(5, 0) << true;
        QTest::newRow("5 up and left") << QPoint(-5, -5) << true;
        QTest::newRow("6 right") << QPoint(6, 0) << false;
        QTest::newRow("6 down") << QPoint(2, 6) << false;
        QTest::newRow("6 left") << QPoint(-6, 0) << false;
    }
    void richEditRightClick() {
        QFETCH(QPoint, move);
        COrgRichEdit edit;
        edit.resize(300, 200);
        edit.InsertText(QStringLiteral("log line\n"));
        QSignalSpy requests(&edit, &COrgRichEdit::MenuRequested);
        QWidget& area = *edit.viewport();
        const QPoint press(40, 30);
        qzm_test::SendMouse(area, QEvent::MouseButtonPress, Qt::RightButton, press);
        qzm_test::SendMouse(area, QEvent::MouseMove, Qt::RightButton, press + move);
        qzm_test::SendMouse(area, QEvent::MouseButtonRelease, Qt::RightButton, press + move);
        QFETCH(bool, menu);
        QCOMPARE(requests.count(), menu ? 1 : 0);
        if (menu) {
            QCOMPARE(requests[0][0].toPoint(), area.mapTo(&edit, press + move));
        }
        // A later left click is not taken for a right click.
        qzm_test::SendMouse(area, QEvent::MouseButtonPress, Qt::LeftButton, press);
        qzm_test::SendMouse(area, QEvent::MouseButtonRelease, Qt::LeftButton, press);
        QCOMPARE(requests.count(), menu ? 1 : 0);
    }

    void richEditKeepsNewestBlocksOnTop() {
        COrgRichEdit edit;
        QTextCharFormat mono;
        mono.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
        mono.setFontWeight(QFont::Bold);
        edit.SetDefaultCharFormat(mono);
        const QString separator(20, QLatin1Char('-'));
        for (int block = 1; block <= 3; ++block) {
            edit.InsertText(separator + QStringLiteral("\nBlock %1\n").arg(block), 0);
        }
        QCOMPARE(edit.textCursor().position(), 0);
        QVERIFY(!edit.textCursor().hasSelection());
        QTextCursor probe(edit.document());
        probe.setPosition(separator.size() + 3);
        QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));

        // The oldest block sits at the bottom and goes first.
        QVERIFY(edit.DeleteLastBlock(separator));
        QCOMPARE(edit.toPlainText(), separator + "\nBlock 3\n" + separator + "\nBlock 2\n");
        QCOMPARE(edit.textCursor().position(), 0);

        // Whole words, any letter case: "Blockade" is not the marker, "BLOCK" is.
        edit.clear();
        edit.InsertText(QStringLiteral("BLOCK one\nBlockade two\n"));
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
        QTest::newRow("on, disabled") << 1 << false << false << QColor(0, 0, 180);
        QTest::newRow("disabled wins over pressed") << 0 << false << true << QColor(180, 0, 0);
    }
    void stateButtonDrawsItsCell() {
        QFETCH(int, state);
        QFETCH(bool, enabled);
        QFETCH(bool, down);
        CStateBmpButton button;
        button.resize(60, 20);
        button.SetBitmaps(CellColourSkin(10, 10));
        button.SetStateCount(2);
        button.SetState(state);
        button.setEnabled(enabled);
        button.setDown(down);
        QTEST(qzm_test::Grab(button).pixelColor(5, 5), "expected");
    }

    void stateButtonCapsAndKey() {
        QWidget back;
        back.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::green);
        back.setPalette(palette);
        back.resize(100, 20);
        CStateBmpButton button(QString(), &back);
        button.setGeometry(0, 0, 100, 20);
        // A one-state cap of 5 x 10 drawn 20 high is 10 wide; magenta in its top half is not drawn.
        QImage cap(5, 40, QImage::Format_RGB32);
        cap.fill(Qt::yellow);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 5; ++x) {
                cap.setPixelColor(x, y, SkinKeyColor());
            }
        }
        QImage centre(4, 40, QImage::Format_RGB32);
        centre.fill(Qt::blue);
        button.SetBitmaps(centre, cap, cap);
        const QImage opaque = qzm_test::Grab(back);
        QCOMPARE(opaque.pixelColor(4, 2), SkinKeyColor());
        button.SetTransparentColor(SkinKeyColor());
        const QImage keyed = qzm_test::Grab(back);
        QCOMPARE(keyed.pixelColor(4, 2), QColor(Qt::green));
        QCOMPARE(keyed.pixelColor(4, 15), QColor(Qt::yellow));
        QCOMPARE(keyed.pixelColor(12, 15), QColor(Qt::blue));
        QCOMPARE(keyed.pixelColor(87, 15), QColor(Qt::blue));
        QCOMPARE(keyed.pixelColor(95, 15), QColor(Qt::yellow));
    }

    void switchSkinShowsOnAndOff() {
        CStateBmpButton button(UiText(1003));
        QCOMPARE(button.accessibleName(), QStringLiteral("Face"));
        ApplySkin(button, SkinKind::kSwitch);
        button.resize(96, 24);
        const QColor off = qzm_test::Grab(button).pixelColor(48, 20);
        button.SetState(1);
        const QColor on = qzm_test::Grab(button).pixelColor(48, 20);
        // Off is a neutral grey, on is clearly blue.
        QVERIFY(qAbs(off.red() - off.blue()) < 20);
        QVERIFY2(on.blue() - on.red() > 40, qPrintable(on.name()));
        // Outside the rounded corner the parent shows through, not the magenta key.
        QVERIFY(qzm_test::Grab(button).pixelColor(0, 0) != SkinKeyColor());
    }

    void listCtrlColoursFixedColumnsAndKeys() {
        KeyRecorder page;
        page.resize(260, 120);
        auto* list = new COrgListCtrl(&page);
        list->setGeometry(0, 0, 260, 120);
        list->SetColumns({{QStringLiteral("Name"), 120}, {QStringLiteral("Result"), 96}});
        for (const char* result : {"OK", "NG", "-"}) {
            auto* item = new QTreeWidgetItem(list, {QStringLiteral("user"), QString::fromLatin1(result)});
            item->setData(0, Qt::UserRole, 0);
        }
        QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(list->header()->sectionSize(1), 96);
        const QFontMetrics metrics(list->font());
        QCOMPARE(list->visualItemRect(list->topLevelItem(0)).height(),
                 metrics.size(Qt::TextSingleLine, QStringLiteral("List")).height() + 1);
        // A new font measures the rows again.
        QFont big = list->font();
        big.setPointSizeF(big.pointSizeF() * 2);
        list->setFont(big);
        QCOMPARE(list->visualItemRect(list->topLevelItem(0)).height(),
                 QFontMetrics(big).size(Qt::TextSingleLine, QStringLiteral("List")).height() + 1);
        list->setFont(QFont());

        page.show();
        const QImage shot = qzm_test::Grab(*list->viewport());
        auto hasColour = [&shot](const QRect& area, QColor colour) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    if (shot.pixelColor(x, y) == colour) {
                        return true;
                    }
                }
            }
            return false;
        };
        const QRect okRow = list->visualItemRect(list->topLevelItem(0));
        const QRect ngRow = list->visualItemRect(list->topLevelItem(1));
        const QRect plainRow = list->visualItemRect(list->topLevelItem(2));
        QVERIFY(hasColour(okRow, QColor(0, 0, 255)) && !hasColour(okRow, QColor(255, 0, 0)));
        QVERIFY(hasColour(ngRow, QColor(255, 0, 0)) && !hasColour(ngRow, QColor(0, 0, 255)));
        QVERIFY(!hasColour(plainRow, QColor(255, 0, 0)) && !hasColour(plainRow, QColor(0, 0, 255)));

        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(page.pressed, QList<int>{Qt::Key_Down});
        QCOMPARE(page.released, QList<int>{Qt::Key_Down});
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
    }

    void screenshotOfControls() {
        QWidget panel;
        panel.setWindowTitle(QStringLiteral("Controls"));
        auto* layout = new QVBoxLayout(&panel);
        auto addButton = [&](const QString& caption, SkinKind kind, int state, bool enabled, QSize size,
                             bool down = false) {
            auto* button = new CStateBmpButton(caption, &panel);
            ApplySkin(*button, kind);
            button->SetState(state);
            button->setEnabled(enabled);
            button->setDown(down);
            button->setFixedSize(size);
            layout->addWidget(button);
        };
        addButton(QStringLiteral("OK"), SkinKind::kButton, 0, true, {88, 26});
        addButton(QStringLiteral("Cancel"), SkinKind::kButton, 0, true, {88, 26}, true);
        addButton(QStringLiteral("Register"), SkinKind::kButton, 0, false, {88, 26});
        for (int i = 0; i < 4; ++i) {
            addButton(UiText(1001 + i), SkinKind::kSwitch, i % 2, i < 3, {96, 24}, i == 2);
        }
        addButton(QStringLiteral("Main"), SkinKind::kPageButton, 1, true, {80, 26});
        addButton(QStringLiteral("Album"), SkinKind::kPageButton, 0, true, {80, 26});
        addButton(QStringLiteral("Execute"), SkinKind::kPanelButton, 0, true, {120, 32});
        addButton(QStringLiteral("Continuous"), SkinKind::kPanelButton, 1, true, {120, 32});
        auto* combo = new COrgComboBox(&panel);
        combo->addItems({UiText(2020), UiText(2021), UiText(2022)});
        layout->addWidget(combo);
        auto* edit = new CRangeEdit(&panel);
        edit->SetRange(CRange(20, 8192));
        edit->SetValue(64);
        edit->setAlignment(Qt::AlignRight);
        layout->addWidget(edit);
        auto* list = new COrgListCtrl(&panel);
        list->SetColumns({{QStringLiteral("Name"), 120}, {QStringLiteral("Result"), 96}});
        new QTreeWidgetItem(list, {QStringLiteral("USER000"), QStringLiteral("OK")});
        new QTreeWidgetItem(list, {QStringLiteral("USER001"), QStringLiteral("NG")});
        list->setFixedHeight(80);
        layout->addWidget(list);
        auto* log = new COrgRichEdit(&panel);
        log->InsertText(QStringLiteral("-----\nFace\t1\n"));
        log->setFixedHeight(60);
        layout->addWidget(log);
        panel.show();
        QVERIFY(!qzm_test::SaveScreenshot(panel, QStringLiteral("controls")).isEmpty());
    }
};

QZM_UI_TEST_CLASS(ControlsTest)
#include "controls_test.moc"
