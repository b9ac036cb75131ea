#include "record/recorder.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "files/utf8_path.h"
#include "record/sqlite_db.h"

namespace qzm {

namespace {

constexpr auto kCommitEvery = std::chrono::milliseconds(500);
// How long the end of a recording waits for readers to let go of the file.
constexpr auto kFoldWait = std::chrono::seconds(5);
// A fast module fills a batch sooner: the queue never holds more than this many runs' copies.
constexpr std::size_t kBatchRuns = 64;

// The kind's check is spelt with OR: with an IN list the library builds a lookup table for every
// row inserted, which doubled the cost of writing a run's detections.
constexpr const char* kSchema = R"sql(
CREATE TABLE session (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    program_version TEXT NOT NULL, model TEXT NOT NULL, firmware TEXT NOT NULL,
    port TEXT NOT NULL, baud_rate INTEGER NOT NULL, camera_angle INTEGER NOT NULL,
    threshold_body INTEGER, threshold_hand INTEGER, threshold_face INTEGER, threshold_recognition INTEGER,
    size_body_min INTEGER, size_body_max INTEGER, size_hand_min INTEGER, size_hand_max INTEGER,
    size_face_min INTEGER, size_face_max INTEGER, yaw_code INTEGER, roll_code INTEGER,
    functions TEXT NOT NULL, image_option INTEGER NOT NULL, frames INTEGER NOT NULL,
    started_ms INTEGER NOT NULL, ended_ms INTEGER, note TEXT NOT NULL DEFAULT '');
CREATE TABLE run (
    number INTEGER PRIMARY KEY,
    sent_wall_ms INTEGER NOT NULL, done_wall_ms INTEGER NOT NULL,
    sent_steady_ns INTEGER NOT NULL, done_steady_ns INTEGER NOT NULL,
    response_ms INTEGER NOT NULL, status INTEGER NOT NULL, response_code INTEGER NOT NULL,
    functions TEXT NOT NULL, image_option INTEGER NOT NULL,
    image_width INTEGER NOT NULL, image_height INTEGER NOT NULL,
    payload BLOB NOT NULL, frame BLOB, person INTEGER);
CREATE TABLE detection (
    run INTEGER NOT NULL REFERENCES run(number),
    kind TEXT NOT NULL CHECK (kind = 'body' OR kind = 'hand' OR kind = 'face'),
    idx INTEGER NOT NULL, x INTEGER, y INTEGER, size INTEGER, confidence INTEGER,
    yaw INTEGER, pitch INTEGER, roll INTEGER, direction_confidence INTEGER,
    age INTEGER, age_confidence INTEGER, gender INTEGER, gender_confidence INTEGER,
    gaze_yaw INTEGER, gaze_pitch INTEGER, blink_left INTEGER, blink_right INTEGER,
    expression INTEGER, expression_score INTEGER, expression_degree INTEGER,
    expression_scores TEXT, user_id INTEGER, recognition_score INTEGER, user_name TEXT,
    PRIMARY KEY (run, kind, idx));
)sql";

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t FileBytes(const std::string& path) {
    std::error_code ec;
    std::int64_t bytes = 0;
    for (const char* suffix : {"", "-wal"}) {
        const auto size = std::filesystem::file_size(Utf8Path(path + suffix), ec);
        if (!ec)
            bytes += static_cast<std::int64_t>(size);
    }
    return bytes;
}

}  // namespace

// The database side: every statement prepared once, on the writer thread.
class CRecorder::Writer {
public:
    explicit Writer(std::string path) : path_(std::move(path)) {}

