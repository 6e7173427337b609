#pragma once
// Words of a ringtone's name or nickname as a search compares them, for a store that
// keeps them in a column of its own (CPostgresGalleryStore): the same words SQLite's
// unicode61 tokenizer with remove_diacritics finds, letter case and accents aside.

#include <string>
#include <string_view>
#include <vector>

// The words of `text` (UTF-8), in order: runs of letters, digits and private-use
// characters, lower-cased, without their accents (non-spacing marks are dropped after
// canonical decomposition, in every script), in NFC. Everything else separates words.
// False only when ICU fails, with the reason in `error`.
[[nodiscard]] bool SearchWordsOf(std::string_view text, std::vector<std::string>& words, std::string& error);
