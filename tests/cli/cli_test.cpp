// qzm-cli end to end against its built-in simulated module or an emulator of the test's own, and its
// option and output helpers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/cli_output.h"
#include "core/demo_controller.h"
#include "device/qzm_frame.h"
#include "record/recording.h"
#include "sim/pty_module_host.h"
#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// How the tool's files behave in a run.
enum class Disk {
    kNormal,
    kFull,     // no file can grow (RLIMIT_FSIZE 0, SIGXFSZ ignored): every write fails, as on a full disk
    kLimited,  // files grow to kLimitedBytes, then every write fails: a disk that fills up meanwhile
};
constexpr rlim_t kLimitedBytes = 2 * 1024 * 1024;  // a few dozen pages of 64 KiB

class CliIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        // The delivered files, as beside the installed program.
        for (const char* name : {"DefSettings.dat", "FullImageInfo.dat", "qzd00.qzb"}) {
            fs::copy_file(fs::path(QZM_DATA_DIR) / name, folder.path() / name);
        }
    }

    // Runs the tool in the test's folder; the shell only splits and unquotes the arguments. Output
    // comes through pipes, so it still arrives when files cannot be written.
    CliRun Cli(const std::string& args, Disk disk = Disk::kNormal) {
        const std::string command =
            std::string("exec '") + QZM_CLI_PATH + "' --dir '" + folder.path().string() + "' " + args;
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return {-1, "", "no pipe"};
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = disk == Disk::kFull ? 0 : kLimitedBytes;
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            if (disk != Disk::kNormal) {
                signal(SIGXFSZ, SIG_IGN);
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        CliRun run{-1, "", ""};
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        std::string* texts[2] = {&run.out, &run.err};
        int open = 2;
        while (open > 0 && poll(fds, 2, -1) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    texts[i]->append(buffer, static_cast<std::size_t>(n));
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    ScopedWorkingFolder folder;  // the tool is told it with --dir; the test reads it as its own
};

// The tool against an emulator of the test's own on a pseudo-terminal, so that the test can make
// one command fail while the module otherwise works. Its registrations last as long as the test.
class CliModuleIntegration : public CliIntegration {
protected:
    void SetUp() override {
        CliIntegration::SetUp();
        module.Emulator().SetFacesInView(1);
        ASSERT_TRUE(module.Start());
    }

    CliRun Run(const std::string& args, Disk disk = Disk::kNormal) {
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

TEST_F(CliIntegration, UsageErrorsExitTwo) {
    // The port is not there: a command that connected first would fail with 1 instead.
    const std::string port = "--port '" + (folder.path() / "no-such-port").string() + "' ";
    for (const std::string& args : std::vector<std::string>{"",
                                                            "--bogus version",
                                                            "--baud 1234 version",
                                                            "--simulate=odd version",
                                                            "--port /dev/null --simulate version",
                                                            "--simulate execute --image 999",
                                                            "--simulate execute --functions body,nose",
                                                            "--simulate delete-data 0 12",
                                                            "--simulate frobnicate",
                                                            port + "rename-user 1",
                                                            port + "rename-user x Bob",
                                                            port + "delete-user",
                                                            port + "delete-user 500",
                                                            port + "register -1",
                                                            port + "register 1 2",
                                                            port + "delete-data 0",
                                                            port + "delete-data 0 x",
                                                            port + "add-user",
                                                            port + "add-user A B",
                                                            port + "users x",
                                                            port + "check now",
                                                            port + "album save",
                                                            port + "album copy a.qzc",
                                                            port + "execute --count 0",
                                                            port + "version 2"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << args;
    }
}

TEST_F(CliIntegration, PortsAndVersion) {
    CliRun run = Cli("ports");
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(run.out.size(), std::string("Simulated module\n").size());
    EXPECT_EQ(run.out.substr(run.out.size() - 17), "Simulated module\n");

    run = Cli("--simulate version");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "QZM-K200\t1.2.0.2048\n");
    run = Cli("--simulate=basic version");
    EXPECT_EQ(run.out, "QZM-K100\t1.1.0.1024\n");

    // The connection's port and rate are stored as the program stores them.
    EXPECT_NE(ReadFile("Application.ini").find("COMPortName=Simulated module"), std::string::npos);
}

TEST_F(CliIntegration, UnknownPortFailsWithTheProgramsMessage) {
    const std::string port = (folder.path() / "no-such-port").string();
    const CliRun run = Cli("--port '" + port + "' version");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Device is not responding.\nPlease verify connection.\nThe serial port " + port +
                           " is not there (no such serial port).\n");
}

TEST_F(CliIntegration, UsersAreKeptInTheStore) {
    EXPECT_EQ(Cli("--simulate add-user Alice").out, "0\n");
    EXPECT_EQ(Cli("--simulate add-user Bob").out, "1\n");
    CliRun run = Cli("--simulate add-user Alice");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("already registered"), std::string::npos);
    EXPECT_EQ(Cli("--simulate rename-user 1 Robert").status, 0);
    EXPECT_EQ(Cli("--simulate users").out, "0\tAlice\t0\n1\tRobert\t0\n");
    EXPECT_EQ(Cli("--simulate delete-user 0").status, 0);
    EXPECT_EQ(Cli("--simulate users").out, "1\tRobert\t0\n");
    run = Cli("--simulate rename-user 7 Nobody");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(fs::exists(folder.path() / "DB" / "RegistData" / "001" / "UserInfo.dat"));
}

TEST_F(CliIntegration, ExecuteStoresItsChoicesAndSavesFrames) {
    const CliRun run =
        Cli("--simulate execute --functions body,face,age --image 160x120 --count 2 --json --save-frames f");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_EQ(run.out.rfind("{\"run\":0,\"status\":0,\"returnCode\":0,", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\"functions\":[\"body\",\"face\",\"age\"]"), std::string::npos);
    EXPECT_NE(run.out.find("\"image\":{\"width\":160,\"height\":120}"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder.path() / "f" / "frame-000000.pgm"));
    EXPECT_EQ(fs::file_size(folder.path() / "f" / "frame-000001.pgm"), 15u + 19200u);
    const std::string settings = ReadFile("Settings.ini");
    EXPECT_NE(settings.find("Function=21"), std::string::npos) << settings;  // bits 0, 2 and 4
    EXPECT_NE(settings.find("ExecuteImage=2"), std::string::npos);

    // Without options the stored choices are used; the block is the result log's text.
    const CliRun again = Cli("--simulate execute");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("-------"), 0u);
    EXPECT_NE(again.out.find("Execute Body:On Hand:Off Face:On Dir.:Off Age:On "), std::string::npos)
        << again.out;

    // Every function off, as the panel allows; stored like any other choice.
    const CliRun none = Cli("--simulate execute --functions none --image none");
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_NE(none.out.find("Execute Body:Off Hand:Off Face:Off Dir.:Off Age:Off "), std::string::npos)
        << none.out;
    EXPECT_NE(ReadFile("Settings.ini").find("Function=0\r\n"), std::string::npos);
}

TEST(CliOptionsTest, EstimationsOnlyWithFace) {
    struct {
        std::vector<std::string> args;
        bool ok;
        std::array<bool, 10> functions;
    } const cases[] = {
        {{"--functions", "all"}, true, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {{"--functions", "body,age,recognition"}, true, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{"--functions", "face,recognition"}, true, {0, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {{"--functions", "none"}, true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{"--functions", "face,"}, false, {}},
        {{"--count", "0"}, false, {}},
        {{"--count", "x"}, false, {}},
        {{"--image"}, false, {}},
    };
    for (const auto& c : cases) {
        ExecuteOptions options;
        std::string problem;
        EXPECT_EQ(ParseExecuteOptions(c.args, options, problem), c.ok) << c.args[0];
        if (c.ok) {
            ASSERT_TRUE(options.functions) << c.args[1];
            EXPECT_EQ(*options.functions, c.functions) << c.args[1];
        }
    }
}

TEST(CliOptionsTest, TextHelpers) {
    EXPECT_EQ(TrimModelText(std::string("QZM-K200  \0\0", 12)), "QZM-K200");
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(ProgressBarText(50, 10), "[#####-----]  50 %");
    EXPECT_EQ(ProgressBarText(130, 4), "[####] 100 %");
    EXPECT_EQ(FramePath("d", 12), "d/frame-000012.pgm");
}

TEST_F(CliIntegration, RegistrationsAndAlbumsWithTheSimulatedModule) {
    ASSERT_EQ(Cli("--simulate add-user Alice").out, "0\n");
    CliRun run = Cli("--simulate register 0");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0\n");
    // The simulated module kept the registration between runs: it recognises Alice.
    run = Cli("--simulate execute --functions face,recognition --image none");
    EXPECT_NE(run.out.find("Recognition \tAlice Confidence:"), std::string::npos) << run.out;
    EXPECT_EQ(Cli("--simulate check").out, "match\n");

    const std::string album = (folder.path() / "saved.qzc").string();
    ASSERT_EQ(Cli("--simulate album save '" + album + "'").status, 0);
    ASSERT_EQ(Cli("--simulate delete-all").status, 0);
    EXPECT_EQ(Cli("--simulate users").out, "");
    run = Cli("--simulate album load '" + album + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Cli("--simulate users").out, "0\tAlice\t1\n");
    EXPECT_EQ(Cli("--simulate check").out, "match\n");

    // A file that is no album is refused with the program's message; the store stays.
    WriteFile("broken.qzc", "not an album");
    run = Cli("--simulate album load '" + (folder.path() / "broken.qzc").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot open"), std::string::npos) << run.err;
    EXPECT_EQ(Cli("--simulate users").out, "0\tAlice\t1\n");
}

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
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(StoreFiles(), store) << c.args;
        EXPECT_EQ(ReadFile("DB/qzcxx.qzb"), "sentinel") << c.args;
    }

    // A refused execution still shows its block, and the run ends with 1.
    Fail(kCmdExecuteEx, 0x05);
    const CliRun run = Run("execute --image none");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Return code:05"), std::string::npos) << run.out;
}

// The start-up check's rule: with users in the store compare them, with none ask the module.
TEST_F(CliModuleIntegration, CheckAsksTheModuleAlsoWhenThePcKnowsNoUsers) {
    EXPECT_EQ(Run("check").out, "match\n");
    ASSERT_EQ(Run("add-user Alice").out, "0\n");
    ASSERT_EQ(Run("register 0").status, 0);
    fs::remove_all(folder.path() / "DB");  // the PC forgets; the module keeps the face
    CliRun run = Run("check");
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
        const CliRun run = Run(c.args, Disk::kFull);
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
        const CliRun run = Run(c.args);
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

namespace {

// RFC 4180: fields split at commas outside quotes, "" inside quotes is one quote, CR LF ends a row.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.emplace_back(1);
            ++i;
        } else {
            rows.back().back() += c;
        }
    }
    rows.pop_back();  // after the last line end
    return rows;
}

// The first column of the first row of a query on the recording, opened as any reader would.
std::string Query(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string value = "(cannot open)";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        value = "(" + std::string(sqlite3_errmsg(db)) + ")";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(statement, 0);
            value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return value;
}

}  // namespace

// Every run goes into the recording: its JSON Lines export is what execute printed, its CSV reads
// back with a CSV reader to the same detections, info sums it up, and a foreign file is refused.
TEST_F(CliIntegration, RecordExportAndInfo) {
    const std::string rec = (folder.path() / "runs.qzmrec").string();
    const CliRun executed =
        Cli("--simulate execute --functions all --image 160x120 --count 6 --json --record '" + rec +
            "' --frames");
    ASSERT_EQ(executed.status, 0) << executed.err;
    EXPECT_EQ(Query(rec, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Query(rec, "SELECT count(*) FROM run"), "6");
    EXPECT_EQ(Query(rec, "SELECT count(*) FROM run WHERE length(frame) = 19200 AND image_width = 160"), "6");
    EXPECT_EQ(Query(rec, "SELECT model || ' ' || firmware || ' ' || port FROM session"),
              "QZM-K200 1.2.0.2048 Simulated module");
    EXPECT_NE(Query(rec, "SELECT ended_ms FROM session"), "");

    const CliRun jsonl = Cli("export '" + rec + "' --format jsonl");
    ASSERT_EQ(jsonl.status, 0) << jsonl.err;
    EXPECT_EQ(jsonl.out, executed.out);

    const std::string csvPath = (folder.path() / "runs.csv").string();
    ASSERT_EQ(Cli("export '" + rec + "' --format csv --out '" + csvPath + "'").status, 0);
    const auto rows = ReadCsv(ReadFile(csvPath));
    ASSERT_FALSE(rows.empty());
    const std::vector<std::string>& header = rows[0];
    auto column = [&](const char* name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    std::size_t faceRow = 1;
    std::istringstream lines(executed.out);
    std::string line;
    std::size_t detections = 0;
    while (std::getline(lines, line)) {
        const auto run = nlohmann::json::parse(line);
        detections += run["bodies"].size() + run["hands"].size() + run["faces"].size();
        for (const auto& face : run["faces"]) {
            while (faceRow < rows.size() && rows[faceRow][column("kind")] != "face")
                ++faceRow;
            ASSERT_LT(faceRow, rows.size());
            const auto& row = rows[faceRow++];
            EXPECT_EQ(row[column("run")], std::to_string(run["run"].get<int>() + 1));
            EXPECT_EQ(row[column("x")], std::to_string(face["detection"]["x"].get<int>()));
            EXPECT_EQ(row[column("age")], std::to_string(face["age"]["age"].get<int>()));
            const std::string scores = face["expression"]["scores"].dump();
            EXPECT_EQ(row[column("expression_scores")], scores.substr(1, scores.size() - 2));
        }
    }
    EXPECT_EQ(rows.size() - 1, detections);
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), header.size());

    const CliRun info = Cli("info '" + rec + "'");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("runs\t6\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("face\t6\n"), std::string::npos) << info.out;

    // Files that are not recordings, read without a port: refused with the reason.
    WriteFile("notes.txt", "not a recording at all, but long enough to look like a header........");
    sqlite3* other = nullptr;
    sqlite3_open((folder.path() / "other.db").string().c_str(), &other);
    sqlite3_exec(other, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    for (const char* name : {"notes.txt", "other.db", "missing.qzmrec"}) {
        const std::string path = "'" + (folder.path() / name).string() + "'";
        for (const std::string& args : {"info " + path, "export " + path + " --format csv"}) {
            const CliRun run = Cli(args);
            EXPECT_EQ(run.status, 1) << args;
            EXPECT_NE(run.err.find("Cannot read the recording"), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
    }
    EXPECT_NE(Cli("info '" + (folder.path() / "other.db").string() + "'").err.find("not a QZM-K recording"),
              std::string::npos);
}

// A recording whose program is killed mid-run opens cleanly and holds every run committed before.
TEST_F(CliIntegration, RecordingKilledMidRunKeepsEveryCommittedRun) {
    const std::string rec = (folder.path() / "killed.qzmrec").string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(QZM_CLI_PATH, QZM_CLI_PATH, "--dir", folder.path().c_str(), "--simulate", "execute",
              "--functions", "all", "--image", "160x120", "--count", "100000000", "--record", rec.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    int committed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (committed < 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::string count = Query(rec, "SELECT count(*) FROM run");
        committed = count.empty() || count[0] == '(' ? 0 : std::stoi(count);
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_GE(committed, 20);
    EXPECT_EQ(Query(rec, "PRAGMA integrity_check"), "ok");
    EXPECT_GE(std::stoi(Query(rec, "SELECT count(*) FROM run")), committed);
    EXPECT_EQ(Query(rec,
                    "SELECT count(*) FROM run r WHERE NOT EXISTS "
                    "(SELECT 1 FROM detection d WHERE d.run = r.number AND d.kind = 'face')"),
              "0");
    const CliRun info = Cli("info '" + rec + "'");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("ended\t(not ended cleanly)"), std::string::npos) << info.out;
}

// A disk that fills up stops the recording with a message; the executions go on and every run
// recorded before stays readable.
TEST_F(CliIntegration, FullDiskStopsTheRecordingAndKeepsWhatWasWritten) {
    const std::string rec = (folder.path() / "full.qzmrec").string();
    const CliRun run =
        Cli("--simulate execute --image 320x240 --count 40 --record '" + rec + "' --frames", Disk::kLimited);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The recording stopped: " + rec + " could not be written"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("The runs recorded before are kept."), std::string::npos);
    std::size_t executions = 0;
    for (std::size_t at = run.out.find("Execute "); at != std::string::npos;
         at = run.out.find("Execute ", at + 1))
        ++executions;
    EXPECT_EQ(executions, 40u);  // the executions went on
    EXPECT_EQ(Query(rec, "PRAGMA integrity_check"), "ok");
    const int kept = std::stoi(Query(rec, "SELECT count(*) FROM run"));
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 40);
    const CliRun info = Cli("info '" + rec + "'");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("runs\t" + std::to_string(kept) + "\n"), std::string::npos) << info.out;
}

// A recording stands in for the module: the same request gets the recorded answer byte for byte,
// another one the recorded records of the functions it asks for; a foreign file is refused.
TEST_F(CliIntegration, ReplayAnswersWithTheRecordedRuns) {
    const std::string recorded = (folder.path() / "recorded.qzmrec").string();
    const std::string replayed = (folder.path() / "replayed.qzmrec").string();
    const std::string request = "execute --functions all --image 160x120 --count 4 --json --record ";
    const CliRun original = Cli("--simulate " + request + "'" + recorded + "' --frames");
    ASSERT_EQ(original.status, 0) << original.err;
    const CliRun replay = Cli("--simulate=replay:'" + recorded + "' " + request + "'" + replayed + "'");
    ASSERT_EQ(replay.status, 0) << replay.err;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(replayed.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_exec(db, ("ATTACH '" + recorded + "' AS recorded").c_str(), nullptr, nullptr, nullptr);
    sqlite3_stmt* same = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT count(*) FROM run r JOIN recorded.run o ON o.number = r.number "
                       "WHERE o.payload = r.payload",
                       -1, &same, nullptr);
    ASSERT_EQ(sqlite3_step(same), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(same, 0), 4);
    sqlite3_finalize(same);
    sqlite3_close(db);

    // Fewer functions and another image size: the recorded values of those functions, in order.
    const CliRun reduced = Cli("--simulate=replay:'" + recorded +
                               "' execute --functions face,age --image 320x240 --count 4 --json");
    ASSERT_EQ(reduced.status, 0) << reduced.err;
    std::istringstream full(original.out), part(reduced.out);
    std::string fullLine, partLine;
    int runs = 0;
    while (std::getline(full, fullLine) && std::getline(part, partLine)) {
        const auto was = nlohmann::json::parse(fullLine);
        const auto now = nlohmann::json::parse(partLine);
        EXPECT_TRUE(now["bodies"].is_null());
        ASSERT_EQ(now["faces"].size(), was["faces"].size());
        for (std::size_t i = 0; i < now["faces"].size(); ++i) {
            EXPECT_EQ(now["faces"][i]["detection"], was["faces"][i]["detection"]);
            EXPECT_EQ(now["faces"][i]["age"], was["faces"][i]["age"]);
            EXPECT_TRUE(now["faces"][i]["gender"].is_null());
        }
        EXPECT_EQ(now["image"]["width"], 320);
        ++runs;
    }
    EXPECT_EQ(runs, 4);

    WriteFile("notes.txt", "not a recording");
    const CliRun foreign = Cli("--simulate=replay:'" + (folder.path() / "notes.txt").string() + "' version");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("Cannot replay the recording"), std::string::npos) << foreign.err;
}

// stats reads a recording alone: text by default, one JSON object, or the threshold table as CSV
// once the runs are tagged; untagged runs get the hint, a foreign file and bad options are refused.
TEST_F(CliIntegration, StatsOfARecording) {
    const std::string untagged = (folder.path() / "untagged.qzmrec").string();
    const std::string tagged = (folder.path() / "tagged.qzmrec").string();
    ASSERT_EQ(Cli("--simulate execute --functions all --count 5 --record '" + untagged + "'").status, 0);
    ASSERT_EQ(Cli("--simulate execute --functions all --count 5 --record '" + tagged + "' --person stranger")
                  .status,
              0);
    EXPECT_EQ(Query(tagged, "SELECT count(*) FROM run WHERE person = -1"), "5");

    const CliRun text = Cli("stats '" + untagged + "'");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("runs\t5 (0 not answered)\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("No runs are tagged with the person in view: record with --person"),
              std::string::npos);
    const CliRun noTable = Cli("stats '" + untagged + "' --csv");
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.err.find("No runs are tagged"), std::string::npos) << noTable.err;

    const CliRun json = Cli("stats '" + tagged + "' --json --far 0.5");
    ASSERT_EQ(json.status, 0) << json.err;
    const auto figures = nlohmann::json::parse(json.out);
    EXPECT_EQ(figures["runs"], 5);
    EXPECT_EQ(figures["tagged_runs"], 5);
    EXPECT_EQ(figures["functions"]["face"]["runs"], 5);
    EXPECT_EQ(figures["thresholds"]["stranger_runs"], 5);
    EXPECT_EQ(figures["thresholds"]["false_accept_target"], 0.005);
    EXPECT_EQ(figures["thresholds"]["rows"].size(), 1001u);

    const CliRun csv = Cli("stats '" + tagged + "' --csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto rows = ReadCsv(csv.out);
    ASSERT_EQ(rows.size(), 1002u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"threshold", "true_accept_rate", "false_accept_rate",
                                                 "false_reject_rate"}));
    EXPECT_EQ(rows[1000][0], "999");
    EXPECT_EQ(rows[1][1], "");  // no registered user in view: no accept rate

    WriteFile("notes.txt", "not a recording at all, but long enough to look like a header........");
    sqlite3* other = nullptr;
    sqlite3_open((folder.path() / "other.db").string().c_str(), &other);
    sqlite3_exec(other, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    for (const char* name : {"notes.txt", "other.db"}) {
        const CliRun foreign = Cli("stats '" + (folder.path() / name).string() + "'");
        EXPECT_EQ(foreign.status, 1);
        EXPECT_NE(foreign.err.find("Cannot read the recording"), std::string::npos) << foreign.err;
        EXPECT_TRUE(foreign.out.empty());
    }
    EXPECT_NE(Cli("stats '" + (folder.path() / "other.db").string() + "'").err.find("not a QZM-K recording"),
              std::string::npos);
    const std::vector<std::string> usageErrors = {"stats",
                                                  "stats '" + tagged + "' --far 101",
                                                  "stats '" + tagged + "' --far x",
                                                  "stats '" + tagged + "' --json --csv",
                                                  "--simulate execute --person 3",
                                                  "--simulate execute --record x.qzmrec --person somebody"};
    for (const std::string& args : usageErrors)
        EXPECT_EQ(Cli(args).status, 2) << args;
}
