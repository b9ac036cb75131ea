#include "ui/app/qzm_demo_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLocale>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "qzm_version.h"
#include "record/recording_reader.h"
#include "ui/app/album_flows.h"
#include "ui/app/device_worker.h"
#include "ui/controls/artwork.h"
#include "ui/controls/logo_button.h"
#include "ui/controls/skins.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/messenger.h"
#include "ui/dialogs/name_input_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/progress_dlg.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/dialogs/wait_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui/pages/statistics_page.h"

namespace qzm {

namespace {
constexpr int kLogoMargin = 4;
constexpr int kDefaultWidth = 1240;
// The row of page buttons: their height and the margin above them. The logo, taller, reaches down
// beside the row and pushes the pages below it only by what it needs more.
constexpr int kPageButtonHeight = 28;
constexpr int kPageButtonTop = 8;
// The statistics page follows the runs at most this often.
constexpr int kStatisticsRefreshMs = 250;
}  // namespace

class CQZMDemoDlg::Serving {
public:
    explicit Serving(CQZMDemoDlg& dlg) : dlg_(dlg) { ++dlg_.serving_; }
    ~Serving() {
        if (--dlg_.serving_ == 0 && dlg_.closeWanted_)
            QTimer::singleShot(0, &dlg_, &CQZMDemoDlg::CloseWindow);
    }
    Serving(const Serving&) = delete;
    Serving& operator=(const Serving&) = delete;

private:
    CQZMDemoDlg& dlg_;
};

template <class Request>
auto CQZMDemoDlg::Served(Request request) {
    return [this, request](auto&&... args) {
        if (closing_)
            return;
        const Serving serving(*this);
        // A button's clicked(bool) serves a request that takes nothing.
        if constexpr (std::is_invocable_v<Request, decltype(args)...>)
            request(std::forward<decltype(args)>(args)...);
        else
            request();
    };
}

CQZMDemoDlg::CQZMDemoDlg(CDemoController& controller, CMessenger& messenger, CDeviceWorker& worker,
                         QWidget* parent)
    : QDialog(parent),
      controller_(controller),
      messenger_(messenger),
      worker_(worker),
      deviceType_(controller.Read().deviceType) {
    BuildWindow();
}

CQZMDemoDlg::~CQZMDemoDlg() {
    // The loops end before the pages their results go to.
    delete session_;
}

void CQZMDemoDlg::BuildWindow() {
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    mainPage_ = new CMainOpeDlg(controller_.Settings(), this);
    albumPage_ = new CRegistDlg(deviceType_ == kExtendedDevice, CRegUserDlg::kDefaultMaxUsers,
                                CRegUserDlg::kDefaultMaxData, this);
    albumPage_->hide();
    statisticsPage_ = new CStatisticsPage(this);
    statisticsPage_->hide();
    statisticsTimer_ = new QTimer(this);
    statisticsTimer_->setSingleShot(true);
    statisticsTimer_->setInterval(kStatisticsRefreshMs);
    connect(statisticsTimer_, &QTimer::timeout, this, &CQZMDemoDlg::RefreshStatistics);
    settings_ = new CSettingDlg(this);
    nameDialog_ = new CNameInputDlg(messenger_, this);
    wait_ = new CWaitDlg(worker_, this);
    progress_ = new CProgressDlg(worker_, this);
    recorder_ = std::make_unique<CRecorder>();
    recordingTimer_ = new QTimer(this);
    recordingTimer_->setInterval(500);
    connect(recordingTimer_, &QTimer::timeout, this, &CQZMDemoDlg::ShowRecordingStatus);
    session_ = new CExecutionSession(
        controller_, [this](const std::function<void()>& work) { RunWaiting(*wait_, kStrPleaseWait, work); },
        this);
    flows_ = new CAlbumFlows(
        {controller_, messenger_, *session_, *albumPage_, *nameDialog_, *wait_, *progress_, this}, this);

    const CDemoController::Snapshot stored = controller_.Read();
    CResultLogDlg& log = mainPage_->ResultLog();
    log.SetDebugLog(&logger_);
    log.SetLogOutput(stored.outputLogFlag);
    log.SetDeviceBusyCheck([this] { return session_->Busy(); });

    mainButton_ = new CStateBmpButton(tr("Main"), this);
    albumButton_ = new CStateBmpButton(tr("Album"), this);
    statisticsButton_ = new CStateBmpButton(UiText(kStrStatsPage), this);
    for (CStateBmpButton* button : {mainButton_, albumButton_, statisticsButton_}) {
        ApplySkin(*button, SkinKind::kPageButton);
        button->setMinimumSize(96, kPageButtonHeight);
    }
    mainButton_->SetState(1);
    mainButton_->setToolTip(tr("Detection: image, execution and result log"));
    albumButton_->setToolTip(tr("Registered users, their faces and album files"));
    statisticsButton_->setToolTip(UiText(kStrStatsPageTip));
    logo_ = new CLogoButton(this);

    // Panel as stored: switches, image size; the image page shows the frame.
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    panel.FunctionSelect().SetFunctions(stored.activeFunctions);
    panel.SelectImageSize(stored.executeImage);
    mainPage_->ImagePage().SetDisplayImageChecked(true);
    PublishChoice();
    ConnectRequests();
    flows_->RefreshUserLists();

    const QSize logoSize = logo_->size();
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, kPageButtonTop, 8, 0);
    buttons->addWidget(mainButton_);
    buttons->addWidget(albumButton_);
    buttons->addWidget(statisticsButton_);
    buttons->addStretch(1);
    buttons->addSpacing(logoSize.width() + kLogoMargin);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(
        0, std::max(0, logoSize.height() + 2 * kLogoMargin - (kPageButtonTop + kPageButtonHeight)), 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addWidget(mainPage_, 1);
    layout->addWidget(albumPage_, 1, Qt::AlignHCenter | Qt::AlignTop);
    layout->addWidget(statisticsPage_, 1);
    // Room for the log's widest lines beside the picture and the panel.
    resize(layout->sizeHint().expandedTo(QSize(kDefaultWidth, 0)));
    UpdateTitle(false);
    AddShortcuts();
}

void CQZMDemoDlg::ConnectRequests() {
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    connect(&panel, &CExecuteDlg::ChoiceChanged, this, &CQZMDemoDlg::PublishChoice);
    connect(&panel, &CExecuteDlg::ExecuteOnceClicked, this, Served([this] {
        PublishChoice();
        session_->ExecuteOnce();
    }));
    connect(&panel, &CExecuteDlg::ContinuousToggled, this, Served([this](bool on) {
        if (!on) {
            session_->StopContinuous();
            return;
        }
        PublishChoice();
        session_->StartContinuous();
    }));
    connect(&panel, &CExecuteDlg::SettingsClicked, this, Served([this] { OpenSettings(); }));
    connect(&panel, &CExecuteDlg::RecordToggled, this, Served([this](bool on) { ToggleRecording(on); }));
    connect(&mainPage_->ImagePage(), &CImageDlg::SaveImageRequested, this,
            Served([this](ImageSave which) { SaveImage(which); }));
    connect(logo_, &CLogoButton::clicked, this, Served([this] { ShowFirmwareVersion(); }));
    connect(mainButton_, &CStateBmpButton::clicked, this, Served([this] { ShowMainPage(); }));
    connect(albumButton_, &CStateBmpButton::clicked, this, Served([this] { ShowAlbumPage(); }));
    connect(statisticsButton_, &CStateBmpButton::clicked, this, Served([this] { ShowStatisticsPage(); }));
    CStatisticsPage& statistics = *statisticsPage_;
    connect(&statistics, &CStatisticsPage::ResetRequested, this, Served([this] { ResetStatistics(); }));
    connect(&statistics, &CStatisticsPage::OpenRecordingRequested, this,
            Served([this] { OpenRecordingStatistics(); }));
    connect(&statistics, &CStatisticsPage::ExportRequested, this, Served([this] { ExportFigures(); }));
    connect(&statistics, &CStatisticsPage::SaveChartsRequested, this, Served([this] { SaveCharts(); }));
    connect(&statistics, &CStatisticsPage::TargetFarChanged, this, &CQZMDemoDlg::RefreshStatistics);
    connect(&statistics, &CStatisticsPage::PersonChanged, this,
            [this](PersonInView person) { session_->SetPersonInView(person); });

    connect(session_, &CExecutionSession::Executed, this, &CQZMDemoDlg::ShowExecution);
    connect(session_, &CExecutionSession::ExecutionFailed, this, &CQZMDemoDlg::OnExecutionFailed);
    connect(session_, &CExecutionSession::RefusedWhileExecuting, this, &CQZMDemoDlg::OnRefusedWhileExecuting);
    connect(session_, &CExecutionSession::RateChanged, &panel, &CExecuteDlg::ShowRate);
    connect(session_, &CExecutionSession::LiveImage, this,
            [this](const CImageData& frame) { albumPage_->Preview().SetImage(frame); });

    CAlbumFlows& flows = *flows_;
    const std::pair<void (CRegistDlg::*)(), void (CAlbumFlows::*)()> albumRequests[] = {
        {&CRegistDlg::OpenAlbumRequested, &CAlbumFlows::OpenAlbum},
        {&CRegistDlg::SaveAlbumRequested, &CAlbumFlows::SaveAlbum},
        {&CRegistDlg::AddUserRequested, &CAlbumFlows::AddUser},
        {&CRegistDlg::RenameUserRequested, &CAlbumFlows::RenameUser},
        {&CRegistDlg::DeleteUsersRequested, &CAlbumFlows::DeleteSelectedUsers},
        {&CRegistDlg::DeleteAllUsersRequested, &CAlbumFlows::DeleteAllUsers},
        {&CRegistDlg::RegisterFaceRequested, &CAlbumFlows::RegisterFace},
        {&CRegistDlg::DeleteImageRequested, &CAlbumFlows::DeleteSelectedImage},
        {&CRegistDlg::DeleteAllImagesRequested, &CAlbumFlows::DeleteAllImages},
    };
    for (const auto& [request, flow] : albumRequests)
        connect(albumPage_, request, this, Served([&flows, flow = flow] { (flows.*flow)(); }));
    connect(albumPage_, &CRegistDlg::UserImagesWanted, this,
            Served([&flows](int userId) { flows.ShowUserImages(userId); }));
    connect(settings_, &CSettingDlg::DeleteAllDataRequested, this,
            Served([&flows] { flows.DeleteAllData(); }));
    connect(flows_, &CAlbumFlows::UserNamesChanged, this, [this](const std::vector<UserName>& names) {
        mainPage_->ImagePage().SetUserList(names);
        mainPage_->ResultLog().SetUserList(names);
        userNames_ = names;
        statisticsPage_->SetUserList(names);
    });
}

void CQZMDemoDlg::AddShortcuts() {
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    const std::pair<CStateBmpButton*, QKeySequence> keys[] = {
        {panel.ExecuteOnceButton(), QKeySequence(Qt::Key_F5)},
        {panel.ContinuousButton(), QKeySequence(Qt::Key_F6)},
        {panel.RecordButton(), QKeySequence(Qt::Key_F7)},
        {mainButton_, QKeySequence(Qt::CTRL | Qt::Key_1)},
        {albumButton_, QKeySequence(Qt::CTRL | Qt::Key_2)},
        {statisticsButton_, QKeySequence(Qt::CTRL | Qt::Key_3)},
    };
    for (const auto& [button, key] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, button, [this, button = button] {
            // Only where a click would reach the button: shown, enabled and not behind a modal
            // dialog (the wait dialog runs its own event loop, in which the key would arrive).
            QWidget* modal = QApplication::activeModalWidget();
            if (button->isVisible() && button->isEnabled() && (modal == nullptr || modal == this))
                button->click();
        });
        button->setToolTip(
            QStringLiteral("%1 (%2)").arg(button->toolTip(), key.toString(QKeySequence::NativeText)));
    }
}

