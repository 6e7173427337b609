#include <gtest/gtest.h>

#include "GalleryTestData.h"
#include "gallery/GalleryPage.h"
#include "gallery/HtmlText.h"
#include "gallery/ReplyPage.h"
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

TEST(ReplyPage, ReadsAsTitleAndSentencesOnceTheProgramStripsTheTags)
{
    std::string page = RenderReplyPage("Ringtone stored", {"\"Rock & Roll\" by nick is in.", "Second line <3."});
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(StripMarkup(page), "Ringtone stored\n\"Rock & Roll\" by nick is in.\nSecond line &lt;3.\n");
    EXPECT_LT(page.size(), 4095u) << "the program reads at most 4095 bytes of a reply";
}

TEST(ReplyPage, LinksBackToTheGalleryForABrowser)
{
    std::string page = RenderReplyPage("Ringtone deleted", {"Gone."}, true);
    EXPECT_NE(page.find("<a href=\"/\">Back to the gallery</a>"), std::string::npos);
}

CToneRecord Record(std::int64_t id, const std::string& name, ToneCategory category, std::int64_t posted)
{
    CToneRecord tone;
    tone.m_nId = id;
    tone.m_strAuthor = "nick<&>";
    tone.m_strName = name;
    tone.m_category = category;
    tone.m_nPosted = posted;
    tone.m_message = MessageOf("Tone", 120, ScaleNotes(3));
    return tone;
}

TEST(GalleryPage, ShowsEachToneUnderItsCategoryInPageOrder)
{
    std::vector<CToneRecord> tones = {Record(3, "Newest", ToneCategory::Classical, 1800000000),
                                      Record(2, "<script>x</script>", ToneCategory::English, 1700000000),
                                      Record(1, "Oldest", ToneCategory::Classical, 1600000000)};
    std::string page = RenderGalleryPage(tones);

    std::size_t english = page.find("<h2>English Song</h2>");
    std::size_t chinese = page.find("<h2>Chinese Song</h2>");
    std::size_t classical = page.find("<h2>Classical Music</h2>");
    std::size_t others = page.find("<h2>Others</h2>");
    ASSERT_NE(others, std::string::npos);
    EXPECT_LT(english, chinese);
    EXPECT_LT(chinese, classical);
    EXPECT_LT(classical, others);
    EXPECT_LT(english, page.find("&lt;script&gt;x&lt;/script&gt;"));
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    std::size_t newest = page.find("<h3>Newest</h3>");
    std::size_t oldest = page.find("<h3>Oldest</h3>");
    EXPECT_LT(classical, newest);
    EXPECT_LT(newest, oldest);
    EXPECT_LT(oldest, others);
    EXPECT_NE(page.find("Classical Music (2)"), std::string::npos);
    EXPECT_EQ(page.find("No ringtones yet.", english), page.find("No ringtones yet.", chinese)) << "Chinese is empty";

    EXPECT_NE(page.find("<span class=\"author\">nick&lt;&amp;&gt;</span>"), std::string::npos);
    EXPECT_NE(page.find("<time datetime=\"2027-01-15T08:00:00Z\">2027-01-15 08:00 UTC</time>"), std::string::npos);
    EXPECT_NE(page.find("<pre class=\"rtttl\">Tone:d=4,o=5,b=125:8c5,8d5,8e5,</pre>"), std::string::npos);
    EXPECT_NE(page.find("<audio controls preload=\"none\" src=\"/tone/3.wav\">"), std::string::npos);
    for (const char* link : {"/tone/3.mid", "/tone/3.ott", "/tone/3.txt", "/tone/3/delete"})
        EXPECT_NE(page.find(std::string("\"") + link + "\""), std::string::npos) << link;
    EXPECT_NE(page.find("name=\"password\""), std::string::npos);
    EXPECT_EQ(page.find("http"), std::string::npos) << "no external assets";
}

TEST(GalleryPage, SaysWhenAStoredToneDoesNotDecode)
{
    CToneRecord tone = Record(1, "Broken", ToneCategory::Others, 0);
    tone.m_message = {0x01};
    std::string page = RenderGalleryPage({tone});
    EXPECT_NE(page.find("(the stored ringing tone does not decode: the command length is 1 instead of 2"),
              std::string::npos);
    EXPECT_NE(page.find("1970-01-01 00:00 UTC"), std::string::npos);
}

} // namespace
