// The program's run: connect to the module (at once when a port is stored with automatic connection,
// otherwise through the start-up form of the settings dialog until a connection succeeds or the
// user cancels), send the stored settings, then show the main window until it closes. The start-up
// dialog's port list follows adapters plugged in and out twice a second.
#pragma once

#include <QObject>
#include <memory>

namespace qzm {

class CDemoController;
class CDeviceWorker;
class CMessenger;
class CQZMDemoDlg;
class CSettingDlg;
class CWaitDlg;

class CQZMDemoApp : public QObject {
    Q_OBJECT

public:
    static constexpr int kPortWatchMs = 500;

    // controller and messenger outlive the run.
    CQZMDemoApp(CDemoController& controller, CMessenger& messenger);
    ~CQZMDemoApp() override;

    // 0 after the main window closed; -1 when the user gave up connecting (nothing else shown).
    int Run();

    // While they are up, for tests: the start-up dialog and the main window.
    CSettingDlg* StartupDialog() const { return startupDialog_.get(); }
    CQZMDemoDlg* MainDialog() const { return mainDialog_.get(); }

signals:
    // The main window exists and is about to be shown.
    void MainDialogCreated(CQZMDemoDlg* dialog);

private:
    int ConnectAtStartup();

    CDemoController& controller_;
    CMessenger& messenger_;
    // The device worker runs longer than every dialog that uses it.
    std::unique_ptr<CDeviceWorker> worker_;
    std::unique_ptr<CWaitDlg> wait_;
    std::unique_ptr<CSettingDlg> startupDialog_;
    std::unique_ptr<CQZMDemoDlg> mainDialog_;
};

}  // namespace qzm