bool CQZMDemoDlg::AlbumPageShown() const {
    return albumPage_->isVisible() || albumButton_->State() == 1;
}

QRect CQZMDemoDlg::LogoRect() const {
    return logo_->geometry();
}

// ---- start and end --------------------------------------------------------------------------------

void CQZMDemoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // Once the window is up: the first device work runs in front of it.
    QTimer::singleShot(0, this, &CQZMDemoDlg::RunStartup);
}

void CQZMDemoDlg::RunStartup() {
    const Serving serving(*this);
    std::string firmware;
    int width = 0;  // the page keeps its own coordinate space when the module does not tell
    int height = 0;
    const DeviceOutcome version = RunWaiting(*wait_, kStrRunning, [&] {
        DeviceOutcome outcome = controller_.GetVersionText(&model_, &firmware);
        if (outcome.ok())
            controller_.GetFullImageSize(&width, &height);
        return outcome;
    });
    firmware_ = firmware;
    UpdateTitle(version.ok());
    mainPage_->ResultLog().AddHeader(QZM_VERSION_TEXT, firmware_);
    mainPage_->ImagePage().SetCoordinateSpace(width, height);
    if (connected_)
        flows_->StartupCheck();
    else
        messenger_.ShowUserMessage(MessageFor(version, DeviceOperation::kStartupCheck));
    emit StartupFinished();
}

