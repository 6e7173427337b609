#include "gallery/store/PostgresGalleryStore.h"

#include <libpq-fe.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <span>

#include "gallery/names/NameText.h"
#include "gallery/store/SearchWords.h"
#include "gallery/store/StoreSql.h"

namespace {

// Connections per store: gallery threads take turns on them, each used by one call at
// a time. A few keep the threads busy without holding many server processes per
// gallery process.
constexpr int kConnections = 4;
// Besides them, connections for the listings and ringtones alone: writes that wait on
// a stalled disk may hold every one of the others, and the pages are read meanwhile.
constexpr int kReadConnections = 2;

// The schema, one step per version, recorded in gallery_schema. Each step runs in its
// own transaction under an advisory lock, so that processes starting together apply
// it once.
// Version 1: nicknames that look alike are one author through a unique key
// (LookAlikeKeyOf), so a registration racing another process's fails on the index. Ids
// come from an identity, never given twice. Each ringtone keeps the words of its name
// and nickname (SearchWordsOf) as an array for the GIN index and as text between
// spaces for whole-word phrases. The count of each category is kept by a trigger, so
// the page's header costs no scan.
constexpr const char* kSchemaVersion1 = R"(
CREATE TABLE authors (
    nickname      TEXT PRIMARY KEY,
    nickname_key  TEXT NOT NULL UNIQUE,
    password_hash TEXT NOT NULL,
    registered    BIGINT NOT NULL
);
CREATE TABLE tones (
    id           BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    author       TEXT NOT NULL REFERENCES authors (nickname),
    name         TEXT NOT NULL,
    category     TEXT NOT NULL CHECK (category IN ('ENGLISH', 'CHINESE', 'CLASSICAL', 'OTHERS')),
    posted       BIGINT NOT NULL,
    midi         BYTEA NOT NULL,
    message      BYTEA NOT NULL,
    words        TEXT[] NOT NULL,
    name_words   TEXT NOT NULL,
    author_words TEXT NOT NULL
);
CREATE INDEX tones_by_time ON tones (posted DESC, id DESC);
CREATE INDEX tones_by_category ON tones (category, posted DESC, id DESC);
CREATE INDEX tones_by_author ON tones (author, posted DESC, id DESC);
CREATE INDEX tones_by_word ON tones USING GIN (words);

CREATE TABLE tone_counts (
    category TEXT PRIMARY KEY,
    tones    BIGINT NOT NULL
);
INSERT INTO tone_counts (category, tones) VALUES ('ENGLISH', 0), ('CHINESE', 0), ('CLASSICAL', 0), ('OTHERS', 0);
CREATE FUNCTION count_tones() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('DELETE', 'UPDATE') THEN
        UPDATE tone_counts SET tones = tones - 1 WHERE category = OLD.category;
    END IF;
    IF TG_OP IN ('INSERT', 'UPDATE') THEN
        UPDATE tone_counts SET tones = tones + 1 WHERE category = NEW.category;
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER tones_counted AFTER INSERT OR DELETE OR UPDATE OF category ON tones
    FOR EACH ROW EXECUTE FUNCTION count_tones();

CREATE TABLE counters (
    key           TEXT PRIMARY KEY,
    count         BIGINT NOT NULL,
    last          BIGINT NOT NULL,
    blocked_until BIGINT NOT NULL
);
CREATE INDEX counters_by_time ON counters (last);
)";

// The advisory lock of the gallery's schema in its database ("ZorvatGS").
constexpr std::int64_t kSchemaLock = 0x5A6F727661744753;

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

// A statement's parameters, all sent in binary with their types: nothing typed by a
// user is ever part of the SQL text.
class CPgParams {
public:
    CPgParams& Text(std::string_view text) { return Add(kTextOid, text.data(), text.size()); }
    CPgParams& Bytes(std::span<const std::uint8_t> bytes) { return Add(kByteaOid, bytes.data(), bytes.size()); }
    CPgParams& Int(std::int64_t value)
    {
        char bigEndian[8];
        const auto bits = static_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i)
            bigEndian[i] = static_cast<char>(bits >> (56 - 8 * i));
        return Add(kInt8Oid, bigEndian, sizeof bigEndian);
    }

    [[nodiscard]] int Count() const { return static_cast<int>(m_values.size()); }
    [[nodiscard]] const Oid* Types() const { return m_types.data(); }
    // Pointers into this object: valid while it lives unchanged.
    void Arrays(std::vector<const char*>& values, std::vector<int>& lengths, std::vector<int>& formats) const
    {
        for (const std::string& value : m_values) {
            values.push_back(value.data());
            lengths.push_back(static_cast<int>(value.size()));
            formats.push_back(1);
        }
    }

