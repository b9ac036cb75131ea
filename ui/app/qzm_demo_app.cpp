#include "ui/app/qzm_demo_app.h"

#include <QTimer>

#include "core/demo_controller.h"
#include "ui/app/device_worker.h"
#include "ui/app/qzm_demo_dlg.h"
#include "ui/dialogs/messenger.h"
#include "ui/dialogs/setting_dlg.h"
#include "ui/dialogs/wait_dlg.h"

namespace qzm {

CQZMDemoApp::CQZMDemoApp(CDemoController& controller, CMessenger& messenger)
    : controller_(controller), messenger_(messenger), worker_(std::make_unique<CDeviceWorker>()) {}

CQZMDemoApp::~CQZMDemoApp() {
    // The dialogs go before the worker their work runs on.
    mainDialog_.reset();
    startupDialog_.reset();
    wait_.reset();
    worker_.reset();
}

int CQZMDemoApp::Run() {
    controller_.LoadAll();
    if (ConnectAtStartup() != 0)
        return -1;
    mainDialog_ = std::make_unique<CQZMDemoDlg>(controller_, messenger_, *worker_);
    emit MainDialogCreated(mainDialog_.get());
    mainDialog_->exec();
    // The workers of the main window end with it; the controller closes the port when its owner
    // destroys it.
    mainDialog_.reset();
    return 0;
}

int CQZMDemoApp::ConnectAtStartup() {
    wait_ = std::make_unique<CWaitDlg>(*worker_);
    // Connects and sends the stored detection settings; the port is closed again when the
    // module does not answer.
    auto tryConnect = [this](const std::string& port, int baud, int cameraAngle) {
        return RunWaiting(*wait_, kStrRunning, [this, port, baud, cameraAngle] {
            DeviceOutcome outcome = controller_.Connect(port, baud);
            if (outcome.ok()) {
                DetectionSettings wanted = controller_.Read().detection;
                wanted.cameraAngle = cameraAngle;
                controller_.ApplyAllSettings(wanted);
            } else {
                controller_.Disconnect();
            }
            return outcome;
        });
    };

    const CDemoController::Snapshot stored = controller_.Read();
    SettingValues values;
    values.portName = stored.portName;
    values.baudRate = stored.baudRate;
    values.detection.cameraAngle = stored.detection.cameraAngle;
    values.autoConnect = stored.autoConnect;
    // A stored port with automatic connection is tried at once; when it fails the dialog opens
    // without a message first.
    if (!values.portName.empty() && values.autoConnect == 1 &&
        tryConnect(values.portName, values.baudRate, values.detection.cameraAngle).ok())
        return 0;

    startupDialog_ = std::make_unique<CSettingDlg>();
    QTimer portWatch;
    portWatch.setInterval(kPortWatchMs);
    connect(&portWatch, &QTimer::timeout, startupDialog_.get(),
            [this] { startupDialog_->UpdatePortList(controller_.PortList()); });
    for (;;) {
        startupDialog_->SetValues(values);
        portWatch.start();
        const int answer = startupDialog_->ShowModal(controller_.PortList(), SettingForm::kStartup, 0);
        portWatch.stop();
        if (answer != CSettingDlg::kResultOk) {
            messenger_.ShowMessage(kStrConnectionInterrupted, MsgIcon::kInformation, MsgButtons::kOk);
            startupDialog_.reset();
            return -1;
        }
        values = startupDialog_->Values();
        if (values.autoConnect != controller_.Read().autoConnect)
            controller_.SetAutoConnect(values.autoConnect);
        const DeviceOutcome outcome =
            tryConnect(values.portName, values.baudRate, values.detection.cameraAngle);
        if (outcome.ok())
            break;
        messenger_.ShowUserMessage(MessageFor(outcome, DeviceOperation::kConnection));
    }
    startupDialog_.reset();
    return 0;
}

}  // namespace qzm