void CQZMDemoDlg::UpdateTitle(bool connected) {
    connected_ = connected;
    QString title = UiFormat(kStrTitle, QZM_VERSION_TEXT);
    if (connected) {
        const CDemoController::Snapshot stored = controller_.Read();
        title += UiFormat(kStrTitlePort, stored.portName, stored.baudRate);
        title += UiFormat(kStrTitleFirmware, firmware_);
    } else {
        title += QStringLiteral(" - ") + UiText(kStrNotConnected);
    }
    if (!workingFolderShown_.isEmpty())
        title += QStringLiteral(" [%1]").arg(workingFolderShown_);
    setWindowTitle(title);
    // Screen readers announce the window by this name: port, firmware and "Not connected." too.
    setAccessibleName(title);
}

void CQZMDemoDlg::SetWorkingFolderShown(const QString& folder) {
    const QString home = QDir::homePath();
    workingFolderShown_ = folder;
    if (!home.isEmpty() && home != QStringLiteral("/") && folder.startsWith(home + QLatin1Char('/')))
        workingFolderShown_ = QStringLiteral("~") + folder.mid(home.size());
    UpdateTitle(connected_);
}

void CQZMDemoDlg::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    event->ignore();
    if (!closing_)
        QTimer::singleShot(0, this, &CQZMDemoDlg::CloseWindow);
}

