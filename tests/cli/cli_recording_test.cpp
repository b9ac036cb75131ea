// Recording through the tool: what is written, exported, summed up and replayed, and what survives
// a killed program and a full disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_test_support.h"
#include "record/recorder.h"
#include "record/recording.h"
#include "record/recording_reader.h"

using namespace qzm;
namespace fs = std::filesystem;

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
    const ProgramRun executed =
        Cli("--simulate execute --functions all --image 160x120 --count 6 --json --record '" + rec +
            "' --frames");
    ASSERT_EQ(executed.status, 0) << executed.err;
    EXPECT_EQ(Query(rec, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Query(rec, "SELECT count(*) FROM run"), "6");
    EXPECT_EQ(Query(rec, "SELECT count(*) FROM run WHERE length(frame) = 19200 AND image_width = 160"), "6");
    EXPECT_EQ(Query(rec, "SELECT model || ' ' || firmware || ' ' || port FROM session"),
              "QZM-K200 1.2.0.2048 Simulated module");
    EXPECT_NE(Query(rec, "SELECT ended_ms FROM session"), "");

    const ProgramRun jsonl = Cli("export '" + rec + "' --format jsonl");
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

    const ProgramRun info = Cli("info '" + rec + "'");
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
            const ProgramRun run = Cli(args);
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
    const std::string cli = CliPath();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(cli.c_str(), "qzm-cli", "--dir", folder.path().c_str(), "--simulate", "execute", "--functions",
              "all", "--image", "160x120", "--count", "100000000", "--record", rec.c_str(),
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
    const ProgramRun info = Cli("info '" + rec + "'");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("ended\t(not ended cleanly)"), std::string::npos) << info.out;
}

// An export or a recording never lands on the recording it reads, however the name is spelt, and an
// export the disk refuses says so instead of ending quietly with a part of the file.
TEST_F(CliIntegration, OutputNeverReplacesTheRecordingItComesFrom) {
    const std::string rec = (folder.path() / "kept.qzmrec").string();
    ASSERT_EQ(Cli("--simulate execute --functions all --count 3 --record '" + rec + "'").status, 0);
    const std::string recBytes = ReadFile(rec);
    const std::string otherSpelling = (folder.path() / "." / "kept.qzmrec").string();
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"export '" + rec + "' --format csv --out '" + otherSpelling + "'",
         "Cannot write " + otherSpelling + ": it is the recording being exported."},
        {"--simulate=replay:'" + rec + "' execute --count 2 --record '" + otherSpelling + "'",
         "Cannot record into " + otherSpelling + ": it is the recording being replayed."},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(ReadFile(rec) == recBytes) << "the recording changed: " << c.args;
    }

    const std::string csv = (folder.path() / "full.csv").string();
    const ProgramRun full = Cli("export '" + rec + "' --format csv --out '" + csv + "'", DiskLimit::kFull);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("Cannot write " + csv + ": " + std::strerror(EFBIG) + "."), std::string::npos)
        << full.err;
    EXPECT_FALSE(fs::exists(csv));  // no part of it left to be taken for the whole
}

// A recording may be read while it is written (the statistics page or info on a recording still
// running). A reader still busy when the recording stops delays the stop, so the recording still ends
// as one file and the reader reads every run it saw.
TEST(RecordingFile, ReadWhileWrittenAndStopped) {
    TestFolder folder;
    const std::string path = (folder.path() / "live.qzmrec").string();
    CRecorder recorder;
    ASSERT_EQ(recorder.Start(path, RecordingSession{}), kRecordOk);
    for (int run = 0; run < 10; ++run)
        recorder.Add(ExecutionReport{}, {});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (recorder.Read().runs < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(recorder.Read().runs, 10);

    auto reader = std::make_unique<CRecordingReader>();
    ASSERT_EQ(reader->Open(path), kRecordOk);
    int seen = 0;
    std::thread stopper;
    const int read = reader->ForEachRun([&](const RecordedRun&) {
        if (++seen == 1) {
            // The reader is mid-read while the recording stops.
            stopper = std::thread([&] { EXPECT_EQ(recorder.Stop(), kRecordOk); });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return true;
    });
    reader.reset();
    stopper.join();
    EXPECT_EQ(read, kRecordOk);
    EXPECT_EQ(seen, 10);
    EXPECT_FALSE(fs::exists(path + "-wal"));

    // A reader that comes while the file is locked for a moment (as while the log is folded in)
    // waits for it instead of failing.
    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread unlock([locker] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(locker, "COMMIT", nullptr, nullptr, nullptr);
    });
    CRecordingReader after;
    std::string why;
    EXPECT_EQ(after.Open(path, &why), kRecordOk) << why;
    unlock.join();
    sqlite3_close(locker);
    EXPECT_EQ(after.Summary().runs, 10);
}

// A disk that fills up stops the recording with a message; the executions go on and every run
// recorded before stays readable.
TEST_F(CliIntegration, FullDiskStopsTheRecordingAndKeepsWhatWasWritten) {
    const std::string rec = (folder.path() / "full.qzmrec").string();
    const ProgramRun run = Cli(
        "--simulate execute --image 320x240 --count 40 --record '" + rec + "' --frames", DiskLimit::kLimited);
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
    const ProgramRun info = Cli("info '" + rec + "'");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("runs\t" + std::to_string(kept) + "\n"), std::string::npos) << info.out;
}

