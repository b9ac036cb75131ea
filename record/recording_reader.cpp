#include "record/recording_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "record/sqlite_db.h"

namespace qzm {

namespace {

constexpr const char* kDetectionQuery = R"sql(
    SELECT r.number, r.sent_wall_ms, r.done_wall_ms, r.response_ms, d.kind, d.idx, d.x, d.y, d.size,
           d.confidence, d.yaw, d.pitch, d.roll, d.direction_confidence, d.age, d.age_confidence, d.gender,
           d.gender_confidence, d.gaze_yaw, d.gaze_pitch, d.blink_left, d.blink_right, d.expression,
           d.expression_score, d.expression_degree, d.expression_scores, d.user_id, d.recognition_score,
           d.user_name
    FROM detection d JOIN run r ON r.number = d.run
    ORDER BY r.number, CASE d.kind WHEN 'body' THEN 0 WHEN 'hand' THEN 1 ELSE 2 END, d.idx)sql";

// Sets the record from the columns when they hold values; a NULL leaves it invalid, as a function
// that was off leaves it.
template <class Record, class Fill>
void Restore(CSqliteStatement& row, int column, Record& record, Fill fill) {
    if (row.IsNull(column))
        return;
    fill(record);
    record.valid = 1;
}

void RestoreDetection(CSqliteStatement& row, int c, CQZMDetectRes& box) {
    Restore(row, c, box, [&](CQZMDetectRes& d) {
        d.x = static_cast<int>(row.Int(c));
        d.y = static_cast<int>(row.Int(c + 1));
        d.size = static_cast<int>(row.Int(c + 2));
        d.confidence = static_cast<int>(row.Int(c + 3));
    });
}

}  // namespace

CRecordingReader::CRecordingReader() = default;
CRecordingReader::~CRecordingReader() = default;

int CRecordingReader::Open(const std::string& path, std::string* why) {
    auto fail = [&](int error, const std::string& text) {
        if (why)
            *why = text;
        db_.reset();
        return error;
    };
    db_ = std::make_unique<CSqliteDb>();
    if (!db_->Open(path, CSqliteDb::Mode::kReadOnly))
        return fail(kRecordCannotOpen, db_->Error());
    CSqliteStatement id(*db_, "PRAGMA application_id");
    if (id.Step() != SqliteStep::kRow)
        return fail(kRecordNotRecording, db_->Error());
    if (id.Int(0) != kRecordingApplicationId)
        return fail(kRecordNotRecording, "not a QZM-K recording");
    const std::int64_t version = db_->Scalar("PRAGMA user_version", 0);
    if (version > kRecordingSchemaVersion)
        return fail(kRecordNewerVersion,
                    "written by a newer program (schema " + std::to_string(version) + ")");
    version_ = static_cast<int>(version);
    CSqliteStatement s(*db_, R"sql(
        SELECT program_version, model, firmware, port, baud_rate, camera_angle, threshold_body, threshold_hand,
               threshold_face, threshold_recognition, size_body_min, size_body_max, size_hand_min,
               size_hand_max, size_face_min, size_face_max, yaw_code, roll_code, functions, image_option,
               frames, started_ms, ended_ms, note FROM session WHERE id = 1)sql");
    if (s.Step() != SqliteStep::kRow)
        return fail(kRecordNotRecording, "the session is missing: " + db_->Error());
    RecordingSession& r = session_;
    int c = 0;
    r.programVersion = s.Text(c++);
    r.model = s.Text(c++);
    r.firmware = s.Text(c++);
    r.port = s.Text(c++);
    r.baudRate = static_cast<int>(s.Int(c++));
    r.detection.cameraAngle = static_cast<int>(s.Int(c++));
    for (int& threshold : r.detection.exec.threshold)
        threshold = static_cast<int>(s.Int(c++));
    for (CRange& range : r.detection.exec.sizeRange) {
        range.min = static_cast<int>(s.Int(c++));
        range.max = static_cast<int>(s.Int(c++));
    }
    r.detection.exec.yawAngle = static_cast<int>(s.Int(c++));
    r.detection.exec.rollAngle = static_cast<int>(s.Int(c++));
    r.functions = SwitchesFromText(s.Text(c++));
    r.imageOption = static_cast<int>(s.Int(c++));
    r.frames = s.Int(c++) != 0;
    r.startedMs = s.Int(c++);
    r.endedMs = s.IsNull(c) ? 0 : s.Int(c);
    ++c;
    r.note = s.Text(c++);
    return kRecordOk;
}