void CQZMDemoDlg::CloseWindow() {
    if (closing_)
        return;
    // Never under a running request (an album file job, a dialog the user has open): the close
    // waits for its end instead of taking the module away from it.
    if (serving_ > 0) {
        closeWanted_ = true;
        session_->WillClose();
        return;
    }
    session_->StopAll();
    StopRecording();
    closing_ = true;
    flows_->BackupAtClose();
    closed_ = true;
    emit Closed();
    done(0);
}

void CQZMDemoDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do not close the main window.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- execution ------------------------------------------------------------------------------------

void CQZMDemoDlg::PublishChoice() {
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    session_->SetChoice(panel.FunctionSelect().Requested(), panel.ImageSize());
}

void CQZMDemoDlg::ShowExecution(const ExecutionReport& report) {
    mainPage_->ShowExecution(report);
    // Counted as shown and tagged as recorded (the session reads the same person for the file).
    const auto start = std::chrono::steady_clock::now();
    statistics_.Add(report, userNames_, session_->PersonInViewNow());
    statisticsNs_ +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
            .count();
    ScheduleStatistics();
    emit ExecutionShown();
}

void CQZMDemoDlg::OnExecutionFailed(const DeviceOutcome& outcome) {
    messenger_.ShowUserMessage(MessageFor(outcome, DeviceOperation::kExecution));
    mainPage_->ExecutePanel().ResetButtons();
}

void CQZMDemoDlg::OnRefusedWhileExecuting(int responseCode) {
    // Only while the debug logs are on: the message points at the error log.
    if (!logger_.IsDebugEnabled())
        return;
    std::string errorLog = logger_.GetErrorLogFileName();
    while (!errorLog.empty() && (errorLog.front() == '.' || errorLog.front() == '/'))
        errorLog.erase(errorLog.begin());
    messenger_.ShowMessage(kStrExecuteError, MsgIcon::kWarning, MsgButtons::kOk, responseCode,
                           QDir::currentPath(), errorLog);
}

