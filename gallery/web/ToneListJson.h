#pragma once
// The JSON of a listing, GET /api/tones: the fields of the page, for programs.
//   {"page": 2, "pages": 25, "total": 1234, "more_matches": false,
//    "previous": "/api/tones?category=ENGLISH", "next": "/api/tones?category=ENGLISH&page=3",
//    "tones": [{"id": 7, "author": "nick", "name": "Ode to Joy", "category": "CLASSICAL",
//               "posted": "2025-12-08T08:00:00Z", "rtttl": "Ode:d=4,o=5,b=160:...",
//               "author_page": "/author/nick", "preview": "/tone/7.ogg", "midi": "/tone/7.mid",
//               "ringing_tone": "/tone/7.ott", "hex_text": "/tone/7.txt", "delete": "/tone/7/delete"}]}
// "previous" and "next" are null on the first and last page; "rtttl" is null when the
// stored message does not decode; "more_matches" is true for a search that matches
// more ringtones than the kMaxSearchMatches it lists ("total"). A refusal is
// {"error": "one sentence"}.

#include <string>
#include <string_view>

#include "gallery/web/ToneListing.h"

[[nodiscard]] std::string RenderToneListJson(const CToneListing& listing);
[[nodiscard]] std::string RenderJsonError(std::string_view sentence);

// `text` as a JSON string, quotes included. Bytes that are not well-formed UTF-8
// become U+FFFD, so the result is always valid JSON. "<" and ">" are escaped too, so
// that a reader that takes the body for HTML finds no markup in it.
[[nodiscard]] std::string JsonString(std::string_view text);
