// A build without SQLite (the Windows cross build: no SQLite is packaged for it). Every recording
// is refused with one plain reason, so record, export, info, stats and replay say why instead of
// failing obscurely; everything else works.
#include "record/sqlite_db.h"

namespace qzm {

bool RecordingsSupported() {
    return false;
}

CSqliteStatement::CSqliteStatement(const CSqliteDb&, std::string_view) {}
CSqliteStatement::~CSqliteStatement() = default;
void CSqliteStatement::Bind(int, std::int64_t) {}
void CSqliteStatement::Bind(int, const std::string&) {}
void CSqliteStatement::Bind(int, std::span<const std::uint8_t>) {}
void CSqliteStatement::BindNull(int) {}
SqliteStep CSqliteStatement::Step() {
    return SqliteStep::kError;
}
void CSqliteStatement::Reset() {}
bool CSqliteStatement::IsNull(int) const {
    return true;
}
std::int64_t CSqliteStatement::Int(int) const {
    return 0;
}
std::string CSqliteStatement::Text(int) const {
    return {};
}
std::span<const std::uint8_t> CSqliteStatement::Blob(int) const {
    return {};
}

CSqliteDb::~CSqliteDb() = default;
bool CSqliteDb::Open(const std::string&, Mode) {
    return false;
}
void CSqliteDb::Close() {}
bool CSqliteDb::Exec(const char*) {
    return false;
}
std::int64_t CSqliteDb::Scalar(const char*, std::int64_t fallback) {
    return fallback;
}
bool CSqliteDb::Busy() const {
    return false;
}
std::string CSqliteDb::Error() const {
    return "this build of the program has no SQLite, so it cannot write or read recordings";
}

}  // namespace qzm