// ---- pages, settings, pictures, logo ----------------------------------------------------------------

void CQZMDemoDlg::SwitchPage(CStateBmpButton* button, QWidget* page) {
    // The live image runs only under the album page; continuous execution comes back when it goes.
    const bool albumBefore = albumButton_->State() == 1;
    const bool albumAfter = button == albumButton_;
    for (CStateBmpButton* each : {mainButton_, albumButton_, statisticsButton_})
        each->SetState(each == button ? 1 : 0);
    if (albumAfter && !albumBefore)
        session_->StartLiveImage();
    else if (albumBefore && !albumAfter)
        session_->EndLiveImage();
    for (QWidget* each : std::initializer_list<QWidget*>{mainPage_, albumPage_, statisticsPage_}) {
        if (each != page)
            each->hide();
    }
    page->show();
}

void CQZMDemoDlg::ShowAlbumPage() {
    if (albumButton_->State() == 1)
        return;
    SwitchPage(albumButton_, albumPage_);
}

void CQZMDemoDlg::ShowMainPage() {
    if (mainButton_->State() == 1)
        return;
    SwitchPage(mainButton_, mainPage_);
}

void CQZMDemoDlg::ShowStatisticsPage() {
    if (statisticsButton_->State() == 1)
        return;
    SwitchPage(statisticsButton_, statisticsPage_);
    RefreshStatistics();
}

// ---- statistics -----------------------------------------------------------------------------------

void CQZMDemoDlg::ScheduleStatistics() {
    // Only while the live figures are in sight; the single shot ends the refreshes when runs stop,
    // so nothing ticks while the window is idle.
    if (fileStatistics_ == nullptr && statisticsPage_->isVisible() && !statisticsTimer_->isActive())
        statisticsTimer_->start();
}

void CQZMDemoDlg::RefreshStatistics() {
    const auto start = std::chrono::steady_clock::now();
    if (fileStatistics_ != nullptr) {
        statisticsPage_->SetRecognitionThreshold(fileThreshold_);
        statisticsPage_->ShowFigures(*fileStatistics_);
    } else {
        statisticsPage_->SetRecognitionThreshold(
            controller_.Read().detection.exec.threshold[ExecSettings::kRecognition]);
        statisticsPage_->SetSource(UiText(kStrStatsLive));
        statisticsPage_->ShowFigures(statistics_);
    }
    statisticsNs_ +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
            .count();
}

void CQZMDemoDlg::ResetStatistics() {
    // A recording's figures give way to the live ones; the live ones start again.
    if (fileStatistics_ != nullptr)
        fileStatistics_.reset();
    else
        statistics_.Reset();
    RefreshStatistics();
}

QString CQZMDemoDlg::StatisticsFolder() const {
    QString folder = QString::fromStdString(controller_.Settings().ReadPrevRecordFolder());
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder;
}

void CQZMDemoDlg::OpenRecordingStatistics() {
    const QString path =
        ChooseExistingFile(StatisticsFolder() + QLatin1Char('/'), UiText(kStrRecordingFilter), this);
    if (path.isEmpty())
        return;
    // A long recording takes a while: read on the worker, the window painting behind the wait dialog.
    auto loaded = std::make_unique<CRunStatistics>();
    int threshold = -1;
    std::string why;
    const int read = RunWaiting(*wait_, kStrPleaseWait, [&] {
        CRecordingReader reader;
        int result = reader.Open(path.toStdString(), &why);
        if (result != kRecordOk)
            return result;
        threshold = reader.Session().detection.exec.threshold[ExecSettings::kRecognition];
        result = reader.ForEachRun([&](const RecordedRun& run) {
            loaded->Add(run.report, run.names, run.person);
            return true;
        });
        if (result != kRecordOk && why.empty())
            why = "damaged file";
        return result;
    });
    if (read != kRecordOk) {
        messenger_.ShowMessage(kStrStatsCannotRead, MsgIcon::kWarning, MsgButtons::kOk, path, why);
        return;
    }
    fileStatistics_ = std::move(loaded);
    fileThreshold_ = threshold;
    statisticsTimer_->stop();
    statisticsPage_->SetSource(UiFormat(kStrStatsFromFile, QFileInfo(path).fileName(),
                                        static_cast<long long>(fileStatistics_->Runs())));
    RefreshStatistics();
}

