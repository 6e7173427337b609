#include "gallery/store/SearchWords.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdint>

namespace {

enum class CharKind { Word, Mark, Separator };

// Letters, digits and private-use characters make words, as in unicode61. Non-spacing
// marks are dropped: after decomposition they are the accents. No mark splits a word
// (unicode61 splits Devanagari at its vowel signs); a spacing one stays in it.
CharKind KindOf(UChar32 c)
{
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER:
    case U_LOWERCASE_LETTER:
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_DECIMAL_DIGIT_NUMBER:
    case U_LETTER_NUMBER:
    case U_OTHER_NUMBER:
    case U_PRIVATE_USE_CHAR:
    case U_COMBINING_SPACING_MARK:
        return CharKind::Word;
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
        return CharKind::Mark;
    default:
        return CharKind::Separator;
    }
}

bool IcuFailed(UErrorCode status, std::string& error)
{
    if (U_SUCCESS(status))
        return false;
    error = std::string("ICU cannot split the text into words: ") + u_errorName(status);
    return true;
}

} // namespace

bool SearchWordsOf(std::string_view text, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (IcuFailed(status, error))
        return false;
    const icu::UnicodeString decomposed = nfd->normalize(
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size()))), status);
    if (IcuFailed(status, error))
        return false;

    icu::UnicodeString word;
    auto endWord = [&] {
        if (word.isEmpty())
            return true;
        const icu::UnicodeString composed = nfc->normalize(word, status);
        if (IcuFailed(status, error))
            return false;
        composed.toUTF8String(words.emplace_back());
        word.remove();
        return true;
    };
    for (std::int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
        const UChar32 c = decomposed.char32At(i);
        switch (KindOf(c)) {
        case CharKind::Word:
            word.append(u_tolower(c));
            break;
        case CharKind::Mark:
            break;
        case CharKind::Separator:
            if (!endWord())
                return false;
            break;
        }
    }
    return endWord();
}
