// A thin owner of an SQLite connection and its prepared statements: closed and finalised on every
// path, with the library's own words kept for the message.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qzm {

class CSqliteStatement {
public:
    CSqliteStatement(sqlite3* db, std::string_view sql);
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
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
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

    // flags: SQLITE_OPEN_READONLY, or SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE.
    bool Open(const std::string& path, int flags);
    void Close();
    bool Exec(const char* sql);
    // The first column of the first row as an integer; fallback when there is none.
    std::int64_t Scalar(const char* sql, std::int64_t fallback = 0);
    sqlite3* Handle() const { return db_; }
    std::string Error() const;

private:
    sqlite3* db_ = nullptr;
};

}  // namespace qzm
