#include "gallery/store/StoreSql.h"

#include "gallery/names/NameText.h"

std::string Placeholder(SqlDialect dialect, std::size_t number)
{
    return (dialect == SqlDialect::Sqlite ? "?" : "$") + std::to_string(number);
}

void CListingSql::AddCondition(const std::string& condition)
{
    m_strWhere += (m_strWhere.empty() ? " WHERE " : " AND ") + condition;
}

void NarrowByAuthorAndCategory(CListingSql& sql, const CToneFilter& filter)
{
    if (!filter.m_strAuthor.empty()) {
        sql.AddCondition("author = " + sql.Next());
        sql.m_values.push_back(filter.m_strAuthor);
    }
    if (filter.m_category) {
        sql.AddCondition("category = " + sql.Next());
        sql.m_values.emplace_back(WordOf(*filter.m_category));
    }
}

CListingSql PlainListingSqlOf(const CToneFilter& filter, SqlDialect dialect, std::size_t first)
{
    CListingSql sql;
    sql.m_dialect = dialect;
    sql.m_nFirst = first;
    NarrowByAuthorAndCategory(sql, filter);
    sql.m_strIds = "SELECT id FROM tones" + sql.m_strWhere + " ORDER BY posted DESC, id DESC";
    sql.m_strPageOrder = "t.posted DESC, t.id DESC";
    // The counts of the categories are kept by triggers: only an author's page counts rows.
    if (!filter.m_strAuthor.empty())
        sql.m_strCount = "SELECT COUNT(*) FROM tones" + sql.m_strWhere;
    else if (filter.m_category)
        sql.m_strCount = "SELECT tones FROM tone_counts WHERE category = " + Placeholder(dialect, first);
    else
        sql.m_strCount = std::string("SELECT COALESCE(SUM(tones), 0)") +
                         (dialect == SqlDialect::Postgres ? "::BIGINT" : "") + " FROM tone_counts";
    return sql;
}

void FinishSearchSql(CListingSql& sql, const std::string& matches)
{
    sql.m_bSearch = true;
    sql.m_strPageOrder = "t.id DESC";
    sql.m_strCount = "SELECT COUNT(*) FROM (SELECT 1 " + matches + " LIMIT " + std::to_string(kMaxSearchMatches + 1) +
                     ") AS matches";
}

std::string PageSqlOf(const CListingSql& sql)
{
    // The page's ids come from an index alone (skipping costs no row reads); only the
    // rows of the page are read.
    return "SELECT t.id, t.author, t.name, t.category, t.posted, t.message FROM (" + sql.m_strIds + " LIMIT " +
           Placeholder(sql.m_dialect, 1) + " OFFSET " + Placeholder(sql.m_dialect, 2) +
           ") AS p JOIN tones AS t ON t.id = p.id ORDER BY " + sql.m_strPageOrder;
}

void SetPageTotal(const CListingSql& sql, std::int64_t counted, CTonePage& page)
{
    page.m_nTotal = counted;
    page.m_bMoreMatches = sql.m_bSearch && counted > kMaxSearchMatches;
    if (page.m_bMoreMatches)
        page.m_nTotal = kMaxSearchMatches;
}

void ToneFromColumns(CListedToneColumns columns, CToneRecord& tone)
{
    tone.m_nId = columns.m_nId;
    tone.m_strAuthor = std::move(columns.m_strAuthor);
    tone.m_strName = std::move(columns.m_strName);
    // The column holds one of the four words (the schema checks it).
    tone.m_category = ToneCategory::Others;
    (void)CategoryOfWord(columns.m_strCategory, tone.m_category);
    tone.m_nPosted = columns.m_nPosted;
    tone.m_message = std::move(columns.m_message);
}

bool AuthorKeyForLookUp(std::string_view nickname, std::string& key, std::string& error)
{
    std::string why;
    if (LookAlikeKeyOf(nickname, key, why))
        return true;
    error = "cannot look up the nickname: " + why;
    return false;
}

std::string ReadCounterSql(SqlDialect dialect)
{
    return "SELECT count, last, blocked_until FROM counters WHERE key = " + Placeholder(dialect, 1);
}

std::string ForgetCountersSql(SqlDialect dialect)
{
    const std::string before = Placeholder(dialect, 1);
    return "DELETE FROM counters WHERE last < " + before + " AND blocked_until < " + before;
}
