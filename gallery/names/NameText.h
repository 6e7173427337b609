#pragma once
// Nicknames and ringtone names as the gallery keeps them. The page shows names, so a
// name must be what it looks like: text that only differs in width, compatibility
// forms or white space is kept as one form, characters that do not show or that turn
// the line around them are refused, and nicknames that look alike are one author.

#include <string>
#include <string_view>

// `text` (well-formed UTF-8) in NFKC, with white space trimmed at both ends and each
// run of it made one ASCII space. False with one whole sentence naming `field` in
// `error` ("The nickname contains an invisible or direction-changing character
// (U+202E), which the gallery does not take.") for text holding a control, format or
// direction character, a line or paragraph separator, a private-use character or one
// Unicode does not assign; `normalised` is then empty. May give empty text.
[[nodiscard]] bool NormaliseName(std::string_view text, std::string_view field, std::string& normalised,
                                 std::string& error);

// The key under which nicknames that look alike are one author, whatever their letter
// case: the confusable skeleton (Unicode TR39) of the normalised nickname in
// capitals, taken before case folding, then folded and taken again. Takes any
// nickname, also one stored before names were normalised: characters NormaliseName
// refuses as invisible are left out of the key. False only when ICU fails.
[[nodiscard]] bool LookAlikeKeyOf(std::string_view nickname, std::string& key, std::string& error);
