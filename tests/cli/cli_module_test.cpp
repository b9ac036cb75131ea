// The tool against a module that misbehaves on purpose: an emulator of the test's own, served on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_output.h"
#include "cli_test_support.h"
#include "core/demo_controller.h"
#include "device/qzm_frame.h"
#include "sim/pty_module_host.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

// The tool against an emulator of the test's own on a pseudo-terminal, so that the test can make
// one command fail while the module otherwise works. Its registrations last as long as the test.
class CliModuleIntegration : public CliIntegration {
protected:
    void SetUp() override {
        CliIntegration::SetUp();
        module.Emulator().SetFacesInView(1);
        ASSERT_TRUE(module.Start());
    }

    ProgramRun Run(const std::string& args, DiskLimit disk = DiskLimit::kNone) {
        return Cli("--port '" + module.OpenPath() + "' " + args, disk);
    }

    // The module answers this command with the response code, or, silent, not at all.
    void Fail(std::uint8_t command, std::uint8_t responseCode, bool silent = false) {
        ModuleFaults faults;
        faults.onlyCommand = command;
        faults.responseCode = responseCode;
        faults.silent = silent;
        module.SetFaults(faults);
    }

    // The PC's store as files: what a failed command must leave as it was.
    std::string StoreFiles() {
        std::string files;
        for (const auto& entry : fs::recursive_directory_iterator(folder.path() / "DB" / "RegistData")) {
            if (entry.is_regular_file())
                files += entry.path().string() + "\n" + ReadFile(entry.path()) + "\n";
        }
        return files;
    }

    CPtyModuleHost module{ModuleIdentity::Extended()};
};

}  // namespace

// A module that refuses a command: the program's message with the module's code, exit 1, and
// neither the PC's store nor the album backup changed.
TEST_F(CliModuleIntegration, RefusalsAreReportedWithTheirCodeAndChangeNothing) {
    ASSERT_EQ(Run("add-user Alice").out, "0\n");
    ASSERT_EQ(Run("register 0").status, 0);
    WriteFile("DB/qzcxx.qzb", "sentinel");
    const std::string store = StoreFiles();
    const std::string refused = "The module refused the command. (error code 05)\n";
    struct Case {
        const char* args;
        std::uint8_t command;
        std::string err;
    } const cases[] = {
        {"delete-data 0 0", kCmdDeleteData, "Failed to delete.\n" + refused},
        {"delete-data 0 all", kCmdDeleteUser, "Failed to delete.\n" + refused},
        {"delete-user 0", kCmdDeleteUser, "Failed to delete.\n" + refused},
        {"delete-all", kCmdDeleteAll, "Failed to delete.\n" + refused},
        {"register 0", kCmdRegister, "Registration unsuccessful.\n" + refused},
        {"check", kCmdGetUserData, "Device is not responding.\nPlease verify connection.\n" + refused},
        {"version", kCmdGetVersion, "Device is not responding.\nPlease verify connection.\n" + refused},
        {"album save other.qzc", kCmdSaveAlbum, "Cannot save other.qzc. (error code 05)\n"},
    };
    for (const Case& c : cases) {
        Fail(c.command, 0x05);
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(StoreFiles(), store) << c.args;
        EXPECT_EQ(ReadFile("DB/qzcxx.qzb"), "sentinel") << c.args;
    }

    // A refused execution still shows its block, and the run ends with 1.
    Fail(kCmdExecuteEx, 0x05);
    const ProgramRun run = Run("execute --image none");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Return code:05"), std::string::npos) << run.out;
}

// The start-up check's rule: with users in the store compare them, with none ask the module.
TEST_F(CliModuleIntegration, CheckAsksTheModuleAlsoWhenThePcKnowsNoUsers) {
    EXPECT_EQ(Run("check").out, "match\n");
    ASSERT_EQ(Run("add-user Alice").out, "0\n");
    ASSERT_EQ(Run("register 0").status, 0);
    fs::remove_all(folder.path() / "DB");  // the PC forgets; the module keeps the face
    ProgramRun run = Run("check");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "differ\n");

    Fail(kCmdGetUserData, 0, true);
    run = Run("check");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Device is not responding.\nPlease verify connection.\n");
}

