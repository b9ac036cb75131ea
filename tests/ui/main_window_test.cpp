// The program as a user drives it, against the emulated module: start-up, single and continuous
// execution, the album page's live image, settings, faults of the module and closing.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <map>
#include <regex>

#include "demo_harness.h"
#include "device/qzm_frame.h"
#include "present/result_text.h"
#include "record/recording_reader.h"
#include "sim/replayed_module_port.h"
#include "ui/app/qzm_demo_app.h"
#include "ui/app/window_calls.h"
#include "ui/controls/logo_button.h"
#include "ui/controls/org_combo_box.h"
#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/connect_setting_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/reg_preview_dlg.h"
#include "ui/pages/regist_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;
using qzm_test::Refusing;

namespace {

constexpr int kWaitMs = 15000;

QString LogText(CQZMDemoDlg& dialog) {
    return dialog.MainPage().ResultLog().LogText();
}

bool WaitForExecutions(CQZMDemoDlg& dialog, int count) {
    QSignalSpy shown(&dialog, &CQZMDemoDlg::ExecutionShown);
    return QTest::qWaitFor([&] { return shown.count() >= count; }, kWaitMs);
}

// Runs action once, right before the first call a worker queued to the window thread is
// delivered: what the user does in it lands before that call (a result, or a failure's report).
class BeforeFirstWorkerCall : public QObject {
public:
    explicit BeforeFirstWorkerCall(std::function<void()> action) : action_(std::move(action)) {
        qApp->installEventFilter(this);
    }
    ~BeforeFirstWorkerCall() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!ran_ && event->type() == QEvent::MetaCall && qobject_cast<CWindowCalls*>(watched) != nullptr) {
            ran_ = true;
            action_();
        }
        return false;
    }

private:
    std::function<void()> action_;
    bool ran_ = false;
};

// The module told to forget every registration, straight from the test.
ParsedFrame DeleteAllFrame() {
    ParsedFrame frame;
    frame.code = kCmdDeleteAll;
    return frame;
}

// Limits the size every file of this process may grow to, while it lives; a write beyond fails
// instead of raising the signal that would end the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &was_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = was_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &was_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit was_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace

class MainWindowIntegration : public QObject {
    Q_OBJECT

private slots:
    // Stored port with automatic connection: the main window opens connected and the stored
    // detection settings reach the module.
    void startsConnectedWithAutoConnect() {
        DemoHarness demo;
        std::ofstream("Application.ini")
            << "[Application]\r\nCOMPortName=Simulated module\r\nAutoConnect=1\r\n";
        CQZMDemoApp app(*demo.controller, demo.messenger);
        bool sawWindow = false;
        connect(&app, &CQZMDemoApp::MainDialogCreated, this, [&](CQZMDemoDlg* dialog) {
            connect(dialog, &CQZMDemoDlg::StartupFinished, dialog, [&, dialog] {
                sawWindow = true;
                QVERIFY(dialog->Connected());
                QVERIFY(dialog->windowTitle().endsWith(" - Simulated module:921600baud - F/W 1.2.0.2048"));
                // An installed program names the user's data folder it works in, home as "~".
                dialog->SetWorkingFolderShown(QDir::homePath() + "/.local/share/qzm-demo");
                QVERIFY(dialog->windowTitle().endsWith(" - F/W 1.2.0.2048 [~/.local/share/qzm-demo]"));
                dialog->close();
            });
        });
        QCOMPARE(app.Run(), 0);
        QVERIFY(sawWindow);
        QCOMPARE(demo.Host().Emulator().Settings().thresholds[0], std::uint16_t(500));
        QVERIFY(ReadFile("Settings.ini").find("Body=500") != std::string::npos);
        QVERIFY(demo.messenger.Messages().empty());
    }

    // No Application.ini: the start-up dialog offers the defaults; Cancel ends the program.
    void cancelledStartupEndsTheProgram() {
        DemoHarness demo;
        CQZMDemoApp app(*demo.controller, demo.messenger);
        bool created = false;
        connect(&app, &CQZMDemoApp::MainDialogCreated, this, [&] { created = true; });
        DialogScript<CSettingDlg> user{[&](CSettingDlg& dialog) {
            QCOMPARE(&dialog, app.StartupDialog());
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Connection settings"));
            CConnectSettingDlg& page = *dialog.ConnectPage();
            QCOMPARE(page.PortCombo().currentText(), QStringLiteral("Simulated module"));
            QCOMPARE(page.BaudCombo().currentData().toInt(), 921600);
            QCOMPARE(page.AngleCombo().currentData().toInt(), 0);
            QVERIFY(!page.ConnectOnStartup().isChecked());
            QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        }};
        QCOMPARE(app.Run(), -1);
        QCOMPARE(user.Shown(), 1);
        QVERIFY(!created);
        QCOMPARE(demo.MessageIds(), std::vector<int>{5010});
    }

