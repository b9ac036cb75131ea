// The "General" page of the settings dialog: the program's own options ("Log output").
#pragma once

#include <QCheckBox>
#include <QWidget>

namespace qzm {

class CGeneralSettingDlg : public QWidget {
    Q_OBJECT

public:
    explicit CGeneralSettingDlg(QWidget* parent = nullptr);

    // 0/1: whether the result log is also written to a file.
    void SetLogOutput(int logOutput);
    int LogOutput() const;

private:
    QCheckBox* logOutput_;
};

}  // namespace qzm
