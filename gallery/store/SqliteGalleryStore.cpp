#include "gallery/store/SqliteGalleryStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>

#include "gallery/names/NameText.h"
#include "gallery/store/SqliteStatement.h"
#include "gallery/store/StoreSql.h"

namespace {

// The schema, one step per version; a database at version N gets the steps after N,
// each in its own transaction, so an old gallery.db is brought up to date in place.
// Version 1: AUTOINCREMENT keeps the id of a deleted ringtone from coming back, so
// nothing cached under an id (the preview) can belong to another.
constexpr const char* kSchemaVersion1 = R"(
CREATE TABLE IF NOT EXISTS authors (
    nickname      TEXT PRIMARY KEY COLLATE NOCASE,
    password_hash TEXT NOT NULL,
    registered    INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS tones (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    author   TEXT NOT NULL REFERENCES authors(nickname),
    name     TEXT NOT NULL,
    category TEXT NOT NULL CHECK (category IN ('ENGLISH', 'CHINESE', 'CLASSICAL', 'OTHERS')),
    posted   INTEGER NOT NULL,
    midi     BLOB NOT NULL,
    message  BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS tones_by_time ON tones (posted DESC, id DESC);
)";

// Version 3: the listings of the page. A category's pages and an author's page follow
// an index by time; the count of each category is kept by triggers, so the page's
// header costs no scan; the search index holds each ringtone's name, nickname and
// category (external content: the text stays in tones only) and is kept in step by
// triggers; it is filled from the ringtones already stored.
constexpr const char* kSchemaVersion3 = R"(
CREATE INDEX tones_by_category ON tones (category, posted DESC, id DESC);
CREATE INDEX tones_by_author ON tones (author, posted DESC, id DESC);

CREATE TABLE tone_counts (
    category TEXT PRIMARY KEY,
    tones    INTEGER NOT NULL
) WITHOUT ROWID;
INSERT INTO tone_counts (category, tones)
    SELECT word, (SELECT COUNT(*) FROM tones WHERE category = word)
    FROM (SELECT 'ENGLISH' AS word UNION ALL SELECT 'CHINESE' UNION ALL SELECT 'CLASSICAL' UNION ALL SELECT 'OTHERS');

CREATE VIRTUAL TABLE tone_search USING fts5 (
    name, author, category,
    content = 'tones', content_rowid = 'id', tokenize = 'unicode61 remove_diacritics 2'
);
INSERT INTO tone_search (tone_search) VALUES ('rebuild');

CREATE TRIGGER tones_added AFTER INSERT ON tones BEGIN
    UPDATE tone_counts SET tones = tones + 1 WHERE category = new.category;
    INSERT INTO tone_search (rowid, name, author, category) VALUES (new.id, new.name, new.author, new.category);
END;
CREATE TRIGGER tones_deleted AFTER DELETE ON tones BEGIN
    UPDATE tone_counts SET tones = tones - 1 WHERE category = old.category;
    INSERT INTO tone_search (tone_search, rowid, name, author, category)
        VALUES ('delete', old.id, old.name, old.author, old.category);
END;
CREATE TRIGGER tones_changed AFTER UPDATE OF name, author, category ON tones BEGIN
    UPDATE tone_counts SET tones = tones - 1 WHERE category = old.category;
    UPDATE tone_counts SET tones = tones + 1 WHERE category = new.category;
    INSERT INTO tone_search (tone_search, rowid, name, author, category)
        VALUES ('delete', old.id, old.name, old.author, old.category);
    INSERT INTO tone_search (rowid, name, author, category) VALUES (new.id, new.name, new.author, new.category);
END;
)";

bool ExecSql(sqlite3* db, const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

// Every author's key (LookAlikeKeyOf), computed in C++ like those of new authors.
bool StoreNicknameKeys(sqlite3* db, std::string& error)
{
    std::vector<std::pair<std::int64_t, std::string>> authors;
    CSqliteStatement select(db, "SELECT rowid, nickname FROM authors");
    while (select.Step())
        authors.emplace_back(select.Int(0), select.Text(1));
    if (select.Failed()) {
        error = std::string("cannot read the authors: ") + sqlite3_errmsg(db);
        return false;
    }
    for (const auto& [rowid, nickname] : authors) {
        std::string key;
        if (!LookAlikeKeyOf(nickname, key, error))
            return false;
        CSqliteStatement update(db, "UPDATE authors SET nickname_key = ?1 WHERE rowid = ?2");
        if (!update.Bind(1, key) || !update.Bind(2, rowid) || !update.Run()) {
            error = std::string("cannot store the key of a nickname: ") + sqlite3_errmsg(db);
            return false;
        }
    }
    return true;
}

// Version 2: nicknames that look alike are one author, found through a key column.
// Old rows get their key here; two old authors may share a key, so its index is not
// unique and FindAuthorLocked says which wins.
bool AddNicknameKeys(sqlite3* db, std::string& error)
{
    return ExecSql(db, "ALTER TABLE authors ADD COLUMN nickname_key TEXT NOT NULL DEFAULT ''", error) &&
           StoreNicknameKeys(db, error) && ExecSql(db, "CREATE INDEX authors_by_key ON authors (nickname_key)", error);
}

// Version 4: the counters of failed password checks and posts (see CAbuseGuard).
constexpr const char* kSchemaVersion4 = R"(
CREATE TABLE IF NOT EXISTS counters (
    key           TEXT PRIMARY KEY,
    count         INTEGER NOT NULL,
    last          INTEGER NOT NULL,
    blocked_until INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS counters_by_time ON counters (last);
)";

constexpr CSchemaStep<sqlite3> kSchemaSteps[] = {
    {1, [](sqlite3& db, std::string& error) { return ExecSql(&db, kSchemaVersion1, error); }},
    {2, [](sqlite3& db, std::string& error) { return AddNicknameKeys(&db, error); }},
    {3, [](sqlite3& db, std::string& error) { return ExecSql(&db, kSchemaVersion3, error); }},
    {4, [](sqlite3& db, std::string& error) { return ExecSql(&db, kSchemaVersion4, error); }},
    // Version 5: the keys take the skeleton before letter case is folded.
    {5, [](sqlite3& db, std::string& error) { return StoreNicknameKeys(&db, error); }},
    // Version 6: small Greek and Cyrillic look-alikes of Latin letters join the keys.
    {6, [](sqlite3& db, std::string& error) { return StoreNicknameKeys(&db, error); }},
};

// Rolls back an open transaction unless Commit was called.
class CTransaction {
public:
    explicit CTransaction(sqlite3* db) : m_pDb(db)
    {
        m_bOpen = sqlite3_exec(m_pDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~CTransaction() { RollBack(); }
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_bOpen; }
    [[nodiscard]] bool Commit()
    {
        if (!m_bOpen)
            return false;
        m_bOpen = false;
        if (sqlite3_exec(m_pDb, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        m_bOpen = true;
        RollBack();
        return false;
    }

private:
    // SQLite rolls back by itself after some errors (a full disk among them); a second
    // ROLLBACK would then replace the error message with "no transaction is active".
    void RollBack()
    {
        if (m_bOpen && !sqlite3_get_autocommit(m_pDb))
            sqlite3_exec(m_pDb, "ROLLBACK", nullptr, nullptr, nullptr);
        m_bOpen = false;
    }

    sqlite3* m_pDb;
    bool m_bOpen = false;
};

// The FTS5 query of words as typed: every word in double quotes (a quote inside
// doubled), so nothing the user typed is FTS5 syntax ("NEAR", "*", "-", ":" and
// quotes are text to find). All words must be in the name or the nickname. Empty
// when there are no words.
std::string FtsQueryOf(std::string_view words, std::optional<ToneCategory> category)
{
    std::string phrases;
    std::string word;
    auto endWord = [&] {
        if (!word.empty())
            phrases += (phrases.empty() ? "\"" : " \"") + word + "\"";
        word.clear();
    };
    for (char c : words) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F)
            endWord();
        else
            word += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    endWord();
    if (phrases.empty())
        return {};
    std::string query = "{name author} : (" + phrases + ")";
    if (category)
        query += " AND category : \"" + std::string(WordOf(*category)) + "\"";
    return query;
}

// The values of a listing go from ?3 on, after the page's count and skip.
constexpr std::size_t kFirstListingValue = 3;

CListingSql ListingSqlOf(const CToneFilter& filter)
{
    std::string ftsQuery = FtsQueryOf(filter.m_strWords, filter.m_category);
    if (ftsQuery.empty())
        return PlainListingSqlOf(filter, SqlDialect::Sqlite, kFirstListingValue);
    // The search index holds the category too: only the author narrows it further.
    CListingSql sql;
    sql.m_nFirst = kFirstListingValue;
    std::string where = "tone_search MATCH " + sql.Next();
    sql.m_values.push_back(std::move(ftsQuery));
    if (!filter.m_strAuthor.empty()) {
        where += " AND rowid IN (SELECT id FROM tones WHERE author = " + sql.Next() + ")";
        sql.m_values.push_back(filter.m_strAuthor);
    }
    sql.m_strIds = "SELECT rowid AS id FROM tone_search WHERE " + where + " ORDER BY rowid DESC";
    FinishSearchSql(sql, "FROM tone_search WHERE " + where);
    return sql;
}

bool BindValues(CSqliteStatement& st, const CListingSql& sql)
{
    for (std::size_t i = 0; i < sql.m_values.size(); ++i)
        if (!st.Bind(static_cast<int>(sql.m_nFirst + i), sql.m_values[i]))
            return false;
    return true;
}

// A row of kListedToneColumns.
void ReadListedTone(const CSqliteStatement& st, CToneRecord& tone)
{
    ToneFromColumns({st.Int(0), st.Text(1), st.Text(2), st.Text(3), st.Int(4), st.Blob(5)}, tone);
}

} // namespace

CSqliteGalleryStore::~CSqliteGalleryStore()
{
    sqlite3_close(m_pReadDb);
    sqlite3_close(m_pDb);
}

bool CSqliteGalleryStore::Fail(const char* what, std::string& error)
{
    error = std::string(what) + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : "no database");
    return false;
}

bool CSqliteGalleryStore::FailRead(const char* what, std::string& error)
{
    error = std::string(what) + ": " + (m_pReadDb ? sqlite3_errmsg(m_pReadDb) : "no database");
    return false;
}

bool CSqliteGalleryStore::Exec(const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_pDb, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : sqlite3_errmsg(m_pDb);
    sqlite3_free(message);
    return false;
}

bool CSqliteGalleryStore::Migrate(std::string& error)
{
    // The version is the database's user_version.
    const auto inTransaction = [this](int version, const auto& apply, std::string& why) {
        CTransaction transaction(m_pDb);
        if (!transaction.IsOpen())
            return Fail("cannot start the schema update", why);
        CSqliteStatement current(m_pDb, "PRAGMA user_version");
        if (!current.Step())
            return Fail("cannot read the schema version", why);
        bool bApplied = false;
        if (!apply(static_cast<int>(current.Int(0)), bApplied, why))
            return false;
        if (!bApplied)
            return true;
        const std::string set = "PRAGMA user_version = " + std::to_string(version);
        if (!Exec(set.c_str(), why))
            return false;
        return transaction.Commit() || Fail("cannot commit the schema update", why);
    };
    return UpdateSchema<sqlite3>(*m_pDb, kSchemaSteps, inTransaction, error);
}

bool CSqliteGalleryStore::OpenFile(const std::string& path, std::string& error)
{
    std::lock_guard lock(m_mutex);
    if (m_pDb) {
        error = "the store is already open";
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), &m_pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = "cannot open " + path + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : "out of memory");
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_pDb, 5000);
    // WAL lets the page be read while a post is written; FULL syncs the log at every
    // commit, so an acknowledged post survives a crash or a power cut, not only a
    // clean stop.
    std::string why;
    if (!Exec("PRAGMA journal_mode = WAL", why) || !Exec("PRAGMA synchronous = FULL", why) ||
        !Exec("PRAGMA foreign_keys = ON", why) || !Migrate(why)) {
        error = "cannot set up " + path + ": " + why;
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        return false;
    }
    CSqliteStatement mode(m_pDb, "PRAGMA journal_mode");
    if (!mode.Step() || mode.Text(0) != "wal") {
        error = "cannot set up " + path + ": the database does not run in WAL mode";
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        return false;
    }
    std::lock_guard readLock(m_readMutex);
    if (sqlite3_open_v2(path.c_str(), &m_pReadDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        error = "cannot open " + path + " for reading: " + (m_pReadDb ? sqlite3_errmsg(m_pReadDb) : "out of memory");
        sqlite3_close(m_pReadDb);
        m_pReadDb = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_pReadDb, 5000);
    return true;
}

bool CSqliteGalleryStore::FindAuthorLocked(std::string_view nickname, CAuthorRecord& author, bool& found,
                                           std::string& error)
{
    found = false;
    std::string key;
    if (!AuthorKeyForLookUp(nickname, key, error))
        return false;
    // The nickname itself (letter case aside for A-Z) wins over a look-alike; of two
    // look-alikes registered before keys existed, the first registered.
    CSqliteStatement st(m_pDb, "SELECT nickname, password_hash FROM authors WHERE nickname = ?1 OR nickname_key = ?2 "
                               "ORDER BY nickname = ?1 DESC, registered, rowid LIMIT 1");
    if (!st.Bind(1, nickname) || !st.Bind(2, key))
        return Fail("cannot look up the nickname", error);
    if (st.Step()) {
        author.m_strNickname = st.Text(0);
        author.m_strPasswordHash = st.Text(1);
        found = true;
    }
    return st.Failed() ? Fail("cannot look up the nickname", error) : true;
}

bool CSqliteGalleryStore::FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found, std::string& error)
{
    std::lock_guard lock(m_mutex);
    return FindAuthorLocked(nickname, author, found, error);
}

