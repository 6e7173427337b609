#include <gtest/gtest.h>

#include <sqlite3.h>

#include <fstream>
#include <regex>

#include "gallery/service/GalleryRoutes.h"
#include "gallery/service/GalleryService.h"
#include "gallery/store/SqliteGalleryStore.h"
#include "gallery/web/HtmlText.h"
#include "gallery/web/ReplyPage.h"
#include "gallery/web/ToneListJson.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestStore.h"
#include "tests/support/FakePreviewRenderer.h"
#include "upload/StripMarkup.h"

namespace {

struct CEscapeCase {
    const char* m_szName;
    friend void PrintTo(const CEscapeCase& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strText;
    std::string m_strReply;
    std::string m_strHtml;
};

class HtmlEscapes : public testing::TestWithParam<CEscapeCase> {};

TEST_P(HtmlEscapes, TheText)
{
    EXPECT_EQ(ReplyEscape(GetParam().m_strText), GetParam().m_strReply);
    EXPECT_EQ(HtmlEscape(GetParam().m_strText), GetParam().m_strHtml);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlEscapes,
    testing::Values(CEscapeCase{"plain_text", "Ode to Joy", "Ode to Joy", "Ode to Joy"},
                    CEscapeCase{"an_ampersand_between_words", "Rock & Roll", "Rock & Roll", "Rock &amp; Roll"},
                    CEscapeCase{"an_ampersand_that_could_start_a_reference", "&amp;&#38;", "&amp;amp;&amp;#38;",
                                "&amp;amp;&amp;#38;"},
                    CEscapeCase{"a_tag", "<b>x</b>", "&lt;b>x&lt;/b>", "&lt;b&gt;x&lt;/b&gt;"},
                    CEscapeCase{"quotes", "\"it's\"", "\"it's\"", "&quot;it&#39;s&quot;"},
                    CEscapeCase{"a_trailing_ampersand", "a &", "a &", "a &amp;"}),
    [](const testing::TestParamInfo<CEscapeCase>& info) { return std::string(info.param.m_szName); });

TEST(JsonString, EscapesWhatJsonAndHtmlReadersNeedAndReplacesBrokenUtf8)
{
    EXPECT_EQ(JsonString("Ode to Joy"), "\"Ode to Joy\"");
    EXPECT_EQ(JsonString("say \"hi\" \\ back"), "\"say \\\"hi\\\" \\\\ back\"");
    EXPECT_EQ(JsonString("a\tb\nc\x01\x1f"), "\"a\\tb\\nc\\u0001\\u001f\"");
    EXPECT_EQ(JsonString("</script>&"), "\"\\u003c/script\\u003e&\"");
    EXPECT_EQ(JsonString("Zo\xC3\xAB \xE8\x8C\x89 \xF0\x9F\x8E\xB5"), "\"Zo\xC3\xAB \xE8\x8C\x89 \xF0\x9F\x8E\xB5\"");
    EXPECT_EQ(JsonString("line\xE2\x80\xA8"), "\"line\\u2028\"");
    EXPECT_EQ(JsonString("bad \xFF, cut \xE8\x8C, overlong \xC0\xAF, surrogate \xED\xA0\x80"),
              "\"bad \\ufffd, cut \\ufffd\\ufffd, overlong \\ufffd\\ufffd, surrogate \\ufffd\\ufffd\\ufffd\"");
}

TEST(ReplyPage, ReadsAsTitleAndSentencesOnceTheProgramStripsTheTags)
{
    std::string page = RenderReplyPage("Ringtone stored", {"\"Rock & Roll\" by nick is in.", "Second line <3."});
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(StripMarkup(page), "Ringtone stored\n\"Rock & Roll\" by nick is in.\nSecond line &lt;3.\n");
    EXPECT_LT(page.size(), 4095u) << "the program reads at most 4095 bytes of a reply";
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"/static/gallery.css\">"), std::string::npos);
}

TEST(ReplyPage, LinksBackToTheGalleryForABrowser)
{
    std::string page = RenderReplyPage("Ringtone deleted", {"Gone."}, true);
    EXPECT_NE(page.find("<a href=\"/\">Back to the gallery</a>"), std::string::npos);
}

