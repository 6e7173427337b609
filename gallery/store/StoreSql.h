#pragma once
// What the SQLite and the PostgreSQL store do alike, written once for both: how the
// schema is brought up to date (versions in order, each step once in a transaction of
// its own), the shape of every listing (the narrowing by author and category, the
// count, one page read through its ids from an index, a search's count stopping past
// kMaxSearchMatches), the statements of the abuse counters, and the columns of a
// ringtone as listed. What differs (placeholders, SUM's type, the search index itself,
// transactions, errors) stays with each store.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gallery/store/GalleryStore.h"

enum class SqlDialect { Sqlite, Postgres };

// The placeholder of parameter `number` (from 1): "?3" or "$3".
[[nodiscard]] std::string Placeholder(SqlDialect dialect, std::size_t number);

// One step of a store's schema: the version it brings the database to, and how (inside
// the step's transaction, on the store's own connection type).
template <class Db>
struct CSchemaStep {
    int m_nVersion;
    bool (*m_pApply)(Db& db, std::string& error);
};

// Brings a database up to date, one step after the other in ascending versions. For
// each step, `inTransaction(body)` opens a transaction, reads the database's version
// and calls body(version, error): the step applies when the database is older, and
// the store records the version and commits. False at the first step that fails.
template <class Db, class InTransaction>
[[nodiscard]] bool UpdateSchema(Db& db, std::span<const CSchemaStep<Db>> steps, InTransaction inTransaction,
                                std::string& error)
{
    for (const CSchemaStep<Db>& step : steps) {
        const auto apply = [&](int current, bool& bApplied, std::string& why) {
            bApplied = current < step.m_nVersion;
            return !bApplied || step.m_pApply(db, why);
        };
        if (!inTransaction(step.m_nVersion, apply, error))
            return false;
    }
    return true;
}

// A listing in SQL: the ids of one page in order (the page's statement puts its count
// and skip in parameters 1 and 2), the order of the rows they select, the statement
// counting what the listing holds, and the values of the parameters from m_nFirst on.
struct CListingSql {
    SqlDialect m_dialect = SqlDialect::Sqlite;
    std::size_t m_nFirst = 1;
    std::string m_strWhere;        // on tones; empty for none
    std::string m_strIds;          // SELECT id ... ORDER BY ...
    std::string m_strPageOrder;    // of the page's rows, as "t"
    std::string m_strCount;
    std::vector<std::string> m_values;
    bool m_bSearch = false;        // its count stops past kMaxSearchMatches

    // The placeholder of the next value added.
    [[nodiscard]] std::string Next() const { return Placeholder(m_dialect, m_nFirst + m_values.size()); }
    void AddCondition(const std::string& condition);
};

// The listing of `filter` without its words: by time, newest first, narrowed by author
// and category, counted from the category counts where it can.
[[nodiscard]] CListingSql PlainListingSqlOf(const CToneFilter& filter, SqlDialect dialect, std::size_t first);
// The narrowing by author and category every listing and search shares.
void NarrowByAuthorAndCategory(CListingSql& sql, const CToneFilter& filter);
// A search's order (by id, the order of posting) and its count: one more than is
// listed tells whether there are more. `matches`: a FROM and WHERE of the matches.
void FinishSearchSql(CListingSql& sql, const std::string& matches);
// The statement of one page: the columns kListedToneColumns of the rows whose ids the
// listing gives, at most parameter 1 of them after skipping parameter 2.
[[nodiscard]] std::string PageSqlOf(const CListingSql& sql);
// The total of a page from what the count statement gave.
void SetPageTotal(const CListingSql& sql, std::int64_t counted, CTonePage& page);

// The columns of a listed ringtone, in the order ToneFromColumns takes them.
inline constexpr const char* kListedToneColumns = "id, author, name, category, posted, message";
// A listed ringtone from its columns, as the store's result reads them.
struct CListedToneColumns {
    std::int64_t m_nId;
    std::string m_strAuthor;
    std::string m_strName;
    std::string m_strCategory;
    std::int64_t m_nPosted;
    std::vector<std::uint8_t> m_message;
};
void ToneFromColumns(CListedToneColumns columns, CToneRecord& tone);

// The key of `nickname` among the authors (LookAlikeKeyOf), with the error as the
// stores give it.
[[nodiscard]] bool AuthorKeyForLookUp(std::string_view nickname, std::string& key, std::string& error);

// The counters (CAbuseCounter): read one by its key (parameter 1), and forget those
// last counted before parameter 1 and not blocking past it.
[[nodiscard]] std::string ReadCounterSql(SqlDialect dialect);
[[nodiscard]] std::string ForgetCountersSql(SqlDialect dialect);
