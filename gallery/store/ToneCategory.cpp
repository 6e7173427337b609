#include "gallery/store/ToneCategory.h"

namespace {

struct CCategoryNames {
    std::string_view m_strWord;
    std::string_view m_strCaption;
    std::string_view m_strAnchor;
};

constexpr std::array<CCategoryNames, 4> kNames = {{
    {"ENGLISH", "English Song", "english"},
    {"CHINESE", "Chinese Song", "chinese"},
    {"CLASSICAL", "Classical Music", "classical"},
    {"OTHERS", "Others", "others"},
}};

const CCategoryNames& NamesOf(ToneCategory category)
{
    return kNames[static_cast<std::size_t>(category)];
}

} // namespace

std::string_view WordOf(ToneCategory category)
{
    return NamesOf(category).m_strWord;
}

std::string_view CaptionOf(ToneCategory category)
{
    return NamesOf(category).m_strCaption;
}

std::string_view AnchorOf(ToneCategory category)
{
    return NamesOf(category).m_strAnchor;
}

bool CategoryOfWord(std::string_view word, ToneCategory& category)
{
    for (ToneCategory c : kToneCategories)
        if (WordOf(c) == word) {
            category = c;
            return true;
        }
    return false;
}
