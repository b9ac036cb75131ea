// Runs the registered Qt Test classes one after the other in one application.
//   qzm_ui_tests [--unit | --integration] [--class NAME] [Qt Test options]
// --integration picks the classes whose name contains "Integration", --unit the others. Classes
// whose name starts with "HighDensity" need the screen's scale factor set before the application
// starts (QT_SCALE_FACTOR=2) and run only when named with --class. The exit code is the number of
// failed test functions.
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "ui_test_support.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    enum class Kind { kAll, kUnit, kIntegration } kind = Kind::kAll;
    QString onlyClass;
    QStringList testArgs{QString::fromLocal8Bit(argv[0])};
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--unit")) {
            kind = Kind::kUnit;
        } else if (args[i] == QLatin1String("--integration")) {
            kind = Kind::kIntegration;
        } else if (args[i] == QLatin1String("--class") && i + 1 < args.size()) {
            onlyClass = args[++i];
        } else {
            testArgs << args[i];
        }
    }

    int failures = 0;
    int classesRun = 0;
    for (const auto& testClass : qzm_test::RegisteredTestClasses()) {
        const QString name = QString::fromStdString(testClass.name);
        const bool integration = name.contains(QLatin1String("Integration"));
        const bool ownRun = name.startsWith(QLatin1String("HighDensity"));
        if ((kind == Kind::kUnit && integration) || (kind == Kind::kIntegration && !integration) ||
            (!onlyClass.isEmpty() && name != onlyClass) || (onlyClass.isEmpty() && ownRun)) {
            continue;
        }
        const auto object = testClass.make();
        failures += QTest::qExec(object.get(), testArgs);
        ++classesRun;
    }
    std::printf("qzm_ui_tests: %d test classes run, %d failed test functions\n", classesRun, failures);
    return std::min(failures, 127);
}