QString CQZMDemoDlg::ChooseStatisticsFile(const QString& prefix, StringId filter, const QString& suffix) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return ChooseNewFile(StatisticsFolder(), QStringLiteral("%1-%2.%3").arg(prefix, stamp, suffix),
                         UiText(filter), suffix, this);
}

void CQZMDemoDlg::ExportFigures() {
    const QString path =
        ChooseStatisticsFile(QStringLiteral("qzm-figures"), kStrStatsCsvFilter, QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QFile file(path);
    const QByteArray csv = FiguresCsv(statisticsPage_->ExportFigures());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(csv) != csv.size() ||
        !file.flush()) {
        messenger_.ShowMessage(kStrCannotWrite, MsgIcon::kWarning, MsgButtons::kOk, path, file.errorString());
        file.remove();
    }
}

void CQZMDemoDlg::SaveCharts() {
    const QString path =
        ChooseStatisticsFile(QStringLiteral("qzm-charts"), kStrStatsPngFilter, QStringLiteral("png"));
    if (path.isEmpty())
        return;
    // At the screen's pixel density: the charts are drawn anew for the grab, not scaled.
    QImageWriter writer(path, "png");
    if (!writer.write(statisticsPage_->ChartArea().grab().toImage()))
        messenger_.ShowMessage(kStrCannotWrite, MsgIcon::kWarning, MsgButtons::kOk, path,
                               writer.errorString());
}

void CQZMDemoDlg::OpenSettings() {
    CExecutionSession::Pause paused(*session_);
    const CDemoController::Snapshot stored = controller_.Read();
    SettingValues values;
    values.portName = stored.portName;
    values.baudRate = stored.baudRate;
    values.autoConnect = stored.autoConnect;
    values.detection = stored.detection;
    values.logOutput = stored.outputLogFlag;
    settings_->SetValues(values);
    settings_->SetLogOutput(values.logOutput);
    settings_->SetDefaults(stored.defaults);
    // The normal form cannot change the port or the baud rate: Cancel leaves the connection alone.
    if (settings_->ShowModal({}, SettingForm::kNormal, deviceType_) != CSettingDlg::kResultOk)
        return;
    const SettingValues chosen = settings_->Values();
    if (chosen.autoConnect != stored.autoConnect)
        controller_.SetAutoConnect(chosen.autoConnect);
    if (chosen.logOutput != stored.outputLogFlag) {
        controller_.SetOutputLogFlag(chosen.logOutput);
        mainPage_->ResultLog().SetLogOutput(chosen.logOutput);
    }
    const DeviceOutcome applied = RunWaiting(
        *wait_, kStrPleaseWait, [&] { return controller_.ApplyChangedSettings(chosen.detection); });
    if (!applied.ok()) {
        messenger_.ShowUserMessage(MessageFor(applied, DeviceOperation::kSettings));
        mainPage_->ExecutePanel().ResetButtons();
        session_->SetIdle();
    }
    UpdateTitle(applied.ok());
}

void CQZMDemoDlg::SaveImage(ImageSave which) {
    // What is seen now: continuous execution goes on behind the file dialog.
    CImageDlg& page = mainPage_->ImagePage();
    const QImage picture = which == ImageSave::kWithResults ? page.ShownPicture() : page.Frame();
    if (picture.isNull())
        return;
    const CSettingsStore& settings = controller_.Settings();
    QString folder = imageFolder_;
    if (folder.isEmpty())
        folder = QString::fromStdString(settings.ReadPrevImageFolder());
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString name =
        (which == ImageSave::kWithResults ? QStringLiteral("qzm-result-") : QStringLiteral("qzm-frame-")) +
        stamp + QStringLiteral(".png");
    const QString path =
        ChooseNewFile(folder, name, QStringLiteral("PNG image (*.png)"), QStringLiteral("png"), this);
    if (path.isEmpty())
        return;
    QImageWriter writer(path, "png");
    if (!writer.write(picture)) {
        messenger_.ShowMessage(kStrCannotWrite, MsgIcon::kWarning, MsgButtons::kOk, path,
                               writer.errorString());
        return;
    }
    imageFolder_ = QFileInfo(path).absolutePath();
    settings.WritePrevImageFolder(imageFolder_.toStdString());
}

