#pragma once
// The gallery server answers with a small HTML page; the user sees only its text.

#include <string>
#include <string_view>

// The text of `reply` without markup: every "<" up to and including the next ">" is
// dropped, everything else stays as received (line breaks and entities included). The
// reply ends at its first zero byte. Each call starts outside markup, so a reply cut
// inside a tag never affects the next one.
[[nodiscard]] std::string StripMarkup(std::string_view reply);