int CRecordingReader::ForEachRun(const std::function<bool(const RecordedRun&)>& visit) {
    // A file of version 1 has no person column: its runs are untagged.
    const std::string person = version_ >= 2 ? "person" : "NULL";
    CSqliteStatement runs(*db_, R"sql(
        SELECT number, sent_wall_ms, done_wall_ms, sent_steady_ns, done_steady_ns, response_ms, status,
               response_code, functions, image_option, image_width, image_height, payload, frame, )sql" +
                                    person + " FROM run ORDER BY number");
    CSqliteStatement rows(*db_, R"sql(
        SELECT kind, x, y, size, confidence, yaw, pitch, roll, direction_confidence, age, age_confidence,
               gender, gender_confidence, gaze_yaw, gaze_pitch, blink_left, blink_right, expression,
               expression_score, expression_degree, expression_scores, user_id, recognition_score, user_name
        FROM detection WHERE run = ? ORDER BY idx)sql");
    if (!runs.Prepared() || !rows.Prepared())
        return kRecordNotRecording;
    for (;;) {
        const SqliteStep step = runs.Step();
        if (step == SqliteStep::kDone)
            return kRecordOk;
        if (step != SqliteStep::kRow)
            return kRecordNotRecording;
        RecordedRun run;
        ExecutionReport& r = run.report;
        int c = 0;
        run.number = runs.Int(c++);
        r.sentWallMs = runs.Int(c++);
        r.doneWallMs = runs.Int(c++);
        r.sentSteadyNs = runs.Int(c++);
        r.doneSteadyNs = runs.Int(c++);
        r.responseTimeMs = static_cast<int>(runs.Int(c++));
        r.status = static_cast<int>(runs.Int(c++));
        r.response = static_cast<std::uint8_t>(runs.Int(c++));
        r.functions = SwitchesFromText(runs.Text(c++));
        r.imageOption = static_cast<int>(runs.Int(c++));
        const int width = static_cast<int>(runs.Int(c++));
        const int height = static_cast<int>(runs.Int(c++));
        const auto payload = runs.Blob(c++);
        r.payload.assign(payload.begin(), payload.end());
        const auto frame = runs.Blob(c++);
        // The answer as received: its frame's pixels, when kept, come after the rest.
        r.payload.insert(r.payload.end(), frame.begin(), frame.end());
        run.person =
            PersonFromColumn(runs.IsNull(c) ? std::nullopt : std::optional<std::int64_t>(runs.Int(c)));
        ++c;
        if (width > 0 && height > 0) {
            // Without the frame kept, the image is there in size only, grey.
            r.image.Allocate(width, nullptr, height, kFormatGrey8, 1);
            if (frame.size() == static_cast<std::size_t>(width) * height)
                std::copy(frame.begin(), frame.end(), r.image.Plane(0));
        }
        rows.Reset();
        rows.Bind(1, run.number);
        while (rows.Step() == SqliteStep::kRow) {
            const std::string kind = rows.Text(0);
            CQZMDetectRes box;
            RestoreDetection(rows, 1, box);
            if (kind == "body") {
                r.result.bodies.push_back(box);
                continue;
            }
            if (kind == "hand") {
                r.result.hands.push_back(box);
                continue;
            }
            CFaceResult face;
            face.detection = box;
            auto value = [&](int column) { return static_cast<int>(rows.Int(column)); };
            Restore(rows, 5, face.direction, [&](CQZMDirectRes& d) {
                d.yaw = value(5), d.pitch = value(6), d.roll = value(7), d.confidence = value(8);
            });
            Restore(rows, 9, face.age, [&](CQZMAgeRes& d) { d.age = value(9), d.confidence = value(10); });
            Restore(rows, 11, face.gender,
                    [&](CQZMGenderRes& d) { d.gender = value(11), d.confidence = value(12); });
            Restore(rows, 13, face.gaze,
                    [&](CQZMGazeRes& d) { d.gazeYaw = value(13), d.gazePitch = value(14); });
            Restore(rows, 15, face.blink, [&](CQZMBlinkRes& d) { d.left = value(15), d.right = value(16); });
            Restore(rows, 17, face.expression, [&](CQZMExpressionRes& d) {
                d.topExpression = value(17), d.topScore = value(18), d.degree = value(19);
                std::istringstream scores(rows.Text(20));
                std::string score;
                // A damaged file may hold anything here: what is not a number reads as 0.
                for (int k = 0; k < 5 && std::getline(scores, score, ','); ++k)
                    d.scores[k] = static_cast<int>(std::strtol(score.c_str(), nullptr, 10));
            });
            Restore(rows, 21, face.recognition, [&](CQZMRecognitionRes& d) {
                d.userId = value(21), d.score = value(22);
                if (!rows.IsNull(23))
                    run.names.emplace_back(d.userId, rows.Text(23));
            });
            r.result.faces.push_back(face);
        }
        if (!visit(run))
            return kRecordOk;
    }
}

