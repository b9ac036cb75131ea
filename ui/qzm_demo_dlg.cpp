#include "ui/qzm_demo_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "qzm_version.h"
#include "ui/artwork.h"
#include "ui/device_worker.h"
#include "ui/execute_dlg.h"
#include "ui/image_dlg.h"
#include "ui/loop_worker.h"
#include "ui/messenger.h"
#include "ui/name_input_dlg.h"
#include "ui/org_file_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/regist_dlg.h"
#include "ui/result_log_dlg.h"
#include "ui/setting_dlg.h"
#include "ui/skins.h"
#include "ui/state_bmp_button.h"
#include "ui/wait_dlg.h"
#include "ui/window_messages.h"

namespace qzm {

namespace {

constexpr int kLogoMargin = 4;
constexpr int kDefaultWidth = 1240;
constexpr int kLogoClickSlack = 5;  // a press that moves further is not a click
constexpr auto kRateWindow = std::chrono::seconds(2);

UserSummary const* FindUser(const std::vector<UserSummary>& users, int id) {
    for (const UserSummary& user : users) {
        if (user.id == id)
            return &user;
    }
    return nullptr;
}

}  // namespace

class CQZMDemoDlg::PausedMode {
public:
    explicit PausedMode(CQZMDemoDlg& dlg) : dlg_(dlg), mode_(dlg.mode_) {
        if (mode_ == kModeContinuous && dlg_.executionLoop_->Running()) {
            dlg_.StopExecution();
            paused_ = true;
        } else if (mode_ == kModeLiveImage && dlg_.previewLoop_->Running()) {
            dlg_.StopLiveImage();
            paused_ = true;
        }
    }
    ~PausedMode() {
        // Not when the window is about to close: it would only be stopped again.
        if (!paused_ || dlg_.mode_ != mode_ || dlg_.closing_ || dlg_.closeWanted_)
            return;
        (mode_ == kModeContinuous ? dlg_.executionLoop_ : dlg_.previewLoop_)->Start();
    }
    PausedMode(const PausedMode&) = delete;
    PausedMode& operator=(const PausedMode&) = delete;

private:
    CQZMDemoDlg& dlg_;
    const int mode_;
    bool paused_ = false;
};

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

CQZMDemoDlg::CQZMDemoDlg(CDemoController& controller, CMessenger& messenger, CDeviceWorker& worker,
                         QWidget* parent)
    : QDialog(parent),
      controller_(controller),
      messenger_(messenger),
      worker_(worker),
      deviceType_(controller.Device()->DeviceType()) {
    BuildWindow();

    executionLoop_ = std::make_unique<CLoopWorker>([this] {
        auto run = std::make_shared<ExecutionRun>(RunExecution(executionImage_, Choice()));
        const bool failed = run->outcome.result != kProtocolOk;
        return CLoopWorker::Run{failed, [this, run, failed] {
                                    if (failed) {
                                        OnExecError(run->outcome);
                                    } else {
                                        ShowExecution(run->report);
                                        ShowRate();
                                    }
                                }};
    });
    previewLoop_ = std::make_unique<CLoopWorker>([this] {
        // A failed live image is not reported: the picture stays and the next run tries again.
        const bool shown = controller_.ExecuteImageOnly(&previewImage_).ok();
        auto frame = std::make_shared<CImageData>(previewImage_);
        return CLoopWorker::Run{false, [this, frame, shown] {
                                    if (shown && mode_ == kModeLiveImage)
                                        albumPage_->Preview().SetImage(*frame);
                                }};
    });
}

CQZMDemoDlg::~CQZMDemoDlg() {
    // The workers end before the buffers and pages their jobs use.
    executionLoop_.reset();
    previewLoop_.reset();
}

void CQZMDemoDlg::BuildWindow() {
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    mainPage_ = new CMainOpeDlg(controller_.Settings(), this);
    albumPage_ = new CRegistDlg(deviceType_ == kExtendedDevice, CRegUserDlg::kDefaultMaxUsers,
                                CRegUserDlg::kDefaultMaxData, this);
    albumPage_->hide();
    settings_ = new CSettingDlg(this);
    nameDialog_ = new CNameInputDlg(messenger_, this);
    wait_ = new CWaitDlg(worker_, this);
    progress_ = new CProgressDlg(worker_, this);

    CResultLogDlg& log = mainPage_->ResultLog();
    log.SetDebugLog(&logger_);
    log.SetLogOutput(controller_.OutputLogFlag());

    mainButton_ = new CStateBmpButton(tr("Main"), this);
    albumButton_ = new CStateBmpButton(tr("Album"), this);
    for (CStateBmpButton* button : {mainButton_, albumButton_}) {
        ApplySkin(*button, SkinKind::kPageButton);
        button->setMinimumSize(96, 28);
    }
    mainButton_->SetState(1);
    mainButton_->setToolTip(tr("Detection: image, execution and result log"));
    albumButton_->setToolTip(tr("Registered users, their faces and album files"));

    connect(mainPage_, &CMainOpeDlg::Request, this, &CQZMDemoDlg::OnRequest);
    connect(albumPage_, &CRegistDlg::Request, this, &CQZMDemoDlg::OnRequest);
    connect(settings_, &CSettingDlg::Request, this, &CQZMDemoDlg::OnRequest);
    connect(nameDialog_, &CNameInputDlg::Request, this, &CQZMDemoDlg::OnRequest);
    connect(mainButton_, &CStateBmpButton::clicked, this, &CQZMDemoDlg::ShowMainPage);
    connect(albumButton_, &CStateBmpButton::clicked, this, &CQZMDemoDlg::ShowAlbumPage);
    connect(&mainPage_->ExecutePanel(), &CExecuteDlg::ChoiceChanged, this, &CQZMDemoDlg::PublishChoice);

    // Panel as stored: switches, image size; the image page shows the frame.
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    panel.FunctionSelect().SetFunctions(controller_.ActiveFunctions());
    panel.SelectImageSize(controller_.ExecuteImage());
    mainPage_->ImagePage().SetDisplayImageChecked(true);
    PublishChoice();
    RefreshUserLists();

    logo_ = PaintLogo(devicePixelRatioF());
    const QSize logoSize = logo_.deviceIndependentSize().toSize();
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 8, 8, 0);
    buttons->addWidget(mainButton_);
    buttons->addWidget(albumButton_);
    buttons->addStretch(1);
    buttons->addSpacing(logoSize.width() + kLogoMargin);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, std::max(0, logoSize.height() + 2 * kLogoMargin - 36), 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addWidget(mainPage_, 1);
    layout->addWidget(albumPage_, 1, Qt::AlignHCenter | Qt::AlignTop);
    // Room for the log's widest lines beside the picture and the panel.
    resize(layout->sizeHint().expandedTo(QSize(kDefaultWidth, 0)));
    UpdateTitle(false);
    AddShortcuts();
}

