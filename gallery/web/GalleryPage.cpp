#include "gallery/web/GalleryPage.h"

#include "gallery/web/HtmlText.h"

namespace {

constexpr const char* kGalleryTitle = "Zorvat Ringtone Gallery";
// Room for the header and footer, and for one ringtone: what a page is reserved.
constexpr std::size_t kFrameBytes = 4096;
constexpr std::size_t kToneBytes = 1200;

std::string Caption(ToneCategory category)
{
    return std::string(CaptionOf(category));
}

void AppendHead(std::string& page, const std::string& title)
{
    page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
    page += title;
    page += "</title><link rel=\"stylesheet\" href=\"/static/gallery.css\">"
            "<script src=\"/static/gallery.js\" defer></script></head>\n<body>\n";
}

// A search's own page keeps its words and category in the form; elsewhere the form
// searches every category, as a category's page is no search of its own.
void AppendSearchForm(std::string& page, const CToneFilter& filter)
{
    const bool bSearch = !filter.m_strWords.empty();
    page += "<form class=\"search\" role=\"search\" method=\"get\" action=\"/\">"
            "<input type=\"search\" name=\"q\" value=\"" + HtmlEscape(filter.m_strWords) + "\" maxlength=\"" +
            std::to_string(kMaxSearchChars) + "\" placeholder=\"Ringtone or author\" "
            "aria-label=\"Search by ringtone name or author\">"
            "<select name=\"category\" aria-label=\"Category\"><option value=\"\">All categories</option>";
    for (ToneCategory category : kToneCategories)
        page += "<option value=\"" + std::string(WordOf(category)) + "\"" +
                (bSearch && filter.m_category == category ? " selected" : "") + ">" + Caption(category) +
                "</option>";
    page += "</select><button type=\"submit\">Search</button></form>";
}

void AppendHeader(std::string& page, const std::array<std::int64_t, kToneCategories.size()>& counts,
                  const CToneFilter& filter)
{
    page += "<header><h1><a href=\"/\">";
    page += kGalleryTitle;
    page += "</a></h1><nav class=\"categories\" aria-label=\"Categories\">";
    for (ToneCategory category : kToneCategories) {
        CToneFilter only;
        only.m_category = category;
        page += "<a href=\"" + HtmlEscape(ListingAddress(only, 1, false)) + "\">" + Caption(category) + " (" +
                std::to_string(counts[static_cast<std::size_t>(category)]) + ")</a>";
    }
    page += "</nav>";
    AppendSearchForm(page, filter);
    page += "</header>\n<main>\n";
}

void AppendFooter(std::string& page)
{
    page += "</main>\n<footer>Ringtones are posted from ZorvatTone with &ldquo;Post to Zorvat Ringtone "
            "Gallery&rdquo;.</footer>\n</body></html>\n";
}

// bShowCategory for listings that mix categories.
void AppendTone(std::string& page, const CToneRecord& tone, bool bShowCategory)
{
    const std::string id = std::to_string(tone.m_nId);
    const CToneLinks links = LinksOf(tone.m_nId);
    std::string rtttl;
    std::string why;
    if (!RtttlOfTone(tone, rtttl, why))
        rtttl = "(the stored ringing tone does not decode: " + why + ")";
    page += "<article class=\"tone\" id=\"tone-" + id + "\">\n<h3>" + HtmlEscape(tone.m_strName) + "</h3>\n";
    page += "<p class=\"meta\">by <a class=\"author\" href=\"" + HtmlEscape(AuthorAddress(tone.m_strAuthor)) + "\">" +
            HtmlEscape(tone.m_strAuthor) + "</a> &middot; ";
    if (bShowCategory)
        page += "<span class=\"category\">" + Caption(tone.m_category) + "</span> &middot; ";
    page += "<time datetime=\"" + FormatIsoUtc(tone.m_nPosted) + "\">" + FormatUtcMinute(tone.m_nPosted) +
            "</time></p>\n";
    page += "<pre class=\"rtttl\">" + HtmlEscape(rtttl) + "</pre>\n";
    page += "<audio controls preload=\"none\" src=\"" + links.m_strPreview + "\">Your browser plays no Ogg Vorbis "
            "audio: download the MIDI preview below.</audio>\n";
    page += "<p class=\"downloads\"><a href=\"" + links.m_strMidi + "\" download>Preview MIDI</a>"
            "<a href=\"" + links.m_strRingingTone + "\" download>Ringing tone (.ott)</a>"
            "<a href=\"" + links.m_strHexText + "\" download>Hex text</a>"
            "<a href=\"" + links.m_strDevices + "\">For devices</a></p>\n";
    page += "<details><summary>Delete</summary><form method=\"post\" action=\"" + links.m_strDelete + "\">"
            "<label for=\"pw-" + id + "\">Author's password</label>"
            "<input type=\"password\" id=\"pw-" + id + "\" name=\"password\" autocomplete=\"current-password\">"
            "<button type=\"submit\">Delete</button></form></details>\n</article>\n";
}

std::string HeadingOf(const CToneFilter& filter)
{
    const bool bSearch = !filter.m_strWords.empty();
    std::string heading = !filter.m_strAuthor.empty() ? "Ringtones by " + filter.m_strAuthor
                          : bSearch                   ? std::string("Ringtones")
                          : filter.m_category         ? Caption(*filter.m_category)
                                                      : std::string("All ringtones");
    if (bSearch)
        heading += " matching \u201C" + filter.m_strWords + "\u201D";
    if (filter.m_category && (bSearch || !filter.m_strAuthor.empty()))
        heading += " in " + Caption(*filter.m_category);
    return heading;
}

bool IsOneCategory(const CToneFilter& filter)
{
    return filter.m_category && filter.m_strWords.empty() && filter.m_strAuthor.empty();
}

void AppendCount(std::string& page, const CToneListing& listing)
{
    const std::int64_t total = listing.m_tones.m_nTotal;
    if (total == 0) {
        page += listing.m_filter.m_strWords.empty() ? "<p class=\"empty\">No ringtones yet.</p>\n"
                                                    : "<p class=\"empty\">No ringtone matches the search.</p>\n";
        return;
    }
    page += "<p class=\"count\">";
    page += listing.m_tones.m_bMoreMatches
                ? "More than " + std::to_string(total) + " ringtones match: the newest " + std::to_string(total) +
                      " are listed (add a word to find others)"
                : std::to_string(total) + (total == 1 ? " ringtone" : " ringtones") + ", newest first";
    if (listing.m_nPages > 1)
        page += " &middot; page " + std::to_string(listing.m_nPage) + " of " + std::to_string(listing.m_nPages);
    page += "</p>\n";
}

void AppendPager(std::string& page, const CToneListing& listing)
{
    if (listing.m_nPages <= 1)
        return;
    auto link = [&](std::int64_t number) { return HtmlEscape(ListingAddress(listing.m_filter, number, false)); };
    page += "<nav class=\"pages\" aria-label=\"Pages\">";
    page += listing.m_nPage > 1
                ? "<a rel=\"prev\" href=\"" + link(listing.m_nPage - 1) + "\">&larr; Previous page</a>"
                : std::string("<span></span>");
    page += "<span>Page " + std::to_string(listing.m_nPage) + " of " + std::to_string(listing.m_nPages) + "</span>";
    page += listing.m_nPage < listing.m_nPages
                ? "<a rel=\"next\" href=\"" + link(listing.m_nPage + 1) + "\">Next page &rarr;</a>"
                : std::string("<span></span>");
    page += "</nav>\n";
}

} // namespace

