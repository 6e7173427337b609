#pragma once
// The listings of the gallery, read from the store for the page and for the JSON:
//   /?category=WORD&page=N               a category, newest first, kTonesPerPage a page
//   /?q=WORDS[&category=WORD][&page=N]   a search by ringtone name or nickname
//   /author/NICKNAME[?page=N]            one author's ringtones
//   /api/tones?category=&q=&author=&page= any of these as JSON
// and the front page, "/": each category's newest kFrontPageTones with its count.
// WORD is a category as stored (ENGLISH, CHINESE, CLASSICAL, OTHERS); pages count from 1.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "gallery/store/GalleryStore.h"

inline constexpr int kTonesPerPage = 50;
inline constexpr int kFrontPageTones = 10;
// Characters of a search: far more than a name and a nickname (32 each), and little
// enough that no search costs more than a few words.
inline constexpr std::size_t kMaxSearchChars = 100;

// What an address asks for.
struct CListingRequest {
    CToneFilter m_filter;          // m_strAuthor as given, before it is looked up
    std::int64_t m_nPage = 1;
};

// Reads category, q and page of a query string (not decoded). False with one
// sentence for the reader in `error`: an unknown category, a page that is not a whole
// number from 1, a search that is too long or not text.
[[nodiscard]] bool ParseListingQuery(std::string_view query, CListingRequest& request, std::string& error);

// Plain "/" (or "/?page=1"): no category, search or author.
[[nodiscard]] bool IsFrontPage(const CListingRequest& request);

struct CToneListing {
    CToneFilter m_filter;          // m_strAuthor as registered
    std::int64_t m_nPage = 1;
    std::int64_t m_nPages = 1;     // 1 for an empty listing too
    CTonePage m_tones;
    std::array<std::int64_t, kToneCategories.size()> m_categoryCounts{};
};

enum class ListingResult { Listed, NoSuchAuthor, NoSuchPage, Failed };

// The page `request` asks for; for anything but Listed, one sentence for the reader
// (or the store's fault) in `error`.
[[nodiscard]] ListingResult ReadListing(CGalleryStore& store, const CListingRequest& request, CToneListing& listing,
                                        std::string& error);

// The front page: each category's newest kFrontPageTones, and its count.
using CFrontPage = std::array<CTonePage, kToneCategories.size()>;
[[nodiscard]] bool ReadFrontPage(CGalleryStore& store, CFrontPage& front, std::string& error);

// The address of a listing's page: under "/" (or "/author/NICKNAME") for the page,
// under "/api/tones" for the JSON. Page 1 goes without a page number.
[[nodiscard]] std::string ListingAddress(const CToneFilter& filter, std::int64_t page, bool bJson);
// "/author/NICKNAME", the nickname percent-encoded.
[[nodiscard]] std::string AuthorAddress(std::string_view nickname);
// Every byte but A-Z a-z 0-9 - . _ ~ as %XX.
[[nodiscard]] std::string PercentEncode(std::string_view text);

// What a ringtone links to: "/tone/ID.ogg" (the audio preview), ".mid", ".ott" (the
// binary ringing tone), ".txt" (its hex text) and "/tone/ID/delete".
struct CToneLinks {
    std::string m_strPreview;
    std::string m_strMidi;
    std::string m_strRingingTone;
    std::string m_strHexText;
    std::string m_strDelete;
    std::string m_strDevices;
};
[[nodiscard]] CToneLinks LinksOf(std::int64_t id);

// A device's file of a tone, as export --target writes it: the address, what the link
// says, and whether the tone plays there as posted (nothing moved, cut or changed).
struct CDeviceLink {
    std::string m_strHref;  // "/tone/12/flipper.fmf"
    std::string m_strLabel; // "flipper .fmf"
    std::string m_strDevice; // "Flipper Zero music player"
    bool m_bAsPosted = false;
    std::string m_strChanges; // what the fitting changed, "; " between
};
// One link per device target and file form; none when the message does not decode.
[[nodiscard]] std::vector<CDeviceLink> DeviceLinksOf(const CToneRecord& tone);

// The RTTTL text decoded from the stored message; false with the reason.
[[nodiscard]] bool RtttlOfTone(const CToneRecord& tone, std::string& rtttl, std::string& error);