private:
    CPgParams& Add(Oid type, const void* data, std::size_t size)
    {
        m_types.push_back(type);
        m_values.emplace_back(static_cast<const char*>(data), size);
        return *this;
    }

    std::vector<Oid> m_types;
    std::vector<std::string> m_values;
};

// One statement's result, its columns in binary.
class CPgResult {
public:
    explicit CPgResult(PGresult* result) : m_pResult(result, &PQclear) {}

    [[nodiscard]] bool Ok() const
    {
        const ExecStatusType status = PQresultStatus(m_pResult.get());
        return m_pResult && (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK);
    }
    [[nodiscard]] int Rows() const { return PQntuples(m_pResult.get()); }
    // The SQLSTATE of a failure ("23505"), empty when there is none.
    [[nodiscard]] std::string_view State() const
    {
        const char* state = PQresultErrorField(m_pResult.get(), PG_DIAG_SQLSTATE);
        return state ? state : "";
    }
    [[nodiscard]] std::string Message() const { return OneLine(PQresultErrorMessage(m_pResult.get())); }

    [[nodiscard]] std::int64_t Int(int row, int column) const
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(m_pResult.get(), row, column));
        std::uint64_t bits = 0;
        for (int i = 0; i < PQgetlength(m_pResult.get(), row, column); ++i)
            bits = bits << 8 | bytes[i];
        return static_cast<std::int64_t>(bits);
    }
    [[nodiscard]] std::string Text(int row, int column) const
    {
        return {PQgetvalue(m_pResult.get(), row, column),
                static_cast<std::size_t>(PQgetlength(m_pResult.get(), row, column))};
    }
    [[nodiscard]] std::vector<std::uint8_t> Bytes(int row, int column) const
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(PQgetvalue(m_pResult.get(), row, column));
        return {bytes, bytes + PQgetlength(m_pResult.get(), row, column)};
    }

private:
    std::unique_ptr<PGresult, decltype(&PQclear)> m_pResult;
};

// One connection of the pool. It may break (the server restarts, the network drops):
// then the next call connects anew.
class CPgConnection {
public:
    CPgConnection() = default;
    ~CPgConnection() { PQfinish(m_pConn); }
    CPgConnection(const CPgConnection&) = delete;
    CPgConnection& operator=(const CPgConnection&) = delete;

    [[nodiscard]] bool Connect(const std::string& url, std::string& error);
    [[nodiscard]] bool Broken() const { return !m_pConn || PQstatus(m_pConn) != CONNECTION_OK; }

    [[nodiscard]] CPgResult Exec(const char* sql, const CPgParams& params = {})
    {
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        params.Arrays(values, lengths, formats);
        return CPgResult(PQexecParams(m_pConn, sql, params.Count(), params.Types(), values.data(), lengths.data(),
                                      formats.data(), 1));
    }
    // A statement whose result is not read; false with `what` and the server's reason.
    [[nodiscard]] bool Run(const char* sql, const CPgParams& params, const char* what, std::string& error)
    {
        const CPgResult result = Exec(sql, params);
        return result.Ok() || Fail(result, what, error);
    }
    // Statements without parameters, one after the other (a schema step).
    [[nodiscard]] bool RunScript(const char* sql, const char* what, std::string& error)
    {
        const CPgResult result(PQexec(m_pConn, sql));
        return result.Ok() || Fail(result, what, error);
    }
    [[nodiscard]] bool Fail(const CPgResult& result, const char* what, std::string& error) const
    {
        error = std::string(what) + ": " + (Broken() ? ConnectionError() : result.Message());
        return false;
    }

    // A call starts; whether it sent a COMMIT decides whether it may run again on a
    // new connection after this one broke.
    void StartCall() { m_bCommitSent = false; }
    void CommitSending() { m_bCommitSent = true; }
    [[nodiscard]] bool CommitSent() const { return m_bCommitSent; }

private:
    [[nodiscard]] std::string ConnectionError() const
    {
        return "the connection to the PostgreSQL server was lost (" + OneLine(PQerrorMessage(m_pConn)) + ")";
    }

    PGconn* m_pConn = nullptr;
    bool m_bCommitSent = false;
};