std::string RenderFrontPage(const CFrontPage& front)
{
    std::array<std::int64_t, kToneCategories.size()> counts{};
    std::size_t shown = 0;
    for (ToneCategory category : kToneCategories) {
        const CTonePage& tones = front[static_cast<std::size_t>(category)];
        counts[static_cast<std::size_t>(category)] = tones.m_nTotal;
        shown += tones.m_tones.size();
    }
    std::string page;
    page.reserve(kFrameBytes + shown * kToneBytes);
    AppendHead(page, kGalleryTitle);
    AppendHeader(page, counts, {});
    for (ToneCategory category : kToneCategories) {
        const CTonePage& tones = front[static_cast<std::size_t>(category)];
        page += "<section class=\"category\" id=\"" + std::string(AnchorOf(category)) + "\">\n<h2>" +
                Caption(category) + "</h2>\n";
        if (tones.m_tones.empty())
            page += "<p class=\"empty\">No ringtones yet.</p>\n";
        for (const CToneRecord& tone : tones.m_tones)
            AppendTone(page, tone, false);
        if (tones.m_nTotal > static_cast<std::int64_t>(tones.m_tones.size())) {
            CToneFilter only;
            only.m_category = category;
            page += "<p class=\"more\"><a href=\"" + HtmlEscape(ListingAddress(only, 1, false)) + "\">All " +
                    std::to_string(tones.m_nTotal) + " in " + Caption(category) + " &rarr;</a></p>\n";
        }
        page += "</section>\n";
    }
    AppendFooter(page);
    return page;
}