// A store filled for its listings, of the kind the test runs on.
class ListingTest : public CStoreTestBase {
protected:
    // Registers the nickname with its first ringtone; later ones go in one transaction.
    void Add(std::vector<CToneRecord> tones)
    {
        for (CToneRecord& tone : tones) {
            bool found = false;
            CAuthorRecord author;
            ASSERT_TRUE(m_store->FindAuthor(tone.m_strAuthor, author, found, m_error)) << m_error;
            if (found)
                continue;
            const std::string hash = "$argon2id$hash";
            ASSERT_EQ(m_store->AddTone(tone, &hash, m_error), CGalleryStore::AddResult::Added) << m_error;
            tone.m_nId = -1;
        }
        std::erase_if(tones, [](const CToneRecord& tone) { return tone.m_nId == -1; });
        ASSERT_TRUE(m_store->AddTones(tones, m_error)) << m_error;
    }

    // The names of the ringtones `filter` lets through, page by page.
    std::vector<std::string> NamesOf(const CToneFilter& filter, int perPage = 50)
    {
        std::vector<std::string> names;
        for (std::int64_t skip = 0;; skip += perPage) {
            CTonePage page;
            EXPECT_TRUE(m_store->ListTonePage(filter, skip, perPage, page, m_error)) << m_error;
            for (const CToneRecord& tone : page.m_tones)
                names.push_back(tone.m_strName);
            if (page.m_tones.size() < static_cast<std::size_t>(perPage)) {
                EXPECT_EQ(page.m_nTotal, static_cast<std::int64_t>(names.size()));
                return names;
            }
        }
    }
};

// The store itself: what its listings hold and in which order, on each store.
class ToneListingStore : public ListingTest, public testing::WithParamInterface<StoreKind> {
protected:
    void SetUp() override { OpenStore(GetParam()); }
};

constexpr StoreKind kStoreKinds[] = {StoreKind::Sqlite, StoreKind::Postgres};

CToneRecord Tone(const std::string& author, const std::string& name, ToneCategory category, std::int64_t posted)
{
    CToneRecord tone;
    tone.m_strAuthor = author;
    tone.m_strName = name;
    tone.m_category = category;
    tone.m_nPosted = posted;
    tone.m_midi = SmallPreviewMidi();
    tone.m_message = MessageOf("Tone", 120, ScaleNotes(3));
    return tone;
}

using Names = std::vector<std::string>;

TEST_P(ToneListingStore, ListsNewestFirstByTimeThenIdAcrossPages)
{
    std::vector<CToneRecord> tones;
    for (int i = 0; i < 23; ++i)
        tones.push_back(Tone("nick", std::to_string(i), i % 3 == 0 ? ToneCategory::Chinese : ToneCategory::Others,
                             1000 + i / 2)); // pairs posted in the same second
    tones.push_back(Tone("nick", "late but old", ToneCategory::Others, 10));
    Add(tones);
    CToneFilter chinese;
    chinese.m_category = ToneCategory::Chinese;
    EXPECT_EQ(NamesOf(chinese, 3), (Names{"21", "18", "15", "12", "9", "6", "3", "0"}));
    CToneFilter all;
    Names expected;
    for (int i = 22; i >= 0; --i)
        expected.push_back(std::to_string(i));
    expected.push_back("late but old");
    EXPECT_EQ(NamesOf(all, 5), expected);
    CToneFilter byAuthor;
    byAuthor.m_strAuthor = "nick";
    EXPECT_EQ(NamesOf(byAuthor, 50), expected);
}

