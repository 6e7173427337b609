#include "gallery/store/PostgresConnection.h"

namespace {

constexpr Oid kInt8Oid = 20;
constexpr Oid kTextOid = 25;
constexpr Oid kByteaOid = 17;

// What the server says, on one line: its messages end in a newline and continue on
// lines of their own.
std::string OneLine(const char* message)
{
    std::string line;
    bool bSpace = false;
    for (const char* p = message ? message : ""; *p; ++p) {
        if (*p == '\n' || *p == '\t' || *p == '\r') {
            bSpace = true;
            continue;
        }
        if (bSpace && !line.empty())
            line += ' ';
        bSpace = false;
        line += *p;
    }
    return line.empty() ? "no reason given" : line;
}

} // namespace

CPgParams& CPgParams::Text(std::string_view text)
{
    return Add(kTextOid, text.data(), text.size());
}

CPgParams& CPgParams::Bytes(std::span<const std::uint8_t> bytes)
{
    return Add(kByteaOid, bytes.data(), bytes.size());
}

CPgParams& CPgParams::Int(std::int64_t value)
{
    char bigEndian[8];
    const auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        bigEndian[i] = static_cast<char>(bits >> (56 - 8 * i));
    return Add(kInt8Oid, bigEndian, sizeof bigEndian);
}

void CPgParams::Arrays(std::vector<const char*>& values, std::vector<int>& lengths, std::vector<int>& formats) const
{
    for (const std::string& value : m_values) {
        values.push_back(value.data());
        lengths.push_back(static_cast<int>(value.size()));
        formats.push_back(1);
    }
}

CPgParams& CPgParams::Add(Oid type, const void* data, std::size_t size)
{
    m_types.push_back(type);
    m_values.emplace_back(static_cast<const char*>(data), size);
    return *this;
}

bool CPgResult::Ok() const
{
    const ExecStatusType status = PQresultStatus(m_pResult.get());
    return m_pResult && (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK);
}

std::string_view CPgResult::State() const
{
    const char* state = PQresultErrorField(m_pResult.get(), PG_DIAG_SQLSTATE);
    return state ? state : "";
}

std::string CPgResult::Message() const
{
    return OneLine(PQresultErrorMessage(m_pResult.get()));
}

std::int64_t CPgResult::Int(int row, int column) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(m_pResult.get(), row, column));
    std::uint64_t bits = 0;
    for (int i = 0; i < PQgetlength(m_pResult.get(), row, column); ++i)
        bits = bits << 8 | bytes[i];
    return static_cast<std::int64_t>(bits);
}

std::string CPgResult::Text(int row, int column) const
{
    return {PQgetvalue(m_pResult.get(), row, column), static_cast<std::size_t>(PQgetlength(m_pResult.get(), row, column))};
}

std::vector<std::uint8_t> CPgResult::Bytes(int row, int column) const
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(PQgetvalue(m_pResult.get(), row, column));
    return {bytes, bytes + PQgetlength(m_pResult.get(), row, column)};
}

bool CPgConnection::Connect(const std::string& url, std::string& error)
{
    Close();
    // Entries before the URL are defaults it may override (a server that does not
    // answer, a connection that goes silent); those after it are the gallery's own.
    const char* const keys[] = {"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count",
                                "application_name", "dbname", "client_encoding", nullptr};
    const char* const values[] = {"10", "30", "10", "3", "zorvat-gallery", url.c_str(), "UTF8", nullptr};
    m_pConn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_pConn) != CONNECTION_OK) {
        error = "cannot connect to the PostgreSQL database: " + OneLine(PQerrorMessage(m_pConn));
        Close();
        return false;
    }
    // Notices ("relation already exists, skipping") are no errors: the store says
    // what went wrong through its calls.
    PQsetNoticeProcessor(m_pConn, [](void*, const char*) {}, nullptr);
    const char* encoding = PQparameterStatus(m_pConn, "server_encoding");
    if (!encoding || std::string_view(encoding) != "UTF8") {
        error = std::string("the PostgreSQL database is in ") + (encoding ? encoding : "an unknown encoding") +
                ", not UTF8: create it with ENCODING 'UTF8'";
        Close();
        return false;
    }
    // A post is on the server's disk before it is answered, whatever the server's or
    // the role's default.
    return Run("SET synchronous_commit = on", {}, "cannot set up the connection", error);
}

void CPgConnection::Close()
{
    PQfinish(m_pConn);
    m_pConn = nullptr;
}

CPgResult CPgConnection::Exec(const char* sql, const CPgParams& params)
{
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    params.Arrays(values, lengths, formats);
    return CPgResult(
        PQexecParams(m_pConn, sql, params.Count(), params.Types(), values.data(), lengths.data(), formats.data(), 1));
}

bool CPgConnection::Run(const char* sql, const CPgParams& params, const char* what, std::string& error)
{
    const CPgResult result = Exec(sql, params);
    return result.Ok() || Fail(result, what, error);
}

bool CPgConnection::RunScript(const char* sql, const char* what, std::string& error)
{
    const CPgResult result(PQexec(m_pConn, sql));
    return result.Ok() || Fail(result, what, error);
}

bool CPgConnection::Fail(const CPgResult& result, const char* what, std::string& error) const
{
    error = std::string(what) + ": " + (Broken() ? ConnectionError() : result.Message());
    return false;
}

std::string CPgConnection::ConnectionError() const
{
    return "the connection to the PostgreSQL server was lost (" + OneLine(PQerrorMessage(m_pConn)) + ")";
}

CPgTransaction::~CPgTransaction()
{
    if (m_bOpen && !m_db.Broken())
        (void)m_db.Exec("ROLLBACK");
}

bool CPgTransaction::Begin(const char* what, std::string& error, const char* begin)
{
    m_bOpen = m_db.Run(begin, {}, what, error);
    return m_bOpen;
}

CPgResult CPgTransaction::Commit()
{
    m_bOpen = false;
    m_db.CommitSending();
    return m_db.Exec("COMMIT");
}

bool CPgTransaction::Commit(const char* what, std::string& error)
{
    const CPgResult result = Commit();
    return result.Ok() || m_db.Fail(result, what, error);
}

bool RunWrite(CPgConnection& db, const char* sql, const CPgParams& params, const char* what, std::string& error,
              int* rows)
{
    CPgTransaction transaction(db);
    if (!transaction.Begin(what, error))
        return false;
    const CPgResult result = db.Exec(sql, params);
    if (!result.Ok())
        return db.Fail(result, what, error);
    if (rows)
        *rows = result.Rows();
    return transaction.Commit(what, error);
}

CLease::CLease(CPgPool& pool) : m_pool(pool)
{
    std::unique_lock lock(m_pool.m_mutex);
    m_pool.m_returned.wait(lock, [&] { return m_pool.m_nLendable > 0; });
    --m_pool.m_nLendable;
    if (m_pool.m_idle.empty()) {
        m_pConnection = std::make_unique<CPgConnection>();
    } else {
        m_pConnection = std::move(m_pool.m_idle.back());
        m_pool.m_idle.pop_back();
    }
}

CLease::~CLease()
{
    {
        std::lock_guard lock(m_pool.m_mutex);
        m_pool.m_idle.push_back(std::move(m_pConnection));
        ++m_pool.m_nLendable;
    }
    m_pool.m_returned.notify_one();
}