bool CSqliteGalleryStore::InsertTone(CToneRecord& tone, std::string& error)
{
    CSqliteStatement st(m_pDb, "INSERT INTO tones (author, name, category, posted, midi, message) "
                               "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (!st.Bind(1, tone.m_strAuthor) || !st.Bind(2, tone.m_strName) || !st.Bind(3, WordOf(tone.m_category)) ||
        !st.Bind(4, tone.m_nPosted) || !st.BindBlob(5, tone.m_midi) || !st.BindBlob(6, tone.m_message) || !st.Run())
        return Fail("cannot store the ringtone", error);
    tone.m_nId = sqlite3_last_insert_rowid(m_pDb);
    return true;
}

namespace {

// The system's reason for the last failed write to the database or its log.
// sqlite3_system_errno cannot tell: it reads errno only after the rollback.
int LastWriteErrno(sqlite3* db)
{
    int err = 0;
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) == SQLITE_OK && log && log->pMethods)
        log->pMethods->xFileControl(log, SQLITE_FCNTL_LAST_ERRNO, &err);
    if (err == 0)
        sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &err);
    return err;
}

} // namespace

CGalleryStore::AddResult CSqliteGalleryStore::FailAdd(const char* what, std::string& error)
{
    (void)Fail(what, error);
    // A write that comes short is SQLITE_FULL; one refused outright is an I/O error
    // with the system's reason. A quota or a file-size limit leaves no room either.
    const int code = sqlite3_extended_errcode(m_pDb) & 0xFF;
    const int system = code == SQLITE_IOERR ? LastWriteErrno(m_pDb) : 0;
    const bool bFull = code == SQLITE_FULL || system == ENOSPC || system == EDQUOT || system == EFBIG;
    return bFull ? AddResult::DiskFull : AddResult::Failed;
}

