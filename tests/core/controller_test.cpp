// The controller against the emulator: what it sends, what it stores, and when.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

#include "core/demo_controller.h"
#include "device/qzm_frame.h"
#include "registration/registration_test_support.h"
#include "sim/simulated_module_port.h"
#include "test_folder.h"
#include "test_module_port.h"
#ifndef _WIN32
#include "sim/pty_module_host.h"
#endif

using namespace qzm;
using namespace std::chrono_literals;

namespace {

PortEnumerationRoots NoPorts(const ScopedWorkingFolder& folder) {
    return {(folder.path() / "no-sys").string(), (folder.path() / "no-dev").string(),
            R"(HKCU\Software\QZM-K Demo tests\no ports)"};
}

class ControllerTest : public ::testing::Test {
protected:
    ScopedWorkingFolder folder;
};

// A controller connected to an emulator: on a pseudo-terminal through the real serial code where
// the system has them, inside the process on Windows.
class ControllerIntegration : public ControllerTest {
protected:
    void SetUp() override {
        WriteFile("DefSettings.dat",
                  "; defaults\r\n500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n0\t0\r\n");
        WriteFile("FullImageInfo.dat", "; models\r\nQZM-K100\t640\t480\r\nQZM-K200\t1280\t960\r\n");
#ifdef _WIN32
        module.Emulator().SetFacesInView(CEmulatedScene::kFreeScene);  // as on the pseudo-terminal
        const std::string port = modulePort->Name();
        controller.AddSimulatedPort(std::move(ownedPort));
#else
        ASSERT_TRUE(module.Start());
        const std::string port = module.OpenPath();
#endif
        controller.LoadAll();
        ASSERT_TRUE(controller.Connect(port, 921600).ok());
    }

#ifdef _WIN32
    std::unique_ptr<qzm_test::TestModulePort> ownedPort =
        std::make_unique<qzm_test::TestModulePort>(ModuleIdentity::Extended());
    qzm_test::TestModulePort* modulePort = ownedPort.get();
    CInProcessModuleHost& module = modulePort->Host();
#else
    CPtyModuleHost module{ModuleIdentity::Extended()};
#endif
    CDemoController controller{NoPorts(folder)};
};

// Controller tests that set up their module's line themselves (a pseudo-terminal: not on Windows).
using ControllerLineIntegration = ControllerTest;

}  // namespace

TEST_F(ControllerTest, EmptyPortNameAsksForTheConnection) {
    const std::string stored = "[Application]\r\nAutoConnect=1\r\nCOMPortName=\r\n";
    WriteFile("Application.ini", stored);
    CDemoController controller(NoPorts(folder));
    EXPECT_EQ(controller.Initialise(), 1);
    // No connection attempt was made: one would have stored the port and its baud rate first.
    EXPECT_EQ(ReadFile("Application.ini"), stored);
    EXPECT_EQ(controller.Port(), CDemoController::PortState::kClosed);
    EXPECT_EQ(controller.Read().baudRate, 921600);
}

TEST_F(ControllerTest, MissingThresholdsTakeTheDefaultsAndWriteThem) {
    WriteFile("DefSettings.dat", "; c\r\n; c\r\n10\t20\t30\t40\r\n1\t2\t3\t4\t5\t6\r\n2\t1\r\n");
    WriteFile("Settings.ini", "[Threshold]\r\nHand=7\r\n");
    CDemoController controller(NoPorts(folder));
    controller.LoadAll();
    const ExecSettings s = controller.Read().detection.exec;
    EXPECT_EQ(s.threshold[0], 10);
    EXPECT_EQ(s.threshold[3], 40);
    EXPECT_EQ(s.sizeRange[2], CRange(5, 6));
    EXPECT_EQ(s.yawAngle, 2);
    EXPECT_EQ(s.rollAngle, 1);
    const std::string written = ReadFile("Settings.ini");
    EXPECT_NE(written.find("Hand=20"), std::string::npos) << written;
    EXPECT_NE(written.find("Face=327686"), std::string::npos) << written;  // 5 << 16 | 6
}