bool CPgConnection::Connect(const std::string& url, std::string& error)
{
    PQfinish(m_pConn);
    // Entries before the URL are defaults it may override (a server that does not
    // answer, a connection that goes silent); those after it are the gallery's own.
    const char* const keys[] = {"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count",
                                "application_name", "dbname", "client_encoding", nullptr};
    const char* const values[] = {"10", "30", "10", "3", "zorvat-gallery", url.c_str(), "UTF8", nullptr};
    m_pConn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_pConn) != CONNECTION_OK) {
        error = "cannot connect to the PostgreSQL database: " + OneLine(PQerrorMessage(m_pConn));
        PQfinish(m_pConn);
        m_pConn = nullptr;
        return false;
    }
    // Notices ("relation already exists, skipping") are no errors: the store says
    // what went wrong through its calls.
    PQsetNoticeProcessor(m_pConn, [](void*, const char*) {}, nullptr);
    const char* encoding = PQparameterStatus(m_pConn, "server_encoding");
    if (!encoding || std::string_view(encoding) != "UTF8") {
        error = std::string("the PostgreSQL database is in ") + (encoding ? encoding : "an unknown encoding") +
                ", not UTF8: create it with ENCODING 'UTF8'";
        PQfinish(m_pConn);
        m_pConn = nullptr;
        return false;
    }
    // A post is on the server's disk before it is answered, whatever the server's or
    // the role's default.
    return Run("SET synchronous_commit = on", {}, "cannot set up the connection", error);
}

// Rolls back an open transaction unless Commit was called.
class CPgTransaction {
public:
    explicit CPgTransaction(CPgConnection& db) : m_db(db) {}
    ~CPgTransaction()
    {
        if (m_bOpen && !m_db.Broken())
            (void)m_db.Exec("ROLLBACK");
    }
    CPgTransaction(const CPgTransaction&) = delete;
    CPgTransaction& operator=(const CPgTransaction&) = delete;

    [[nodiscard]] bool Begin(const char* what, std::string& error, const char* begin = "BEGIN")
    {
        m_bOpen = m_db.Run(begin, {}, what, error);
        return m_bOpen;
    }
    [[nodiscard]] CPgResult Commit()
    {
        m_bOpen = false;
        m_db.CommitSending();
        return m_db.Exec("COMMIT");
    }
    [[nodiscard]] bool Commit(const char* what, std::string& error)
    {
        const CPgResult result = Commit();
        return result.Ok() || m_db.Fail(result, what, error);
    }

private:
    CPgConnection& m_db;
    bool m_bOpen = false;
};

// One statement that changes something, in a transaction of its own, so that a call
// that finds its connection broken may run again. `rows`: how many it returned.
bool RunWrite(CPgConnection& db, const char* sql, const CPgParams& params, const char* what, std::string& error,
              int* rows = nullptr)
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

// A row of kListedToneColumns.
void ReadListedTone(const CPgResult& result, int row, CToneRecord& tone)
{
    ToneFromColumns({result.Int(row, 0), result.Text(row, 1), result.Text(row, 2), result.Text(row, 3),
                     result.Int(row, 4), result.Bytes(row, 5)},
                    tone);
}

// Words between single spaces with a space at each end, so that a run of words is
// found whole by a substring search.
std::string Spaced(const std::vector<std::string>& words)
{
    std::string text = " ";
    for (const std::string& word : words)
        text += word + " ";
    return text;
}

// The words columns of a ringtone: every word of the name and nickname once (the GIN
// index), and each of the two spaced.
struct CToneWords {
    std::string m_strAll;          // separated by spaces, which no word holds
    std::string m_strName;
    std::string m_strAuthor;
};

bool WordsOfTone(const CToneRecord& tone, CToneWords& words, std::string& error)
{
    std::vector<std::string> name;
    std::vector<std::string> author;
    if (!SearchWordsOf(tone.m_strName, name, error) || !SearchWordsOf(tone.m_strAuthor, author, error))
        return false;
    std::set<std::string> all(name.begin(), name.end());
    all.insert(author.begin(), author.end());
    words.m_strAll.clear();
    for (const std::string& word : all)
        words.m_strAll += (words.m_strAll.empty() ? "" : " ") + word;
    words.m_strName = Spaced(name);
    words.m_strAuthor = Spaced(author);
    return true;
}