CGalleryStore::AddResult CSqliteGalleryStore::AddTone(CToneRecord& tone, const std::string* newPasswordHash,
                                                      std::string& error)
{
    std::lock_guard lock(m_mutex);
    if (!m_pDb) {
        (void)Fail("cannot store the ringtone", error);
        return AddResult::Failed;
    }
    CTransaction transaction(m_pDb);
    if (!transaction.IsOpen()) {
        (void)Fail("cannot start storing the ringtone", error);
        return AddResult::Failed;
    }
    CAuthorRecord author;
    bool found = false;
    if (!FindAuthorLocked(tone.m_strAuthor, author, found, error))
        return AddResult::Failed;
    if (found == (newPasswordHash != nullptr))
        return AddResult::NicknameTaken;
    if (newPasswordHash) {
        std::string key;
        if (!AuthorKeyForLookUp(tone.m_strAuthor, key, error))
            return AddResult::Failed;
        CSqliteStatement st(m_pDb, "INSERT INTO authors (nickname, password_hash, registered, nickname_key) "
                                   "VALUES (?1, ?2, ?3, ?4)");
        if (!st.Bind(1, tone.m_strAuthor) || !st.Bind(2, *newPasswordHash) || !st.Bind(3, tone.m_nPosted) ||
            !st.Bind(4, key) || !st.Run())
            return FailAdd("cannot register the nickname", error);
    } else {
        tone.m_strAuthor = author.m_strNickname;
    }
    if (!InsertTone(tone, error))
        return FailAdd("cannot store the ringtone", error);
    if (!transaction.Commit())
        return FailAdd("cannot commit the ringtone", error);
    return AddResult::Added;
}

