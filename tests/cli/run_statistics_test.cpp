// The statistics of a run stream, computed from recordings written through CRecorder and read back:
// the figures equal those worked out here independently, the threshold table those worked out by
// hand, and a recording of the first schema version reads as untagged.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "record/recorder.h"
#include "record/recording_reader.h"
#include "record/run_statistics.h"
#include "test_folder.h"

using namespace qzm;

namespace {

CFaceResult Face(int userId, int score) {
    CFaceResult face;
    face.detection.x = 100;
    face.detection.y = 80;
    face.detection.size = 40;
    face.detection.confidence = 900;
    face.detection.valid = 1;
    face.recognition.userId = userId;
    face.recognition.score = score;
    face.recognition.valid = 1;
    return face;
}

ExecutionReport Report(std::int64_t atMs, std::vector<CFaceResult> faces, int status = 0) {
    ExecutionReport report;
    report.functions[kFunctionFace] = true;
    report.functions[kFunctionRecognition] = true;
    report.sentWallMs = atMs;
    report.doneWallMs = atMs + 100;
    report.responseTimeMs = 100;
    report.status = status;
    report.result.faces = std::move(faces);
    return report;
}

struct Tagged {
    ExecutionReport report;
    PersonInView person;
};

// Writes the runs through the recorder and reads them back into the statistics.
CRunStatistics ThroughRecording(const std::string& path, const std::vector<Tagged>& runs,
                                const std::vector<UserName>& names = {}) {
    CRecorder recorder;
    RecordingSession session;
    session.model = "test";
    EXPECT_EQ(recorder.Start(path, session), kRecordOk);
    for (const Tagged& run : runs)
        recorder.Add(run.report, names, run.person);
    EXPECT_EQ(recorder.Stop(), kRecordOk);
    CRecordingReader reader;
    CRunStatistics stats;
    EXPECT_EQ(reader.Open(path), kRecordOk);
    std::size_t index = 0;
    EXPECT_EQ(reader.ForEachRun([&](const RecordedRun& run) {
        EXPECT_EQ(run.person, runs[index++].person) << "run " << run.number;
        stats.Add(run.report, run.names, run.person);
        return true;
    }),
              kRecordOk);
    EXPECT_EQ(index, runs.size());
    return stats;
}

}  // namespace

// Runs with known scores; the expected rates are counted by hand (see the table below).
TEST(RunStatisticsTest, ThresholdTableOfATaggedRecording) {
    TestFolder folder;
    const PersonInView user1 = PersonInView::User(1);
    const std::vector<Tagged> runs = {
        {Report(0, {Face(1, 800)}), user1},                     // true accept up to 800
        {Report(1, {Face(1, 600)}), user1},                     // true accept up to 600
        {Report(2, {Face(2, 700)}), user1},                     // the wrong user: false accept up to 700
        {Report(3, {Face(-1, 300)}), user1},                    // not recognised: rejected
        {Report(4, {Face(1, 650), Face(2, 750)}), user1},       // best face is user 2: false accept up to 750
        {Report(5, {Face(3, 550)}), PersonInView::Stranger()},  // false accept up to 550
        {Report(6, {Face(-1, 200)}), PersonInView::Stranger()},
        {Report(7, {}), PersonInView::Nobody()},
        {Report(8, {Face(1, 520), Face(-1, 900)}), PersonInView::Nobody()},  // best face names nobody
        {Report(9, {Face(1, 990)}), {}},                                     // untagged: left out
        {Report(10, {Face(1, 990)}, -20), user1},                            // not answered: left out
    };
    Tagged recognitionOff{Report(11, {Face(2, 990)}), PersonInView::Nobody()};
    recognitionOff.report.functions[kFunctionRecognition] = false;
    std::vector<Tagged> all = runs;
    all.push_back(recognitionOff);  // recognition not asked: left out

    const CRunStatistics stats = ThroughRecording((folder.path() / "tagged.qzmrec").string(), all);
    EXPECT_EQ(stats.TaggedRuns(), 11);
    const ThresholdTable table = stats.Thresholds();
    EXPECT_EQ(table.genuineRuns, 5);
    EXPECT_EQ(table.strangerRuns, 2);
    EXPECT_EQ(table.nobodyRuns, 2);
    ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(kRecognitionScoreMax + 1));
    // True accepts at 800 and 600 of 5 genuine runs; false accepts at 750, 700, 550 of 9 runs.
    const struct {
        int threshold;
        double tar;
        double far;
    } expected[] = {{0, 2 / 5.0, 3 / 9.0},   {550, 2 / 5.0, 3 / 9.0}, {551, 2 / 5.0, 2 / 9.0},
                    {600, 2 / 5.0, 2 / 9.0}, {601, 1 / 5.0, 2 / 9.0}, {700, 1 / 5.0, 2 / 9.0},
                    {701, 1 / 5.0, 1 / 9.0}, {750, 1 / 5.0, 1 / 9.0}, {751, 1 / 5.0, 0.0},
                    {800, 1 / 5.0, 0.0},     {801, 0.0, 0.0},         {1000, 0.0, 0.0}};
    for (const auto& e : expected) {
        const ThresholdRow& row = table.rows[static_cast<std::size_t>(e.threshold)];
        EXPECT_EQ(row.threshold, e.threshold);
        EXPECT_NEAR(row.trueAcceptRate, e.tar, 1e-12) << "threshold " << e.threshold;
        EXPECT_NEAR(row.falseAcceptRate, e.far, 1e-12) << "threshold " << e.threshold;
        EXPECT_NEAR(row.falseRejectRate, 1.0 - e.tar, 1e-12) << "threshold " << e.threshold;
    }
    const struct {
        double far;
        int threshold;
    } chosen[] = {{0.01, 751}, {0.0, 751}, {0.2, 701}, {2 / 9.0, 551}, {0.5, 0}};
    for (const auto& c : chosen)
        EXPECT_EQ(table.ThresholdFor(c.far), c.threshold) << "rate " << c.far;

    // Accepts right up to the highest score: no threshold reaches 0.
    CRunStatistics top;
    top.Add(Report(0, {Face(4, 1000)}), {}, PersonInView::Stranger());
    EXPECT_EQ(top.Thresholds().ThresholdFor(0.0), -1);
    EXPECT_EQ(CRunStatistics().Thresholds().ThresholdFor(0.01), -1);
}

