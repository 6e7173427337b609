#include "gallery/store/PostgresGalleryStore.h"

#include <algorithm>
#include <set>
#include <span>

#include "gallery/names/NameText.h"
#include "gallery/store/PostgresConnection.h"
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