std::string RenderListingPage(const CToneListing& listing)
{
    const std::string heading = HeadingOf(listing.m_filter);
    std::string title = HtmlEscape(heading);
    if (listing.m_nPage > 1)
        title += ", page " + std::to_string(listing.m_nPage);
    title += " &ndash; ";
    title += kGalleryTitle;

    std::string page;
    page.reserve(kFrameBytes + listing.m_tones.m_tones.size() * kToneBytes);
    AppendHead(page, title);
    AppendHeader(page, listing.m_categoryCounts, listing.m_filter);
    const bool bOneCategory = IsOneCategory(listing.m_filter);
    page += bOneCategory ? "<section class=\"category\" id=\"" + std::string(AnchorOf(*listing.m_filter.m_category)) +
                               "\">\n"
                         : std::string("<section class=\"listing\">\n");
    page += "<h2>" + HtmlEscape(heading) + "</h2>\n";
    AppendCount(page, listing);
    for (const CToneRecord& tone : listing.m_tones.m_tones)
        AppendTone(page, tone, !listing.m_filter.m_category);
    page += "</section>\n";
    AppendPager(page, listing);
    AppendFooter(page);
    return page;
}

std::string RenderDevicesPage(const CToneRecord& tone)
{
    const std::string name = HtmlEscape(tone.m_strName);
    std::string page;
    AppendHead(page, name + " for devices &ndash; " + kGalleryTitle);
    page += "<header><h1><a href=\"/\">";
    page += kGalleryTitle;
    page += "</a></h1></header>\n<main>\n<section class=\"listing devices\">\n<h2>" + name + " for devices</h2>\n";
    std::string rtttl;
    std::string why;
    if (!RtttlOfTone(tone, rtttl, why)) {
        page += "<p class=\"empty\">The stored ringing tone does not decode: " + HtmlEscape(why) + ".</p>\n";
    } else {
        page += "<pre class=\"rtttl\">" + HtmlEscape(rtttl) + "</pre>\n<p>Each file is the tune fitted to the "
                "device as <code>zorvattone-cli export --target</code> writes it.</p>\n<table>\n"
                "<thead><tr><th scope=\"col\">File</th><th scope=\"col\">Device</th>"
                "<th scope=\"col\">Plays</th></tr></thead>\n<tbody>\n";
        for (const CDeviceLink& device : DeviceLinksOf(tone))
            page += "<tr><td><a href=\"" + device.m_strHref + "\" download>" + HtmlEscape(device.m_strLabel) +
                    "</a></td><td>" + HtmlEscape(device.m_strDevice) + "</td><td" +
                    (device.m_bAsPosted ? " class=\"as-posted\">as posted"
                                        : ">fitted: " + HtmlEscape(device.m_strChanges)) +
                    "</td></tr>\n";
        page += "</tbody>\n</table>\n";
    }
    page += "<p class=\"more\"><a href=\"/\">&larr; All ringtones</a></p>\n</section>\n";
    AppendFooter(page);
    return page;
}
