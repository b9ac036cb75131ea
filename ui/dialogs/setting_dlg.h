// The settings dialog. Normal form (from the main window): tabs "General", "Device" (camera angle,
// connect on start-up), "Execution" and "Maintenance" (left out for device type 1), caption
// "Settings", buttons "OK" and "Cancel". Start-up form (while the program looks for the module):
// only the connection page with port and baud rate, caption "Connection settings", buttons
// "Connect" and "Cancel".
//
// The dialog sends nothing to the module and writes no file. Its owner sets the values, shows it
// with ShowModal and, after OK, reads the values back and applies them. OK reads back what the
// shown pages edit (port and baud rate only in the start-up form); Cancel reads nothing back. The
// pages and their controls exist only while the dialog is shown; the values stay between showings.
//
// "Reset values" writes in the defaults the owner gave with SetDefaults; "Delete all data" goes to
// the owner as DeleteAllDataRequested.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTabWidget>
#include <string>
#include <vector>

#include "ui/app/window_calls.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/connect_setting_dlg.h"
#include "ui/dialogs/exec_setting_dlg.h"
#include "ui/dialogs/general_setting_dlg.h"
#include "ui/dialogs/maintenance_dlg.h"
#include "ui/dialogs/setting_values.h"

namespace qzm {

class CSettingDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit CSettingDlg(QWidget* parent = nullptr);

    void SetValues(const SettingValues& values);
    const SettingValues& Values() const { return values_; }

    // What "Reset values" writes in on the execution page.
    void SetDefaults(const ExecSettings& defaults) { defaults_ = defaults; }
    // Also shown at once on the general page while the dialog is up.
    void SetLogOutput(int logOutput);

    // Offers a copy of portList on the connection page, runs the dialog modally in form and returns
    // kResultOk or kResultCancel.
    int ShowModal(const std::vector<std::string>& portList, SettingForm form, int deviceType);

    // While shown: the pages, the tabs (normal form only) and the buttons; null otherwise.
    QTabWidget* Tabs() const { return tabs_; }
    CGeneralSettingDlg* GeneralPage() const { return general_; }
    CConnectSettingDlg* ConnectPage() const { return connect_; }
    CExecSettingDlg* ExecPage() const { return exec_; }
    CMaintenanceDlg* MaintenancePage() const { return maintenance_; }
    CStateBmpButton* OkButton() const { return ok_; }
    CStateBmpButton* CancelButton() const { return cancel_; }

public slots:
    // The current serial ports for the connection page while the dialog is up (see
    // CConnectSettingDlg::UpdatePortList); ignored otherwise. The owner normally calls it from a
    // timer; called from another thread, the update is posted to the window thread with its own
    // copy of the list, so the list is never replaced while OK reads it.
    void UpdatePortList(const std::vector<std::string>& portList);

signals:
    void DeleteAllDataRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildWindow(SettingForm form, int deviceType);
    CStateBmpButton* MakeButton(const QString& caption);
    void ReadBack();

    SettingValues values_;
    ExecSettings defaults_;
    CWindowCalls calls_;  // port lists from other threads
    // The window's content for one showing; the pages and buttons below live inside it.
    QPointer<QWidget> frame_;
    QPointer<QTabWidget> tabs_;
    QPointer<CGeneralSettingDlg> general_;
    QPointer<CConnectSettingDlg> connect_;
    QPointer<CExecSettingDlg> exec_;
    QPointer<CMaintenanceDlg> maintenance_;
    QPointer<CStateBmpButton> ok_;
    QPointer<CStateBmpButton> cancel_;
};

}  // namespace qzm