// A search as typed, as SQLite's store takes it: the text is split at white space and
// control characters into terms, and each term is the run of words it makes (quotes,
// stars, brackets and colons are no syntax, only separators), to be found whole in the
// name or in the nickname.
struct CSearchTerms {
    bool m_bSearch = false;        // the text has more than white space
    std::string m_strWords;        // every word of every term, separated by spaces
    std::string m_strTerms;        // each term spaced (see Spaced), separated by commas
};

bool SearchTermsOf(std::string_view text, CSearchTerms& terms, std::string& error)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const auto byte = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        if (i < text.size() && byte > ' ' && byte != 0x7F)
            continue;
        if (i > start) {
            terms.m_bSearch = true;
            std::vector<std::string> words;
            if (!SearchWordsOf(text.substr(start, i - start), words, error))
                return false;
            for (const std::string& word : words)
                terms.m_strWords += (terms.m_strWords.empty() ? "" : " ") + word;
            if (!words.empty())
                terms.m_strTerms += (terms.m_strTerms.empty() ? "" : ",") + Spaced(words);
        }
        start = i + 1;
    }
    return true;
}

// Every word through the GIN index, then each term whole in one column.
CListingSql ListingSqlOf(const CToneFilter& filter, const CSearchTerms& terms, std::size_t first)
{
    if (!terms.m_bSearch)
        return PlainListingSqlOf(filter, SqlDialect::Postgres, first);
    CListingSql sql;
    sql.m_dialect = SqlDialect::Postgres;
    sql.m_nFirst = first;
    sql.AddCondition("words @> string_to_array(" + sql.Next() + ", ' ')");
    sql.m_values.push_back(terms.m_strWords);
    sql.AddCondition("NOT EXISTS (SELECT FROM unnest(string_to_array(" + sql.Next() +
                     ", ',')) AS term WHERE strpos(name_words, term) = 0 AND strpos(author_words, term) = 0)");
    sql.m_values.push_back(terms.m_strTerms);
    NarrowByAuthorAndCategory(sql, filter);
    sql.m_strIds = "SELECT id FROM tones" + sql.m_strWhere + " ORDER BY id DESC";
    FinishSearchSql(sql, "FROM tones" + sql.m_strWhere);
    return sql;
}

// The values of the listing's placeholders after `params`.
CPgParams ParamsOf(const CListingSql& sql, CPgParams params = {})
{
    for (const std::string& value : sql.m_values)
        params.Text(value);
    return params;
}

// Connections of a store, each lent to one call at a time.
struct CPgPool {
    explicit CPgPool(int connections) : m_nLendable(connections) {}
    std::string m_strUrl;          // empty until the store is open
    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<std::unique_ptr<CPgConnection>> m_idle;
    int m_nLendable; // idle ones and those not yet made
};

// A connection of the pool for one call; back to the pool when the call ends.
class CLease {
public:
    explicit CLease(CPgPool& pool) : m_pool(pool)
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
    ~CLease()
    {
        {
            std::lock_guard lock(m_pool.m_mutex);
            m_pool.m_idle.push_back(std::move(m_pConnection));
            ++m_pool.m_nLendable;
        }
        m_pool.m_returned.notify_one();
    }
    CLease(const CLease&) = delete;
    CLease& operator=(const CLease&) = delete;

    [[nodiscard]] CPgConnection& Connection() { return *m_pConnection; }

private:
    CPgPool& m_pool;
    std::unique_ptr<CPgConnection> m_pConnection;
};

// Runs `body` on a connection of the pool, connecting it first if it is new or broke.
// A connection that turns out broken before the call sent its COMMIT changed nothing
// (the server rolls back what it had not committed): the call runs once more on a new
// connection, so the first call after the server restarted goes through.
template <class Body>
bool OnConnection(CPgPool& pool, Body body, std::string& error)
{
    if (pool.m_strUrl.empty()) {
        error = "the PostgreSQL store is not open";
        return false;
    }
    CLease lease(pool);
    CPgConnection& db = lease.Connection();
    for (int attempt = 0;; ++attempt) {
        if (db.Broken() && !db.Connect(pool.m_strUrl, error))
            return false;
        db.StartCall();
        if (body(db, error))
            return true;
        if (attempt > 0 || !db.Broken() || db.CommitSent())
            return false;
    }
}