struct CSearchCase {
    const char* m_szName;
    friend void PrintTo(const CSearchCase& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strWords;
    std::optional<ToneCategory> m_category;
    std::string m_strAuthor;
    Names m_found;
};

class ToneSearch : public ListingTest, public testing::WithParamInterface<std::tuple<StoreKind, CSearchCase>> {
protected:
    void SetUp() override { OpenStore(std::get<0>(GetParam())); }
    [[nodiscard]] const CSearchCase& Case() const { return std::get<1>(GetParam()); }
};

TEST_P(ToneSearch, FindsWholeWordsOfNameOrNicknameAndNoSyntax)
{
    Add({Tone("ludwig", "Ode to Joy", ToneCategory::Classical, 1),
         Tone("sam", "Rock NEAR Roll", ToneCategory::English, 2),
         Tone("mei", "Say \"Hi\" (now)", ToneCategory::Chinese, 3),
         Tone("Zo\xC3\xAB", "Cr\xC3\xA8me", ToneCategory::Others, 4),
         Tone("sam", "Joy Ride", ToneCategory::English, 5),
         Tone("mei", "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", ToneCategory::Chinese, 6),
         Tone("sam", "Don't Stop", ToneCategory::Others, 7)});
    CToneFilter filter;
    filter.m_strWords = Case().m_strWords;
    filter.m_category = Case().m_category;
    filter.m_strAuthor = Case().m_strAuthor;
    EXPECT_EQ(NamesOf(filter), Case().m_found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToneSearch,
    testing::Combine(testing::ValuesIn(kStoreKinds), testing::Values(
        CSearchCase{"a_word_of_the_name_newest_first", "joy", {}, "", {"Joy Ride", "Ode to Joy"}},
        CSearchCase{"every_word_must_be_found", "JOY ode", {}, "", {"Ode to Joy"}},
        CSearchCase{"the_nickname_accents_aside", "zoe creme", {}, "", {"Cr\xC3\xA8me"}},
        CSearchCase{"in_one_category", "joy", ToneCategory::Classical, "", {"Ode to Joy"}},
        CSearchCase{"of_one_author", "joy", {}, "sam", {"Joy Ride"}},
        CSearchCase{"whole_words_only", "jo", {}, "", {}},
        CSearchCase{"the_category_word_is_not_text", "english", {}, "", {}},
        CSearchCase{"near_is_a_word", "NEAR", {}, "", {"Rock NEAR Roll"}},
        CSearchCase{"near_with_brackets_is_text", "NEAR(rock roll)", {}, "", {}},
        CSearchCase{"a_star_is_no_prefix", "jo*", {}, "", {}},
        CSearchCase{"a_minus_is_no_not", "-joy", {}, "", {"Joy Ride", "Ode to Joy"}},
        CSearchCase{"or_is_a_word", "ode OR rock", {}, "", {}},
        CSearchCase{"quotes_are_text", "\"hi\" \"now", {}, "", {"Say \"Hi\" (now)"}},
        CSearchCase{"a_column_filter_is_text", "name:ode", {}, "", {}},
        CSearchCase{"only_syntax_finds_nothing", "\" * - ( ) : ^ {name}", {}, "", {}},
        CSearchCase{"an_accent_typed_is_set_aside_too", "J\xC3\x96Y ode", {}, "", {"Ode to Joy"}},
        CSearchCase{"a_han_word_whole", "\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1", {}, "",
                    {"\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1"}},
        CSearchCase{"part_of_a_han_word_is_no_word", "\xE8\x8C\x89\xE8\x8E\x89", {}, "", {}},
        CSearchCase{"an_apostrophe_splits_a_word", "DON'T", {}, "", {"Don't Stop"}},
        CSearchCase{"words_joined_by_punctuation_follow_each_other", "to-joy", {}, "", {"Ode to Joy"}},
        CSearchCase{"joined_words_in_another_order_are_not_found", "joy-to", {}, "", {}},
        CSearchCase{"joined_words_are_in_one_of_name_and_nickname", "ludwig-ode", {}, "", {}},
        CSearchCase{"words_apart_may_be_in_either", "ludwig joy", {}, "", {"Ode to Joy"}},
        CSearchCase{"blank_is_no_search", " \t ", ToneCategory::English, "", {"Joy Ride", "Rock NEAR Roll"}})),
    [](const testing::TestParamInfo<std::tuple<StoreKind, CSearchCase>>& info) {
        return std::string(std::get<1>(info.param).m_szName) + "_" + NameOfStore(std::get<0>(info.param));
    });

TEST_P(ToneListingStore, CountsAndSearchFollowDeletions)
{
    Add({Tone("a", "Gone Soon", ToneCategory::English, 1), Tone("a", "Stays", ToneCategory::English, 2),
         Tone("a", "Other", ToneCategory::Others, 3)});
    std::array<std::int64_t, 4> counts{};
    ASSERT_TRUE(m_store->CountTonesByCategory(counts, m_error));
    EXPECT_EQ(counts, (std::array<std::int64_t, 4>{2, 0, 0, 1}));
    bool deleted = false;
    ASSERT_TRUE(m_store->DeleteTone(1, deleted, m_error));
    ASSERT_TRUE(deleted);
    ASSERT_TRUE(m_store->CountTonesByCategory(counts, m_error));
    EXPECT_EQ(counts, (std::array<std::int64_t, 4>{1, 0, 0, 1}));
    CToneFilter search;
    search.m_strWords = "gone";
    EXPECT_EQ(NamesOf(search), Names{});
}

INSTANTIATE_TEST_SUITE_P(Stores, ToneListingStore, testing::ValuesIn(kStoreKinds),
                         [](const testing::TestParamInfo<StoreKind>& info) { return NameOfStore(info.param); });

TEST(ToneListingUpgrade, ADatabaseOfVersionOneGetsItsListingsFromTheRowsItHolds)
{
    CTempDir dir;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(CSqliteGalleryStore::DatabasePathIn(dir.Path()).c_str(), &db), SQLITE_OK);
    const char* kVersionOne = R"(
        CREATE TABLE authors (nickname TEXT PRIMARY KEY COLLATE NOCASE, password_hash TEXT NOT NULL,
                              registered INTEGER NOT NULL);
        CREATE TABLE tones (id INTEGER PRIMARY KEY AUTOINCREMENT, author TEXT NOT NULL REFERENCES authors(nickname),
                            name TEXT NOT NULL, category TEXT NOT NULL, posted INTEGER NOT NULL, midi BLOB NOT NULL,
                            message BLOB NOT NULL);
        CREATE INDEX tones_by_time ON tones (posted DESC, id DESC);
        INSERT INTO authors VALUES ('Old', 'hash', 1);
        INSERT INTO tones (author, name, category, posted, midi, message) VALUES
            ('Old', 'Old Waltz', 'CLASSICAL', 1, x'00', x'00'), ('Old', 'Old Song', 'ENGLISH', 2, x'00', x'00');
        PRAGMA user_version = 1;)";
    ASSERT_EQ(sqlite3_exec(db, kVersionOne, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);

    CSqliteGalleryStore store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.Path(), error)) << error;
    std::array<std::int64_t, 4> counts{};
    ASSERT_TRUE(store.CountTonesByCategory(counts, error)) << error;
    EXPECT_EQ(counts, (std::array<std::int64_t, 4>{1, 0, 1, 0}));
    CToneFilter filter;
    filter.m_strWords = "waltz";
    CTonePage page;
    ASSERT_TRUE(store.ListTonePage(filter, 0, 50, page, error)) << error;
    ASSERT_EQ(page.m_tones.size(), 1u);
    EXPECT_EQ(page.m_tones[0].m_strName, "Old Waltz");
}

