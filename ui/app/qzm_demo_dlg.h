// The program's main window. Pages and dialogs only show data and raise requests; this window
// dispatches each request: executions to the execution session, registrations and album files to
// the album flows, settings, saved pictures and the firmware version itself. Device work runs on a
// worker while the wait or progress dialog is up, so the windows keep painting and the serial line
// carries one command at a time.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

#include "core/demo_controller.h"
#include "files/demo_logger.h"
#include "record/recorder.h"
#include "record/run_statistics.h"
#include "res/string_table.h"
#include "ui/app/execution_session.h"
#include "ui/pages/main_ope_dlg.h"

namespace qzm {

class CAlbumFlows;
class CDeviceWorker;
class CLogoButton;
class CMessenger;
class CNameInputDlg;
class CProgressDlg;
class CRegistDlg;
class CSettingDlg;
class CStatisticsPage;
class CStateBmpButton;
class CWaitDlg;
enum class ImageSave;

class CQZMDemoDlg : public QDialog {
    Q_OBJECT

public:
    // controller, messenger and worker outlive the dialog; the controller is connected.
    CQZMDemoDlg(CDemoController& controller, CMessenger& messenger, CDeviceWorker& worker,
                QWidget* parent = nullptr);
    ~CQZMDemoDlg() override;

    // An installed program works in the user's data folder; the title then names it, so the user
    // knows where settings, logs and registrations are kept. Empty (the default) names none.
    void SetWorkingFolderShown(const QString& folder);

    int Mode() const { return session_->Mode(); }
    bool Connected() const { return connected_; }
    bool AlbumPageShown() const;
    QRect LogoRect() const;

    CMainOpeDlg& MainPage() { return *mainPage_; }
    CRegistDlg& AlbumPage() { return *albumPage_; }
    CSettingDlg& SettingsDialog() { return *settings_; }
    CNameInputDlg& NameDialog() { return *nameDialog_; }
    CWaitDlg& WaitDialog() { return *wait_; }
    CProgressDlg& ProgressDialog() { return *progress_; }
    CStateBmpButton& MainButton() { return *mainButton_; }
    CStateBmpButton& AlbumButton() { return *albumButton_; }
    CStatisticsPage& StatisticsPage() { return *statisticsPage_; }
    CStateBmpButton& StatisticsButton() { return *statisticsButton_; }
    // The live figures of the runs shown since the start or the last reset.
    const CRunStatistics& LiveStatistics() const { return statistics_; }
    // Window-thread time spent on the statistics (counting runs, refreshing the page), for the
    // benchmark.
    std::int64_t StatisticsNanoseconds() const { return statisticsNs_; }
    CLogoButton& Logo() { return *logo_; }

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
    void resizeEvent(QResizeEvent* event) override;

private:
    // Marks the window thread as serving one of the user's requests (or the start-up) while it
    // lives; a close asked for meanwhile runs once the outermost one has ended.
    class Serving;

    void BuildWindow();
    // Every request of the pages and dialogs, each served (see Serving) and ignored while closing.
    void ConnectRequests();
    template <class Request>
    auto Served(Request request);
    // F5 execute once, F6 continuous on/off, F7 record on/off, Ctrl+1 to Ctrl+3 the pages; shown in
    // the tooltips.
    void AddShortcuts();

    // Start and end.
    void RunStartup();
    void UpdateTitle(bool connected);
    void CloseWindow();

    // Execution.
    void PublishChoice();
    void ShowExecution(const ExecutionReport& report);
    void OnExecutionFailed(const DeviceOutcome& outcome);
    // While the debug logs are on, a response code other than 0 is reported with the error log.
    void OnRefusedWhileExecuting(int responseCode);

    // Pages, settings, pictures, logo.
    void ShowMainPage();
    void ShowAlbumPage();
    void ShowStatisticsPage();
    // Shows page under its button, the other pages hidden.
    void SwitchPage(CStateBmpButton* button, QWidget* page);
    // Statistics page: the figures refreshed at most a few times a second while runs come in.
    void ScheduleStatistics();
    void RefreshStatistics();
    void ResetStatistics();
    void OpenRecordingStatistics();
    void ExportFigures();
    void SaveCharts();
    QString StatisticsFolder() const;
    // A new file in the statistics folder, offered as prefix-date-time.suffix; empty when cancelled.
    QString ChooseStatisticsFile(const QString& prefix, StringId filter, const QString& suffix);
    void OpenSettings();
    // The image page's frame, or its picture with the results, into a PNG file the user chooses.
    void SaveImage(ImageSave which);
    // "Record" on: every run from now on into a file the user chooses; off: the file ends.
    void ToggleRecording(bool on);
    void StopRecording();
    // The recording's line (time, runs, size), and the message when the disk refused a write.
    void ShowRecordingStatus();
    void ShowFirmwareVersion();

    CDemoController& controller_;
    CMessenger& messenger_;
    CDeviceWorker& worker_;
    CDemoLogger logger_;
    const int deviceType_;

    CMainOpeDlg* mainPage_ = nullptr;
    CRegistDlg* albumPage_ = nullptr;
    CStateBmpButton* mainButton_ = nullptr;
    CStateBmpButton* albumButton_ = nullptr;
    CStatisticsPage* statisticsPage_ = nullptr;
    CStateBmpButton* statisticsButton_ = nullptr;
    CLogoButton* logo_ = nullptr;
    CSettingDlg* settings_ = nullptr;
    CNameInputDlg* nameDialog_ = nullptr;
    CWaitDlg* wait_ = nullptr;
    CProgressDlg* progress_ = nullptr;
    CExecutionSession* session_ = nullptr;
    CAlbumFlows* flows_ = nullptr;

    std::string firmware_;
    bool connected_ = false;
    QString workingFolderShown_;
    bool started_ = false;
    bool closing_ = false;      // the close sequence is running
    bool closed_ = false;       // it has ended: the next close request is let through
    int serving_ = 0;           // requests being served, nested ones counted (Serving)
    bool closeWanted_ = false;  // a close came while a request was served
    QString imageFolder_;       // where the last picture was saved in this run
    std::string model_;         // the module's model text, for recordings
    std::unique_ptr<CRecorder> recorder_;
    QTimer* recordingTimer_ = nullptr;
    QString recordingPath_;
    std::chrono::steady_clock::time_point recordingStart_;
    std::vector<UserName> userNames_;                 // as the album flows last told
    CRunStatistics statistics_;                       // live: every run shown
    std::unique_ptr<CRunStatistics> fileStatistics_;  // a recording's, while the page shows it
    int fileThreshold_ = -1;                          // its recognition threshold
    QTimer* statisticsTimer_ = nullptr;               // single shot: runs came in since the last refresh
    std::int64_t statisticsNs_ = 0;
};

}  // namespace qzm