// Version 2: the keys take the skeleton before letter case is folded. Authors whose
// nicknames now share a key were registered apart: the first registered keeps the key
// (and is the author its look-alikes post as from now on); a later one keeps a key of
// its own, made unique by its nickname, and its ringtones stay under its nickname.
bool RecomputeNicknameKeys(CPgConnection& db, std::string& error)
{
    const char* what = "cannot update the keys of the nicknames";
    const CPgResult authors = db.Exec("SELECT nickname FROM authors ORDER BY registered, nickname");
    if (!authors.Ok())
        return db.Fail(authors, what, error);
    if (!db.Run("UPDATE authors SET nickname_key = chr(1) || nickname", {}, what, error))
        return false;
    std::set<std::string> taken;
    for (int row = 0; row < authors.Rows(); ++row) {
        const std::string nickname = authors.Text(row, 0);
        std::string key;
        if (!LookAlikeKeyOf(nickname, key, error))
            return false;
        if (!taken.insert(key).second)
            key += std::string(1, '\x01') + nickname;
        if (!db.Run("UPDATE authors SET nickname_key = $1 WHERE nickname = $2", CPgParams().Text(key).Text(nickname),
                    what, error))
            return false;
    }
    return true;
}

constexpr CSchemaStep<CPgConnection> kSchemaSteps[] = {
    {1, [](CPgConnection& db, std::string& error) {
         return db.RunScript(kSchemaVersion1, "cannot update the schema to version 1", error);
     }},
    {2, RecomputeNicknameKeys},
    // Small Greek and Cyrillic look-alikes of Latin letters join the keys.
    {3, RecomputeNicknameKeys},
};

// Each step under the advisory lock, so that processes starting together apply it
// once; the versions applied are recorded in gallery_schema.
bool UpdatePostgresSchema(CPgConnection& db, std::string& error)
{
    const auto inTransaction = [&db](int version, const auto& apply, std::string& why) {
        CPgTransaction transaction(db);
        if (!transaction.Begin("cannot start the schema update", why) ||
            !db.Run("SELECT pg_advisory_xact_lock($1)", CPgParams().Int(kSchemaLock), "cannot lock the schema", why) ||
            !db.Run("CREATE TABLE IF NOT EXISTS gallery_schema (version INTEGER PRIMARY KEY, "
                    "applied TIMESTAMPTZ NOT NULL DEFAULT now())",
                    {}, "cannot record the schema version", why))
            return false;
        const CPgResult current = db.Exec("SELECT COALESCE(MAX(version), 0)::BIGINT FROM gallery_schema");
        if (!current.Ok())
            return db.Fail(current, "cannot read the schema version", why);
        bool bApplied = false;
        if (!apply(static_cast<int>(current.Int(0, 0)), bApplied, why))
            return false;
        const std::string what = "cannot update the schema to version " + std::to_string(version);
        return (!bApplied ||
                db.Run("INSERT INTO gallery_schema (version) VALUES ($1)", CPgParams().Int(version), what.c_str(),
                       why)) &&
               transaction.Commit("cannot commit the schema update", why);
    };
    return UpdateSchema<CPgConnection>(db, kSchemaSteps, inTransaction, error);
}

} // namespace

struct CPostgresGalleryStore::CImpl {
    CPgPool m_pool{kConnections};
    CPgPool m_readPool{kReadConnections}; // listings and ringtones
};

CPostgresGalleryStore::CPostgresGalleryStore() : m_pImpl(std::make_unique<CImpl>()) {}

CPostgresGalleryStore::~CPostgresGalleryStore() = default;

bool CPostgresGalleryStore::Open(const std::string& url, std::string& error)
{
    CPgPool& pool = m_pImpl->m_pool;
    if (!pool.m_strUrl.empty()) {
        error = "the store is already open";
        return false;
    }
    CLease lease(pool);
    CPgConnection& db = lease.Connection();
    if (!db.Connect(url, error))
        return false;
    if (!UpdatePostgresSchema(db, error))
        return false;
    pool.m_strUrl = url;
    m_pImpl->m_readPool.m_strUrl = url;
    return true;
}