    int Create(const RecordingSession& session, std::string* why) {
        std::error_code ec;
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(Utf8Path(path_ + suffix), ec);
        if (!db_.Open(path_, CSqliteDb::Mode::kCreate))
            return Fail(kRecordCannotOpen, why);
        // A frame fills twenty 4 KiB pages but two of 64 KiB: with frames, the larger pages make a
        // run's writes a few large ones. Without frames, small pages keep each commit small.
        const std::string pragmas = "PRAGMA page_size = " + std::string(session.frames ? "65536" : "4096") +
                                    "; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;";
        // The file's identity, its tables and the session in one transaction: a reader (or a program
        // killed just then) sees a whole recording or none.
        const std::string identity =
            "BEGIN; PRAGMA application_id = " + std::to_string(kRecordingApplicationId) +
            "; PRAGMA user_version = " + std::to_string(kRecordingSchemaVersion) + ";";
        if (!db_.Exec(pragmas.c_str()) || !db_.Exec(identity.c_str()) || !db_.Exec(kSchema))
            return Fail(kRecordWriteFailed, why);
        CSqliteStatement insert(db_, R"sql(
            INSERT INTO session VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, NULL, ?))sql");
        const ExecSettings& e = session.detection.exec;
        int i = 1;
        insert.Bind(i++, session.programVersion);
        insert.Bind(i++, session.model);
        insert.Bind(i++, session.firmware);
        insert.Bind(i++, session.port);
        insert.Bind(i++, std::int64_t{session.baudRate});
        insert.Bind(i++, std::int64_t{session.detection.cameraAngle});
        for (const int threshold : e.threshold)
            insert.Bind(i++, std::int64_t{threshold});
        for (const CRange& range : e.sizeRange) {
            insert.Bind(i++, std::int64_t{range.min});
            insert.Bind(i++, std::int64_t{range.max});
        }
        insert.Bind(i++, std::int64_t{e.yawAngle});
        insert.Bind(i++, std::int64_t{e.rollAngle});
        insert.Bind(i++, SwitchesText(session.functions));
        insert.Bind(i++, std::int64_t{session.imageOption});
        insert.Bind(i++, std::int64_t{session.frames ? 1 : 0});
        insert.Bind(i++, session.startedMs);
        insert.Bind(i++, session.note);
        if (insert.Step() != SqliteStep::kDone || !db_.Exec("COMMIT"))
            return Fail(kRecordWriteFailed, why);
        runs_ = std::make_unique<CSqliteStatement>(db_, R"sql(
            INSERT INTO run VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))sql");
        detections_ = std::make_unique<CSqliteStatement>(db_, R"sql(
            INSERT INTO detection VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))sql");
        return runs_->Prepared() && detections_->Prepared() ? kRecordOk : Fail(kRecordWriteFailed, why);
    }

    // One transaction for the batch. When the disk refuses it, the runs go in one by one, so that
    // every run that still fits is kept; false when one did not.
    bool Write(const std::deque<Pending>& batch, bool frames, std::int64_t* runs) {
        if (Commit(batch.begin(), batch.end(), frames)) {
            *runs += static_cast<std::int64_t>(batch.size());
            return true;
        }
        for (auto run = batch.begin(); run != batch.end(); ++run) {
            if (!Commit(run, run + 1, frames))
                return false;
            *runs += 1;
        }
        return true;
    }

    void End() {
        CSqliteStatement ended(db_, "UPDATE session SET ended_ms = ? WHERE id = 1");
        ended.Bind(1, NowMs());
        ended.Step();
        runs_.reset();
        detections_.reset();
        // Back to one file: the log is folded in, so the recording can be copied alone. While a
        // reader has the file open the log stays in use; the reader is waited for a while, and after
        // that the recording stays in two files, whole and readable all the same.
        const auto giveUp = std::chrono::steady_clock::now() + kFoldWait;
        while (FoldLogIn() == Fold::kReaderOpen && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        db_.Close();
    }

    std::string Error() const { return error_; }
    const std::string& Path() const { return path_; }

private:
    using Runs = std::deque<Pending>::const_iterator;
    enum class Fold { kDone, kReaderOpen, kFailed };
    Fold FoldLogIn() {
        CSqliteStatement mode(db_, "PRAGMA journal_mode = DELETE");
        if (mode.Step() == SqliteStep::kRow && mode.Text(0) == "delete")
            return Fold::kDone;
        // The log stays in use while another connection has the file open.
        return db_.Busy() ? Fold::kReaderOpen : Fold::kFailed;
    }

    bool Commit(Runs first, Runs last, bool frames) {
        std::int64_t number = committed_;
        bool written = db_.Exec("BEGIN");
        for (Runs run = first; written && run != last; ++run)
            written = WriteRun(++number, *run, frames);
        if (written && db_.Exec("COMMIT")) {
            committed_ = number;
            return true;
        }
        error_ = db_.Error();
        db_.Exec("ROLLBACK");
        return false;
    }

    int Fail(int error, std::string* why) {
        if (why)
            *why = db_.Error();
        return error;
    }

    bool WriteRun(std::int64_t number, const Pending& pending, bool frames) {
        const ExecutionReport& r = pending.report;
        CSqliteStatement& run = *runs_;
        run.Reset();
        int i = 1;
        for (const std::int64_t value :
             {number, r.sentWallMs, r.doneWallMs, r.sentSteadyNs, r.doneSteadyNs,
              std::int64_t{r.responseTimeMs}, std::int64_t{r.status}, std::int64_t{r.response}})
            run.Bind(i++, value);
        run.Bind(i++, SwitchesText(r.functions));
        run.Bind(i++, std::int64_t{r.imageOption});
        run.Bind(i++, std::int64_t{pending.imageWidth});
        run.Bind(i++, std::int64_t{pending.imageHeight});
        // The frame's pixels end the answer; they are kept apart, and only in a recording with frames,
        // so that a recording without them stays small (Add has cut them off already).
        const std::size_t frameBytes = static_cast<std::size_t>(pending.imageWidth) * pending.imageHeight;
        const std::size_t pixels = frames && r.payload.size() >= frameBytes ? frameBytes : 0;
        run.Bind(i++, std::span<const std::uint8_t>(r.payload.data(), r.payload.size() - pixels));
        if (pixels > 0)
            run.Bind(i++,
                     std::span<const std::uint8_t>(r.payload.data() + r.payload.size() - pixels, pixels));
        else
            run.BindNull(i++);
        if (const auto person = PersonColumn(pending.person))
            run.Bind(i++, *person);
        else
            run.BindNull(i++);
        if (run.Step() != SqliteStep::kDone)
            return false;
        const CExecResult& result = r.result;
        for (std::size_t k = 0; k < result.bodies.size(); ++k) {
            if (!WriteDetection(number, "body", k, result.bodies[k], nullptr, pending.names))
                return false;
        }
        for (std::size_t k = 0; k < result.hands.size(); ++k) {
            if (!WriteDetection(number, "hand", k, result.hands[k], nullptr, pending.names))
                return false;
        }
        for (std::size_t k = 0; k < result.faces.size(); ++k) {
            if (!WriteDetection(number, "face", k, result.faces[k].detection, &result.faces[k],
                                pending.names))
                return false;
        }
        return true;
    }

    bool WriteDetection(std::int64_t number, const std::string& kind, std::size_t index,
                        const CQZMDetectRes& box, const CFaceResult* face,
                        const std::vector<UserName>& names) {
        CSqliteStatement& row = *detections_;
        row.Reset();
        row.Bind(1, number);
        row.Bind(2, kind);
        row.Bind(3, static_cast<std::int64_t>(index));
        int i = 4;
        auto bind = [&](bool valid, std::initializer_list<int> values) {
            for (const int value : values) {
                if (valid)
                    row.Bind(i, std::int64_t{value});
                ++i;  // left NULL: the function was off or its answer was cut off
            }
        };
        bind(box.IsValid(), {box.x, box.y, box.size, box.confidence});
        const bool isFace = face != nullptr;
        const CFaceResult empty;
        const CFaceResult& f = isFace ? *face : empty;
        bind(isFace && f.direction.IsValid(),
             {f.direction.yaw, f.direction.pitch, f.direction.roll, f.direction.confidence});
        bind(isFace && f.age.IsValid(), {f.age.age, f.age.confidence});
        bind(isFace && f.gender.IsValid(), {f.gender.gender, f.gender.confidence});
        bind(isFace && f.gaze.IsValid(), {f.gaze.gazeYaw, f.gaze.gazePitch});
        bind(isFace && f.blink.IsValid(), {f.blink.left, f.blink.right});
        bind(isFace && f.expression.IsValid(),
             {f.expression.topExpression, f.expression.topScore, f.expression.degree});
        if (isFace && f.expression.IsValid()) {
            std::string scores;
            for (const int score : f.expression.scores)
                scores += (scores.empty() ? "" : ",") + std::to_string(score);
            row.Bind(i, scores);
        }
        ++i;
        bind(isFace && f.recognition.IsValid(), {f.recognition.userId, f.recognition.score});
        if (isFace && f.recognition.IsValid()) {
            for (const auto& [id, name] : names) {
                if (id == f.recognition.userId) {
                    row.Bind(i, name);
                    break;
                }
            }
        }
        return row.Step() == SqliteStep::kDone;
    }

    const std::string path_;
    CSqliteDb db_;
    std::unique_ptr<CSqliteStatement> runs_;
    std::unique_ptr<CSqliteStatement> detections_;
    std::int64_t committed_ = 0;  // the number of the last run committed
    std::string error_;           // the library's words for the last failed commit
};