TEST_F(ControllerTest, AddNewUserWhenEveryNumberIsTaken) {
    // The store as 500 additions leave it, written directly: the store itself syncs every file.
    std::filesystem::create_directories("DB/RegistData");
    std::string list;
    for (int i = 0; i < 500; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", i);
        list += std::string(number) + "\r\n";
        std::filesystem::create_directories(std::string("DB/RegistData/") + number);
        WriteFile((std::string("DB/RegistData/") + number + "/UserInfo.dat").c_str(),
                  std::to_string(i) + "\r\nU" + std::to_string(i) + "\r\n\r\n");
    }
    WriteFile("DB/RegistData/User.dat", list);
    WriteFile("Application.ini", "[Application]\r\nRegistCount=500\r\n");
    CDemoController controller(NoPorts(folder));
    controller.LoadAll();
    ASSERT_EQ(controller.UserList().size(), 500u);
    EXPECT_EQ(controller.AddNewUser("one more"), -1);
    EXPECT_EQ(controller.Read().registCount, 500);
    EXPECT_EQ(controller.MakeDefaultUserName(), "USER501");
}

#ifndef _WIN32
TEST_F(ControllerLineIntegration, SilentModuleFailsAfterBothTries) {
    CPtyModuleHost module;
    ModuleFaults silent;
    silent.silent = true;
    module.SetFaults(silent);
    ASSERT_TRUE(module.Start());
    CDemoController controller(NoPorts(folder));
    controller.LoadAll();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(controller.Connect(module.OpenPath(), 115200).result, kProtocolTimeout);
    // 200 ms, then twice 500 ms and the 1-second wait of Get Version.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3200ms);
    const std::string ini = ReadFile("Application.ini");
    EXPECT_NE(ini.find("BaudRate=115200"), std::string::npos);
    EXPECT_NE(ini.find("COMPortName=" + module.OpenPath()), std::string::npos);
}
#endif

TEST_F(ControllerIntegration, SettingsAreWrittenOnlyOnceTheModuleTookThem) {
    EXPECT_EQ(controller.Read().deviceType, kExtendedDevice);
    DetectionSettings wanted = controller.Read().detection;
    wanted.exec.threshold[1] = 321;
    wanted.cameraAngle = 2;
    ModuleFaults refuse;
    refuse.responseCode = 0x42;
    module.SetFaults(refuse);
    const std::string before = ReadFile("Settings.ini");
    const DeviceOutcome refused = controller.ApplyAllSettings(wanted);
    EXPECT_EQ(refused.result, kProtocolOk);  // refused: the sequence stops at once
    EXPECT_EQ(refused.response, 0x42);
    EXPECT_EQ(ReadFile("Settings.ini"), before);
    EXPECT_EQ(controller.Read().detection.cameraAngle, 0);

    module.SetFaults({});
    EXPECT_TRUE(controller.ApplyAllSettings(wanted).ok());
    EXPECT_EQ(controller.Read().detection.cameraAngle, 2);
    EXPECT_EQ(controller.Read().detection.exec.threshold[1], 321);
    EXPECT_EQ(module.Emulator().Settings().cameraAngle, 2);
    EXPECT_EQ(module.Emulator().Settings().thresholds[1], 321);
    EXPECT_NE(ReadFile("Settings.ini").find("Hand=321"), std::string::npos);
}

TEST_F(ControllerIntegration, ChangedSettingsOnlyAreSent) {
    DetectionSettings s = controller.Read().detection;
    const std::uint64_t before = module.CommandsHandled();
    EXPECT_TRUE(controller.ApplyChangedSettings(s).ok());
    EXPECT_EQ(module.CommandsHandled(), before + 1);  // the version check only
    s.exec.sizeRange[0] = CRange(50, 600);
    s.cameraAngle = 1;
    s.exec.yawAngle = 1;
    EXPECT_TRUE(controller.ApplyChangedSettings(s).ok());
    EXPECT_EQ(module.CommandsHandled(), before + 5);
    EXPECT_EQ(module.Emulator().Settings().sizeRanges[0], 50);
    EXPECT_EQ(module.Emulator().Settings().yawCode, 1);

    // A module that refuses the camera angle: the angle is stored all the same, the rest is not sent.
    ModuleFaults refuse;
    refuse.responseCode = 0x42;
    module.SetFaults(refuse);
    s.exec.threshold[0] = 1;
    s.cameraAngle = 3;
    EXPECT_EQ(controller.ApplyChangedSettings(s).response, 0x42);
    EXPECT_EQ(controller.Read().detection.cameraAngle, 3);
    EXPECT_NE(controller.Read().detection.exec.threshold[0], 1);
}