namespace {

bool FindAuthorOn(CPgConnection& db, std::string_view nickname, CAuthorRecord& author, bool& found,
                  std::string& error)
{
    found = false;
    std::string key;
    if (!AuthorKeyForLookUp(nickname, key, error))
        return false;
    // The key is unique: the nickname itself and every look-alike have it.
    const CPgResult result =
        db.Exec("SELECT nickname, password_hash FROM authors WHERE nickname_key = $1", CPgParams().Text(key));
    if (!result.Ok())
        return db.Fail(result, "cannot look up the nickname", error);
    if (result.Rows() > 0) {
        author.m_strNickname = result.Text(0, 0);
        author.m_strPasswordHash = result.Text(0, 1);
        found = true;
    }
    return true;
}

// Stores the ringtone and sets its id. False with the reason, and in `state` the
// SQLSTATE of the server's refusal (empty for any other failure).
bool InsertTone(CPgConnection& db, CToneRecord& tone, const char* what, std::string& state, std::string& error)
{
    state.clear();
    CToneWords words;
    if (!WordsOfTone(tone, words, error))
        return false;
    CPgParams params;
    params.Text(tone.m_strAuthor).Text(tone.m_strName).Text(WordOf(tone.m_category)).Int(tone.m_nPosted);
    params.Bytes(tone.m_midi).Bytes(tone.m_message);
    params.Text(words.m_strAll).Text(words.m_strName).Text(words.m_strAuthor);
    const CPgResult result = db.Exec("INSERT INTO tones (author, name, category, posted, midi, message, words, "
                                     "name_words, author_words) VALUES ($1, $2, $3, $4, $5, $6, "
                                     "string_to_array($7, ' '), $8, $9) RETURNING id",
                                     params);
    if (!result.Ok()) {
        state = result.State();
        return db.Fail(result, what, error);
    }
    tone.m_nId = result.Int(0, 0);
    return true;
}

// Failed, or DiskFull when the server had no room for what it was to write (SQLSTATE
// disk_full).
CGalleryStore::AddResult AddFailure(std::string_view state)
{
    return state == "53100" ? CGalleryStore::AddResult::DiskFull : CGalleryStore::AddResult::Failed;
}

CGalleryStore::AddResult FailAdd(const CPgConnection& db, const CPgResult& result, const char* what,
                                 std::string& error)
{
    (void)db.Fail(result, what, error);
    return AddFailure(result.State());
}

CGalleryStore::AddResult AddToneOn(CPgConnection& db, CToneRecord& tone, const std::string* newPasswordHash,
                                   std::string& error)
{
    using AddResult = CGalleryStore::AddResult;
    CPgTransaction transaction(db);
    if (!transaction.Begin("cannot start storing the ringtone", error))
        return AddResult::Failed;
    CAuthorRecord author;
    bool found = false;
    if (!FindAuthorOn(db, tone.m_strAuthor, author, found, error))
        return AddResult::Failed;
    if (found == (newPasswordHash != nullptr))
        return AddResult::NicknameTaken;
    if (newPasswordHash) {
        std::string key;
        if (!AuthorKeyForLookUp(tone.m_strAuthor, key, error))
            return AddResult::Failed;
        // Another process may have registered the nickname or a look-alike since the
        // look-up: the unique key refuses this one once that commits.
        const CPgResult registered = db.Exec(
            "INSERT INTO authors (nickname, nickname_key, password_hash, registered) VALUES ($1, $2, $3, $4)",
            CPgParams().Text(tone.m_strAuthor).Text(key).Text(*newPasswordHash).Int(tone.m_nPosted));
        if (registered.State() == "23505")
            return AddResult::NicknameTaken;
        if (!registered.Ok())
            return FailAdd(db, registered, "cannot register the nickname", error);
    } else {
        tone.m_strAuthor = author.m_strNickname;
    }
    std::string state;
    if (!InsertTone(db, tone, "cannot store the ringtone", state, error))
        return AddFailure(state);
    const CPgResult committed = transaction.Commit();
    if (!committed.Ok())
        return FailAdd(db, committed, "cannot commit the ringtone", error);
    return AddResult::Added;
}

} // namespace

bool CPostgresGalleryStore::FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found,
                                       std::string& error)
{
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) { return FindAuthorOn(db, nickname, author, found, why); }, error);
}

CGalleryStore::AddResult CPostgresGalleryStore::AddTone(CToneRecord& tone, const std::string* newPasswordHash,
                                                        std::string& error)
{
    AddResult result = AddResult::Failed;
    (void)OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            result = AddToneOn(db, tone, newPasswordHash, why);
            return result != AddResult::Failed;
        },
        error);
    return result;
}