// A stream with varied results: every figure equals the one computed here from the same runs.
TEST(RunStatisticsTest, FiguresOfARecordingEqualThoseComputedIndependently) {
    TestFolder folder;
    std::mt19937 random(7);
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::vector<Tagged> runs;
    std::vector<int> responses;
    std::int64_t faces = 0, bodies = 0, male = 0, female = 0, strangerFaces = 0, noDataFaces = 0;
    double ageSum = 0;
    std::int64_t ages = 0;
    std::array<std::int64_t, 5> expressions{};
    std::map<int, std::int64_t> userRuns;
    std::array<std::int64_t, 20> bodyBins{};
    const std::int64_t start = 1'800'000'000'000;
    std::int64_t lastDone = 0;
    int failed = 0;
    for (int i = 0; i < 400; ++i) {
        ExecutionReport r;
        r.functions.fill(true);
        r.sentWallMs = start + i * 150;
        r.responseTimeMs = uniform(40, 400);
        r.doneWallMs = r.sentWallMs + r.responseTimeMs;
        lastDone = std::max(lastDone, r.doneWallMs);
        r.status = i % 37 == 5 ? -20 : 0;
        if (r.status != 0) {
            ++failed;
            runs.push_back({r, {}});
            continue;
        }
        responses.push_back(r.responseTimeMs);
        for (int b = uniform(0, 2); b > 0; --b) {
            CQZMDetectRes body;
            body.confidence = uniform(0, 1000);
            body.valid = 1;
            ++bodyBins[static_cast<std::size_t>(std::min(body.confidence / 50, 19))];
            r.result.bodies.push_back(body);
            ++bodies;
        }
        bool recognised[3] = {};
        for (int f = uniform(0, 3); f > 0; --f) {
            const int kind = uniform(0, 5);
            CFaceResult face = Face(kind <= 2   ? kind
                                    : kind == 3 ? -1
                                    : kind == 4 ? -127
                                                : -128,
                                    uniform(0, 1000));
            face.age.age = uniform(0, 6) == 0 ? -128 : uniform(10, 80);
            face.age.valid = 1;
            face.gender.gender = uniform(0, 1);
            face.gender.valid = 1;
            face.expression.topExpression = uniform(1, 5);
            face.expression.topScore = uniform(0, 100);
            face.expression.valid = 1;
            r.result.faces.push_back(face);
            ++faces;
            if (face.age.age != -128) {
                ageSum += face.age.age;
                ++ages;
            }
            ++(face.gender.gender == 1 ? male : female);
            ++expressions[static_cast<std::size_t>(face.expression.topExpression - 1)];
            if (kind <= 2 && !recognised[kind]) {
                recognised[kind] = true;
                ++userRuns[kind];
            }
            strangerFaces += kind == 3 ? 1 : 0;
            noDataFaces += kind == 4 ? 1 : 0;
        }
        runs.push_back({r, {}});
    }
    const CRunStatistics stats = ThroughRecording((folder.path() / "figures.qzmrec").string(), runs,
                                                  {{0, "Ann"}, {1, "Bo"}, {2, "Cy"}});

    EXPECT_EQ(stats.Runs(), 400);
    EXPECT_EQ(stats.FailedRuns(), failed);
    const auto answered = static_cast<double>(responses.size());
    EXPECT_NEAR(stats.ResultsPerSecond(), answered * 1000.0 / static_cast<double>(lastDone - start), 1e-9);
    const ResponseFigures response = stats.Responses();
    EXPECT_EQ(response.lastMs, responses.back());
    std::vector<int> sorted = responses;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(response.maxMs, sorted.back());
    EXPECT_EQ(response.medianMs, sorted[static_cast<std::size_t>(std::ceil(0.5 * answered)) - 1]);
    EXPECT_EQ(response.p95Ms, sorted[static_cast<std::size_t>(std::ceil(0.95 * answered)) - 1]);

    const auto& functions = stats.Functions();
    EXPECT_NEAR(functions[kFunctionBody].PerRun(), static_cast<double>(bodies) / answered, 1e-12);
    EXPECT_NEAR(functions[kFunctionFace].PerRun(), static_cast<double>(faces) / answered, 1e-12);
    EXPECT_EQ(functions[kFunctionAge].found, faces);  // -128 is an answer too, only not an age
    EXPECT_EQ(functions[kFunctionHand].found, 0);
    EXPECT_EQ(functions[kFunctionBody].confidence.bins,
              std::vector<std::int64_t>(bodyBins.begin(), bodyBins.end()));
    EXPECT_TRUE(functions[kFunctionGaze].confidence.bins.empty());

    const FaceEstimates& e = stats.Faces();
    EXPECT_NEAR(e.age.Mean(), ageSum / static_cast<double>(ages), 1e-9);
    EXPECT_EQ(e.male, male);
    EXPECT_EQ(e.female, female);
    EXPECT_EQ(e.expressions, expressions);
    // 400 runs of 150 ms span a minute or two, well inside the face series: its minutes hold every face.
    std::int64_t minuteFaces = 0;
    for (const FaceEstimates& minute : stats.FaceSeries())
        minuteFaces += minute.male + minute.female;
    EXPECT_EQ(minuteFaces, male + female);

    const RecognitionFigures& recognition = stats.Recognition();
    EXPECT_EQ(recognition.strangerFaces, strangerFaces);
    EXPECT_EQ(recognition.noDataFaces, noDataFaces);
    ASSERT_EQ(recognition.users.size(), userRuns.size());
    for (const auto& [user, count] : userRuns) {
        EXPECT_EQ(recognition.users.at(user).runs, count) << "user " << user;
        EXPECT_EQ(recognition.users.at(user).name, std::string(user == 0 ? "Ann" : user == 1 ? "Bo" : "Cy"));
    }
    EXPECT_EQ(stats.Thresholds().Runs(), 0);  // untagged
}