RecordingSummary CRecordingReader::Summary() {
    RecordingSummary summary;
    summary.runs = db_->Scalar("SELECT count(*) FROM run");
    summary.firstSentMs = db_->Scalar("SELECT min(sent_wall_ms) FROM run");
    summary.lastDoneMs = db_->Scalar("SELECT max(done_wall_ms) FROM run");
    std::vector<int> times;
    CSqliteStatement responses(*db_, "SELECT response_ms FROM run WHERE status = 0 ORDER BY response_ms");
    while (responses.Step() == SqliteStep::kRow)
        times.push_back(static_cast<int>(responses.Int(0)));
    // Nearest rank: the smallest time that this share of the runs does not exceed.
    auto percentile = [&](double share) {
        const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(times.size())));
        return times[std::max<std::size_t>(rank, 1) - 1];
    };
    if (!times.empty()) {
        summary.medianResponseMs = percentile(0.5);
        summary.p95ResponseMs = percentile(0.95);
    }
    const std::pair<const char*, const char*> counted[] = {{"body", "kind = 'body'"},
                                                           {"hand", "kind = 'hand'"},
                                                           {"face", "kind = 'face'"},
                                                           {"direction", "yaw IS NOT NULL"},
                                                           {"age", "age IS NOT NULL"},
                                                           {"gender", "gender IS NOT NULL"},
                                                           {"gaze", "gaze_yaw IS NOT NULL"},
                                                           {"blink", "blink_left IS NOT NULL"},
                                                           {"expression", "expression IS NOT NULL"},
                                                           {"recognition", "user_id IS NOT NULL"}};
    for (const auto& [name, where] : counted)
        summary.detections[name] =
            db_->Scalar((std::string("SELECT count(*) FROM detection WHERE ") + where).c_str());
    return summary;
}

const std::vector<std::string>& CRecordingReader::DetectionColumns() {
    static const std::vector<std::string> columns = {"run",
                                                     "sent_wall_ms",
                                                     "done_wall_ms",
                                                     "response_ms",
                                                     "kind",
                                                     "index",
                                                     "x",
                                                     "y",
                                                     "size",
                                                     "confidence",
                                                     "yaw",
                                                     "pitch",
                                                     "roll",
                                                     "direction_confidence",
                                                     "age",
                                                     "age_confidence",
                                                     "gender",
                                                     "gender_confidence",
                                                     "gaze_yaw",
                                                     "gaze_pitch",
                                                     "blink_left",
                                                     "blink_right",
                                                     "expression",
                                                     "expression_score",
                                                     "expression_degree",
                                                     "expression_scores",
                                                     "user_id",
                                                     "recognition_score",
                                                     "user_name"};
    return columns;
}

int CRecordingReader::ForEachDetection(const std::function<void(const std::vector<std::string>&)>& visit) {
    CSqliteStatement rows(*db_, kDetectionQuery);
    if (!rows.Prepared())
        return kRecordNotRecording;
    const std::size_t count = DetectionColumns().size();
    std::vector<std::string> fields(count);
    SqliteStep step;
    while ((step = rows.Step()) == SqliteStep::kRow) {
        for (std::size_t i = 0; i < count; ++i)
            fields[i] = rows.IsNull(static_cast<int>(i)) ? std::string() : rows.Text(static_cast<int>(i));
        visit(fields);
    }
    return step == SqliteStep::kDone ? kRecordOk : kRecordNotRecording;
}

}  // namespace qzm