CRecorder::CRecorder() = default;

CRecorder::~CRecorder() {
    Stop();
}

int CRecorder::Start(const std::string& path, const RecordingSession& session, std::string* why) {
    Stop();
    auto writer = std::make_unique<Writer>(path);
    const int created = writer->Create(session, why);
    if (created != kRecordOk)
        return created;
    writer_ = std::move(writer);
    frames_ = session.frames;
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        stopping_ = false;
        status_ = Status{};
        status_.recording = true;
        status_.bytes = FileBytes(path);
    }
    thread_ = std::thread([this] { Loop(); });
    return kRecordOk;
}

void CRecorder::Add(ExecutionReport report, std::vector<UserName> names, PersonInView person) {
    Pending pending;
    pending.names = std::move(names);
    pending.person = person;
    pending.imageWidth = report.image.Width();
    pending.imageHeight = report.image.Height();
    // Given back here, on the caller's thread, as if it were not recording: the writer would
    // otherwise free on its thread what this one allocated, and the heap would grow and shrink with
    // every batch.
    const std::size_t frameBytes = static_cast<std::size_t>(pending.imageWidth) * pending.imageHeight;
    if (!frames_ && report.payload.size() >= frameBytes) {
        report.payload.resize(report.payload.size() - frameBytes);
        report.payload.shrink_to_fit();
    }
    report.image = CImageData{};
    pending.report = std::move(report);
    {
        std::lock_guard lock(mutex_);
        if (!status_.recording || stopping_)
            return;
        queue_.push_back(std::move(pending));
        if (queue_.size() < kBatchRuns)
            return;
    }
    wake_.notify_one();
}