bool CPostgresGalleryStore::AddTones(std::vector<CToneRecord>& tones, std::string& error)
{
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            CPgTransaction transaction(db);
            // The counts of the categories in one order: two fills at once would
            // otherwise each wait for a count the other holds.
            if (!transaction.Begin("cannot start storing the ringtones", why) ||
                !db.Run("SELECT FROM tone_counts ORDER BY category FOR UPDATE", {}, "cannot store the ringtones", why))
                return false;
            std::vector<std::pair<std::string, std::string>> known; // nickname as given, as registered
            for (CToneRecord& tone : tones) {
                auto it = std::find_if(known.begin(), known.end(),
                                       [&](const auto& entry) { return entry.first == tone.m_strAuthor; });
                if (it == known.end()) {
                    CAuthorRecord author;
                    bool found = false;
                    if (!FindAuthorOn(db, tone.m_strAuthor, author, found, why))
                        return false;
                    if (!found) {
                        why = "the nickname " + tone.m_strAuthor + " is not registered";
                        return false;
                    }
                    it = known.emplace(known.end(), tone.m_strAuthor, author.m_strNickname);
                }
                tone.m_strAuthor = it->second;
                std::string state;
                if (!InsertTone(db, tone, "cannot store the ringtones", state, why))
                    return false;
            }
            return transaction.Commit("cannot commit the ringtones", why);
        },
        error);
}

bool CPostgresGalleryStore::ListTones(std::vector<CToneRecord>& tones, std::string& error)
{
    tones.clear();
    return OnConnection(
        m_pImpl->m_readPool,
        [&](CPgConnection& db, std::string& why) {
            const CPgResult result =
                db.Exec((std::string("SELECT ") + kListedToneColumns + " FROM tones ORDER BY posted DESC, id DESC").c_str());
            if (!result.Ok())
                return db.Fail(result, "cannot list the ringtones", why);
            tones.resize(static_cast<std::size_t>(result.Rows()));
            for (int row = 0; row < result.Rows(); ++row)
                ReadListedTone(result, row, tones[static_cast<std::size_t>(row)]);
            return true;
        },
        error);
}

bool CPostgresGalleryStore::GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error)
{
    found = false;
    return OnConnection(
        m_pImpl->m_readPool,
        [&](CPgConnection& db, std::string& why) {
            const CPgResult result = db.Exec(
                (std::string("SELECT ") + kListedToneColumns + ", midi FROM tones WHERE id = $1").c_str(),
                CPgParams().Int(id));
            if (!result.Ok())
                return db.Fail(result, "cannot read the ringtone", why);
            if (result.Rows() > 0) {
                ReadListedTone(result, 0, tone);
                tone.m_midi = result.Bytes(0, 6);
                found = true;
            }
            return true;
        },
        error);
}

bool CPostgresGalleryStore::DeleteTone(std::int64_t id, bool& deleted, std::string& error)
{
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            int rows = 0;
            if (!RunWrite(db, "DELETE FROM tones WHERE id = $1 RETURNING id", CPgParams().Int(id),
                          "cannot delete the ringtone", why, &rows))
                return false;
            deleted = rows > 0;
            return true;
        },
        error);
}

bool CPostgresGalleryStore::CountTones(std::int64_t& count, std::string& error)
{
    return OnConnection(
        m_pImpl->m_readPool,
        [&](CPgConnection& db, std::string& why) {
            const CPgResult result = db.Exec("SELECT COALESCE(SUM(tones), 0)::BIGINT FROM tone_counts");
            if (!result.Ok())
                return db.Fail(result, "cannot count the ringtones", why);
            count = result.Int(0, 0);
            return true;
        },
        error);
}

bool CPostgresGalleryStore::ReadCounter(std::string_view key, CAbuseCounter& counter, std::string& error)
{
    counter = {};
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            const CPgResult result = db.Exec(ReadCounterSql(SqlDialect::Postgres).c_str(), CPgParams().Text(key));
            if (!result.Ok())
                return db.Fail(result, "cannot read a counter", why);
            if (result.Rows() > 0)
                counter = {result.Int(0, 0), result.Int(0, 1), result.Int(0, 2)};
            return true;
        },
        error);
}

