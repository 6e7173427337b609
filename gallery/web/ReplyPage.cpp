#include "gallery/web/ReplyPage.h"

#include "gallery/web/HtmlText.h"

std::string RenderReplyPage(std::string_view title, const std::vector<std::string>& sentences, bool bLinkBack)
{
    // Everything up to the title on one line: line breaks outside the tags would
    // show as blank lines above the text.
    std::string page = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
    page += ReplyEscape(title);
    page += "</title><link rel=\"stylesheet\" href=\"/static/gallery.css\"></head><body class=\"reply\">\n";
    for (const std::string& sentence : sentences) {
        page += "<p>";
        page += ReplyEscape(sentence);
        page += "</p>\n";
    }
    if (bLinkBack)
        page += "<p><a href=\"/\">Back to the gallery</a></p>\n";
    page += "</body></html>";
    return page;
}
