#pragma once
// Text put into the gallery's HTML.

#include <cstdint>
#include <string>
#include <string_view>

// For element content and quoted attribute values: & < > " ' become references.
[[nodiscard]] std::string HtmlEscape(std::string_view text);

// For a reply to a post. The program shows the reply with its tags taken out but its
// character references as they came, so only what HTML cannot do without is
// escaped: every "<", and an "&" that could start a reference (one followed by a
// letter, a digit or "#"). "Rock & Roll" stays as it is.
[[nodiscard]] std::string ReplyEscape(std::string_view text);

// "2026-12-08 08:30 UTC" for seconds since 1970.
[[nodiscard]] std::string FormatUtcMinute(std::int64_t seconds);
// "2026-12-08T08:30:05Z", for a datetime attribute.
[[nodiscard]] std::string FormatIsoUtc(std::int64_t seconds);
