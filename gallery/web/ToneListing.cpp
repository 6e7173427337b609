#include "gallery/web/ToneListing.h"

#include <algorithm>

#include "ringtone/RingtoneMessageDecoder.h"
#include "gallery/web/RtttlText.h"
#include "gallery/web/UrlForm.h"
#include "gallery/names/Utf8Text.h"
#include "text/Text.h"
#include "tonefile/OttFile.h"
#include "tonefile/ToneTarget.h"

namespace {

// Page numbers up to this many digits: far beyond any gallery, and no overflow when
// multiplied by the page size.
constexpr std::size_t kMaxPageDigits = 9;

bool ReadCategory(const std::string& word, CToneFilter& filter, std::string& error)
{
    if (word.empty())
        return true;
    ToneCategory category = ToneCategory::Others;
    if (!CategoryOfWord(word, category)) {
        error = "There is no such category: it is one of ENGLISH, CHINESE, CLASSICAL and OTHERS.";
        return false;
    }
    filter.m_category = category;
    return true;
}

bool ReadSearch(const std::string& words, CToneFilter& filter, std::string& error)
{
    if (!IsPrintableUtf8(words)) {
        error = "The search is not text the gallery can read.";
        return false;
    }
    if (Utf8CharCount(words) > kMaxSearchChars) {
        error = "The search is longer than " + std::to_string(kMaxSearchChars) +
                " characters; search for a few words of a ringtone's name or its author's nickname.";
        return false;
    }
    filter.m_strWords = Trimmed(words);
    return true;
}

bool ReadPage(const std::string& digits, CListingRequest& request, std::string& error)
{
    if (digits.empty())
        return true;
    const bool bDigits = std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!bDigits || digits.size() > kMaxPageDigits || std::stoll(digits) < 1) {
        error = "The page number is not a whole number from 1.";
        return false;
    }
    request.m_nPage = std::stoll(digits);
    return true;
}

} // namespace

bool ParseListingQuery(std::string_view query, CListingRequest& request, std::string& error)
{
    request = {};
    return ReadCategory(FormField(query, "category"), request.m_filter, error) &&
           ReadSearch(FormField(query, "q"), request.m_filter, error) &&
           ReadPage(FormField(query, "page"), request, error);
}

bool IsFrontPage(const CListingRequest& request)
{
    const CToneFilter& filter = request.m_filter;
    return !filter.m_category && filter.m_strWords.empty() && filter.m_strAuthor.empty();
}

ListingResult ReadListing(CGalleryStore& store, const CListingRequest& request, CToneListing& listing,
                          std::string& error)
{
    listing = {};
    listing.m_filter = request.m_filter;
    listing.m_nPage = request.m_nPage;
    if (!listing.m_filter.m_strAuthor.empty()) {
        CAuthorRecord author;
        bool found = false;
        if (!store.FindAuthor(listing.m_filter.m_strAuthor, author, found, error))
            return ListingResult::Failed;
        if (!found) {
            error = "There is no author called " + listing.m_filter.m_strAuthor + " in the gallery.";
            return ListingResult::NoSuchAuthor;
        }
        listing.m_filter.m_strAuthor = author.m_strNickname;
    }
    const std::int64_t skip = (listing.m_nPage - 1) * kTonesPerPage;
    if (!store.ListTonePage(listing.m_filter, skip, kTonesPerPage, listing.m_tones, error) ||
        !store.CountTonesByCategory(listing.m_categoryCounts, error))
        return ListingResult::Failed;
    listing.m_nPages = std::max<std::int64_t>(1, (listing.m_tones.m_nTotal + kTonesPerPage - 1) / kTonesPerPage);
    if (listing.m_nPage > listing.m_nPages) {
        error = "There is no page " + std::to_string(listing.m_nPage) + " here: the last one is page " +
                std::to_string(listing.m_nPages) + ".";
        return ListingResult::NoSuchPage;
    }
    return ListingResult::Listed;
}

bool ReadFrontPage(CGalleryStore& store, CFrontPage& front, std::string& error)
{
    for (ToneCategory category : kToneCategories) {
        CToneFilter filter;
        filter.m_category = category;
        if (!store.ListTonePage(filter, 0, kFrontPageTones, front[static_cast<std::size_t>(category)], error))
            return false;
    }
    return true;
}

std::string PercentEncode(std::string_view text)
{
    std::string out;
    for (char c : text) {
        const bool bPlain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '.' || c == '_' || c == '~';
        if (bPlain) {
            out += c;
            continue;
        }
        out += '%';
        AppendHexOctet(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string AuthorAddress(std::string_view nickname)
{
    return "/author/" + PercentEncode(nickname);
}

std::string ListingAddress(const CToneFilter& filter, std::int64_t page, bool bJson)
{
    std::string address = bJson                        ? "/api/tones"
                          : filter.m_strAuthor.empty() ? "/"
                                                       : AuthorAddress(filter.m_strAuthor);
    char separator = '?';
    auto add = [&](std::string_view name, std::string_view value) {
        address += separator;
        address += name;
        address += '=';
        address += PercentEncode(value);
        separator = '&';
    };
    if (bJson && !filter.m_strAuthor.empty())
        add("author", filter.m_strAuthor);
    if (filter.m_category)
        add("category", WordOf(*filter.m_category));
    if (!filter.m_strWords.empty())
        add("q", filter.m_strWords);
    if (page > 1)
        add("page", std::to_string(page));
    return address;
}

CToneLinks LinksOf(std::int64_t id)
{
    const std::string base = "/tone/" + std::to_string(id);
    return {base + ".ogg", base + ".mid", base + ".ott", base + ".txt", base + "/delete", base + "/devices"};
}

bool RtttlOfTone(const CToneRecord& tone, std::string& rtttl, std::string& error)
{
    CDecodedRingtone decoded;
    if (!DecodeRingtoneMessage(tone.m_message, decoded, error))
        return false;
    rtttl = RtttlTextOf(decoded);
    return true;
}

std::vector<CDeviceLink> DeviceLinksOf(const CToneRecord& tone)
{
    std::vector<CDeviceLink> links;
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::string error;
    if (!ReadOttFile(tone.m_message, melody, losses, error))
        return links;
    const std::string base = "/tone/" + std::to_string(tone.m_nId) + "/";
    for (const ToneTarget& target : ToneTargets()) {
        const CTargetFit fit = FitToTarget(melody, target);
        std::string changes;
        for (const ToneLoss& change : fit.changes)
            changes += (changes.empty() ? "" : "; ") + (change.strToken.empty() ? "" : change.strToken + ": ") +
                       change.strReason;
        links.push_back({base + target.name + "." + target.extension, std::string(target.name) + " ." + target.extension,
                         target.device, fit.changes.empty(), changes});
        if (*target.otherExtension && std::string_view(target.otherExtension) != target.extension)
            links.push_back({base + target.name + "." + target.otherExtension,
                             std::string(target.name) + " ." + target.otherExtension, target.device,
                             fit.changes.empty(), changes});
    }
    return links;
}