void CRecorder::Loop() {
    auto nextCommit = std::chrono::steady_clock::now() + kCommitEvery;
    for (;;) {
        std::deque<Pending> batch;
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, nextCommit, [this] { return stopping_ || queue_.size() >= kBatchRuns; });
            batch.swap(queue_);
            last = stopping_;
        }
        nextCommit = std::chrono::steady_clock::now() + kCommitEvery;
        std::int64_t runs = 0;
        const bool written = batch.empty() || writer_->Write(batch, frames_, &runs);
        const std::int64_t bytes = FileBytes(writer_->Path());
        std::lock_guard lock(mutex_);
        status_.runs += runs;
        status_.bytes = bytes;
        if (!written) {
            // The disk refused: what was committed stays, the recording ends here.
            status_.error = kRecordWriteFailed;
            status_.errorText = writer_->Error();
            status_.recording = false;
            queue_.clear();
            return;
        }
        if (last)
            return;
    }
}

int CRecorder::Stop(std::string* why) {
    if (!thread_.joinable())
        return kRecordOk;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    writer_->End();
    writer_.reset();
    std::lock_guard lock(mutex_);
    status_.recording = false;
    if (why)
        *why = status_.errorText;
    return status_.error;
}

CRecorder::Status CRecorder::Read() const {
    std::lock_guard lock(mutex_);
    return status_;
}

}  // namespace qzm
