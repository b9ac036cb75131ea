// qzm-cli end to end against its built-in simulated module, and its option and output helpers.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/cli_output.h"
#include "test_folder.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class CliIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        // The delivered files, as beside the installed program.
        for (const char* name : {"DefSettings.dat", "FullImageInfo.dat"}) {
            fs::copy_file(fs::path(QZM_DATA_DIR) / name, folder.path() / name);
        }
    }

    CliRun Cli(const std::string& args) {
        const std::string errPath = (folder.path() / "stderr.txt").string();
        const std::string command = std::string(QZM_CLI_PATH) + " --dir '" + folder.path().string() + "' " +
                                    args + " 2>'" + errPath + "'";
        CliRun run;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            run.out.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream err(errPath);
        run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        return run;
    }

    std::string ReadFile(const std::string& name) {
        std::ifstream in(folder.path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    TestFolder folder;
};

}  // namespace

TEST_F(CliIntegration, UsageErrorsExitTwo) {
    for (const char* args : {"", "--bogus version", "--baud 1234 version", "--simulate=odd version",
                             "--port /dev/null --simulate version", "--simulate execute --image 999",
                             "--simulate execute --functions body,nose", "--simulate delete-data 0 12",
                             "--simulate frobnicate"}) {
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
    const CliRun run = Cli("--port " + (folder.path() / "no-such-port").string() + " version");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Device is not responding."), std::string::npos) << run.err;
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
            EXPECT_EQ(options.functions, c.functions) << c.args[1];
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
    std::ofstream(folder.path() / "broken.qzc") << "not an album";
    run = Cli("--simulate album load '" + (folder.path() / "broken.qzc").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Cannot open"), std::string::npos) << run.err;
    EXPECT_EQ(Cli("--simulate users").out, "0\tAlice\t1\n");
}