// The module took the change but the PC's files could not follow (a full disk): the tool says which
// file, that module and PC now differ, and that the album backup could not be saved either.
TEST_F(CliModuleIntegration, WhenThePcCannotFollowTheModuleTheToolSaysSo) {
    struct Case {
        const char* setup;
        const char* args;
        const char* file;  // the first file the PC could not write
    } const cases[] = {
        {"", "register 0", "./DB/RegistData/000/00"},
        {"register 0", "delete-data 0 0", "./DB/RegistData/000/UserInfo.dat"},
        {"register 0", "delete-user 0", "./DB/RegistData/User.dat"},
        {"register 0", "delete-all", "./DB/RegistData/User.dat"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run("delete-all").status, 0);
        ASSERT_EQ(Run("add-user Alice").out, "0\n");
        // Bob keeps User.dat from becoming empty: an empty file would still be written.
        ASSERT_EQ(Run("add-user Bob").out, "1\n");
        if (*c.setup != '\0') {
            ASSERT_EQ(Run(c.setup).status, 0) << c.setup;
        }
        const ProgramRun run = Run(c.args, DiskLimit::kFull);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err, std::string("The module carried out the change, but the PC could not write ") +
                               c.file +
                               " (File too large).\n"
                               "The registration data in Device and Application now differ.\n"
                               "Compare them with 'qzm-cli check'; 'qzm-cli delete-all' deletes all data in "
                               "both.\n"
                               "Cannot save the Album. (error code 00)\n"
                               "Cannot write ./DB/qzcxx.qzb (File too large).\n")
            << c.args;
        EXPECT_EQ(Run("check").out, "differ\n") << c.args;
    }
}

// After every command that changed the module's registrations, ./DB/qzcxx.qzb holds the module's
// album, as the windowed program leaves it when a connection ends; its next start then restores what
// the module holds instead of an older album. Commands that change nothing send nothing for it.
TEST_F(CliModuleIntegration, ChangesKeepTheAlbumBackupForTheNextStart) {
    auto backupIsModuleAlbum = [&] {
        const std::string backup = ReadFile("DB/qzcxx.qzb");
        const std::vector<std::uint8_t> album = module.Emulator().AlbumBytes();
        return backup.size() == album.size() + 8 &&
               backup.substr(8) == std::string(album.begin(), album.end());
    };
    ASSERT_EQ(Run("add-user Alice").out, "0\n");
    ASSERT_EQ(Run("add-user Bob").out, "1\n");
    const std::uint64_t start = module.CommandsHandled();
    ASSERT_EQ(Run("users").status, 0);
    const std::uint64_t connecting = module.CommandsHandled() - start;
    ASSERT_EQ(Run("delete-user 1").status, 0);  // Bob has no data: nothing to delete on the module
    EXPECT_EQ(module.CommandsHandled() - start, 2 * connecting);
    EXPECT_FALSE(fs::exists(folder.path() / "DB" / "qzcxx.qzb"));

    struct Case {
        const char* args;
        bool changesModule;
    } const cases[] = {
        {"register 0", true},        {"delete-data 0 0", true},   {"register 0", true},
        {"album save a.qzc", false}, {"delete-data 0 all", true}, {"delete-user 0", false},
        {"add-user Carol", false},   {"register 0", true},        {"delete-all", true},
        {"album load a.qzc", true},
    };
    for (const Case& c : cases) {
        WriteFile("DB/qzcxx.qzb", "stale");
        const ProgramRun run = Run(c.args);
        ASSERT_EQ(run.status, 0) << c.args << "\n" << run.err;
        if (c.changesModule) {
            EXPECT_TRUE(backupIsModuleAlbum()) << c.args;
        } else {
            EXPECT_EQ(ReadFile("DB/qzcxx.qzb"), "stale") << c.args;
        }
    }
    ASSERT_EQ(module.Emulator().RegisteredEntries(), 1u);

    // The windowed program's next start sends the backup: the module keeps Alice's face.
    {
        CDemoController controller{
            {(folder.path() / "no-sys").string(), (folder.path() / "no-dev").string()}};
        controller.LoadAll();
        ASSERT_TRUE(controller.Connect(module.OpenPath(), 921600).ok());
        EXPECT_TRUE(controller.LoadAlbumBackup().ok());
        bool differ = true;
        EXPECT_TRUE(controller.CheckRegistrations(&differ).ok());
        EXPECT_FALSE(differ);
    }
    EXPECT_EQ(module.Emulator().RegisteredEntries(), 1u);
}