// The pages and the JSON as the routes answer them, over a store filled directly.
class GalleryPages : public ListingTest {
protected:
    void SetUp() override
    {
        OpenStore(StoreKind::Sqlite);
        m_service.emplace(*m_store, m_hasher, m_previews, [] { return std::int64_t{1765180800}; });
    }

    CGalleryAnswer Get(const std::string& target, const char* method = "GET")
    {
        CGalleryRequest request;
        request.m_strMethod = method;
        std::size_t question = target.find('?');
        request.m_strPath = target.substr(0, question);
        request.m_strQuery = question == std::string::npos ? "" : target.substr(question + 1);
        request.m_strClient = "127.0.0.1";
        return RouteGalleryRequest(*m_service, request);
    }

    // `count` ringtones "Ringtone I" by author0..author9, categories in turn, posted
    // a second apart: ids 1..count, in ENGLISH those of I = 0, 4, 8, ...
    void AddMany(int count)
    {
        std::vector<CToneRecord> tones;
        for (int i = 0; i < count; ++i)
            tones.push_back(Tone("author" + std::to_string(i % 10), "Ringtone " + std::to_string(i),
                                 kToneCategories[static_cast<std::size_t>(i % 4)], 1765180800 + i));
        Add(std::move(tones));
    }

    CPasswordHasher m_hasher{PasswordCost::Minimum};
    CFakePreviewRenderer m_renderer;
    CTempDir m_dir;
    CPreviewCache m_previews{m_dir.File("previews"), m_renderer};
    std::optional<CGalleryService> m_service;
};

// The ids of the ringtones on a page, in page order.
std::vector<std::int64_t> IdsOn(const std::string& page)
{
    static const std::regex kArticle("<article class=\"tone\" id=\"tone-(\\d+)\">");
    std::vector<std::int64_t> ids;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), kArticle); it != std::sregex_iterator(); ++it)
        ids.push_back(std::stoll((*it)[1]));
    return ids;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(GalleryPages, ACategoryShowsFiftyAPageNewestFirstWithPreviousAndNextLinks)
{
    AddMany(3000); // 750 a category: 15 pages
    std::vector<std::int64_t> seen;
    for (int number = 1; number <= 15; ++number) {
        CGalleryAnswer page = Get("/?category=ENGLISH&page=" + std::to_string(number));
        ASSERT_EQ(page.m_nStatus, 200) << number;
        EXPECT_LT(page.m_strBody.size(), 100u * 1024) << number;
        std::vector<std::int64_t> ids = IdsOn(page.m_strBody);
        EXPECT_EQ(ids.size(), 50u) << number;
        seen.insert(seen.end(), ids.begin(), ids.end());
        const std::string base = "/?category=ENGLISH";
        const std::string previous = number == 2 ? base : base + "&amp;page=" + std::to_string(number - 1);
        EXPECT_EQ(Has(page.m_strBody, "<a rel=\"prev\" href=\"" + previous + "\""), number > 1) << number;
        EXPECT_EQ(Has(page.m_strBody,
                      "<a rel=\"next\" href=\"/?category=ENGLISH&amp;page=" + std::to_string(number + 1) + "\""),
                  number < 15)
            << number;
    }
    std::vector<std::int64_t> expected;
    for (std::int64_t id = 2997; id >= 1; id -= 4)
        expected.push_back(id);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(IdsOn(Get("/?category=ENGLISH").m_strBody), IdsOn(Get("/?category=ENGLISH&page=1").m_strBody));

    CGalleryAnswer past = Get("/?category=ENGLISH&page=16");
    EXPECT_EQ(past.m_nStatus, 404);
    EXPECT_TRUE(Has(past.m_strBody, "There is no page 16 here: the last one is page 15.")) << past.m_strBody;
}

