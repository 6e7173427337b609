#include "gallery/names/NameText.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>

#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

constexpr UChar32 kCombiningDotAbove = 0x0307;

icu::UnicodeString FromUtf8(std::string_view text)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

// Default-ignorable code points show nothing where they stand: besides the format
// characters, the Hangul fillers and the combining grapheme joiner, which make a
// name look blank or like another one.
bool IsDefaultIgnorable(UChar32 c)
{
    return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

// Why `c` cannot stand in a name, or nullptr when it can. Variation selectors are
// default-ignorable too but only pick how an emoji is drawn, so they stay.
const char* RefusalOf(UChar32 c)
{
    switch (u_charType(c)) {
    case U_CONTROL_CHAR:
        return "a control character";
    case U_FORMAT_CHAR:
        return "an invisible or direction-changing character";
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
        return "a line or paragraph separator";
    case U_PRIVATE_USE_CHAR:
        return "a private-use character";
    case U_SURROGATE:
    case U_UNASSIGNED:
        return "a character Unicode does not assign";
    default:
        break;
    }
    if (IsDefaultIgnorable(c) && !u_hasBinaryProperty(c, UCHAR_VARIATION_SELECTOR))
        return "an invisible or direction-changing character";
    return nullptr;
}

// Characters a nickname stored before names were checked may hold and that change
// nothing on the page: left out of its key.
bool ShowsNothing(UChar32 c)
{
    const std::int8_t category = u_charType(c);
    return category == U_CONTROL_CHAR || category == U_FORMAT_CHAR || IsDefaultIgnorable(c);
}

std::string CodePointName(UChar32 c)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

bool ToNfkc(const icu::UnicodeString& text, icu::UnicodeString& nfkc, std::string& error)
{
    // ICU makes the instance once, behind its own atomics, which a thread checker
    // cannot see into; a static of ours publishes it to every thread visibly.
    static UErrorCode s_openStatus = U_ZERO_ERROR;
    static const icu::Normalizer2* s_normalizer = icu::Normalizer2::getNFKCInstance(s_openStatus);
    UErrorCode status = s_openStatus;
    if (U_SUCCESS(status))
        nfkc = s_normalizer->normalize(text, status);
    if (U_FAILURE(status)) {
        error = std::string("ICU cannot normalise the text: ") + u_errorName(status);
        return false;
    }
    return true;
}

// White space trimmed at both ends and each run of it one ASCII space; with
// bDropSilent, the characters ShowsNothing names left out as well.
icu::UnicodeString TidySpaces(const icu::UnicodeString& text, bool bDropSilent)
{
    icu::UnicodeString out;
    bool bSpace = false;
    for (std::int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        if (u_isUWhiteSpace(c)) {
            bSpace = true;
            continue;
        }
        if (bDropSilent && ShowsNothing(c))
            continue;
        if (bSpace && !out.isEmpty())
            out.append(static_cast<char16_t>(u' '));
        bSpace = false;
        out.append(c);
    }
    return out;
}

// İ (U+0130) is I with U+0307 COMBINING DOT ABOVE in NFD, and case folding gives it
// as "i" and the dot; the skeleton keeps the dot. On i and j, which lose their own dot
// under a mark above, and on l, the skeleton of I, the dot shows as the letter's own,
// so "vİctim" (and "victim" with U+0307 after its first i) look like "victim" and
// must have its key. The skeleton is in NFD, so the dot follows the letter directly.
// Small Greek and Cyrillic letters drawn like a small Latin letter whose capital is
// drawn otherwise: the confusables of Unicode (TR39) pair most of them with a capital
// or with nothing.
icu::UnicodeString WithSmallLookAlikesLatin(const icu::UnicodeString& text)
{
    static constexpr std::pair<UChar32, UChar32> kSmallLookAlikes[] = {
        {0x03B1, 'a'}, {0x03B3, 'y'}, {0x03B7, 'n'}, {0x03B9, 'i'}, {0x03BA, 'k'}, {0x03BD, 'v'}, {0x03BF, 'o'},
        {0x03C1, 'p'}, {0x03C5, 'u'}, {0x03C7, 'x'}, {0x03C9, 'w'}, {0x03F2, 'c'}, {0x0433, 'r'}, {0x043A, 'k'},
        {0x043F, 'n'}, {0x0443, 'y'}, {0x0445, 'x'}, {0x0461, 'w'}, {0x051D, 'w'},
    };
    icu::UnicodeString latin;
    for (std::int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        UChar32 shown = c;
        for (const auto& [from, to] : kSmallLookAlikes)
            if (c == from)
                shown = to;
        latin.append(shown);
    }
    return latin;
}

icu::UnicodeString WithoutDotAboveIJ(const icu::UnicodeString& skeleton)
{
    icu::UnicodeString out;
    UChar32 previous = 0;
    for (std::int32_t i = 0; i < skeleton.length(); i = skeleton.moveIndex32(i, 1)) {
        const UChar32 c = skeleton.char32At(i);
        if (!(c == kCombiningDotAbove && (previous == u'i' || previous == u'j' || previous == u'l')))
            out.append(c);
        previous = c;
    }
    return out;
}

// Opened once: taking a skeleton does not change the checker, so threads share it.
const USpoofChecker* SpoofChecker(UErrorCode& status)
{
    static UErrorCode s_openStatus = U_ZERO_ERROR;
    static const icu::LocalUSpoofCheckerPointer s_checker(uspoof_open(&s_openStatus));
    status = s_openStatus;
    return s_checker.getAlias();
}

} // namespace

