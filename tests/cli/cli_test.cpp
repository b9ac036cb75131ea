// The tool as a user runs it against the built-in simulated module, and its option parsing.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_output.h"
#include "cli_test_support.h"
#include "record/sqlite_db.h"

using namespace qzm;
namespace fs = std::filesystem;

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
        const ProgramRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << args;
    }
}

TEST_F(CliIntegration, PortsAndVersion) {
    ProgramRun run = Cli("ports");
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
    const ProgramRun run = Cli("--port '" + port + "' version");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Device is not responding.\nPlease verify connection.\nThe serial port " + port +
                           " is not there (no such serial port).\n");
}

TEST_F(CliIntegration, UsersAreKeptInTheStore) {
    EXPECT_EQ(Cli("--simulate add-user Alice").out, "0\n");
    EXPECT_EQ(Cli("--simulate add-user Bob").out, "1\n");
    ProgramRun run = Cli("--simulate add-user Alice");
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
    const ProgramRun run =
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
    const ProgramRun again = Cli("--simulate execute");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("-------"), 0u);
    EXPECT_NE(again.out.find("Execute Body:On Hand:Off Face:On Dir.:Off Age:On "), std::string::npos)
        << again.out;

    // Every function off, as the panel allows; stored like any other choice.
    const ProgramRun none = Cli("--simulate execute --functions none --image none");
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
    ProgramRun run = Cli("--simulate register 0");
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

// A build that cannot record (no SQLite for it) says so for every recording command, before it
// runs anything, as for a file it cannot write.
TEST_F(CliIntegration, RecordingsRefusedWithTheReasonWhereTheBuildHasNoSqlite) {
    if (RecordingsSupported())
        GTEST_SKIP() << "this build records";
    for (const char* args :
         {"--simulate execute --image none --record x.qzmrec", "info x.qzmrec", "stats x.qzmrec",
          "export x.qzmrec --format csv", "--simulate=replay:x.qzmrec version"}) {
        const ProgramRun refused = Cli(args);
        EXPECT_EQ(refused.status, 1) << args;
        EXPECT_NE(refused.err.find("has no SQLite"), std::string::npos) << args << ": " << refused.err;
    }
}
