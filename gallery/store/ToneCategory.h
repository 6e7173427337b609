#pragma once
// The four gallery categories: the word the program posts, the caption the Post
// dialog lists and the gallery page shows, and the page anchor.

#include <array>
#include <string_view>

enum class ToneCategory { English, Chinese, Classical, Others };

// In the order of the Post dialog's list and of the gallery page.
inline constexpr std::array<ToneCategory, 4> kToneCategories = {ToneCategory::English, ToneCategory::Chinese,
                                                                ToneCategory::Classical, ToneCategory::Others};

// "ENGLISH", "CHINESE", "CLASSICAL", "OTHERS".
[[nodiscard]] std::string_view WordOf(ToneCategory category);
// "English Song", "Chinese Song", "Classical Music", "Others".
[[nodiscard]] std::string_view CaptionOf(ToneCategory category);
// "english", "chinese", "classical", "others".
[[nodiscard]] std::string_view AnchorOf(ToneCategory category);
// The category of a posted word; false for anything but the four words, exactly.
[[nodiscard]] bool CategoryOfWord(std::string_view word, ToneCategory& category);
