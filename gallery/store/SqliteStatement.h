#pragma once
// One prepared SQLite statement, finalized when it goes out of scope. Columns and
// parameters are 1-based for Bind, 0-based for the column getters (as in SQLite).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class CSqliteStatement {
public:
    // Prepares `sql` on `db`; Ok() tells whether that worked.
    CSqliteStatement(sqlite3* db, std::string_view sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    [[nodiscard]] bool Ok() const { return m_pStmt != nullptr; }

    [[nodiscard]] bool Bind(int index, std::int64_t value);
    [[nodiscard]] bool Bind(int index, std::string_view text);
    [[nodiscard]] bool BindBlob(int index, std::span<const std::uint8_t> bytes);

    // Runs to the next row: true with a row, false at the end or on an error (then
    // Failed() is set).
    [[nodiscard]] bool Step();
    // Runs a statement that returns no rows; false on an error.
    [[nodiscard]] bool Run();
    [[nodiscard]] bool Failed() const { return m_bFailed; }
    // The result code of the last step (SQLITE_CONSTRAINT and the like).
    [[nodiscard]] int LastCode() const { return m_nLastCode; }

    [[nodiscard]] std::int64_t Int(int column) const;
    [[nodiscard]] std::string Text(int column) const;
    [[nodiscard]] std::vector<std::uint8_t> Blob(int column) const;

private:
    sqlite3_stmt* m_pStmt = nullptr;
    bool m_bFailed = false;
    int m_nLastCode = 0;
};
