// Shared by the window tests: the registry of Qt Test classes that main runs, screenshots, what
// the album page's user list shows, and mouse events sent straight to a widget.
#pragma once

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qzm {
class COrgListCtrl;
class CRegistImgPage;
class CRegUserDlg;
}  // namespace qzm

namespace qzm_test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

struct TestClass {
    std::string name;
    TestFactory make;
};

bool RegisterTestClass(const char* name, TestFactory make);
// Sorted by name.
std::vector<TestClass> RegisteredTestClasses();

// Saves the widget as <build>/screenshots/NAME.png and returns the path ("" when it failed).
QString SaveScreenshot(QWidget& widget, const QString& name);

// The widget as drawn, at one image pixel per widget pixel.
QImage Grab(QWidget& widget);

// The user list's rows as it shows them: "name/count".
QStringList Rows(qzm::CRegUserDlg& users);
// Whether the user list's buttons can be clicked: add, change name, delete, delete all, register.
QList<bool> Buttons(qzm::CRegUserDlg& users);

// Clicks a row of the list, with modifiers held.
void ClickRow(qzm::COrgListCtrl& list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Clicks the face in cell of the strip (no scrolling).
void ClickFace(qzm::CRegistImgPage& strip, int cell);
// The pixels of the list's row drawn in the selection's highlight colour.
int HighlightedPixels(qzm::COrgListCtrl& list, int row);

// Sends a mouse event of type to the widget at pos with the given button held.
void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, QPoint pos);

}  // namespace qzm_test

// Registers a QObject test class with the test binary's main.
#define QZM_UI_TEST_CLASS(Class)          \
    static const bool Class##Registered = \
        qzm_test::RegisterTestClass(#Class, [] { return std::make_unique<Class>(); });
