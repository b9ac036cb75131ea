// The program as an assistive tool finds it, against the emulated module: the names of the
// window and the rate line follow what they show.
#include <QAccessible>
#include <QLabel>
#include <QTest>

#include "demo_harness.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::DemoHarness;

namespace {

constexpr int kWaitMs = 15000;

QString AccessibleName(QWidget& widget) {
    return QAccessible::queryAccessibleInterface(&widget)->text(QAccessible::Name);
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
};

QZM_UI_TEST_CLASS(AccessibilityIntegration)
#include "accessibility_test.moc"