bool NormaliseName(std::string_view text, std::string_view field, std::string& normalised, std::string& error)
{
    normalised.clear();
    const icu::UnicodeString unicode = FromUtf8(text);
    for (std::int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        const UChar32 c = unicode.char32At(i);
        if (const char* what = RefusalOf(c)) {
            error = "The " + std::string(field) + " contains " + what + " (" + CodePointName(c) +
                    "), which the gallery does not take.";
            return false;
        }
    }
    icu::UnicodeString nfkc;
    if (!ToNfkc(unicode, nfkc, error))
        return false;
    TidySpaces(nfkc, false).toUTF8String(normalised);
    return true;
}

bool LookAlikeKeyOf(std::string_view nickname, std::string& key, std::string& error)
{
    key.clear();
    icu::UnicodeString nfkc;
    if (!ToNfkc(FromUtf8(nickname), nfkc, error))
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const USpoofChecker* checker = SpoofChecker(status);
    const auto skeletonOf = [&](const icu::UnicodeString& text) {
        icu::UnicodeString skeleton;
        if (U_SUCCESS(status))
            uspoof_getSkeletonUnicodeString(checker, 0, text, skeleton, &status);
        return skeleton;
    };
    // A letter's small and capital shapes both count. The small Greek and Cyrillic
    // letters that look like small Latin ones become those first, as their capitals
    // look like other letters ("ν" is a v, "Ν" an N). Then the skeleton is taken before
    // any case folding (TR39), of the nickname in capitals: "paypaI" with a capital I
    // is then "paypal" in any letter case, as "userI" is "useri" and "userl",
    // "agentOO7" is "agent007", and Cherokee letters, small ones too, are the Latin ones
    // they look like. Folded, the skeleton is taken once more for the small letters'
    // own look-alikes ("rn" for m). A skeleton may hold small letters whose capitals
    // change it again (a Cherokee "Ꭵ" is an "i", which in capitals is an "l"), so the
    // steps repeat until the key holds still.
    icu::UnicodeString skeleton = WithSmallLookAlikesLatin(TidySpaces(nfkc, true));
    for (int round = 0; round < 4 && U_SUCCESS(status); ++round) {
        icu::UnicodeString capitals = skeleton;
        capitals.toUpper(icu::Locale::getRoot());
        icu::UnicodeString folded = skeletonOf(capitals);
        folded.foldCase(U_FOLD_CASE_DEFAULT);
        icu::UnicodeString next = skeletonOf(WithoutDotAboveIJ(folded));
        const bool bStill = next == skeleton;
        skeleton = std::move(next);
        if (bStill)
            break;
    }
    if (U_FAILURE(status)) {
        error = std::string("ICU cannot take the skeleton of the nickname: ") + u_errorName(status);
        return false;
    }
    WithoutDotAboveIJ(skeleton).toUTF8String(key);
    return true;
}
