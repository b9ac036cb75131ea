// The program's main window and the one dispatcher of its requests. Pages and dialogs only show
// data and raise requests; this dialog runs every request through the controller, with device
// work on a worker while the wait or progress dialog is up, so the windows keep painting and the
// serial line carries one command at a time. It owns the pages, the secondary dialogs and the
// execution and live-image workers.
#pragma once

#include <QDialog>
#include <QImage>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "core/demo_controller.h"
#include "files/demo_logger.h"
#include "ui/main_ope_dlg.h"

namespace qzm {

class CDeviceWorker;
class CLoopWorker;
class CMessenger;
class CNameInputDlg;
class CProgressDlg;
class CRegistDlg;
class CSettingDlg;
class CStateBmpButton;
class CWaitDlg;

class CQZMDemoDlg : public QDialog {
    Q_OBJECT

public:
    // What the window is doing with the module (the live image runs while the album page shows).
    enum OperationMode : int { kModeIdle = -1, kModeSingle = 0, kModeContinuous = 1, kModeLiveImage = 103 };

    // controller, messenger and worker outlive the dialog; the controller is connected.
    CQZMDemoDlg(CDemoController& controller, CMessenger& messenger, CDeviceWorker& worker,
                QWidget* parent = nullptr);
    ~CQZMDemoDlg() override;

    // An installed program works in the user's data folder; the title then names it, so the user
    // knows where settings, logs and registrations are kept. Empty (the default) names none.
    void SetWorkingFolderShown(const QString& folder);

    int Mode() const { return mode_; }
    bool Connected() const { return connected_; }
    bool AlbumPageShown() const;
    QRect LogoRect() const { return logoRect_; }

    CMainOpeDlg& MainPage() { return *mainPage_; }
    CRegistDlg& AlbumPage() { return *albumPage_; }
    CSettingDlg& SettingsDialog() { return *settings_; }
    CNameInputDlg& NameDialog() { return *nameDialog_; }
    CWaitDlg& WaitDialog() { return *wait_; }
    CProgressDlg& ProgressDialog() { return *progress_; }
    CStateBmpButton& MainButton() { return *mainButton_; }
    CStateBmpButton& AlbumButton() { return *albumButton_; }

signals:
    // The start-up work (firmware version, album restore, registration check) has ended.
    void StartupFinished();
    // An execution was shown on the main page.
    void ExecutionShown();
    // The window has finished closing (album backed up, workers stopped).
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the panel asks of the next execution, published for the execution worker.
    struct ExecutionChoice {
        FunctionSwitches functions{};
        int imageSize = 0;
    };
    struct ExecutionRun {
        ExecutionReport report;
        DeviceOutcome outcome;
    };
    // Stops the running request of the current mode while it lives and restarts it after, so that
    // another device operation can run meanwhile.
    class PausedMode;
    // Marks the window thread as serving one of the user's requests (or the start-up) while it
    // lives; a close asked for meanwhile runs once the outermost one has ended.
    class Serving;

    void BuildWindow();
    // F5 execute once, F6 continuous on/off, Ctrl+1 and Ctrl+2 the pages; shown in the tooltips.
    void AddShortcuts();
    void OnRequest(int message, qintptr parameter);

    // Start and end.
    void RunStartup();
    void StartupCheck();
    void UpdateTitle(bool connected);
    void CloseWindow();

    // Execution.
    void PublishChoice();
    ExecutionChoice Choice() const;
    ExecutionRun RunExecution(CImageData& buffer, const ExecutionChoice& choice);
    void ShowExecution(const ExecutionReport& report);
    void OnExecOnce();
    void OnContStart();
    void OnContStop();
    void OnExecError(const DeviceOutcome& outcome);
    // Stop a loop through the wait dialog and show what it handed over before; true when that was
    // the failure that ended continuous execution (reported then, the mode idle).
    bool StopExecution();
    void StopLiveImage();
    bool StopLoop(CLoopWorker& loop);
    void ShowExecuteErrorMessage();
    void ShowRate();

    // Pages, settings, log menu, logo.
    void ShowMainPage();
    void ShowAlbumPage();
    void OnOpenSettings();
    void OnShowLogMenu(qintptr packedPoint);
    // The image page's frame, or its picture with the results, into a PNG file the user chooses.
    void OnSaveImage(int which);
    void OnLogoClicked();

    // Users, registrations and album files.
    void RefreshUserLists();
    void OnUserEdit(int edit);
    void AddUser();
    void RenameUser();
    void DeleteSelectedUsers();
    void DeleteAllUsers();
    bool AskName(const std::string& proposed, int userId, std::string* name);
    void OnNameCheck();
    void OnRegisterFace();
    void ShowUserImages(int userId);
    void OnDeleteImages(int which);
    void OnAlbumFile(int request);
    DeviceOutcome RunAlbumJob(bool load, const std::string& path);
    void OnDeleteAllData();

    CDemoController& controller_;
    CMessenger& messenger_;
    CDeviceWorker& worker_;
    CDemoLogger logger_;
    const int deviceType_;

    CMainOpeDlg* mainPage_ = nullptr;
    CRegistDlg* albumPage_ = nullptr;
    CStateBmpButton* mainButton_ = nullptr;
    CStateBmpButton* albumButton_ = nullptr;
    CSettingDlg* settings_ = nullptr;
    CNameInputDlg* nameDialog_ = nullptr;
    CWaitDlg* wait_ = nullptr;
    CProgressDlg* progress_ = nullptr;

    QImage logo_;
    QRect logoRect_;
    bool logoPressed_ = false;
    QPoint logoPressPoint_;

    std::string firmware_;
    bool connected_ = false;
    // The module was brought in line with the PC's registrations in this run (the start-up check,
    // or an action that set both alike): only then does closing replace the album backup.
    bool moduleInLine_ = false;
    QString workingFolderShown_;
    bool started_ = false;
    bool closing_ = false;      // the close sequence is running
    bool closed_ = false;       // it has ended: the next close request is let through
    int serving_ = 0;           // requests being served, nested ones counted (Serving)
    bool closeWanted_ = false;  // a close came while a request was served

    // Window thread only.
    int mode_ = kModeIdle;
    int savedMode_ = kModeIdle;
    bool executeErrorFlag_ = false;
    int executeErrorCode_ = 0;
    int editingUser_ = -1;  // the user whose name the name dialog edits; -1: a new user
    QString imageFolder_;   // where the last picture was saved in this run
    std::deque<std::chrono::steady_clock::time_point> recentResults_;

    mutable std::mutex choiceMutex_;  // guards choice_: published by the window thread, read by workers
    ExecutionChoice choice_;

    CImageData executionImage_;  // the execution worker's frame buffer, used on that worker only
    CImageData singleImage_;     // the device worker's frame buffer for single executions
    CImageData previewImage_;    // the live-image worker's frame buffer
    // Last: they stop before the members their jobs use go away.
    std::unique_ptr<CLoopWorker> executionLoop_;
    std::unique_ptr<CLoopWorker> previewLoop_;
};

}  // namespace qzm