TEST_F(ControllerIntegration, FullImageSizeFromTheModelTable) {
    int width = 0, height = 0;
    ASSERT_TRUE(controller.GetFullImageSize(&width, &height).ok());
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 960);
    ModuleIdentity other = ModuleIdentity::Extended();
    other.model = "QZM-K999";
    module.Emulator().SetIdentity(other);
    ASSERT_TRUE(controller.GetFullImageSize(&width, &height).ok());
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    std::string model, numbers;
    ASSERT_TRUE(controller.GetVersionText(&model, &numbers).ok());
    EXPECT_EQ(numbers, "1.2.0.2048");
}

TEST_F(ControllerLineIntegration, SimulatedModuleIsListedAndConnects) {
    CDemoController controller(NoPorts(folder));
    controller.AddSimulatedPort(std::make_unique<CSimulatedModulePort>("Simulated module"));
    controller.LoadAll();
    EXPECT_EQ(controller.PortList(), std::vector<std::string>{"Simulated module"});
    ASSERT_TRUE(controller.Connect("Simulated module", 921600).ok());
    EXPECT_EQ(controller.Read().deviceType, kExtendedDevice);
}

// The built-in module runs inside the program: an execution with its image and a registration go
// through it, and its stop in the middle of a session is a pulled cable the connection notices at
// once, after which the next command finds it started again.
TEST_F(ControllerLineIntegration, SimulatedModuleWorksInsideTheProgramAndComesBackAfterAStop) {
    WriteFile("DefSettings.dat", "500\t500\t500\t500\r\n30\t8192\t40\t8192\t64\t8192\r\n0\t0\r\n");
    CDemoController controller(NoPorts(folder));
    auto owned = std::make_unique<CSimulatedModulePort>("Simulated module");
    CSimulatedModulePort* simulated = owned.get();
    controller.AddSimulatedPort(std::move(owned));
    controller.LoadAll();
    ASSERT_TRUE(controller.Connect("Simulated module", 921600).ok());

    FunctionSwitches functions{};
    functions[kFunctionFace] = true;
    CImageData image;
    ExecutionReport report;
    ASSERT_TRUE(controller.ExecuteOnce(kImage320x240, functions, &image, &report).ok());
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(report.result.faces.size(), 1u);  // the one person of the default scene
    ASSERT_EQ(controller.AddNewUser("Ann"), 0);
    ASSERT_TRUE(controller.RegisterFace(0).ok());
    EXPECT_TRUE(std::filesystem::exists(CSimulatedModulePort::kStoreFile)) << "kept in the working folder";

    const auto start = std::chrono::steady_clock::now();
    simulated->Stop();
    DeviceOutcome outcome;
    while (controller.Port() != CDemoController::PortState::kLost &&
           std::chrono::steady_clock::now() - start < 10s)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(controller.Port(), CDemoController::PortState::kLost) << "noticed at once, without a command";

    // Started again on the next command, as a module plugged in again.
    outcome = controller.ExecuteOnce(kImage320x240, functions, &image, &report);
    ASSERT_TRUE(outcome.ok()) << outcome.result << " " << outcome.portError << " " << outcome.notSetUpAgain;
    EXPECT_EQ(controller.Port(), CDemoController::PortState::kOpen);
    EXPECT_EQ(image.Width(), 320);
}

