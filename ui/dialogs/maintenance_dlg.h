// The "Maintenance" page of the settings dialog: why the face-recognition data of module and PC
// must match, and "Delete all data" to start afresh in both. The page only asks; the main window
// confirms and deletes.
//
// Accessible names: "Delete all data" for the button, the caution text itself for the text.
#pragma once

#include <QLabel>
#include <QWidget>

#include "ui/controls/state_bmp_button.h"

namespace qzm {

class CMaintenanceDlg : public QWidget {
    Q_OBJECT

public:
    explicit CMaintenanceDlg(QWidget* parent = nullptr);

    // The caution text as shown.
    static QString CautionText();

signals:
    void DeleteAllClicked();

private:
    CStateBmpButton* deleteAll_;
    QLabel* caution_;
};

}  // namespace qzm
