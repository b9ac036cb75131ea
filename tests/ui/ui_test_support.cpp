#include "ui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>

#include "ui/controls/org_list_ctrl.h"
#include "ui/pages/reg_user_dlg.h"
#include "ui/pages/regist_img_page.h"

namespace qzm_test {

namespace {
std::vector<TestClass>& Registry() {
    static std::vector<TestClass> classes;
    return classes;
}
}  // namespace

bool RegisterTestClass(const char* name, TestFactory make) {
    Registry().push_back({name, std::move(make)});
    return true;
}

std::vector<TestClass> RegisteredTestClasses() {
    std::vector<TestClass> classes = Registry();
    std::sort(classes.begin(), classes.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return classes;
}

QString SaveScreenshot(QWidget& widget, const QString& name) {
    const QDir folder(QStringLiteral(QZM_SCREENSHOT_DIR));
    if (!folder.mkpath(QStringLiteral("."))) {
        return {};
    }
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    return widget.grab().save(path) ? path : QString();
}

QImage Grab(QWidget& widget) {
    QPixmap pixmap = widget.grab();
    pixmap.setDevicePixelRatio(1);
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

QStringList Rows(qzm::CRegUserDlg& users) {
    QStringList rows;
    for (int i = 0; i < users.List().topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = users.List().topLevelItem(i);
        rows << row->text(0) + QLatin1Char('/') + row->text(1);
    }
    return rows;
}

QList<bool> Buttons(qzm::CRegUserDlg& users) {
    return {users.AddUserButton().isEnabled(), users.ChangeNameButton().isEnabled(),
            users.DeleteUserButton().isEnabled(), users.DeleteAllButton().isEnabled(),
            users.RegisterButton().isEnabled()};
}

void ClickRow(qzm::COrgListCtrl& list, int row, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                      list.visualItemRect(list.topLevelItem(row)).center());
}

void ClickFace(qzm::CRegistImgPage& strip, int cell) {
    using Strip = qzm::CRegistImgPage;
    const QPoint inCell(Strip::kFrame + Strip::kCellLeft + Strip::kCellPitch * cell + 32,
                        Strip::kFrame + Strip::kCellTop + 32);
    QTest::mouseClick(&strip.StripView(), Qt::LeftButton, {}, inCell);
}

int HighlightedPixels(qzm::COrgListCtrl& list, int row) {
    const QImage shot = Grab(*list.viewport());
    const QRgb highlight = list.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QRect area = list.visualItemRect(list.topLevelItem(row)).intersected(shot.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += shot.pixel(x, y) == highlight ? 1 : 0;
    }
    return count;
}

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pos), QPointF(widget.mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

}  // namespace qzm_test
