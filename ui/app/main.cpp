// qzm-demo: the windowed program. It works in its own folder, where its settings, logs and
// registrations live beside the delivered files.
#include <QApplication>
#include <QDir>
#include <clocale>
#include <system_error>

#include "core/demo_controller.h"
#include "files/working_folder.h"
#include "res/string_table.h"
#include "sim/replayed_module_port.h"
#include "ui/app/qzm_demo_app.h"
#include "ui/app/qzm_demo_dlg.h"
#include "ui/controls/artwork.h"
#include "ui/dialogs/messenger.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qzm-demo"));
    // Lets a Wayland desktop find the desktop entry, and with it the icon and the program's name.
    QGuiApplication::setDesktopFileName(QStringLiteral("qzm-demo"));
    QApplication::setWindowIcon(qzm::ProgramIcon());
    // Numbers in files and texts are written the same way whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");
    // The program's own folder, or the user's data folder when the program's is not writable (an
    // installed program); the delivered files are copied there on first start.
    const std::string programFolder = QCoreApplication::applicationDirPath().toStdString();
    qzm::WorkingFolderChoice working;
    if (qzm::PrepareWorkingFolder(programFolder, qzm::DeliveredDataFolders(programFolder),
                                  qzm::UserDataFolder(), working) == qzm::kWorkingFolderNoUserFolder) {
        qzm::CMessageBoxMessenger().ShowMessage(qzm::kStrNoWorkingFolder, qzm::MsgIcon::kError,
                                                qzm::MsgButtons::kOk, working.folder);
        return 1;
    }
    QDir::setCurrent(QString::fromStdString(working.folder));

    auto controller = std::make_unique<qzm::CDemoController>();
    controller->AddSimulatedPort(
        std::make_unique<qzm::CSimulatedModulePort>(qzm::LoadString(qzm::kStrSimulatedModule)));
    controller->AddSimulatedPort(std::make_unique<qzm::CReplayedModulePort>(
        qzm::LoadString(qzm::kStrReplayRecording), qzm::LoadString(qzm::kStrReplayPortPrefix)));
    qzm::CMessageBoxMessenger messenger;
    try {
        // Gave up connecting (-1) or closed the main window: the program ends either way.
        qzm::CQZMDemoApp demo(*controller, messenger);
        if (working.perUser) {
            const QString folder = QString::fromStdString(working.folder);
            QObject::connect(&demo, &qzm::CQZMDemoApp::MainDialogCreated,
                             [folder](qzm::CQZMDemoDlg* dialog) { dialog->SetWorkingFolderShown(folder); });
        }
        demo.Run();
    } catch (const std::system_error& error) {
        // The device worker and the main window's workers start their threads as they are made;
        // when the system has no room for one just now (a process limit, memory short), the user
        // is told why the program ends instead of it aborting without a word.
        controller.reset();
        messenger.ShowMessage(qzm::kStrCannotGoOn, qzm::MsgIcon::kError, qzm::MsgButtons::kOk,
                              error.code().message());
        return 1;
    }
    // The port closes and the simulated module stops with the controller.
    controller.reset();
    return 0;
}