void CQZMDemoDlg::AddShortcuts() {
    CExecuteDlg& panel = mainPage_->ExecutePanel();
    const std::pair<CStateBmpButton*, QKeySequence> keys[] = {
        {panel.ExecuteOnceButton(), QKeySequence(Qt::Key_F5)},
        {panel.ContinuousButton(), QKeySequence(Qt::Key_F6)},
        {mainButton_, QKeySequence(Qt::CTRL | Qt::Key_1)},
        {albumButton_, QKeySequence(Qt::CTRL | Qt::Key_2)},
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

// ---- requests -------------------------------------------------------------------------------------

void CQZMDemoDlg::OnRequest(int message, qintptr parameter) {
    if (closing_)
        return;
    const Serving serving(*this);
    switch (message) {
        case WM_EXEC_ONCE:
            return OnExecOnce();
        case WM_CONT_START:
            return OnContStart();
        case WM_CONT_STOP:
            return OnContStop();
        case WM_OPEN_SETTINGS:
            return OnOpenSettings();
        case WM_RESET_SETTINGS:
            return settings_->SetExecValues(controller_.DefaultSettings());
        case WM_SHOW_LOG_MENU:
            return OnShowLogMenu(parameter);
        case WM_SAVE_IMAGE:
            return OnSaveImage(static_cast<int>(parameter));
        case WM_USER_EDIT:
            return OnUserEdit(static_cast<int>(parameter));
        case WM_NAME_CHECK:
            return OnNameCheck();
        case WM_REGISTER_FACE:
            return OnRegisterFace();
        case WM_SHOW_USER_IMAGES:
            return ShowUserImages(albumPage_->SelectedUser());
        case WM_DELETE_IMAGES:
            return OnDeleteImages(static_cast<int>(parameter));
        case WM_ALBUM_FILE:
            return OnAlbumFile(static_cast<int>(parameter));
        case WM_DELETE_ALL_DATA:
            return OnDeleteAllData();
        default:
            return;
    }
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
        DeviceOutcome outcome = controller_.GetVersionText(nullptr, &firmware);
        if (outcome.ok())
            controller_.GetFullImageSize(&width, &height);
        return outcome;
    });
    firmware_ = firmware;
    UpdateTitle(version.ok());
    mainPage_->ResultLog().AddHeader(QZM_VERSION_TEXT, firmware_);
    mainPage_->ImagePage().SetCoordinateSpace(width, height);
    if (connected_)
        StartupCheck();
    else
        messenger_.ShowUserMessage(MessageFor(version, DeviceOperation::kStartupCheck));
    emit StartupFinished();
}