bool CSqliteGalleryStore::ListTones(std::vector<CToneRecord>& tones, std::string& error)
{
    std::lock_guard lock(m_readMutex);
    tones.clear();
    CSqliteStatement st(m_pReadDb, std::string("SELECT ") + kListedToneColumns + " FROM tones ORDER BY posted DESC, id DESC");
    while (st.Step())
        ReadListedTone(st, tones.emplace_back());
    if (st.Failed()) {
        tones.clear();
        return FailRead("cannot list the ringtones", error);
    }
    return true;
}

bool CSqliteGalleryStore::AddTones(std::vector<CToneRecord>& tones, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CTransaction transaction(m_pDb);
    if (!transaction.IsOpen())
        return Fail("cannot start storing the ringtones", error);
    for (CToneRecord& tone : tones) {
        CAuthorRecord author;
        bool found = false;
        if (!FindAuthorLocked(tone.m_strAuthor, author, found, error))
            return false;
        if (!found) {
            error = "the nickname " + tone.m_strAuthor + " is not registered";
            return false;
        }
        tone.m_strAuthor = author.m_strNickname;
        if (!InsertTone(tone, error))
            return false;
    }
    return transaction.Commit() || Fail("cannot commit the ringtones", error);
}

bool CSqliteGalleryStore::CountListing(const CListingSql& sql, CTonePage& page, std::string& error)
{
    CSqliteStatement st(m_pReadDb, sql.m_strCount);
    if (!BindValues(st, sql) || !st.Step())
        return FailRead("cannot count the ringtones", error);
    SetPageTotal(sql, st.Int(0), page);
    return true;
}

