#include "gallery/store/SqliteStatement.h"

#include <sqlite3.h>

CSqliteStatement::CSqliteStatement(sqlite3* db, std::string_view sql)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_pStmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_pStmt);
        m_pStmt = nullptr;
    }
}

CSqliteStatement::~CSqliteStatement()
{
    sqlite3_finalize(m_pStmt);
}

bool CSqliteStatement::Bind(int index, std::int64_t value)
{
    return m_pStmt && sqlite3_bind_int64(m_pStmt, index, value) == SQLITE_OK;
}

bool CSqliteStatement::Bind(int index, std::string_view text)
{
    return m_pStmt && sqlite3_bind_text(m_pStmt, index, text.data(), static_cast<int>(text.size()),
                                        SQLITE_TRANSIENT) == SQLITE_OK;
}

bool CSqliteStatement::BindBlob(int index, std::span<const std::uint8_t> bytes)
{
    // A zero-length blob is still a blob, not NULL: SQLite needs a non-null pointer for that.
    static const std::uint8_t kNothing = 0;
    const void* data = bytes.empty() ? &kNothing : bytes.data();
    return m_pStmt && sqlite3_bind_blob(m_pStmt, index, data, static_cast<int>(bytes.size()), SQLITE_TRANSIENT) ==
                          SQLITE_OK;
}

bool CSqliteStatement::Step()
{
    if (!m_pStmt) {
        m_bFailed = true;
        return false;
    }
    m_nLastCode = sqlite3_step(m_pStmt);
    if (m_nLastCode == SQLITE_ROW)
        return true;
    if (m_nLastCode != SQLITE_DONE)
        m_bFailed = true;
    return false;
}

bool CSqliteStatement::Run()
{
    while (Step()) {
    }
    return !m_bFailed;
}

std::int64_t CSqliteStatement::Int(int column) const
{
    return sqlite3_column_int64(m_pStmt, column);
}

std::string CSqliteStatement::Text(int column) const
{
    const unsigned char* text = sqlite3_column_text(m_pStmt, column);
    int size = sqlite3_column_bytes(m_pStmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)) : std::string();
}

std::vector<std::uint8_t> CSqliteStatement::Blob(int column) const
{
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_pStmt, column));
    int size = sqlite3_column_bytes(m_pStmt, column);
    return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}