bool CPostgresGalleryStore::UpdateCounters(std::span<const std::string> keys,
                                           const std::function<void(std::span<CAbuseCounter>)>& change,
                                           std::vector<CAbuseCounter>& after, std::string& error)
{
    // The rows are locked in the order of their keys, so that two calls on the same
    // keys never wait for each other in a circle.
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            CPgTransaction transaction(db);
            if (!transaction.Begin("cannot start counting", why))
                return false;
            after.assign(keys.size(), {});
            // Each row is made if it is not there, and locked either way, so that other
            // processes counting under the same key wait for this change.
            for (const std::size_t i : order) {
                const CPgResult current = db.Exec(
                    "INSERT INTO counters (key, count, last, blocked_until) VALUES ($1, 0, 0, 0) "
                    "ON CONFLICT (key) DO UPDATE SET count = counters.count RETURNING count, last, blocked_until",
                    CPgParams().Text(keys[i]));
                if (!current.Ok())
                    return db.Fail(current, "cannot read a counter", why);
                after[i] = {current.Int(0, 0), current.Int(0, 1), current.Int(0, 2)};
            }
            change(after);
            for (const std::size_t i : order)
                if (!db.Run("UPDATE counters SET count = $2, last = $3, blocked_until = $4 WHERE key = $1",
                            CPgParams().Text(keys[i]).Int(after[i].m_nCount).Int(after[i].m_nLast).Int(
                                after[i].m_nBlockedUntil),
                            "cannot count", why))
                    return false;
            return transaction.Commit("cannot commit a counter", why);
        },
        error);
}

bool CPostgresGalleryStore::ForgetCounters(std::int64_t before, std::string& error)
{
    return OnConnection(
        m_pImpl->m_pool,
        [&](CPgConnection& db, std::string& why) {
            return RunWrite(db, ForgetCountersSql(SqlDialect::Postgres).c_str(), CPgParams().Int(before),
                            "cannot forget old counters", why);
        },
        error);
}

bool CPostgresGalleryStore::ListTonePage(const CToneFilter& filter, std::int64_t skip, int count, CTonePage& page,
                                         std::string& error)
{
    page.m_tones.clear();
    CSearchTerms terms;
    if (!SearchTermsOf(filter.m_strWords, terms, error))
        return false;
    // Text with no word in it (only quotes or stars) finds nothing, as in SQLite.
    if (terms.m_bSearch && terms.m_strWords.empty()) {
        page.m_nTotal = 0;
        page.m_bMoreMatches = false;
        return true;
    }
    const CListingSql counting = ListingSqlOf(filter, terms, 1);
    const CListingSql listing = ListingSqlOf(filter, terms, 3);
    return OnConnection(
        m_pImpl->m_readPool,
        [&](CPgConnection& db, std::string& why) {
            page.m_tones.clear();
            // The count and the page from one snapshot: a post between the two reads
            // cannot make the page disagree with the count above it. Read only, it
            // ends by rolling back, and a call that lost its connection may run again.
            CPgTransaction snapshot(db);
            if (!snapshot.Begin("cannot list the ringtones", why, "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"))
                return false;
            const CPgResult counted = db.Exec(counting.m_strCount.c_str(), ParamsOf(counting));
            if (!counted.Ok())
                return db.Fail(counted, "cannot count the ringtones", why);
            SetPageTotal(counting, counted.Int(0, 0), page);
            const std::int64_t rows = std::min<std::int64_t>(count, page.m_nTotal - skip);
            if (rows <= 0)
                return true;
            const std::string pageSql = PageSqlOf(listing);
            const CPgResult listed = db.Exec(pageSql.c_str(), ParamsOf(listing, CPgParams().Int(rows).Int(skip)));
            if (!listed.Ok())
                return db.Fail(listed, "cannot list the ringtones", why);
            page.m_tones.resize(static_cast<std::size_t>(listed.Rows()));
            for (int row = 0; row < listed.Rows(); ++row)
                ReadListedTone(listed, row, page.m_tones[static_cast<std::size_t>(row)]);
            return true;
        },
        error);
}

bool CPostgresGalleryStore::CountTonesByCategory(std::array<std::int64_t, kToneCategories.size()>& counts,
                                                 std::string& error)
{
    counts.fill(0);
    return OnConnection(
        m_pImpl->m_readPool,
        [&](CPgConnection& db, std::string& why) {
            const CPgResult result = db.Exec("SELECT category, tones FROM tone_counts");
            if (!result.Ok())
                return db.Fail(result, "cannot count the ringtones", why);
            for (int row = 0; row < result.Rows(); ++row)
                if (ToneCategory category = ToneCategory::Others; CategoryOfWord(result.Text(row, 0), category))
                    counts[static_cast<std::size_t>(category)] = result.Int(row, 1);
            return true;
        },
        error);
}
