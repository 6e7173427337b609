#pragma once
// The short HTML page that answers a post or a deletion. The program shows a post's
// reply with the tags taken out, so the page holds no style or script text that would
// show (its look comes from the linked /static/gallery.css, a tag the program drops),
// and its stripped text reads as the title line followed by one line per sentence.

#include <string>
#include <string_view>
#include <vector>

// Sentences are plain text (escaped here). bLinkBack adds a last line with a link to
// the gallery page, for replies a browser shows.
[[nodiscard]] std::string RenderReplyPage(std::string_view title, const std::vector<std::string>& sentences,
                                          bool bLinkBack = false);