    // Execute once: a result block with its response time and the frame; Face off with Age on asks
    // for Human Body, Hand and Face only, and the Age switch stays on but greyed.
    void executeOnceShowsTheResult() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        DemoHarness::ExecuteWithEveryFunction(*dialog);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        // The log formats its blocks on the window thread, after the execution was handed over.
        QTRY_VERIFY(LogText(*dialog).contains("Execute Body:On Hand:On Face:On Dir.:On Age:On"));
        QVERIFY(LogText(*dialog).contains("Response time:"));
        QVERIFY(LogText(*dialog).contains(" Face count:1"));
        QVERIFY(LogText(*dialog).contains("QZM-K Demo\t"));
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("main_window"));

        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        CExecFuncSelectDlg& switches = panel.FunctionSelect();
        QTest::mouseClick(switches.Switch(kFunctionFace), Qt::LeftButton);
        QVERIFY(!switches.Switch(kFunctionAge)->isEnabled());
        QCOMPARE(switches.Switch(kFunctionAge)->State(), 1);
        QTest::mouseClick(panel.ExecuteOnceButton(), Qt::LeftButton);
        QTRY_VERIFY(
            LogText(*dialog).startsWith("--------------------------------------------------------------------"
                                        "---------------------------\n"
                                        "Execute Body:On Hand:On Face:Off Dir.:Off Age:Off Gender:Off"));
        QVERIFY(!dialog->MainPage().ImagePage().Toggle(kFunctionFace)->isEnabled());
        QVERIFY(demo.messenger.Messages().empty());
    }

    // Continuous execution keeps showing results; "No image" takes effect at the next run and is
    // stored; the album page's live image pauses it and the main page resumes it.
    void continuousExecutionAndTheAlbumPage() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeContinuous));
        QVERIFY(WaitForExecutions(*dialog, 3));

        panel.ImageSizeCombo()->setCurrentIndex(panel.ImageSizeCombo()->findData(kImageNone));
        QVERIFY(WaitForExecutions(*dialog, 2));
        QVERIFY(ReadFile("Settings.ini").find("ExecuteImage=0") != std::string::npos);

        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));
        QVERIFY(QTest::qWaitFor([&] { return dialog->AlbumPage().Preview().DisplayImage().Width() == 160; },
                                kWaitMs));
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("main_window_album"));
        QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);  // shown already: nothing happens
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeLiveImage));

        QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeContinuous));
        QVERIFY(WaitForExecutions(*dialog, 2));
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        QVERIFY(demo.messenger.Messages().empty());
    }

    // Settings are written only once the module took them; a refusal keeps the old ones and says so.
    // Cancel sends nothing: the dialog opened from the main window cannot change the port.
    void settingsFollowTheModule() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CSettingDlg& settings = dialog->SettingsDialog();
        auto typeFaceThreshold = [&](const char* value) {
            DialogScript<CSettingDlg> user{[&settings, value](CSettingDlg&) {
                qzm_test::SaveScreenshot(settings, QStringLiteral("settings_from_main_window"));
                settings.Tabs()->setCurrentIndex(2);
                CRangeEdit& edit = settings.ExecPage()->ThresholdEdit(ExecSettings::kFace);
                edit.setText(QString::fromLatin1(value));
                QTest::mouseClick(settings.OkButton(), Qt::LeftButton);
            }};
            QTest::mouseClick(dialog->MainPage().ExecutePanel().SettingsButton(), Qt::LeftButton);
        };
        typeFaceThreshold("650");
        QCOMPARE(demo.Host().Emulator().Settings().thresholds[2], std::uint16_t(650));
        QVERIFY(ReadFile("Settings.ini").find("Face=650") != std::string::npos);
        QVERIFY(dialog->Connected());

        demo.Host().SetFaults(Refusing(kCmdSetThreshold, 0x02));
        typeFaceThreshold("700");
        QCOMPARE(demo.controller->Read().detection.exec.threshold[ExecSettings::kFace], 650);
        QVERIFY(ReadFile("Settings.ini").find("Face=650") != std::string::npos);
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});
        QVERIFY(!dialog->Connected());
        demo.Host().SetFaults({});

        typeFaceThreshold("650");
        QVERIFY(dialog->Connected());
        const std::uint64_t handled = demo.Host().CommandsHandled();
        DialogScript<CSettingDlg> user{[&](CSettingDlg&) {
            settings.Tabs()->setCurrentIndex(2);
            settings.ExecPage()->ThresholdEdit(ExecSettings::kFace).setText(QStringLiteral("800"));
            QTest::mouseClick(settings.CancelButton(), Qt::LeftButton);
        }};
        QTest::mouseClick(dialog->MainPage().ExecutePanel().SettingsButton(), Qt::LeftButton);
        QCOMPARE(demo.Host().CommandsHandled(), handled);
        QCOMPARE(demo.controller->Port(), CDemoController::PortState::kOpen);
        QCOMPARE(demo.controller->Read().detection.exec.threshold[ExecSettings::kFace], 650);
        QVERIFY(dialog->Connected());
    }

    // A recording made through the window holds every run the window showed, as it showed it: the
    // result log's blocks come back from the file's runs, with their frames. The same recording
    // replayed in place of the module makes the window show the same blocks again.
    void recordingThroughTheWindow() {
        // Outside either harness's folder: the recording outlives the first window.
        const TestFolder kept;
        const QString path = QString::fromStdString((kept.path() / "window.qzmrec").string());
        std::vector<std::string> recorded;
        {
            DemoHarness demo;
            QVERIFY(demo.Connect());
            auto dialog = demo.OpenMainWindow();
            QVERIFY(dialog);
            CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
            panel.SelectImageSize(kImage160x120);
            panel.FramesCheck()->setChecked(true);
            QStringList seen;
            qzm_test::DialogScript<COrgFileDlg> files{qzm_test::ChooseFile(path, &seen)};
            QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
            QVERIFY(files.Done());
            const QString proposed = QFileInfo(seen.value(2)).fileName();
            QVERIFY2(proposed.startsWith(QStringLiteral("qzm-")) && proposed.endsWith(".qzmrec"),
                     qPrintable(seen.join('|')));
            QVERIFY(panel.RecordingLine()->text().startsWith(QStringLiteral("Recording 00:00:0")));
            QVERIFY(!panel.FramesCheck()->isEnabled());
            QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
            DemoHarness::ExecuteWithEveryFunction(*dialog);
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return shown.count() >= 6; }, kWaitMs));
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            // Committed runs show within a second.
            QTRY_VERIFY_WITH_TIMEOUT(!panel.RecordingLine()->text().contains(QStringLiteral(", 0 runs, ")),
                                     kWaitMs);
            qzm_test::SaveScreenshot(*dialog, QStringLiteral("main_window_recording"));
            QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
            QVERIFY(panel.RecordingLine()->text().isEmpty());
            QVERIFY(panel.FramesCheck()->isEnabled());

            CRecordingReader reader;
            QCOMPARE(reader.Open(path.toStdString()), int(kRecordOk));
            QCOMPARE(QString::fromStdString(reader.Session().model), QStringLiteral("QZM-K200"));
            QVERIFY(reader.Session().frames && reader.Session().endedMs != 0);
            QTRY_COMPARE_WITH_TIMEOUT(dialog->MainPage().ResultLog().BlockCount(), shown.count() + 1,
                                      kWaitMs);  // and the header
            const QString log = LogText(*dialog);
            int frames = 0;
            reader.ForEachRun([&](const RecordedRun& run) {
                recorded.push_back(FormatResultBlock(BlockInput(run.report, &run.names)));
                frames += run.report.image.Width() == 160 && run.report.payload.size() > 19200 ? 1 : 0;
                return true;
            });
            QCOMPARE(int(recorded.size()), shown.count());
            QCOMPARE(frames, shown.count());
            for (const std::string& block : recorded)
                QVERIFY2(log.contains(QString::fromStdString(block).chopped(1)), block.c_str());
            QVERIFY(demo.messenger.Messages().empty());
        }

        // Replayed: the user picks the recorded module in the connection page (first cancelling the
        // file dialog, which leaves the port chosen before), then chooses the recording.
        DemoHarness demo;
        demo.controller->AddSimulatedPort(
            std::make_unique<CReplayedModulePort>("Recorded module...", "Recording: "));
        SettingValues values;
        {
            CConnectSettingDlg page(SettingForm::kStartup);
            page.SetValues(demo.controller->PortList(), values);
            QCOMPARE(page.PortCombo().currentText(), QStringLiteral("Simulated module"));
            {
                qzm_test::DialogScript<COrgFileDlg> cancelled{[](QFileDialog& files) { files.reject(); }};
                QTest::keyClick(&page.PortCombo(), Qt::Key_Down);
                QVERIFY(cancelled.Done());
            }
            QCOMPARE(page.PortCombo().currentText(), QStringLiteral("Simulated module"));
            qzm_test::DialogScript<COrgFileDlg> files{qzm_test::ChooseFile(path)};
            QTest::keyClick(&page.PortCombo(), Qt::Key_Down);
            QVERIFY(files.Done());
            QCOMPARE(page.PortCombo().currentText(), "Recording: " + path);
            page.GetValues(values);
        }
        QCOMPARE(QString::fromStdString(values.portName), "Recording: " + path);
        QVERIFY(demo.Connect(values.portName));
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        dialog->MainPage().ExecutePanel().SelectImageSize(kImage160x120);
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        for (std::size_t i = 0; i < recorded.size(); ++i) {
            // The next click once the wait dialog of the last one has gone.
            QVERIFY(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, kWaitMs));
            DemoHarness::ExecuteWithEveryFunction(*dialog);
            QTRY_COMPARE_WITH_TIMEOUT(shown.count(), int(i + 1), kWaitMs);
        }
        // The log takes its blocks in on the window thread, after the run was shown.
        QTRY_COMPARE_WITH_TIMEOUT(dialog->MainPage().ResultLog().BlockCount(), int(recorded.size()) + 1,
                                  kWaitMs);
        const std::regex time("Response time:[0-9]+ms");
        const std::string log = std::regex_replace(LogText(*dialog).toStdString(), time, "");
        for (const std::string& block : recorded)
            QVERIFY2(log.find(std::regex_replace(block.substr(0, block.size() - 1), time, "")) !=
                         std::string::npos,
                     block.c_str());
    }

    // The disk fills up while recording continuously with frames: the recording stops with the
    // message naming the file, the executions go on, and the runs written before stay readable.
    void recordingStopsWhenTheDiskIsFull() {
        const TestFolder kept;
        const QString path = QString::fromStdString((kept.path() / "full.qzmrec").string());
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        panel.SelectImageSize(kImage320x240);
        panel.FramesCheck()->setChecked(true);
        {
            qzm_test::DialogScript<COrgFileDlg> files{qzm_test::ChooseFile(path)};
            QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
        }
        QVERIFY(!panel.RecordingLine()->text().isEmpty());
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        {
            // Every file of this process may grow to 2 MiB, then writes fail (instead of a signal).
            const FileSizeLimit limit(2 * 1024 * 1024);
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!demo.messenger.Messages().empty(), kWaitMs);
            const int before = shown.count();
            QVERIFY(QTest::qWaitFor([&] { return shown.count() > before + 3; }, kWaitMs));
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        }
        QCOMPARE(demo.MessageIds(), std::vector<int>{kStrRecordingStopped});
        QVERIFY2(demo.messenger.Messages()[0].text.contains(path),
                 qPrintable(demo.messenger.Messages()[0].text));
        QVERIFY(panel.RecordingLine()->text().isEmpty());
        QVERIFY(!panel.RecordButton()->isChecked());
        CRecordingReader reader;
        QCOMPARE(reader.Open(path.toStdString()), int(kRecordOk));
        const std::int64_t runs = reader.Summary().runs;
        QVERIFY2(runs > 0 && runs < shown.count(), qPrintable(QString::number(runs)));
    }

    // A click on the logo shows the firmware version; a press that moves away by more than five
    // pixels is no click.
    void logoClickShowsTheFirmware() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QWidget* logo = dialog->childAt(dialog->LogoRect().center());
        QCOMPARE(logo, &dialog->Logo());
        const QPoint centre = logo->rect().center();
        for (const int move : {6, 5}) {
            qzm_test::SendMouse(*logo, QEvent::MouseButtonPress, Qt::LeftButton, centre);
            qzm_test::SendMouse(*logo, QEvent::MouseMove, Qt::LeftButton, centre + QPoint(0, move));
            qzm_test::SendMouse(*logo, QEvent::MouseButtonRelease, Qt::LeftButton, centre + QPoint(0, move));
        }
        QCOMPARE(demo.MessageIds(), std::vector<int>{5050});
        QCOMPARE(demo.messenger.Messages()[0].text, QStringLiteral("QZM-K Firmware version\n    1.2.0.2048"));
    }

    // A module that answers 2 to every execution: results keep coming; stopping reports the code
    // only while the debug logs are on.
    void refusedExecutionsAreReportedOnStopWithDebugLogs() {
        for (const bool debug : {false, true}) {
            DemoHarness demo;
            if (debug)
                std::ofstream("Debug.ini") << "[Log]\r\n";
            QVERIFY(demo.Connect());
            auto dialog = demo.OpenMainWindow();
            QVERIFY(dialog);
            demo.Host().SetFaults(Refusing(kCmdExecuteEx, 0x02));
            CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            QVERIFY(WaitForExecutions(*dialog, 2));
            QTRY_VERIFY(LogText(*dialog).contains("Return code:02"));
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            if (debug) {
                QCOMPARE(demo.MessageIds(), std::vector<int>{9000});
                QVERIFY(demo.messenger.Messages()[0].text.contains("(Error code: 02)"));
                QVERIFY(demo.messenger.Messages()[0].text.contains("Log/QZM_Error.log\""));
            } else {
                QVERIFY(demo.messenger.Messages().empty());
            }
        }
    }

    // A silent module: one message, the panel idle again. Unplugged during continuous execution
    // with every function on: noticed as the port goes, long before the execution's time-out (a
    // hundred seconds here), with one message; a command while it is away says the port is not
    // there; plugged in again, the next execution reopens the port by itself.
    void silentAndUnpluggedModule() {
        DemoHarness demo;
        std::ofstream("ExecTimeout.ini", std::ios::trunc) << "[Function]\r\nBodyDitect=100\r\n";
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        ModuleFaults silent;
        silent.silent = true;
        demo.Host().SetFaults(silent);
        QTest::mouseClick(panel.ExecuteOnceButton(), Qt::LeftButton);
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        demo.Host().SetFaults({});

        panel.FunctionSelect().SetFunctions({true, true, true, true, true, true, true, true, true, true});
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QVERIFY(WaitForExecutions(*dialog, 3));
        demo.module->Unplug();
        QVERIFY(QTest::qWaitFor([&] { return dialog->Mode() == CExecutionSession::kModeIdle; }, kWaitMs));
        QCOMPARE(demo.messenger.Messages().size(), std::size_t{2});
        // The run under way saw the port go, or the next one found it gone.
        QVERIFY(demo.messenger.Messages()[1].text.contains("The serial port "));
        QVERIFY(!panel.ContinuousOn());
        // Still unplugged: the command fails saying so.
        QTest::mouseClick(panel.ExecuteOnceButton(), Qt::LeftButton);
        QCOMPARE(demo.messenger.Messages().size(), std::size_t{3});
        QVERIFY(demo.messenger.Messages()[2].text.contains(" is not there ("));

        QVERIFY(demo.module->PlugIn());
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        QTest::mouseClick(panel.ExecuteOnceButton(), Qt::LeftButton);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(demo.messenger.Messages().size(), std::size_t{3});
    }

    // A continuous run fails (a bad header byte) while the user clicks: the click lands after the
    // queued failure report, or before it. Either way the failure is reported once, the toggle
    // shows off, the mode ends idle, and no loop runs on behind the window's back: one command at
    // a time.
    void failedContinuousRunRacingAClick_data() {
        QTest::addColumn<QString>("click");
        QTest::addColumn<bool>("clickFirst");
        for (const bool first : {false, true}) {
            const char* order = first ? "click first" : "failure first";
            for (const char* click : {"Album", "Continuous", "Execute once"})
                QTest::addRow("%s, %s", click, order) << QString::fromLatin1(click) << first;
        }
    }
    void failedContinuousRunRacingAClick() {
        QFETCH(QString, click);
        QFETCH(bool, clickFirst);
        DemoHarness demo;
        QVERIFY(demo.Connect());
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        const std::map<QString, QAbstractButton*> buttons = {{"Album", &dialog->AlbumButton()},
                                                             {"Continuous", panel.ContinuousButton()},
                                                             {"Execute once", panel.ExecuteOnceButton()}};
        ModuleFaults badSync;
        badSync.badSync = true;
        demo.Host().SetFaults(badSync);
        demo.messenger.Script({MsgAnswer::kOk});
        bool clicked = false;
        auto clickNow = [&] {
            QTest::mouseClick(buttons.at(click), Qt::LeftButton);
            clicked = true;
        };
        if (clickFirst) {
            // The first run fails; the click comes in just before its report is delivered.
            BeforeFirstWorkerCall clickBeforeTheReport(clickNow);
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(clicked, kWaitMs);
        } else {
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!demo.messenger.Messages().empty(), kWaitMs);
            QTRY_COMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
            demo.Host().SetFaults({});
            QVERIFY(demo.WaitForQuietLine(kWaitMs));
            clickNow();
        }
        demo.Host().SetFaults({});
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});

        // What the click then means: the album page's live image, or nothing more (the failure
        // already ended continuous execution; a click on the toggle shown on turns it off first).
        const bool album = click == QLatin1String("Album");
        const bool continuousAgain = click == QLatin1String("Continuous") && !clickFirst;
        QTRY_COMPARE(dialog->Mode(), album             ? int(CExecutionSession::kModeLiveImage)
                                     : continuousAgain ? int(CExecutionSession::kModeContinuous)
                                                       : int(CExecutionSession::kModeIdle));
        QCOMPARE(panel.ContinuousOn(), continuousAgain);
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        if (continuousAgain) {
            QVERIFY(shown.wait(kWaitMs));
            QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        }
        if (album)
            QTest::mouseClick(&dialog->MainButton(), Qt::LeftButton);
        QCOMPARE(dialog->Mode(), int(CExecutionSession::kModeIdle));
        QVERIFY(!panel.ContinuousOn());
        // Nothing runs on: the module hears nothing more.
        shown.clear();
        const std::uint64_t commands = demo.Host().CommandsHandled();
        QTest::qWait(300);
        QCOMPARE(demo.Host().CommandsHandled(), commands);
        QCOMPARE(shown.count(), 0);
        QCOMPARE(demo.MessageIds(), std::vector<int>{5000});
    }

    // Closing during continuous execution stops it and keeps the module's album as the backup the
    // next start restores; a module without album commands gets no backup.
    void closingBacksTheAlbumUp() {
        for (const bool extended : {true, false}) {
            DemoHarness demo(extended ? ModuleIdentity::Extended() : ModuleIdentity::Basic());
            QVERIFY(demo.Connect());
            auto dialog = demo.OpenMainWindow();
            QVERIFY(dialog);
            QCOMPARE(dialog->AlbumPage().OpenButton().isEnabled(), extended);
            QTest::mouseClick(dialog->MainPage().ExecutePanel().ContinuousButton(), Qt::LeftButton);
            QVERIFY(WaitForExecutions(*dialog, 1));
            QSignalSpy closed(dialog.get(), &CQZMDemoDlg::Closed);
            dialog->close();
            QVERIFY(closed.wait(kWaitMs));
            QVERIFY(!dialog->isVisible());
            QCOMPARE(std::filesystem::exists("DB/qzcxx.qzb"), extended);
            QVERIFY(!std::filesystem::exists("DBBack"));
            QVERIFY(demo.messenger.Messages().empty());
        }
    }

    // The module silent to Get Version while the window starts: the start-up check cannot run and
    // the user is told. The module then comes back power-cycled empty: closing keeps the album
    // backup instead of replacing it with the empty album, so the PC's face stays recoverable.
    void closeKeepsTheBackupWhenTheStartupCheckCouldNotRun() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        QCOMPARE(demo.controller->AddNewUser("Ada"), 0);
        QVERIFY(demo.controller->RegisterFace(0).ok());
        QVERIFY(demo.controller->SaveAlbumBackup().ok());
        const std::string backup = ReadFile("DB/qzcxx.qzb");
        ModuleFaults silent;
        silent.silent = true;
        silent.onlyCommand = kCmdGetVersion;
        demo.Host().SetFaults(silent);
        demo.messenger.Script({MsgAnswer::kOk});
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QVERIFY(!dialog->Connected());
        QCOMPARE(demo.MessageIds(), std::vector<int>{5213});
        QCOMPARE(demo.messenger.Messages()[0].text,
                 QStringLiteral("The start-up check could not run: the module's registrations were not "
                                "compared with the PC's, and the album backup is kept as it is.\n"
                                "Device is not responding.\nPlease verify connection."));

        demo.Host().SetFaults({});
        QCOMPARE(demo.Host().Emulator().Handle(DeleteAllFrame()).responseCode, std::uint8_t(0));
        QSignalSpy closed(dialog.get(), &CQZMDemoDlg::Closed);
        dialog->close();
        QVERIFY(closed.wait(kWaitMs));
        QCOMPARE(ReadFile("DB/qzcxx.qzb"), backup);
        QCOMPARE(demo.controller->UserList().size(), std::size_t{1});
        QCOMPARE(demo.MessageIds(), std::vector<int>{5213});
    }

    // A start-up restore the module refuses, answered No, still checks the registrations: the PC
    // knows a user with a face the module does not hold.
    void failedRestoreStillChecksTheRegistrations() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        QCOMPARE(demo.controller->AddNewUser("Ada"), 0);
        QVERIFY(demo.controller->RegisterFace(0).ok());
        // The module alone forgets it.
        QCOMPARE(demo.Host().Emulator().Handle(DeleteAllFrame()).responseCode, std::uint8_t(0));
        demo.Host().SetFaults(Refusing(kCmdLoadAlbum, 0xC4));
        demo.messenger.Script({MsgAnswer::kNo, MsgAnswer::kNo});
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        QCOMPARE(demo.MessageIds(), (std::vector<int>{5211, 5020}));
        QVERIFY(demo.messenger.Messages()[0].text.contains("(error code C4)"));
        QCOMPARE(demo.controller->UserList().size(), std::size_t{1});
    }

    // A start-up restore the module refuses asks, in a message box, whether to try again; Yes sends
    // the album backup again, No goes on without. Once the module takes it, nothing more is asked.
    void refusedRestoreTriedAgainOnYes_data() {
        QTest::addColumn<bool>("moduleBack");
        QTest::newRow("module back for the second try") << true;
        QTest::newRow("module still refusing") << false;
    }
    void refusedRestoreTriedAgainOnYes() {
        QFETCH(bool, moduleBack);
        DemoHarness demo;
        QVERIFY(demo.Connect());
        QCOMPARE(demo.controller->AddNewUser("Ada"), 0);
        QVERIFY(demo.controller->RegisterFace(0).ok());
        QVERIFY(demo.controller->SaveAlbumBackup().ok());
        const std::uintmax_t backup = std::filesystem::file_size("DB/qzcxx.qzb");
        demo.Host().SetFaults(Refusing(kCmdLoadAlbum, 0xC4));
        QStringList asked;
        std::vector<std::uint64_t> receivedAt;  // what the module had received by each question
        auto answer = [&](QMessageBox::StandardButton button) {
            return [&, button](QMessageBox& box) {
                asked << box.text();
                receivedAt.push_back(demo.Host().BytesReceived());
                QCOMPARE(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
                if (moduleBack)
                    demo.Host().SetFaults({});
                box.button(button)->click();
            };
        };
        DialogScript<QMessageBox> user{answer(QMessageBox::Yes)};
        if (!moduleBack)
            user.Add(answer(QMessageBox::No));
        CMessageBoxMessenger boxes;
        auto dialog = demo.OpenMainWindow(&boxes);
        QVERIFY(dialog);
        const QString retry = QStringLiteral("Cannot load the Album. (error code C4)\nTry again?");
        QCOMPARE(asked, (moduleBack ? QStringList{retry} : QStringList{retry, retry}));
        QCOMPARE(user.Shown(), asked.size());
        // After each Yes the module received the backup again, after the No it did not.
        const std::uint64_t afterLast = demo.Host().BytesReceived() - receivedAt.back();
        if (moduleBack) {
            QVERIFY(afterLast >= backup);
        } else {
            QVERIFY(receivedAt[1] - receivedAt[0] >= backup);
            QVERIFY(afterLast < backup);
        }
        QCOMPARE(demo.controller->UserList().size(), std::size_t{1});
    }
};

QZM_UI_TEST_CLASS(MainWindowIntegration)
#include "main_window_test.moc"