// The response series keeps the last kSeriesSeconds seconds; a run older than the window is dropped.
TEST(RunStatisticsTest, ResponseSeriesKeepsTheLastMinutes) {
    CRunStatistics stats;
    const std::int64_t start = 1'700'000'000'000;
    for (int s = 0; s < 400; ++s) {
        ExecutionReport r = Report(start + s * 1000LL, {});
        r.responseTimeMs = s;
        stats.Add(r, {});
        stats.Add(r, {});
    }
    ExecutionReport late = Report(start + 5'000, {});  // a clock set back: outside the window
    stats.Add(late, {});
    const std::vector<ResponseSecond> series = stats.ResponseSeries();
    ASSERT_EQ(series.size(), static_cast<std::size_t>(CRunStatistics::kSeriesSeconds));
    EXPECT_EQ(series.front().second, (start + 100'100) / 1000);
    EXPECT_EQ(series.back().second, (start + 399'100) / 1000);
    EXPECT_EQ(series.back().runs, 2);
    EXPECT_EQ(series.back().maxMs, 399);
    stats.Reset();
    EXPECT_EQ(stats.Runs(), 0);
    EXPECT_TRUE(stats.ResponseSeries().empty());
}

// A file of the first schema version has no person column: every run reads as untagged. A newer
// version than the program's is refused.
TEST(RunStatisticsTest, VersionOneRecordingReadsAsUntagged) {
    TestFolder folder;
    const std::string path = (folder.path() / "old.qzmrec").string();
    ThroughRecording(path, {{Report(0, {Face(1, 800)}), PersonInView::User(1)}});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "ALTER TABLE run DROP COLUMN person; PRAGMA user_version = 1", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    CRecordingReader reader;
    ASSERT_EQ(reader.Open(path), kRecordOk);
    EXPECT_EQ(reader.SchemaVersion(), 1);
    int runs = 0;
    ASSERT_EQ(reader.ForEachRun([&](const RecordedRun& run) {
        EXPECT_FALSE(run.person.Tagged());
        EXPECT_EQ(run.report.result.faces.at(0).recognition.score, 800);
        ++runs;
        return true;
    }),
              kRecordOk);
    EXPECT_EQ(runs, 1);

    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 3", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    CRecordingReader newer;
    EXPECT_EQ(newer.Open(path), kRecordNewerVersion);
}

TEST(RunStatisticsTest, PersonColumnValues) {
    const struct {
        PersonInView person;
        std::optional<std::int64_t> column;
    } cases[] = {{PersonInView::User(0), 0},
                 {PersonInView::User(499), 499},
                 {PersonInView::Stranger(), -1},
                 {PersonInView::Nobody(), -2},
                 {PersonInView{}, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(PersonColumn(c.person), c.column);
        EXPECT_EQ(PersonFromColumn(c.column), c.person);
    }
    EXPECT_FALSE(PersonFromColumn(-3).Tagged());  // a value no program writes
}
