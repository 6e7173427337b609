#include "gallery/GalleryPage.h"

#include <array>

#include "gallery/HtmlText.h"
#include "gallery/RingtoneMessageDecoder.h"
#include "gallery/RtttlWriter.h"

namespace {

constexpr const char* kStyle =
    "*{box-sizing:border-box}"
    "body{margin:0;font-family:system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;line-height:1.45;"
    "background:#f3f5f7;color:#1b1f23}"
    "header{background:#1d3557;color:#fff;padding:.9rem 1rem}"
    "header h1{margin:0 0 .3rem;font-size:1.35rem}"
    "nav{display:flex;flex-wrap:wrap;gap:.15rem .9rem}nav a{color:#fff;white-space:nowrap}"
    "main{max-width:46rem;margin:0 auto;padding:.3rem .8rem 2rem}"
    "h2{font-size:1.2rem;border-bottom:2px solid #457b9d;padding-bottom:.2rem;margin:1.4rem 0 .8rem}"
    ".tone{background:#fff;border-radius:.5rem;box-shadow:0 1px 3px rgba(0,0,0,.15);"
    "padding:.7rem .9rem;margin:0 0 .9rem}"
    ".tone h3{margin:0;font-size:1.1rem;overflow-wrap:anywhere}"
    ".meta{margin:.1rem 0 .5rem;color:#555;font-size:.9rem}"
    ".rtttl{margin:0 0 .5rem;font-family:ui-monospace,'DejaVu Sans Mono',monospace;font-size:.8rem;"
    "white-space:pre-wrap;word-break:break-all;background:#eef2f5;padding:.45rem .55rem;border-radius:.3rem}"
    "audio{display:block;width:100%;margin:.3rem 0}"
    ".downloads{margin:.3rem 0}"
    ".downloads a{display:inline-block;margin:.15rem .35rem .15rem 0;padding:.25rem .6rem;border:1px solid #457b9d;"
    "border-radius:1rem;color:#1d3557;text-decoration:none;font-size:.9rem}"
    "details{margin-top:.3rem;font-size:.9rem}"
    "summary{cursor:pointer;color:#9d0208}"
    "form{display:flex;flex-wrap:wrap;gap:.4rem;margin-top:.4rem;align-items:center}"
    "input[type=password]{flex:1 1 9rem;padding:.35rem;font-size:1rem}"
    "button{padding:.35rem .9rem;font-size:1rem}"
    ".empty{color:#666;font-style:italic}"
    "footer{text-align:center;color:#666;font-size:.85rem;padding:1rem}";

void AppendTone(std::string& page, const CToneRecord& tone)
{
    std::string id = std::to_string(tone.m_nId);
    std::string link = "/tone/" + id;
    CDecodedRingtone decoded;
    std::string why;
    std::string rtttl = DecodeRingtoneMessage(tone.m_message, decoded, why)
                            ? RtttlTextOf(decoded)
                            : "(the stored ringing tone does not decode: " + why + ")";
    page += "<article class=\"tone\" id=\"tone-" + id + "\">\n<h3>" + HtmlEscape(tone.m_strName) + "</h3>\n";
    page += "<p class=\"meta\">by <span class=\"author\">" + HtmlEscape(tone.m_strAuthor) + "</span> &middot; ";
    page += "<time datetime=\"" + FormatIsoUtc(tone.m_nPosted) + "\">" + FormatUtcMinute(tone.m_nPosted) +
            "</time></p>\n";
    page += "<pre class=\"rtttl\">" + HtmlEscape(rtttl) + "</pre>\n";
    page += "<audio controls preload=\"none\" src=\"" + link + ".wav\">Your browser plays no WAV audio: "
            "download the MIDI preview below.</audio>\n";
    page += "<p class=\"downloads\"><a href=\"" + link + ".mid\" download>Preview MIDI</a>"
            "<a href=\"" + link + ".ott\" download>Ringing tone (.ott)</a>"
            "<a href=\"" + link + ".txt\" download>Hex text</a></p>\n";
    page += "<details><summary>Delete</summary><form method=\"post\" action=\"" + link + "/delete\">"
            "<label for=\"pw-" + id + "\">Author's password</label>"
            "<input type=\"password\" id=\"pw-" + id + "\" name=\"password\" autocomplete=\"current-password\">"
            "<button type=\"submit\">Delete</button></form></details>\n</article>\n";
}

} // namespace

std::string RenderGalleryPage(const std::vector<CToneRecord>& tones)
{
    std::array<std::vector<const CToneRecord*>, kToneCategories.size()> byCategory;
    for (const CToneRecord& tone : tones)
        byCategory[static_cast<std::size_t>(tone.m_category)].push_back(&tone);

    std::string page;
    page.reserve(2048 + tones.size() * 1400);
    page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
            "<title>Zorvat Ringtone Gallery</title><style>";
    page += kStyle;
    page += "</style></head>\n<body>\n<header><h1>Zorvat Ringtone Gallery</h1><nav>";
    for (ToneCategory category : kToneCategories) {
        auto count = byCategory[static_cast<std::size_t>(category)].size();
        page += "<a href=\"#" + std::string(AnchorOf(category)) + "\">" + std::string(CaptionOf(category)) + " (" +
                std::to_string(count) + ")</a>";
    }
    page += "</nav></header>\n<main>\n";
    for (ToneCategory category : kToneCategories) {
        const auto& list = byCategory[static_cast<std::size_t>(category)];
        page += "<section class=\"category\" id=\"" + std::string(AnchorOf(category)) + "\">\n<h2>" +
                std::string(CaptionOf(category)) + "</h2>\n";
        if (list.empty())
            page += "<p class=\"empty\">No ringtones yet.</p>\n";
        for (const CToneRecord* tone : list)
            AppendTone(page, *tone);
        page += "</section>\n";
    }
    page += "</main>\n<footer>Ringtones are posted from ZorvatTone with &ldquo;Post to Zorvat Ringtone "
            "Gallery&rdquo;.</footer>\n</body></html>\n";
    return page;
}
