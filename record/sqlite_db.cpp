#include "record/sqlite_db.h"

#include <sqlite3.h>

namespace qzm {

namespace {
constexpr int kBusyWaitMs = 5000;
}  // namespace

bool RecordingsSupported() {
    return true;
}

CSqliteStatement::CSqliteStatement(const CSqliteDb& db, std::string_view sql) {
    if (db.db_ != nullptr)
        sqlite3_prepare_v2(db.db_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
}

CSqliteStatement::~CSqliteStatement() {
    sqlite3_finalize(statement_);
}

void CSqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void CSqliteStatement::Bind(int index, const std::string& value) {
    sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

void CSqliteStatement::Bind(int index, std::span<const std::uint8_t> bytes) {
    // An empty blob stays a blob of length 0, not NULL: "nothing came" differs from "not kept".
    // Not copied: a frame is 76 800 bytes, and the caller keeps them until the step.
    sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                        bytes.size(), SQLITE_STATIC);
}

void CSqliteStatement::BindNull(int index) {
    sqlite3_bind_null(statement_, index);
}

SqliteStep CSqliteStatement::Step() {
    switch (statement_ != nullptr ? sqlite3_step(statement_) : SQLITE_MISUSE) {
        case SQLITE_ROW:
            return SqliteStep::kRow;
        case SQLITE_DONE:
            return SqliteStep::kDone;
        default:
            return SqliteStep::kError;
    }
}

void CSqliteStatement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool CSqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t CSqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string CSqliteStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                         static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                           : std::string();
}

std::span<const std::uint8_t> CSqliteStatement::Blob(int column) const {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    return {bytes, bytes != nullptr ? static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)) : 0};
}

CSqliteDb::~CSqliteDb() {
    Close();
}

bool CSqliteDb::Open(const std::string& path, Mode mode) {
    Close();
    const int flags =
        mode == Mode::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK)
        return false;  // db_ kept for Error(); Close releases it
    // A recording may be read while it is written: a reader then waits out the writer's short
    // exclusive moments (folding the log in at the end) instead of failing with "database is locked".
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    return true;
}

void CSqliteDb::Close() {
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool CSqliteDb::Exec(const char* sql) {
    return db_ != nullptr && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t CSqliteDb::Scalar(const char* sql, std::int64_t fallback) {
    CSqliteStatement statement(*this, sql);
    return statement.Step() == SqliteStep::kRow ? statement.Int(0) : fallback;
}

bool CSqliteDb::Busy() const {
    return db_ != nullptr && (sqlite3_errcode(db_) & 0xff) == SQLITE_BUSY;
}

std::string CSqliteDb::Error() const {
    return db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
}

}  // namespace qzm