TEST_F(ControllerIntegration, ExecuteOnceStoresChoicesAndTreatsUnknownSizesAsNoImage) {
    FunctionSwitches functions{};
    functions[kFunctionFace] = true;
    CImageData image;
    ExecutionReport report;
    ASSERT_TRUE(controller.ExecuteOnce(3, functions, &image, &report).ok());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(report.imageOption, kImageNone);
    EXPECT_EQ(controller.Read().executeImage, 3);
    const std::string settings = ReadFile("Settings.ini");
    EXPECT_NE(settings.find("ExecuteImage=3"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Function=4"), std::string::npos) << settings;

    // The report describes the run once: request, times, answer bytes as received, records, frame.
    const auto before = std::chrono::system_clock::now();
    ASSERT_TRUE(controller.ExecuteOnce(kImage320x240, functions, &image, &report).ok());
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.Height(), 240);
    EXPECT_EQ(report.image.Width(), 320);
    EXPECT_EQ(report.functions, functions);
    EXPECT_EQ(report.imageOption, kImage320x240);
    EXPECT_EQ(report.status, kProtocolOk);
    ASSERT_FALSE(report.result.faces.empty());
    ASSERT_GT(report.payload.size(), ExecImageSize(kImage320x240));
    EXPECT_EQ(report.payload[2], report.result.faces.size());  // the face count comes third
    EXPECT_GE(report.sentWallMs,
              std::chrono::duration_cast<std::chrono::milliseconds>(before.time_since_epoch()).count());
    EXPECT_GE(report.doneWallMs, report.sentWallMs);
    EXPECT_GE(report.doneSteadyNs, report.sentSteadyNs);
    EXPECT_EQ(report.responseTimeMs, (report.doneSteadyNs - report.sentSteadyNs) / 1000000);
}

// An album file load the module does not take leaves the PC as it was: users, RegistCount, the album
// backup and every file under ./DB; one it takes replaces them.
TEST_F(ControllerIntegration, AlbumLoadFollowsTheModule) {
    module.Emulator().SetFacesInView(1);
    ASSERT_EQ(controller.AddNewUser("Bob"), 0);
    ASSERT_TRUE(controller.RegisterFace(0).ok());
    ASSERT_TRUE(controller.SaveAlbumToFile("bob.qzc").ok());
    const std::vector<std::uint8_t> bobAlbum = module.Emulator().AlbumBytes();
    // A copy whose album the module refuses: its check sum is off.
    std::string broken = ReadFile("bob.qzc");
    broken[8 + bobAlbum.size() - 1] ^= 1;
    WriteFile("broken.qzc", broken);

    // The PC and the module now hold Ann (user 1).
    ASSERT_EQ(controller.AddNewUser("Ann"), 1);
    ASSERT_TRUE(controller.RegisterFace(1).ok());
    ASSERT_TRUE(controller.RemoveUser(0).ok());
    const std::vector<std::uint8_t> annAlbum = module.Emulator().AlbumBytes();
    ASSERT_EQ(WriteAlbumBackup("./DB/qzcxx.qzb", {static_cast<int>(annAlbum.size()), 1, annAlbum}), 0);
    const auto dbBefore = qzm::testing::SnapshotTree("DB");
    ASSERT_EQ(controller.Read().registCount, 2);

    struct Case {
        const char* what;
        const char* file;
        bool silent;
        int result;
        int response;  // what the outcome carries: kNothingReceived when no answer arrived
    };
    const Case failures[] = {
        {"module refuses the album", "broken.qzc", false, kProtocolOk, kRespBadAlbum},
        {"module does not answer", "bob.qzc", true, kProtocolTimeout, DeviceOutcome::kNothingReceived},
    };
    for (const Case& c : failures) {
        ModuleFaults faults;
        faults.silent = c.silent;
        module.SetFaults(faults);
        const DeviceOutcome outcome = controller.LoadAlbumFromFile(c.file);
        EXPECT_EQ(outcome.result, c.result) << c.what;
        EXPECT_EQ(outcome.response, c.response) << c.what;
        const std::vector<UserSummary> users = controller.UserList();
        ASSERT_EQ(users.size(), 1u) << c.what;
        EXPECT_EQ(users[0].name, "Ann") << c.what;
        EXPECT_EQ(users[0].dataCount, 1) << c.what;
        EXPECT_EQ(controller.Read().registCount, 2) << c.what;
        EXPECT_EQ(CSettingsStore().ReadRegistCount(), 2) << c.what;
        EXPECT_EQ(qzm::testing::SnapshotTree("DB"), dbBefore) << c.what;
        EXPECT_EQ(controller.GetAlbumProgress(), 100.0) << c.what;
        if (!c.silent) {
            // PC and module still agree. (The emulator applies a load it does not answer.)
            EXPECT_EQ(module.Emulator().AlbumBytes(), annAlbum);
            bool differ = true;
            ASSERT_TRUE(controller.CompareRegistrations(&differ).ok());
            EXPECT_FALSE(differ);
        }
    }
    module.SetFaults({});

    ASSERT_TRUE(controller.LoadAlbumFromFile("bob.qzc").ok());
    ASSERT_EQ(controller.UserList().size(), 1u);
    EXPECT_EQ(controller.UserList()[0].name, "Bob");
    EXPECT_EQ(controller.Read().registCount, 1);
    EXPECT_EQ(module.Emulator().AlbumBytes(), bobAlbum);
    bool differ = true;
    ASSERT_TRUE(controller.CompareRegistrations(&differ).ok());
    EXPECT_FALSE(differ);
    AlbumData backup;
    ASSERT_EQ(ReadAlbumBackup("./DB/qzcxx.qzb", backup), 0);
    EXPECT_EQ(backup.bytes, bobAlbum);
    EXPECT_FALSE(std::filesystem::exists("DB/RegistData.previous"));
}

#ifndef _WIN32
// The port's own failure stays in the outcome, so the user is told what is wrong with the port.
TEST_F(ControllerLineIntegration, ConnectKeepsThePortsOwnFailure) {
    CPtyModuleHost module{ModuleIdentity::Extended()};
    ASSERT_TRUE(module.Start());
    CDemoController first(NoPorts(folder));
    first.LoadAll();
    ASSERT_TRUE(first.Connect(module.OpenPath(), 921600).ok());

    CDemoController second(NoPorts(folder));
    second.LoadAll();
    DeviceOutcome outcome = second.Connect(module.OpenPath(), 921600);
    EXPECT_EQ(outcome.portError, kSerialBusy);
    EXPECT_EQ(outcome.port, module.OpenPath());
    EXPECT_FALSE(outcome.portText.empty());
    EXPECT_NE(MessageFor(outcome, DeviceOperation::kConnection).Format().find("in use by another program"),
              std::string::npos);

    const std::string missing = (folder.path() / "ttyUSB9").string();
    outcome = second.Connect(missing, 921600);
    EXPECT_EQ(outcome.portError, kSerialNotFound);
    EXPECT_EQ(outcome.port, missing);
    EXPECT_FALSE(outcome.ok());
}
#endif

#ifndef _WIN32
// A module unplugged while connected (an adapter pulled out): the exchange in progress ends as the
// port goes, well before its time-out, and says so; while the port is not there every command
// fails at once and says that. Plugged in again with its own power-on settings, the next command
// first sends what connecting sends, the version query and the stored settings; a module that does
// not take them gets nothing else, and the user is told.
TEST_F(ControllerLineIntegration, AnUnpluggedModuleIsNoticedAtOnceAndBroughtBackInLine) {
    constexpr auto kLong = 60s;
    WriteFile("CmdTimeout.ini", "[Command]\r\nGetVersion=60\r\n");
    WriteFile("DefSettings.dat", "600\t600\t600\t600\r\n30\t8192\t40\t8192\t64\t8192\r\n1\t1\r\n");
    const std::string link = (folder.path() / "module").string();
    auto module = std::make_unique<CPtyModuleHost>(ModuleIdentity::Extended());
    ASSERT_TRUE(module->Start(link));
    CDemoController controller(NoPorts(folder));
    controller.LoadAll();
    ASSERT_TRUE(controller.Connect(link, 921600).ok());
    DetectionSettings angled = controller.Read().detection;
    angled.cameraAngle = 1;
    ASSERT_TRUE(controller.ApplyAllSettings(angled).ok());
    const StoredSettings stored = module->Emulator().Settings();
    EXPECT_EQ(stored.thresholds[0], 600);

    ModuleFaults silent;
    silent.silent = true;
    module->SetFaults(silent);
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t handled = module->CommandsHandled();
    auto asked = std::async(std::launch::async, [&] { return controller.GetVersionText(nullptr, nullptr); });
    while (module->CommandsHandled() == handled)
        std::this_thread::sleep_for(1ms);
    module->Stop();
    DeviceOutcome outcome = asked.get();
    EXPECT_TRUE(outcome.portLost);
    EXPECT_EQ(MessageFor(outcome, DeviceOperation::kQuery).Format(),
              "Device is not responding.\nPlease verify connection.\nThe serial port " + link +
                  " was disconnected.");
    outcome = controller.GetVersionText(nullptr, nullptr);
    EXPECT_EQ(outcome.portError, kSerialNotFound);
    EXPECT_NE(MessageFor(outcome, DeviceOperation::kExecution)
                  .Format()
                  .find("The serial port " + link + " is not there"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kLong);

    // Back, power-cycled: it runs with the PC's settings again before the execution.
    module = std::make_unique<CPtyModuleHost>(ModuleIdentity::Extended());
    ASSERT_TRUE(module->Start(link));
    EXPECT_NE(module->Emulator().Settings(), stored);
    CImageData image;
    ExecutionReport report;
    EXPECT_TRUE(controller.ExecuteOnce(kImageNone, controller.Read().activeFunctions, &image, &report).ok());
    EXPECT_EQ(module->Emulator().Settings(), stored);

    // Back again, but refusing the thresholds: the execution is not sent, and the message says why.
    module->Stop();
    while (controller.Port() != CDemoController::PortState::kLost)
        std::this_thread::sleep_for(1ms);
    module = std::make_unique<CPtyModuleHost>(ModuleIdentity::Extended());
    ModuleFaults refuse;
    refuse.onlyCommand = kCmdSetThreshold;
    refuse.responseCode = 0x05;
    module->SetFaults(refuse);
    ASSERT_TRUE(module->Start(link));
    outcome = controller.ExecuteOnce(kImageNone, controller.Read().activeFunctions, &image, &report);
    EXPECT_TRUE(outcome.notSetUpAgain);
    EXPECT_EQ(MessageFor(outcome, DeviceOperation::kExecution).Format(),
              "The module on " + link +
                  " is back, but it could not be set up as on connecting (version and detection settings); "
                  "nothing else was sent to it.\nThe module refused the command. (error code 05)");
    EXPECT_EQ(module->CommandsHandled(), 3u);  // version, camera angle, thresholds
}
#endif

// The window thread reads settings, switches, users, image slots and progress while a worker runs
// operations that change them. Every read is a copy taken under a lock (ThreadSanitizer sees any
// race), and the album progress stays between 0 and 100.
TEST_F(ControllerIntegration, WindowReadsWhileAWorkerRunsOperations) {
    module.Emulator().SetFacesInView(1);
    ASSERT_EQ(controller.AddNewUser("Alice"), 0);
    constexpr int kRounds = 5;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        FunctionSwitches functions{};
        CImageData image;
        for (int i = 0; i < kRounds; ++i) {
            functions[i % 3] = !functions[i % 3];
            ExecutionReport report;
            EXPECT_TRUE(controller.ExecuteOnce(i % 3, functions, &image, &report).ok());
            EXPECT_TRUE(controller.RegisterFace(0).ok());
            DetectionSettings s = controller.Read().detection;
            s.exec.threshold[0] = 100 + i;
            EXPECT_TRUE(controller.ApplyChangedSettings(s).ok());
            EXPECT_TRUE(controller.SaveAlbumToFile("album.qzc").ok());
        }
        done = true;
    });
    double lowest = 100.0, highest = 0.0;
    while (!done) {
        const CDemoController::Snapshot seen = controller.Read();
        EXPECT_FALSE(seen.activeFunctions[kFunctionDirection]);
        const int threshold = seen.detection.exec.threshold[0];
        EXPECT_TRUE(threshold == 500 || (threshold >= 100 && threshold < 100 + kRounds)) << threshold;
        EXPECT_LE(seen.executeImage, 2);
        for (const UserSummary& user : controller.UserList())
            EXPECT_EQ(user.name, "Alice");
        EXPECT_EQ(controller.UserNames().size(), 1u);
        const auto slots = controller.LoadUserImages(0);
        EXPECT_EQ(slots[kRounds].dataNumber, -1);
        const double progress = controller.GetAlbumProgress();
        lowest = std::min(lowest, progress);
        highest = std::max(highest, progress);
        std::this_thread::sleep_for(1ms);
    }
    worker.join();
    EXPECT_GE(lowest, 0.0);
    EXPECT_LE(highest, 100.0);
    EXPECT_EQ(controller.GetAlbumProgress(), 100.0);
    EXPECT_EQ(controller.UserList().at(0).dataCount, kRounds);
    EXPECT_EQ(controller.Read().detection.exec.threshold[0], 100 + kRounds - 1);
}
