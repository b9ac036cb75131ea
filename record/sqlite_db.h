// A thin owner of an SQLite connection and its prepared statements: closed and finalised on every
// path, with the library's own words kept for the message. The library stays out of this header, so
// a build without it (Windows, cross-built where no SQLite is packaged) swaps only the source file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace qzm {

// Whether this build can write and read recordings at all.
bool RecordingsSupported();

enum class SqliteStep { kRow, kDone, kError };

class CSqliteDb;

class CSqliteStatement {
public:
    CSqliteStatement(const CSqliteDb& db, std::string_view sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    bool Prepared() const { return statement_ != nullptr; }
    // Parameters count from 1, as in SQL.
    void Bind(int index, std::int64_t value);
    void Bind(int index, const std::string& value);
    // The bytes are not copied: they must stay until Step (Reset lets go of them).
    void Bind(int index, std::span<const std::uint8_t> bytes);
    void BindNull(int index);
    SqliteStep Step();
    void Reset();
    // Columns count from 0.
    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::span<const std::uint8_t> Blob(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
};

class CSqliteDb {
public:
    CSqliteDb() = default;
    ~CSqliteDb();
    CSqliteDb(const CSqliteDb&) = delete;
    CSqliteDb& operator=(const CSqliteDb&) = delete;

    enum class Mode { kReadOnly, kCreate };
    // The path is UTF-8 on every system.
    bool Open(const std::string& path, Mode mode);
    void Close();
    bool Exec(const char* sql);
    // The first column of the first row as an integer; fallback when there is none.
    std::int64_t Scalar(const char* sql, std::int64_t fallback = 0);
    std::string Error() const;
    // Whether the last call failed because another connection holds the file.
    bool Busy() const;

private:
    friend class CSqliteStatement;
    sqlite3* db_ = nullptr;
};

}  // namespace qzm
