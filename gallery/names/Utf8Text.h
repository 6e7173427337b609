#pragma once
// Text fields of a post as the gallery keeps and shows them: UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

// True when `text` is well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF) and holds no control character (U+0000..U+001F, U+007F..U+009F).
[[nodiscard]] bool IsPrintableUtf8(std::string_view text);

// Characters of a well-formed UTF-8 text (bytes that do not start a sequence are
// not counted).
[[nodiscard]] std::size_t Utf8CharCount(std::string_view text);

// True when the text holds a character other than a space or tab.
[[nodiscard]] bool HasVisibleChar(std::string_view text);

// The text with every byte that does not belong to a well-formed sequence, and every
// control character, replaced by U+FFFD.
[[nodiscard]] std::string ToPrintableUtf8(std::string_view text);