TEST_F(GalleryPages, RefusesAnUnknownCategoryOrABadPageNumberSayingWhy)
{
    for (const char* query : {"category=JAZZ", "category=english", "category=ENGLISH&page=0", "page=-1", "page=1.5",
                              "page=x", "category=OTHERS&page=99999999999", "page=2"}) {
        CGalleryAnswer page = Get(std::string("/?") + query);
        EXPECT_EQ(page.m_nStatus, 400) << query;
        EXPECT_TRUE(Has(page.m_strBody, "category") || Has(page.m_strBody, "page number") ||
                    Has(page.m_strBody, "front page has one page"))
            << query << ": " << page.m_strBody;
        CGalleryAnswer json = Get(std::string("/api/tones?") + query);
        if (std::string(query) == "page=2")
            continue; // every ringtone, page 2: there is no front page in the JSON
        EXPECT_EQ(json.m_nStatus, 400) << query;
        EXPECT_EQ(json.m_strContentType, "application/json");
        EXPECT_EQ(json.m_strBody.rfind("{\"error\":\"", 0), 0u) << json.m_strBody;
    }
    EXPECT_TRUE(Has(Get("/?category=JAZZ").m_strBody, "it is one of ENGLISH, CHINESE, CLASSICAL and OTHERS."));
}

TEST_F(GalleryPages, TheFrontPageShowsEachCategorysNewestAndLinksToAllOfIt)
{
    AddMany(3000);
    CGalleryAnswer page = Get("/");
    ASSERT_EQ(page.m_nStatus, 200);
    const std::string& body = page.m_strBody;
    EXPECT_LT(body.size(), 100u * 1024);
    std::vector<std::int64_t> ids = IdsOn(body);
    ASSERT_EQ(ids.size(), 40u);
    EXPECT_EQ(ids[0], 2997) << "English first, newest first";
    EXPECT_EQ(ids[10], 2998) << "then Chinese";
    std::size_t english = body.find("<h2>English Song</h2>");
    std::size_t chinese = body.find("<h2>Chinese Song</h2>");
    std::size_t classical = body.find("<h2>Classical Music</h2>");
    std::size_t others = body.find("<h2>Others</h2>");
    EXPECT_LT(english, chinese);
    EXPECT_LT(chinese, classical);
    EXPECT_LT(classical, others);
    EXPECT_TRUE(Has(body, "<a href=\"/?category=CLASSICAL\">Classical Music (750)</a>"));
    EXPECT_TRUE(Has(body, "<a href=\"/?category=OTHERS\">All 750 in Others &rarr;</a>"));
    EXPECT_TRUE(Has(body, "<title>Zorvat Ringtone Gallery</title>"));
}

TEST_F(GalleryPages, ATonesArticleLinksEverythingItHasAndEscapesItsText)
{
    Add({Tone("nick<&>", "<script>x</script>", ToneCategory::English, 1800000000)});
    CGalleryAnswer page = Get("/");
    const std::string& body = page.m_strBody;
    EXPECT_TRUE(Has(body, "<h3>&lt;script&gt;x&lt;/script&gt;</h3>"));
    EXPECT_TRUE(Has(body, "by <a class=\"author\" href=\"/author/nick%3C%26%3E\">nick&lt;&amp;&gt;</a>"));
    EXPECT_TRUE(Has(body, "<time datetime=\"2027-01-15T08:00:00Z\">2027-01-15 08:00 UTC</time>"));
    EXPECT_TRUE(Has(body, "<pre class=\"rtttl\">Tone:d=4,o=5,b=125:8c5,8d5,8e5,</pre>"));
    EXPECT_TRUE(Has(body, "<audio controls preload=\"none\" src=\"/tone/1.ogg\">"));
    for (const char* link : {"/tone/1.mid", "/tone/1.ott", "/tone/1.txt", "/tone/1/delete"})
        EXPECT_TRUE(Has(body, std::string("\"") + link + "\"")) << link;
    EXPECT_TRUE(Has(body, "name=\"password\""));
    EXPECT_TRUE(Has(body, "<p class=\"empty\">No ringtones yet.</p>")) << "Chinese is empty";
    EXPECT_FALSE(Has(body, "http")) << "nothing from elsewhere";
}

