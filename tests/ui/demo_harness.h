// The whole program in one test: a working folder with the delivered files, a controller whose only
// port is an emulated module inside the program, as the program's own (a test can unplug it and plug
// it in again, and inject faults), a scripted messenger and the device worker.
#pragma once

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "core/demo_controller.h"
#include "device/simulated_port.h"
#include "dialog_script.h"
#include "scripted_messenger.h"
#include "test_folder.h"
#include "test_module_port.h"
#include "ui/app/device_worker.h"
#include "ui/app/qzm_demo_dlg.h"
#include "ui/pages/exec_func_select_dlg.h"
#include "ui/pages/execute_dlg.h"

namespace qzm_test {

// Faults of a module that answers command with the response code code. (The emulator still
// carries the command out.)
inline qzm::ModuleFaults Refusing(std::uint8_t command, std::uint8_t code) {
    qzm::ModuleFaults faults;
    faults.onlyCommand = command;
    faults.responseCode = code;
    return faults;
}

struct DemoHarness {
    explicit DemoHarness(qzm::ModuleIdentity identity = qzm::ModuleIdentity::Extended()) {
        for (const auto& entry : std::filesystem::directory_iterator(QZM_DATA_DIR)) {
            if (entry.is_regular_file() && entry.path().filename() != "CMakeLists.txt")
                std::filesystem::copy_file(entry.path(), folder.path() / entry.path().filename());
        }
        // No real serial ports: the emulated module is the only one listed.
        std::filesystem::create_directories(folder.path() / "roots");
        const std::string roots = (folder.path() / "roots").string();
        controller = std::make_unique<qzm::CDemoController>(qzm::PortEnumerationRoots{roots, roots});
        auto port = std::make_unique<TestModulePort>(identity);
        module = port.get();
        controller->AddSimulatedPort(std::move(port));
    }
    qzm::CInProcessModuleHost& Host() { return module->Host(); }

    // Waits until the module has sent nothing for a while: the rest of a garbled answer is then off
    // the line instead of arriving after the next request and spoiling its answer too.
    bool WaitForQuietLine(int timeoutMs) {
        std::uint64_t sent = Host().BytesSent();
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            QTest::qWait(100);
            const std::uint64_t now = Host().BytesSent();
            if (now == sent)
                return true;
            sent = now;
        }
        return false;
    }

    // Reads the settings and connects to the emulated module (or the port named), as the start-up
    // does.
    bool Connect(const std::string& port = {}) {
        controller->LoadAll();
        return controller->Connect(port.empty() ? module->Name() : port, 921600).ok() &&
               controller->ApplyAllSettings(controller->Read().detection).ok();
    }

    // The main window, shown, once its start-up work has ended. Its messages go to the scripted
    // messenger, or through shownThrough (message boxes that a test answers as a user would).
    std::unique_ptr<qzm::CQZMDemoDlg> OpenMainWindow(qzm::CMessenger* shownThrough = nullptr) {
        auto dialog = std::make_unique<qzm::CQZMDemoDlg>(
            *controller, shownThrough != nullptr ? *shownThrough : messenger, worker);
        QSignalSpy started(dialog.get(), &qzm::CQZMDemoDlg::StartupFinished);
        dialog->show();
        if (!started.wait(15000))
            return nullptr;
        return dialog;
    }

    // Switches every function on in the panel and clicks "Execute once".
    static void ExecuteWithEveryFunction(qzm::CQZMDemoDlg& dialog) {
        qzm::CExecuteDlg& panel = dialog.MainPage().ExecutePanel();
        panel.FunctionSelect().SetFunctions({true, true, true, true, true, true, true, true, true, true});
        QTest::mouseClick(panel.ExecuteOnceButton(), Qt::LeftButton);
    }

    // The ids of the messages shown so far.
    std::vector<int> MessageIds() const {
        std::vector<int> ids;
        for (const auto& message : messenger.Messages())
            ids.push_back(message.id);
        return ids;
    }

    // In this order: the worker ends before the controller, which goes before the folder.
    ScopedWorkingFolder folder;
    CScriptedMessenger messenger;
    std::unique_ptr<qzm::CDemoController> controller;
    TestModulePort* module = nullptr;
    qzm::CDeviceWorker worker;
};

}  // namespace qzm_test
