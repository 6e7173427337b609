#include "gallery/GalleryStore.h"

#include <sqlite3.h>

#include "gallery/SqliteStatement.h"

namespace {

// Version 1 of the schema. AUTOINCREMENT keeps the id of a deleted ringtone from
// coming back, so nothing cached under an id (the preview WAV) can belong to another.
constexpr const char* kSchema = R"(
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
PRAGMA user_version = 1;
)";

// The column holds one of the four words (the schema checks it).
ToneCategory CategoryOfColumn(const std::string& word)
{
    ToneCategory category = ToneCategory::Others;
    (void)CategoryOfWord(word, category);
    return category;
}

// Rolls back an open transaction unless Commit was called.
class CTransaction {
public:
    explicit CTransaction(sqlite3* db) : m_pDb(db)
    {
        m_bOpen = sqlite3_exec(m_pDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~CTransaction()
    {
        if (m_bOpen)
            sqlite3_exec(m_pDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
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
        sqlite3_exec(m_pDb, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

private:
    sqlite3* m_pDb;
    bool m_bOpen = false;
};

} // namespace

CGalleryStore::~CGalleryStore()
{
    sqlite3_close(m_pDb);
}

bool CGalleryStore::Fail(const char* what, std::string& error)
{
    error = std::string(what) + ": " + (m_pDb ? sqlite3_errmsg(m_pDb) : "no database");
    return false;
}

bool CGalleryStore::Exec(const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_pDb, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : sqlite3_errmsg(m_pDb);
    sqlite3_free(message);
    return false;
}

bool CGalleryStore::Open(const std::string& dataDir, std::string& error)
{
    std::lock_guard lock(m_mutex);
    if (m_pDb) {
        error = "the store is already open";
        return false;
    }
    std::string path = DatabasePathIn(dataDir);
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
        !Exec("PRAGMA foreign_keys = ON", why) || !Exec(kSchema, why)) {
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
    return true;
}

bool CGalleryStore::FindAuthorLocked(std::string_view nickname, CAuthorRecord& author, bool& found,
                                     std::string& error)
{
    found = false;
    CSqliteStatement st(m_pDb, "SELECT nickname, password_hash FROM authors WHERE nickname = ?1");
    if (!st.Bind(1, nickname))
        return Fail("cannot look up the nickname", error);
    if (st.Step()) {
        author.m_strNickname = st.Text(0);
        author.m_strPasswordHash = st.Text(1);
        found = true;
    }
    return st.Failed() ? Fail("cannot look up the nickname", error) : true;
}

bool CGalleryStore::FindAuthor(std::string_view nickname, CAuthorRecord& author, bool& found, std::string& error)
{
    std::lock_guard lock(m_mutex);
    return FindAuthorLocked(nickname, author, found, error);
}

bool CGalleryStore::InsertTone(CToneRecord& tone, std::string& error)
{
    CSqliteStatement st(m_pDb, "INSERT INTO tones (author, name, category, posted, midi, message) "
                               "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (!st.Bind(1, tone.m_strAuthor) || !st.Bind(2, tone.m_strName) || !st.Bind(3, WordOf(tone.m_category)) ||
        !st.Bind(4, tone.m_nPosted) || !st.BindBlob(5, tone.m_midi) || !st.BindBlob(6, tone.m_message) || !st.Run())
        return Fail("cannot store the ringtone", error);
    tone.m_nId = sqlite3_last_insert_rowid(m_pDb);
    return true;
}

CGalleryStore::AddResult CGalleryStore::AddTone(CToneRecord& tone, const std::string* newPasswordHash,
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
        CSqliteStatement st(m_pDb, "INSERT INTO authors (nickname, password_hash, registered) VALUES (?1, ?2, ?3)");
        if (!st.Bind(1, tone.m_strAuthor) || !st.Bind(2, *newPasswordHash) || !st.Bind(3, tone.m_nPosted) ||
            !st.Run()) {
            (void)Fail("cannot register the nickname", error);
            return AddResult::Failed;
        }
    } else {
        tone.m_strAuthor = author.m_strNickname;
    }
    if (!InsertTone(tone, error))
        return AddResult::Failed;
    if (!transaction.Commit()) {
        (void)Fail("cannot commit the ringtone", error);
        return AddResult::Failed;
    }
    return AddResult::Added;
}

bool CGalleryStore::ListTones(std::vector<CToneRecord>& tones, std::string& error)
{
    std::lock_guard lock(m_mutex);
    tones.clear();
    CSqliteStatement st(m_pDb, "SELECT id, author, name, category, posted, message FROM tones "
                               "ORDER BY posted DESC, id DESC");
    while (st.Step()) {
        CToneRecord& tone = tones.emplace_back();
        tone.m_nId = st.Int(0);
        tone.m_strAuthor = st.Text(1);
        tone.m_strName = st.Text(2);
        tone.m_category = CategoryOfColumn(st.Text(3));
        tone.m_nPosted = st.Int(4);
        tone.m_message = st.Blob(5);
    }
    if (st.Failed()) {
        tones.clear();
        return Fail("cannot list the ringtones", error);
    }
    return true;
}

bool CGalleryStore::GetTone(std::int64_t id, CToneRecord& tone, bool& found, std::string& error)
{
    std::lock_guard lock(m_mutex);
    found = false;
    CSqliteStatement st(m_pDb, "SELECT id, author, name, category, posted, message, midi FROM tones WHERE id = ?1");
    if (!st.Bind(1, id))
        return Fail("cannot read the ringtone", error);
    if (st.Step()) {
        tone.m_nId = st.Int(0);
        tone.m_strAuthor = st.Text(1);
        tone.m_strName = st.Text(2);
        tone.m_category = CategoryOfColumn(st.Text(3));
        tone.m_nPosted = st.Int(4);
        tone.m_message = st.Blob(5);
        tone.m_midi = st.Blob(6);
        found = true;
    }
    return st.Failed() ? Fail("cannot read the ringtone", error) : true;
}

bool CGalleryStore::DeleteTone(std::int64_t id, bool& deleted, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CSqliteStatement st(m_pDb, "DELETE FROM tones WHERE id = ?1");
    if (!st.Bind(1, id) || !st.Run())
        return Fail("cannot delete the ringtone", error);
    deleted = sqlite3_changes(m_pDb) > 0;
    return true;
}

bool CGalleryStore::CountTones(std::int64_t& count, std::string& error)
{
    std::lock_guard lock(m_mutex);
    CSqliteStatement st(m_pDb, "SELECT COUNT(*) FROM tones");
    if (!st.Step())
        return Fail("cannot count the ringtones", error);
    count = st.Int(0);
    return true;
}