TEST_F(GalleryPages, SaysWhenAStoredToneDoesNotDecode)
{
    CToneRecord tone = Tone("a", "Broken", ToneCategory::Others, 0);
    tone.m_message = {0x01};
    Add({tone});
    const std::string body = Get("/").m_strBody;
    EXPECT_TRUE(Has(body, "(the stored ringing tone does not decode: the command length is 1 instead of 2"));
    EXPECT_TRUE(Has(body, "1970-01-01 00:00 UTC"));
    EXPECT_TRUE(Has(Get("/api/tones").m_strBody, "\"rtttl\":null"));
    EXPECT_TRUE(Has(Get("/tone/1/devices").m_strBody, "The stored ringing tone does not decode"));
}

TEST_F(GalleryPages, MarksTheDevicesAToneFitsAsPosted)
{
    CToneRecord tone = Tone("a", "High", ToneCategory::Others, 0);
    tone.m_message = MessageOf("High", 120, {MakeNote(95, 2, 0), MakeNote(84, 2, 0)});
    Add({tone});
    const std::string body = Get("/tone/1/devices").m_strBody;
    EXPECT_TRUE(Has(body, "<tr><td><a href=\"/tone/1/esphome.rtttl\" download>esphome .rtttl</a></td><td>ESPHome and "
                          "Home Assistant rtttl buzzers and speakers</td><td class=\"as-posted\">as posted</td></tr>"));
    // b7 is above what CircuitPython plays: the tune is moved an octave down for it.
    EXPECT_TRUE(Has(body, "<td>fitted: the tune is moved 1 octave down into what circuitpython plays (c4-c#7)</td>"));
    EXPECT_EQ(Get("/tone/2/devices").m_nStatus, 404);
}

TEST_F(GalleryPages, ASearchShowsItsWordsAndKeepsThemInItsPageLinks)
{
    AddMany(300);
    CGalleryAnswer page = Get("/?q=ringtone+%22%3E%3C&category=CLASSICAL");
    ASSERT_EQ(page.m_nStatus, 200);
    EXPECT_TRUE(
        Has(page.m_strBody, "<h2>Ringtones matching \u201Cringtone &quot;&gt;&lt;\u201D in Classical Music</h2>"));
    EXPECT_TRUE(Has(page.m_strBody, "name=\"q\" value=\"ringtone &quot;&gt;&lt;\""));
    EXPECT_TRUE(Has(page.m_strBody, "<option value=\"CLASSICAL\" selected>"));
    EXPECT_EQ(IdsOn(page.m_strBody).front(), 299);
    EXPECT_TRUE(Has(page.m_strBody,
                    "<a rel=\"next\" href=\"/?category=CLASSICAL&amp;q=ringtone%20%22%3E%3C&amp;page=2\""))
        << "75 match";
    EXPECT_FALSE(Has(page.m_strBody, "<span class=\"category\">")) << "one category: not repeated";

    CGalleryAnswer all = Get("/?q=author3");
    EXPECT_EQ(IdsOn(all.m_strBody).size(), 30u);
    EXPECT_TRUE(Has(all.m_strBody, "<span class=\"category\">Chinese Song</span>"));
    EXPECT_TRUE(Has(Get("/?q=nothing").m_strBody, "No ringtone matches the search."));

    EXPECT_EQ(Get("/?q=" + std::string(100, 'a')).m_nStatus, 200);
    CGalleryAnswer overlong = Get("/?q=" + std::string(101, 'a'));
    EXPECT_EQ(overlong.m_nStatus, 400);
    EXPECT_TRUE(Has(overlong.m_strBody, "The search is longer than 100 characters"));
    EXPECT_EQ(Get("/?q=%FF").m_nStatus, 400);
}

