// qzm-module-sim: the camera module emulator on a pseudo-terminal, for running the program without hardware.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "files/program_args.h"
#include "files/utf8_path.h"
#include "sim/pty_module_host.h"
#include "sim/replayed_module_port.h"
#include "sim/sim_options.h"

int main(int argc, char** argv) {
    qzm::PrepareConsoleOutput();
    std::vector<std::string> args = qzm::Utf8Arguments(argc, argv);
    args.erase(args.begin());
    qzm::SimOptions options;
    std::string error;
    if (!qzm::ParseSimOptions(args, options, error)) {
        std::cerr << "qzm-module-sim: " << error << "\n" << qzm::SimUsageText();
        return qzm::kUsageExitCode;
    }
    if (options.help) {
        std::cout << qzm::SimUsageText();
        return 0;
    }

    // Block the stop signals before the host thread starts, so that it inherits the mask and the signals are
    // taken only by sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    qzm::CReplaySource replay;
    if (!options.replayPath.empty()) {
        if (replay.Open(options.replayPath, &error) != qzm::kRecordOk) {
            std::cerr << "qzm-module-sim: cannot replay " << options.replayPath << ": " << error << "\n";
            return 1;
        }
        replay.SetLoop(options.loop);
        // The module that was recorded: its model and firmware, so the PC picks its command set.
        options.identity = qzm::RecordedIdentity(replay, options.identity);
    }
    qzm::CPtyModuleHost host(options.identity);
    qzm::CModuleEmulator& emulator = host.Emulator();
    if (!options.replayPath.empty()) {
        emulator.SetExecutionAnswers(qzm::AnswersFrom(replay));
    }
    emulator.SetSceneSeed(options.seed);
    emulator.SetScene(options.scene);
    emulator.SetFacesInView(options.facesInView);
    if (options.wallClock)
        emulator.SetSceneClock(qzm::SceneClock::kWallTime);
    if (!options.storePath.empty()) {
        // A missing file is a store not written yet; an unreadable or malformed one is not overwritten.
        std::error_code ec;
        if (std::filesystem::exists(qzm::Utf8Path(options.storePath), ec) &&
            !emulator.LoadStore(options.storePath, &error)) {
            std::cerr << "qzm-module-sim: " << error << "\n";
            return 1;
        }
        emulator.SetStoreFile(options.storePath);
    }
    host.SetFaults(options.faults);
    host.SetPacing(options.paceBaud);
    if (!host.Start(options.linkPath, &error)) {
        std::cerr << "qzm-module-sim: " << error << "\n";
        return 1;
    }
    std::cout << host.OpenPath() << std::endl;

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    host.Stop();
    std::cerr << "qzm-module-sim: stopped after " << host.CommandsHandled() << " commands\n";
    if (emulator.StoreSaveFailures() > 0)
        std::cerr << "qzm-module-sim: " << emulator.StoreSaveFailures() << " saves of " << options.storePath
                  << " failed\n";
    return 0;
}