bool CSqliteGalleryStore::ListTonePage(const CToneFilter& filter, std::int64_t skip, int count, CTonePage& page,
                                       std::string& error)
{
    std::lock_guard lock(m_readMutex);
    page.m_tones.clear();
    const CListingSql sql = ListingSqlOf(filter);
    if (!CountListing(sql, page, error))
        return false;
    const std::int64_t rows = std::min<std::int64_t>(count, page.m_nTotal - skip);
    if (rows <= 0)
        return true;
    CSqliteStatement st(m_pReadDb, PageSqlOf(sql));
    if (!st.Bind(1, rows) || !st.Bind(2, skip) || !BindValues(st, sql))
        return FailRead("cannot list the ringtones", error);
    while (st.Step())
        ReadListedTone(st, page.m_tones.emplace_back());
    if (st.Failed()) {
        page.m_tones.clear();
        return FailRead("cannot list the ringtones", error);
    }
    return true;
}

bool CSqliteGalleryStore::CountTonesByCategory(std::array<std::int64_t, kToneCategories.size()>& counts,
                                               std::string& error)
{
    std::lock_guard lock(m_readMutex);
    counts.fill(0);
    CSqliteStatement st(m_pReadDb, "SELECT category, tones FROM tone_counts");
    while (st.Step())
        if (ToneCategory category = ToneCategory::Others; CategoryOfWord(st.Text(0), category))
            counts[static_cast<std::size_t>(category)] = st.Int(1);
    return st.Failed() ? FailRead("cannot count the ringtones", error) : true;
}