TEST_F(GalleryPages, ASearchListsItsNewestThousandMatchesOnly)
{
    AddMany(1010);
    CGalleryAnswer last = Get("/?q=ringtone&page=20");
    ASSERT_EQ(last.m_nStatus, 200);
    EXPECT_TRUE(Has(last.m_strBody, "More than 1000 ringtones match: the newest 1000 are listed"));
    EXPECT_EQ(IdsOn(last.m_strBody).back(), 11);
    EXPECT_FALSE(Has(last.m_strBody, "rel=\"next\""));
    EXPECT_EQ(Get("/?q=ringtone&page=21").m_nStatus, 404);
    EXPECT_TRUE(Has(Get("/api/tones?q=ringtone").m_strBody, "\"pages\":20,\"total\":1000,\"more_matches\":true,"));
    EXPECT_TRUE(Has(Get("/api/tones?category=OTHERS").m_strBody, "\"total\":252,\"more_matches\":false,"));
    EXPECT_TRUE(Has(Get("/api/tones").m_strBody, "\"total\":1010,\"more_matches\":false,")) << "no search: all";
}

TEST_F(GalleryPages, AnAuthorsPageListsTheirRingtonesUnderThePercentEncodedNickname)
{
    Add({Tone("Zo\xC3\xAB B", "Mine", ToneCategory::English, 2), Tone("other", "Not Mine", ToneCategory::English, 3),
         Tone("Zo\xC3\xAB B", "Also Mine", ToneCategory::Chinese, 1)});
    const std::string front = Get("/").m_strBody;
    EXPECT_TRUE(Has(front, "href=\"/author/Zo%C3%AB%20B\""));
    for (const char* path : {"/author/Zo%C3%AB%20B", "/author/zO%C3%AB%20b"}) {
        CGalleryAnswer page = Get(path);
        ASSERT_EQ(page.m_nStatus, 200) << path;
        EXPECT_TRUE(Has(page.m_strBody, "<h2>Ringtones by Zo\xC3\xAB B</h2>")) << path;
        EXPECT_EQ(IdsOn(page.m_strBody), (std::vector<std::int64_t>{1, 3})) << path;
    }
    EXPECT_EQ(Get("/author/nobody").m_nStatus, 404);
    EXPECT_EQ(Get("/author/%ZZ").m_nStatus, 404);
    const CGalleryAnswer hidden = Get("/author/a%00b%1B");
    EXPECT_EQ(hidden.m_nStatus, 404);
    EXPECT_TRUE(Has(hidden.m_strBody, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD")) << "control characters are not put in a page";
    EXPECT_EQ(Get("/author/other", "POST").m_nStatus, 405);
    EXPECT_TRUE(Has(Get("/api/tones?author=ZO%C3%AB+B").m_strBody, "\"total\":2,"));
}

// A database that is down: every call fails as a lost connection does.
class CDownStore final : public CGalleryStore {
public:
    bool FindAuthor(std::string_view, CAuthorRecord&, bool&, std::string& e) override { return Down(e); }
    AddResult AddTone(CToneRecord&, const std::string*, std::string& e) override
    {
        (void)Down(e);
        return AddResult::Failed;
    }
    bool ListTones(std::vector<CToneRecord>&, std::string& e) override { return Down(e); }
    bool GetTone(std::int64_t, CToneRecord&, bool&, std::string& e) override { return Down(e); }
    bool DeleteTone(std::int64_t, bool&, std::string& e) override { return Down(e); }
    bool CountTones(std::int64_t&, std::string& e) override { return Down(e); }
    bool ReadCounter(std::string_view, CAbuseCounter&, std::string& e) override { return Down(e); }
    bool UpdateCounters(std::span<const std::string>, const std::function<void(std::span<CAbuseCounter>)>&,
                        std::vector<CAbuseCounter>&, std::string& e) override
    {
        return Down(e);
    }
    bool ForgetCounters(std::int64_t, std::string& e) override { return Down(e); }
    bool AddTones(std::vector<CToneRecord>&, std::string& e) override { return Down(e); }
    bool ListTonePage(const CToneFilter&, std::int64_t, int, CTonePage&, std::string& e) override { return Down(e); }
    bool CountTonesByCategory(std::array<std::int64_t, kToneCategories.size()>&, std::string& e) override
    {
        return Down(e);
    }

private:
    static bool Down(std::string& error)
    {
        error = "no connection to the server";
        return false;
    }
};

TEST_F(GalleryPages, ADatabaseThatIsDownMakesTheGalleryUnavailableForAWhile)
{
    CDownStore down;
    m_service.emplace(down, m_hasher, m_previews, [] { return std::int64_t{1765180800}; });
    for (const char* target : {"/", "/api/tones", "/tone/1.ogg", "/tone/1.mid", "/author/nick"}) {
        const CGalleryAnswer answer = Get(target);
        EXPECT_EQ(answer.m_nStatus, 503) << target;
        EXPECT_NE(std::find(answer.m_headers.begin(), answer.m_headers.end(),
                            std::pair<std::string, std::string>("Retry-After", "30")),
                  answer.m_headers.end())
            << target;
    }
}

TEST_F(GalleryPages, TheJsonListingHasThePagesFields)
{
    AddMany(240);
    Add({Tone("author1", "Say \"Hi\" \\ </b>", ToneCategory::Classical, 1900000000)});
    CGalleryAnswer json = Get("/api/tones?category=CLASSICAL&page=1");
    ASSERT_EQ(json.m_nStatus, 200);
    EXPECT_EQ(json.m_strContentType, "application/json");
    EXPECT_EQ(json.m_strBody.rfind("{\"page\":1,\"pages\":2,\"total\":61,\"more_matches\":false,\"previous\":null,"
                                   "\"next\":\"/api/tones?category=CLASSICAL&page=2\",\"tones\":[{",
                                   0),
              0u)
        << json.m_strBody.substr(0, 200);
    EXPECT_TRUE(Has(json.m_strBody,
                    "{\"id\":241,\"author\":\"author1\",\"name\":\"Say \\\"Hi\\\" \\\\ \\u003c/b\\u003e\","
                    "\"category\":\"CLASSICAL\",\"posted\":\"2030-03-17T17:46:40Z\","
                    "\"rtttl\":\"Tone:d=4,o=5,b=125:8c5,8d5,8e5,\",\"author_page\":\"/author/author1\","
                    "\"preview\":\"/tone/241.ogg\",\"midi\":\"/tone/241.mid\",\"ringing_tone\":\"/tone/241.ott\","
                    "\"hex_text\":\"/tone/241.txt\",\"delete\":\"/tone/241/delete\"}"))
        << json.m_strBody.substr(0, 600);
    const std::string last = Get("/api/tones?category=CLASSICAL&page=2").m_strBody;
    EXPECT_TRUE(Has(last, "\"previous\":\"/api/tones?category=CLASSICAL\",\"next\":null,"));
    EXPECT_TRUE(Has(Get("/api/tones?q=%22hi%22").m_strBody, "\"total\":1,"));
    EXPECT_EQ(Get("/api/tones?category=CLASSICAL&page=3").m_nStatus, 404);
}

TEST_F(GalleryPages, TheStyleSheetAndScriptAreServedWithTheirTypesForADay)
{
    struct CFile {
        const char* m_szName;
        const char* m_szType;
    };
    for (const CFile& file : {CFile{"gallery.css", "text/css; charset=utf-8"},
                              CFile{"gallery.js", "text/javascript; charset=utf-8"}}) {
        const std::string path = std::string("/static/") + file.m_szName;
        CGalleryAnswer answer = Get(path);
        EXPECT_EQ(answer.m_nStatus, 200) << path;
        EXPECT_EQ(answer.m_strContentType, file.m_szType);
        std::ifstream source(std::string(ZT_SOURCE_DIR "/gallery/static/") + file.m_szName, std::ios::binary);
        EXPECT_EQ(answer.m_strBody, std::string(std::istreambuf_iterator<char>(source), {})) << "as built in";
        EXPECT_EQ(answer.m_headers,
                  (std::vector<std::pair<std::string, std::string>>{{"Cache-Control", "public, max-age=86400"}}));
        EXPECT_EQ(Get(path, "POST").m_nStatus, 405);
    }
    for (const char* path : {"/static/", "/static/other.css", "/static/../gallery.css", "/static/gallery.css/"})
        EXPECT_EQ(Get(path).m_nStatus, 404) << path;
}

TEST_F(GalleryPages, NoPageHoldsAStyleOrScriptOfItsOwn)
{
    AddMany(60);
    static const std::regex kInline(
        R"(<style|\sstyle\s*=|<script(?![^>]*\ssrc=)|\son[a-z]+\s*=|javascript:)", std::regex::icase);
    for (const char* target : {"/", "/?category=OTHERS&page=2", "/?q=ringtone", "/author/author1", "/?category=JAZZ",
                               "/author/nobody", "/tone/999.mid"}) {
        CGalleryAnswer answer = Get(target);
        EXPECT_FALSE(std::regex_search(answer.m_strBody, kInline)) << target;
        if (answer.m_nStatus == 200) {
            EXPECT_TRUE(Has(answer.m_strBody, "<link rel=\"stylesheet\" href=\"/static/gallery.css\">")) << target;
            EXPECT_TRUE(Has(answer.m_strBody, "<script src=\"/static/gallery.js\" defer></script>")) << target;
        }
    }
}

} // namespace