void CQZMDemoDlg::ToggleRecording(bool on) {
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    if (!on) {
        StopRecording();
        return;
    }
    const CSettingsStore& settings = controller_.Settings();
    QString folder = QString::fromStdString(settings.ReadPrevRecordFolder());
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString name = QStringLiteral("qzm-%1.qzmrec")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path =
        ChooseNewFile(folder, name, UiText(kStrRecordingFilter), QStringLiteral("qzmrec"), this);
    if (path.isEmpty()) {
        panel.SetRecording(false);
        return;
    }
    settings.WritePrevRecordFolder(QFileInfo(path).absolutePath().toStdString());
    const CDemoController::Snapshot stored = controller_.Read();
    RecordingSession session;
    session.programVersion = QZM_VERSION_TEXT;
    session.model = model_;
    while (!session.model.empty() && (session.model.back() == ' ' || session.model.back() == '\0'))
        session.model.pop_back();
    session.firmware = firmware_;
    session.port = stored.portName;
    session.baudRate = stored.baudRate;
    session.detection = stored.detection;
    session.functions = panel.FunctionSelect().Requested();
    session.imageOption = panel.ImageSize();
    session.frames = panel.RecordWithFrames();
    session.startedMs = QDateTime::currentMSecsSinceEpoch();
    std::string why;
    if (recorder_->Start(path.toStdString(), session, &why) != kRecordOk) {
        panel.SetRecording(false);
        messenger_.ShowMessage(kStrCannotRecord, MsgIcon::kWarning, MsgButtons::kOk, path, why);
        return;
    }
    recordingPath_ = path;
    recordingStart_ = std::chrono::steady_clock::now();
    session_->SetRecorder(recorder_.get());
    panel.SetRecording(true);
    recordingTimer_->start();
    ShowRecordingStatus();
}

void CQZMDemoDlg::StopRecording() {
    if (!recordingTimer_->isActive())
        return;
    session_->SetRecorder(nullptr);
    recordingTimer_->stop();
    // The last runs go to the file on the writer's thread; the windows keep painting meanwhile.
    std::string why;
    const int stopped = RunWaiting(*wait_, kStrPleaseWait, [this, &why] { return recorder_->Stop(&why); });
    mainPage_->ExecutePanel().SetRecording(false);
    if (stopped != kRecordOk)
        messenger_.ShowMessage(kStrRecordingStopped, MsgIcon::kWarning, MsgButtons::kOk, recordingPath_, why);
}

void CQZMDemoDlg::ShowRecordingStatus() {
    const CRecorder::Status status = recorder_->Read();
    if (!status.recording && status.error != kRecordOk) {
        // The disk refused a write: the recording ends here, the executions go on.
        StopRecording();
        return;
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - recordingStart_)
            .count();
    const QString elapsed = QStringLiteral("%1:%2:%3")
                                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                                .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    mainPage_->ExecutePanel().ShowRecording(tr("Recording %1, %2 runs, %3")
                                                .arg(elapsed)
                                                .arg(status.runs)
                                                .arg(QLocale::system().formattedDataSize(status.bytes)));
}

void CQZMDemoDlg::ShowFirmwareVersion() {
    CExecutionSession::Pause paused(*session_);
    std::string firmware;
    const DeviceOutcome version =
        RunWaiting(*wait_, kStrPleaseWait, [&] { return controller_.GetVersionText(nullptr, &firmware); });
    if (!version.ok()) {
        messenger_.ShowUserMessage(MessageFor(version, DeviceOperation::kQuery));
        return;
    }
    messenger_.ShowMessage(kStrFirmwareVersion, MsgIcon::kInformation, MsgButtons::kOk, firmware);
}

void CQZMDemoDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    logo_->move(width() - logo_->width() - kLogoMargin, kLogoMargin);
}

}  // namespace qzm
