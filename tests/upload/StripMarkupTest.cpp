#include "upload/StripMarkup.h"

#include <gtest/gtest.h>

#include <string>

TEST(StripMarkup, KeepsOnlyTheTextOutsideTags)
{
    struct Case {
        const char* pName;
        std::string reply;
        std::string text;
    };
    const Case cases[] = {
        {"a reply without any tag shows unchanged", "Upload OK: 12 tones", "Upload OK: 12 tones"},
        {"tags and text keep the text in order", "<html><b>Thank</b> you<br>!</html>", "Thank you!"},
        {"line breaks and entities stay as received", "<p>a &amp; b\r\nc</p>\n", "a &amp; b\r\nc\n"},
        {"a closing bracket outside markup is text", "3 > 2", "3 > 2"},
        {"a second opening bracket inside a tag is dropped", "x<a<b>y", "xy"},
        {"attributes with brackets end at the first one", "<a title=\"x>y\">z", "y\">z"},
        {"a reply cut inside a tag drops the rest", "Saved<b", "Saved"},
        {"an empty reply gives empty text", "", ""},
        {"a zero byte ends the reply", std::string("ok\0<b>hidden</b>", 16), "ok"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripMarkup(c.reply), c.text) << c.pName;
}

TEST(StripMarkup, AReplyCutInsideATagDoesNotEatTheNextReply)
{
    EXPECT_EQ(StripMarkup("<html>first<b"), "first");
    EXPECT_EQ(StripMarkup("second reply<br>shown whole"), "second replyshown whole");
}