// A recording stands in for the module: the same request gets the recorded answer byte for byte,
// another one the recorded records of the functions it asks for; a foreign file is refused.
TEST_F(CliIntegration, ReplayAnswersWithTheRecordedRuns) {
    const std::string recorded = (folder.path() / "recorded.qzmrec").string();
    const std::string replayed = (folder.path() / "replayed.qzmrec").string();
    const std::string request = "execute --functions all --image 160x120 --count 4 --json --record ";
    const ProgramRun original = Cli("--simulate " + request + "'" + recorded + "' --frames");
    ASSERT_EQ(original.status, 0) << original.err;
    const ProgramRun replay = Cli("--simulate=replay:'" + recorded + "' " + request + "'" + replayed + "'");
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
    const ProgramRun reduced = Cli("--simulate=replay:'" + recorded +
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
    const ProgramRun foreign =
        Cli("--simulate=replay:'" + (folder.path() / "notes.txt").string() + "' version");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("Cannot replay the recording"), std::string::npos) << foreign.err;
}

// Started in a folder without the delivered files, the tool works in the user's data folder; the
// files named on its command line are still where the user is: the recording, its frames and an
// album are written there, and info and replay find the recording there too.
TEST_F(CliIntegration, FileNamesAreWhereTheToolWasStarted) {
    const fs::path start = folder.path() / "elsewhere";
    fs::create_directory(start);
    const fs::path data = folder.path() / "data";
    const char* previousData = std::getenv("XDG_DATA_HOME");
    const std::string keptData = previousData != nullptr ? previousData : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    fs::current_path(start);
    auto run = [](std::vector<std::string> words) { return RunProgram(CliPath(), words); };
    const ProgramRun recorded = run({"--simulate", "execute", "--functions", "all", "--image", "160x120",
                                     "--count", "2", "--record", "r.qzmrec", "--save-frames", "frames"});
    const ProgramRun saved = run({"--simulate", "album", "save", "a.qzc"});
    const ProgramRun info = run({"info", "r.qzmrec"});
    const ProgramRun replayed = run({"--simulate=replay:r.qzmrec", "execute", "--count", "1"});
    fs::current_path(folder.path());
    if (previousData != nullptr)
        setenv("XDG_DATA_HOME", keptData.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");

    EXPECT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_NE(recorded.err.find("Working folder: " + (data / "qzm-demo").string()), std::string::npos)
        << recorded.err;
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("runs\t2\n"), std::string::npos) << info.out;
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    for (const char* name : {"r.qzmrec", "frames/frame-000001.pgm", "a.qzc"}) {
        EXPECT_TRUE(fs::exists(start / name)) << name;
        EXPECT_FALSE(fs::exists(data / "qzm-demo" / name)) << name;
    }
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

    const ProgramRun text = Cli("stats '" + untagged + "'");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("runs\t5 (0 not answered)\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("No runs are tagged with the person in view: record with --person"),
              std::string::npos);
    const ProgramRun noTable = Cli("stats '" + untagged + "' --csv");
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.err.find("No runs are tagged"), std::string::npos) << noTable.err;

    const ProgramRun json = Cli("stats '" + tagged + "' --json --far 0.5");
    ASSERT_EQ(json.status, 0) << json.err;
    const auto figures = nlohmann::json::parse(json.out);
    EXPECT_EQ(figures["runs"], 5);
    EXPECT_EQ(figures["tagged_runs"], 5);
    EXPECT_EQ(figures["functions"]["face"]["runs"], 5);
    EXPECT_EQ(figures["thresholds"]["stranger_runs"], 5);
    EXPECT_EQ(figures["thresholds"]["false_accept_target"], 0.005);
    EXPECT_EQ(figures["thresholds"]["rows"].size(), 1001u);

    const ProgramRun csv = Cli("stats '" + tagged + "' --csv");
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
        const ProgramRun foreign = Cli("stats '" + (folder.path() / name).string() + "'");
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