bool CSqliteGalleryStore::GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error)
{
    std::lock_guard lock(m_readMutex);
    found = false;
    CSqliteStatement st(m_pReadDb, std::string("SELECT ") + kListedToneColumns + ", midi FROM tones WHERE id = ?1");
    if (!st.Bind(1, id))
        return FailRead("cannot read the ringtone", error);
    if (st.Step()) {
        ReadListedTone(st, tone);
        tone.m_midi = st.Blob(6);
        found = true;
    }
    return st.Failed() ? FailRead("cannot read the ringtone", error) : true;
}

bool CSqliteGalleryStore::DeleteTone(std::int64_t id, bool& deleted, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CSqliteStatement st(m_pDb, "DELETE FROM tones WHERE id = ?1");
    if (!st.Bind(1, id) || !st.Run())
        return Fail("cannot delete the ringtone", error);
    deleted = sqlite3_changes(m_pDb) > 0;
    return true;
}

bool CSqliteGalleryStore::CountTones(std::int64_t& count, std::string& error)
{
    std::lock_guard lock(m_readMutex);
    CSqliteStatement st(m_pReadDb, "SELECT COUNT(*) FROM tones");
    if (!st.Step())
        return FailRead("cannot count the ringtones", error);
    count = st.Int(0);
    return true;
}

bool CSqliteGalleryStore::ReadCounterLocked(std::string_view key, CAbuseCounter& counter, std::string& error)
{
    counter = {};
    CSqliteStatement st(m_pDb, ReadCounterSql(SqlDialect::Sqlite));
    if (!st.Bind(1, key))
        return Fail("cannot read a counter", error);
    if (st.Step()) {
        counter.m_nCount = st.Int(0);
        counter.m_nLast = st.Int(1);
        counter.m_nBlockedUntil = st.Int(2);
    }
    return st.Failed() ? Fail("cannot read a counter", error) : true;
}

bool CSqliteGalleryStore::ReadCounter(std::string_view key, CAbuseCounter& counter, std::string& error)
{
    std::lock_guard lock(m_mutex);
    return ReadCounterLocked(key, counter, error);
}

bool CSqliteGalleryStore::UpdateCounters(std::span<const std::string> keys,
                                         const std::function<void(std::span<CAbuseCounter>)>& change,
                                         std::vector<CAbuseCounter>& after, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CTransaction transaction(m_pDb);
    if (!transaction.IsOpen())
        return Fail("cannot start counting", error);
    after.assign(keys.size(), {});
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (!ReadCounterLocked(keys[i], after[i], error))
            return false;
    change(after);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        CSqliteStatement st(m_pDb, "INSERT INTO counters (key, count, last, blocked_until) VALUES (?1, ?2, ?3, ?4) "
                                   "ON CONFLICT (key) DO UPDATE SET count = ?2, last = ?3, blocked_until = ?4");
        if (!st.Bind(1, keys[i]) || !st.Bind(2, after[i].m_nCount) || !st.Bind(3, after[i].m_nLast) ||
            !st.Bind(4, after[i].m_nBlockedUntil) || !st.Run())
            return Fail("cannot count", error);
    }
    if (!transaction.Commit())
        return Fail("cannot commit a counter", error);
    return true;
}

bool CSqliteGalleryStore::ForgetCounters(std::int64_t before, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CSqliteStatement st(m_pDb, ForgetCountersSql(SqlDialect::Sqlite));
    if (!st.Bind(1, before) || !st.Run())
        return Fail("cannot forget old counters", error);
    return true;
}
