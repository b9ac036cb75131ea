// Shared by the settings dialog tests: finding a control by its accessible name, port lists, a
// set of detection settings and readable failure output for the value structs.
#pragma once

#include <QStringList>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/dialogs/setting_values.h"

namespace qzm {

// Printed by QCOMPARE when two values differ.
inline char* toString(const ExecSettings& s) {
    return QTest::toString(QStringLiteral("threshold %1 %2 %3 %4, size %5-%6 %7-%8 %9-%10, yaw %11, roll %12")
                               .arg(s.threshold[0])
                               .arg(s.threshold[1])
                               .arg(s.threshold[2])
                               .arg(s.threshold[3])
                               .arg(s.sizeRange[0].min)
                               .arg(s.sizeRange[0].max)
                               .arg(s.sizeRange[1].min)
                               .arg(s.sizeRange[1].max)
                               .arg(s.sizeRange[2].min)
                               .arg(s.sizeRange[2].max)
                               .arg(s.yawAngle)
                               .arg(s.rollAngle));
}

}  // namespace qzm

namespace qzm_test {

// The one control of type T under root whose accessible name is name; null when there is none or
// more than one.
template <class T = QWidget>
T* Named(const QWidget& root, const QString& name) {
    T* found = nullptr;
    for (T* widget : root.findChildren<T*>()) {
        if (widget->accessibleName() == name) {
            if (found) {
                return nullptr;
            }
            found = widget;
        }
    }
    return found;
}

inline std::vector<std::string> Ports(const QStringList& names) {
    std::vector<std::string> ports;
    for (const QString& name : names) {
        ports.push_back(name.toStdString());
    }
    return ports;
}

// Every value inside its range and different from the pages' initial texts.
inline qzm::ExecSettings SampleExecSettings() {
    return {{600, 550, 700, 450}, {{40, 4000}, {50, 3000}, {72, 2048}}, 1, 1};
}

}  // namespace qzm_test