void CQZMDemoDlg::StartupCheck() {
    for (;;) {
        if (deviceType_ != kExtendedDevice)
            break;
        // The module gets the album it held when the program last ended.
        const DeviceOutcome restored = RunWaiting(*wait_, kStrRunning, [this] {
            DeviceOutcome outcome = controller_.GetVersionText(nullptr, nullptr);
            if (!outcome.ok()) {
                if (outcome.result != kProtocolOk)
                    outcome.response = DeviceOutcome::kNothingReceived;
                return outcome;
            }
            outcome = controller_.LoadAlbumBackup();
            if (outcome.ok())
                controller_.BackupRegistrations();
            return outcome;
        });
        if (restored.ok()) {
            moduleInLine_ = true;
            break;
        }
        const UserMessage message = MessageFor(restored, DeviceOperation::kStartupRestore);
        if (messenger_.ShowUserMessage(message, MsgButtons::kYesNo) != MsgAnswer::kYes)
            break;
    }
    bool differ = false;
    const DeviceOutcome checked =
        RunWaiting(*wait_, kStrRunning, [&] { return controller_.CheckRegistrations(&differ); });
    if (!checked.ok()) {
        if (!moduleInLine_)
            messenger_.ShowUserMessage(MessageFor(checked, DeviceOperation::kStartupCheck));
        return;
    }
    if (!differ) {
        moduleInLine_ = true;
        return;
    }
    if (messenger_.ShowMessage(kStrMismatchQuestion, MsgIcon::kWarning, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome removed =
        RunWaiting(*wait_, kStrPleaseWait, [this] { return controller_.RemoveAll(); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    if (removed.ok())
        moduleInLine_ = true;  // both are empty
    RefreshUserLists();
}

void CQZMDemoDlg::UpdateTitle(bool connected) {
    connected_ = connected;
    QString title = UiFormat(kStrTitle, QZM_VERSION_TEXT);
    if (connected) {
        title += UiFormat(kStrTitlePort, controller_.PortName(), controller_.BaudRate());
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
        return;
    }
    if (executionLoop_->Running())
        StopExecution();
    if (previewLoop_->Running())
        StopLiveImage();
    closing_ = true;
    // Only a module brought in line with the PC in this run gives the backup the next start
    // restores: one that was never checked may hold anything (an empty album after a power cycle)
    // and would replace the registrations the backup keeps.
    if (deviceType_ == kExtendedDevice && moduleInLine_) {
        // The module's album becomes the backup the next start restores; when it cannot be read,
        // the PC goes back to the registrations of this start, which match the last backup.
        const DeviceOutcome saved =
            RunWaiting(*wait_, kStrTerminating, [this] { return controller_.SaveAlbumBackup(); });
        if (!saved.ok()) {
            messenger_.ShowUserMessage(MessageFor(saved, DeviceOperation::kCloseBackup));
            RunWaiting(*wait_, kStrTerminating, [this] { controller_.RestoreRegistrations(); });
        }
    }
    controller_.DiscardRegistrationBackup();
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
    ExecutionChoice choice{panel.FunctionSelect().Requested(), panel.ImageSize()};
    std::lock_guard lock(choiceMutex_);
    choice_ = choice;
}

CQZMDemoDlg::ExecutionChoice CQZMDemoDlg::Choice() const {
    std::lock_guard lock(choiceMutex_);
    return choice_;
}

CQZMDemoDlg::ExecutionRun CQZMDemoDlg::RunExecution(CImageData& buffer, const ExecutionChoice& choice) {
    ExecutionRun run;
    run.report.functions = choice.functions;
    const auto start = std::chrono::steady_clock::now();
    run.outcome = controller_.ExecuteOnce(&buffer, choice.imageSize, &run.report.result, choice.functions);
    run.report.responseTimeMs = static_cast<int>(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    run.report.status = run.outcome.result;
    run.report.response = run.outcome.response;
    if (run.outcome.result == kProtocolOk)
        run.report.image = buffer;
    return run;
}

void CQZMDemoDlg::ShowExecution(const ExecutionReport& report) {
    if (report.response != 0) {
        // The run is still shown; the code is reported once the execution stops.
        executeErrorFlag_ = true;
        executeErrorCode_ = report.response;
    }
    mainPage_->ShowExecution(report);
    emit ExecutionShown();
}

void CQZMDemoDlg::OnExecOnce() {
    // A continuous run that failed meanwhile has just been reported: that ends this request too.
    if (mode_ == kModeContinuous && StopExecution())
        return;
    mode_ = kModeSingle;
    PublishChoice();
    const ExecutionChoice choice = Choice();
    const ExecutionRun run =
        RunWaiting(*wait_, kStrPleaseWait, [this, choice] { return RunExecution(singleImage_, choice); });
    if (run.outcome.result != kProtocolOk) {
        OnExecError(run.outcome);
        return;
    }
    ShowExecution(run.report);
    ShowExecuteErrorMessage();
    mode_ = kModeIdle;
}

void CQZMDemoDlg::OnContStart() {
    mode_ = kModeContinuous;
    recentResults_.clear();
    PublishChoice();
    executionLoop_->Start();
}

void CQZMDemoDlg::OnContStop() {
    if (mode_ == kModeContinuous)
        StopExecution();
    mode_ = kModeIdle;
    mainPage_->ExecutePanel().ShowRate(-1);
}

void CQZMDemoDlg::OnExecError(const DeviceOutcome& outcome) {
    messenger_.ShowUserMessage(MessageFor(outcome, DeviceOperation::kExecution));
    mainPage_->ExecutePanel().ResetButtons();
    mode_ = kModeIdle;
}

bool CQZMDemoDlg::StopExecution() {
    const bool failed = StopLoop(*executionLoop_);
    ShowExecuteErrorMessage();
    return failed;
}

void CQZMDemoDlg::StopLiveImage() {
    StopLoop(*previewLoop_);
}

bool CQZMDemoDlg::StopLoop(CLoopWorker& loop) {
    // Asked here, on the window thread, so that a result the loop handed over meanwhile is not
    // shown behind the wait dialog's back but right after it, in order.
    loop.RequestStop();
    if (loop.Running())
        RunWaiting(*wait_, kStrPleaseWait, [&loop] { loop.WaitStopped(); });
    return loop.ShowHandedOver();
}

void CQZMDemoDlg::ShowExecuteErrorMessage() {
    if (!executeErrorFlag_)
        return;
    executeErrorFlag_ = false;
    // Only while the debug logs are on: the message points at the error log.
    if (!logger_.IsDebugEnabled())
        return;
    std::string errorLog = logger_.GetErrorLogFileName();
    while (!errorLog.empty() && (errorLog.front() == '.' || errorLog.front() == '/'))
        errorLog.erase(errorLog.begin());
    messenger_.ShowMessage(kStrExecuteError, MsgIcon::kWarning, MsgButtons::kOk, executeErrorCode_,
                           QDir::currentPath(), errorLog);
}

void CQZMDemoDlg::ShowRate() {
    const auto now = std::chrono::steady_clock::now();
    recentResults_.push_back(now);
    while (recentResults_.size() > 2 && now - recentResults_.front() > kRateWindow)
        recentResults_.pop_front();
    if (recentResults_.size() < 2)
        return;
    const double seconds = std::chrono::duration<double>(now - recentResults_.front()).count();
    if (seconds > 0)
        mainPage_->ExecutePanel().ShowRate((recentResults_.size() - 1) / seconds);
}

// ---- pages, settings, log menu, logo --------------------------------------------------------------

void CQZMDemoDlg::ShowAlbumPage() {
    const Serving serving(*this);
    if (albumButton_->State() == 1)
        return;
    mainButton_->SetState(0);
    albumButton_->SetState(1);
    if (mode_ == kModeContinuous)
        StopExecution();
    savedMode_ = mode_;
    mode_ = kModeLiveImage;
    previewLoop_->Start();
    mainPage_->hide();
    albumPage_->show();
}

void CQZMDemoDlg::ShowMainPage() {
    const Serving serving(*this);
    if (mainButton_->State() == 1)
        return;
    mainButton_->SetState(1);
    albumButton_->SetState(0);
    StopLiveImage();
    mode_ = savedMode_;
    if (mode_ == kModeContinuous) {
        recentResults_.clear();
        executionLoop_->Start();
    }
    albumPage_->hide();
    mainPage_->show();
}

void CQZMDemoDlg::OnOpenSettings() {
    PausedMode paused(*this);
    SettingValues values;
    values.portName = controller_.PortName();
    values.baudRate = controller_.BaudRate();
    values.cameraAngle = controller_.CameraAngle();
    values.autoConnect = controller_.AutoConnect();
    values.exec = controller_.CurrentSettings();
    values.logOutput = controller_.OutputLogFlag();
    const std::string keptPort = values.portName;
    const int keptBaud = values.baudRate;
    settings_->SetValues(values);
    settings_->SetLogOutput(values.logOutput);

    if (settings_->ShowModal({}, SettingForm::kNormal, deviceType_) != CSettingDlg::kResultOk) {
        // The connection page may have changed the port meanwhile: back to the one in use.
        const DeviceOutcome reconnected =
            RunWaiting(*wait_, kStrPleaseWait, [&] { return controller_.Connect(keptPort, keptBaud); });
        UpdateTitle(reconnected.ok());
        return;
    }
    const SettingValues chosen = settings_->Values();
    if (chosen.autoConnect != controller_.AutoConnect())
        controller_.SetAutoConnect(chosen.autoConnect);
    if (chosen.logOutput != controller_.OutputLogFlag()) {
        controller_.SetOutputLogFlag(chosen.logOutput);
        mainPage_->ResultLog().SetLogOutput(chosen.logOutput);
    }
    const DeviceOutcome applied = RunWaiting(*wait_, kStrPleaseWait, [&] {
        return controller_.ApplyChangedSettings(chosen.cameraAngle, chosen.exec.threshold,
                                                chosen.exec.sizeRange, chosen.exec.yawAngle,
                                                chosen.exec.rollAngle);
    });
    if (!applied.ok()) {
        messenger_.ShowUserMessage(MessageFor(applied, DeviceOperation::kSettings));
        mainPage_->ExecutePanel().ResetButtons();
        mode_ = kModeIdle;
    }
    UpdateTitle(applied.ok());
}

void CQZMDemoDlg::OnShowLogMenu(qintptr packedPoint) {
    const bool busy = executionLoop_->Running() || previewLoop_->Running();
    mainPage_->ResultLog().ShowLogMenu(QPoint(ScreenPointX(packedPoint), ScreenPointY(packedPoint)), busy);
}

void CQZMDemoDlg::OnSaveImage(int which) {
    // What is seen now: continuous execution goes on behind the file dialog.
    CImageDlg& page = mainPage_->ImagePage();
    const QImage picture = which == kSaveWithResults ? page.ShownPicture() : page.Frame();
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
        (which == kSaveWithResults ? QStringLiteral("qzm-result-") : QStringLiteral("qzm-frame-")) + stamp +
        QStringLiteral(".png");
    const QString path = ChooseImageFile(folder, name, this);
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

void CQZMDemoDlg::OnLogoClicked() {
    const Serving serving(*this);
    PausedMode paused(*this);
    std::string firmware;
    const DeviceOutcome version =
        RunWaiting(*wait_, kStrPleaseWait, [&] { return controller_.GetVersionText(nullptr, &firmware); });
    if (!version.ok()) {
        messenger_.ShowUserMessage(MessageFor(version, DeviceOperation::kQuery));
        return;
    }
    messenger_.ShowMessage(kStrFirmwareVersion, MsgIcon::kInformation, MsgButtons::kOk, firmware);
}

void CQZMDemoDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(logoRect_, logo_);
}

void CQZMDemoDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QSize logoSize = logo_.deviceIndependentSize().toSize();
    logoRect_ =
        QRect(width() - logoSize.width() - kLogoMargin, kLogoMargin, logoSize.width(), logoSize.height());
}

void CQZMDemoDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && logoRect_.contains(event->position().toPoint())) {
        logoPressed_ = true;
        logoPressPoint_ = event->position().toPoint();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CQZMDemoDlg::mouseMoveEvent(QMouseEvent* event) {
    if (logoPressed_) {
        const QPoint moved = event->position().toPoint() - logoPressPoint_;
        if (std::abs(moved.x()) > kLogoClickSlack || std::abs(moved.y()) > kLogoClickSlack)
            logoPressed_ = false;
    }
    QDialog::mouseMoveEvent(event);
}

void CQZMDemoDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && logoPressed_) {
        logoPressed_ = false;
        event->accept();
        if (!closing_)
            OnLogoClicked();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

// ---- users, registrations, album files ------------------------------------------------------------

void CQZMDemoDlg::RefreshUserLists() {
    const std::vector<UserSummary> users = controller_.UserList();
    albumPage_->UserPanel().RefreshUsers(users);
    const std::vector<UserName> names = controller_.UserNames();
    mainPage_->ImagePage().SetUserList(names);
    mainPage_->ResultLog().SetUserList(names);
}

void CQZMDemoDlg::OnUserEdit(int edit) {
    switch (edit) {
        case kUserAdd:
            return AddUser();
        case kUserRename:
            return RenameUser();
        case kUserDelete:
            return DeleteSelectedUsers();
        case kUserDeleteAll:
            return DeleteAllUsers();
        default:
            return;
    }
}

bool CQZMDemoDlg::AskName(const std::string& proposed, int userId, std::string* name) {
    editingUser_ = userId;
    nameDialog_->SetText(QString::fromStdString(proposed));
    const bool accepted = nameDialog_->exec() == CNameInputDlg::kResultOk;
    if (accepted)
        *name = nameDialog_->Text().toStdString();
    return accepted;
}

void CQZMDemoDlg::OnNameCheck() {
    if (controller_.IsNameUnique(nameDialog_->Text().toStdString(), editingUser_)) {
        nameDialog_->Accept();
        return;
    }
    messenger_.ShowMessage(kStrNameTaken, MsgIcon::kWarning, MsgButtons::kOk);
}

void CQZMDemoDlg::AddUser() {
    std::string name;
    if (!AskName(controller_.MakeDefaultUserName(), -1, &name))
        return;
    if (controller_.AddNewUser(name) < 0) {
        messenger_.ShowMessage(kStrUserNotAdded, MsgIcon::kWarning, MsgButtons::kOk);
        return;
    }
    RefreshUserLists();
    albumPage_->ImagePage().Clear();
}

void CQZMDemoDlg::RenameUser() {
    const int id = albumPage_->SelectedUser();
    const std::vector<UserSummary> users = controller_.UserList();
    const UserSummary* user = FindUser(users, id);
    if (user == nullptr)
        return;
    std::string name;
    if (!AskName(user->name, id, &name))
        return;
    if (controller_.ChangeUserName(id, name) != 0) {
        messenger_.ShowMessage(kStrNameNotChanged, MsgIcon::kWarning, MsgButtons::kOk);
        return;
    }
    RefreshUserLists();
}

void CQZMDemoDlg::DeleteSelectedUsers() {
    const std::vector<int> selected = albumPage_->SelectedUsers();
    PausedMode paused(*this);
    if (messenger_.ShowMessage(kStrDeleteUsersQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    if (selected.empty())
        return;
    std::vector<DeviceOutcome> outcomes = RunWaiting(*wait_, kStrPleaseWait, [&] {
        std::vector<DeviceOutcome> done;
        for (const int id : selected)
            done.push_back(controller_.RemoveUser(id));
        return done;
    });
    int removed = 0;
    for (const DeviceOutcome& outcome : outcomes) {
        if (outcome.ok())
            ++removed;
        else if (outcome.moduleChanged)
            messenger_.ShowUserMessage(MessageFor(outcome, DeviceOperation::kDeletion));
    }
    messenger_.ShowUserMessage(MessageForDeletions(removed, static_cast<int>(selected.size())));
    RefreshUserLists();
    albumPage_->ImagePage().Clear();
}

void CQZMDemoDlg::DeleteAllUsers() {
    PausedMode paused(*this);
    if (messenger_.ShowMessage(kStrDeleteAllUsersQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome removed =
        RunWaiting(*wait_, kStrPleaseWait, [this] { return controller_.RemoveAll(); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    if (removed.ok()) {
        moduleInLine_ = true;  // both are empty
        albumPage_->UserPanel().Reset();
    }
    RefreshUserLists();
}

void CQZMDemoDlg::OnRegisterFace() {
    const int id = albumPage_->SelectedUser();
    if (id < 0)
        return;
    PausedMode paused(*this);
    const DeviceOutcome registered =
        RunWaiting(*wait_, kStrPleaseWait, [this, id] { return controller_.RegisterFace(id); });
    if (registered.result == kProtocolOk && registered.response == 0)
        ShowUserImages(id);
    messenger_.ShowUserMessage(MessageFor(registered, DeviceOperation::kRegistration));
}

void CQZMDemoDlg::ShowUserImages(int userId) {
    if (userId < 0) {
        albumPage_->ImagePage().Clear();
        return;
    }
    const auto images = controller_.LoadUserImages(userId);
    albumPage_->ImagePage().ShowImages(images);
    albumPage_->UserPanel().SetDataCount(userId, albumPage_->ImagePage().ShownCount());
    const auto unreadable = std::count_if(images.begin(), images.end(), [](const auto& slot) {
        return slot.dataNumber != -1 && !slot.readable;
    });
    if (unreadable > 0) {
        CUserInfo user;
        controller_.FetchUserInfo(userId, &user);
        messenger_.ShowMessage(kStrFacesUnreadable, MsgIcon::kWarning, MsgButtons::kOk,
                               static_cast<int>(unreadable), user.Name());
    }
}

void CQZMDemoDlg::OnDeleteImages(int which) {
    const int id = albumPage_->SelectedUser();
    if (id < 0)
        return;
    const int dataNumber = which == kImageDeleteSelected ? albumPage_->SelectedDataNumber() : -1;
    PausedMode paused(*this);
    const int question =
        which == kImageDeleteSelected ? kStrDeleteImageQuestion : kStrDeleteAllImagesQuestion;
    if (messenger_.ShowMessage(question, MsgIcon::kQuestion, MsgButtons::kYesNo) != MsgAnswer::kYes)
        return;
    const DeviceOutcome removed = RunWaiting(
        *wait_, kStrPleaseWait, [this, id, dataNumber] { return controller_.RemoveData(id, dataNumber); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    ShowUserImages(id);
}

void CQZMDemoDlg::OnAlbumFile(int request) {
    PausedMode paused(*this);
    const CSettingsStore& settings = controller_.Settings();
    auto choose = [&](bool forSaving) {
        const QString path =
            ChooseAlbumFile(forSaving, QString::fromStdString(settings.ReadPrevSelectFile()), this);
        if (!path.isEmpty())
            settings.WritePrevSelectFile(path.toStdString());
        return path.toStdString();
    };
    if (request == kAlbumSave) {
        const std::string path = choose(true);
        if (!path.empty())
            RunAlbumJob(false, path);
        return;
    }
    const MsgAnswer saveFirst =
        messenger_.ShowMessage(kStrSaveAlbumQuestion, MsgIcon::kQuestion, MsgButtons::kYesNoCancel);
    if (saveFirst == MsgAnswer::kCancel)
        return;
    if (saveFirst == MsgAnswer::kYes) {
        // Nothing is opened over the album the user asked to keep unless it was saved.
        const std::string path = choose(true);
        if (path.empty() || !RunAlbumJob(false, path).ok())
            return;
    }
    const std::string path = choose(false);
    if (!path.empty())
        RunAlbumJob(true, path);
}

DeviceOutcome CQZMDemoDlg::RunAlbumJob(bool load, const std::string& path) {
    const QString fileName = QFileInfo(QString::fromStdString(path)).fileName();
    const DeviceOutcome outcome = RunProgress(
        *progress_, load ? kStrLoading : kStrSaving, fileName,
        [this] { return controller_.GetAlbumProgress(); },
        [this, load, path] {
            return load ? controller_.LoadAlbumFromFile(path) : controller_.SaveAlbumToFile(path);
        });
    if (outcome.ok())
        progress_->SetPos(100);
    const std::string fullPath = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    if (load && outcome.ok()) {
        moduleInLine_ = true;  // both hold the file's registrations
        albumPage_->UserPanel().Reset();
        RefreshUserLists();
        albumPage_->ImagePage().Clear();
    }
    messenger_.ShowUserMessage(
        MessageFor(outcome, load ? DeviceOperation::kAlbumLoad : DeviceOperation::kAlbumSave, fullPath));
    return outcome;
}

void CQZMDemoDlg::OnDeleteAllData() {
    if (messenger_.ShowMessage(kStrDeleteAllDataQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome cleared =
        RunWaiting(*wait_, kStrPleaseWait, [this] { return controller_.ClearAllData(); });
    messenger_.ShowUserMessage(MessageFor(cleared, DeviceOperation::kDeletion));
    if (cleared.ok())
        moduleInLine_ = true;  // both are empty
    // The PC's registrations are gone whatever the module answered.
    albumPage_->UserPanel().Reset();
    RefreshUserLists();
}

}  // namespace qzm
