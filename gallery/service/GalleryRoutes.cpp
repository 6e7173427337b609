#include "gallery/service/GalleryRoutes.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "gallery/service/UploadLimits.h"
#include "gallery/service/GalleryService.h"
#include "gallery/http/GalleryStaticFiles.h"
#include "gallery/web/UrlForm.h"

namespace {

CGalleryAnswer NotFound()
{
    return PlainTextAnswer(404, "There is nothing here; the gallery is at /.");
}

CGalleryAnswer WrongMethod(const char* allowed)
{
    CGalleryAnswer answer = PlainTextAnswer(405, std::string("This path takes ") + allowed + " only.");
    answer.m_headers.emplace_back("Allow", allowed);
    return answer;
}

bool IsRead(const CGalleryRequest& request)
{
    return request.m_strMethod == "GET" || request.m_strMethod == "HEAD";
}

// "123" of "/tone/123.mid" and the like: digits only, 1 to 18 of them, not 0.
std::optional<std::int64_t> IdOf(std::string_view digits)
{
    if (digits.empty() || digits.size() > 18)
        return std::nullopt;
    std::int64_t id = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (ec != std::errc() || end != digits.data() + digits.size() || id <= 0)
        return std::nullopt;
    return id;
}

std::optional<ToneDownload> DownloadOf(std::string_view extension)
{
    if (extension == "mid")
        return ToneDownload::Midi;
    if (extension == "ott")
        return ToneDownload::RingingTone;
    if (extension == "txt")
        return ToneDownload::HexText;
    if (extension == "ogg")
        return ToneDownload::Preview;
    return std::nullopt;
}

CGalleryAnswer MovedTo(const std::string& location)
{
    CGalleryAnswer answer = PlainTextAnswer(301, "This is now at " + location + ".");
    answer.m_headers.emplace_back("Location", location);
    return answer;
}

CGalleryAnswer RouteTone(CGalleryService& service, const CGalleryRequest& request, std::string_view rest)
{
    if (rest.ends_with("/delete")) {
        std::optional<std::int64_t> id = IdOf(rest.substr(0, rest.size() - 7));
        if (!id)
            return NotFound();
        if (request.m_strMethod != "POST")
            return WrongMethod("POST");
        // Only the body: a password in the address would be kept in logs and histories.
        return service.Delete(*id, FormField(request.m_strBody, "password"), request.m_strClient);
    }
    if (rest.ends_with("/devices")) {
        std::optional<std::int64_t> id = IdOf(rest.substr(0, rest.size() - 8));
        if (!id)
            return NotFound();
        if (!IsRead(request))
            return WrongMethod("GET, HEAD");
        return service.DevicesPage(*id);
    }
    std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos)
        return NotFound();
    // "/tone/12/flipper.fmf": the tone for a device.
    if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos && slash < dot) {
        std::optional<std::int64_t> id = IdOf(rest.substr(0, slash));
        if (!id)
            return NotFound();
        if (!IsRead(request))
            return WrongMethod("GET, HEAD");
        return service.FetchForDevice(*id, rest.substr(slash + 1, dot - slash - 1), rest.substr(dot + 1));
    }
    std::optional<std::int64_t> id = IdOf(rest.substr(0, dot));
    std::optional<ToneDownload> kind = DownloadOf(rest.substr(dot + 1));
    // The preview was a WAV once: links kept from then lead to the Ogg.
    const bool bOldPreview = rest.substr(dot + 1) == "wav";
    if (!id || (!kind && !bOldPreview))
        return NotFound();
    if (!IsRead(request))
        return WrongMethod("GET, HEAD");
    if (bOldPreview)
        return MovedTo("/tone/" + std::to_string(*id) + ".ogg");
    return service.Fetch(*id, *kind);
}

// A path segment's %XX escapes decoded ("+" stays a plus in a path); false for a
// broken escape.
bool DecodePathSegment(std::string_view segment, std::string& decoded)
{
    decoded.clear();
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] != '%') {
            decoded += segment[i];
            continue;
        }
        unsigned value = 0;
        if (segment.size() - i < 3)
            return false;
        auto [end, ec] = std::from_chars(segment.data() + i + 1, segment.data() + i + 3, value, 16);
        if (ec != std::errc() || end != segment.data() + i + 3)
            return false;
        decoded += static_cast<char>(value);
        i += 2;
    }
    return true;
}

CGalleryAnswer RouteAuthor(CGalleryService& service, const CGalleryRequest& request, std::string_view rest)
{
    std::string nickname;
    if (rest.empty() || !DecodePathSegment(rest, nickname))
        return NotFound();
    if (!IsRead(request))
        return WrongMethod("GET, HEAD");
    return service.AuthorPage(nickname, request.m_strQuery);
}

// The style sheet and script are the same for every page and change only with the
// program: a day in a browser's cache spares a request on every page.
CGalleryAnswer RouteStatic(const CGalleryRequest& request, std::string_view name)
{
    const CStaticFile* file = FindStaticFile(name);
    if (!file)
        return NotFound();
    if (!IsRead(request))
        return WrongMethod("GET, HEAD");
    CGalleryAnswer answer;
    answer.m_strContentType = file->m_strContentType;
    answer.m_strBody = file->m_strBody;
    answer.m_headers.emplace_back("Cache-Control", "public, max-age=86400");
    return answer;
}

} // namespace

CGalleryAnswer RouteGalleryRequest(CGalleryService& service, const CGalleryRequest& request)
{
    const std::string_view path = request.m_strPath;
    // A body past what the server reads at all: only a post's own refusal names its size.
    if (!request.m_bBodyComplete && !(path == kGalleryUploadPath && request.m_strMethod == "POST"))
        return PlainTextAnswer(413, "The request is far larger than anything the gallery takes.");
    if (path == kGalleryUploadPath) {
        if (request.m_strMethod != "POST") {
            CGalleryAnswer answer = PlainTextAnswer(405, "Ringtones are posted here by ZorvatTone; the gallery is at /.");
            answer.m_headers.emplace_back("Allow", "POST");
            return answer;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.m_strBody.data());
        return service.Post(request.m_strContentType, {bytes, request.m_strBody.size()}, request.m_nBodyBytes,
                            request.m_bBodyComplete, request.m_strClient);
    }
    if (path == "/")
        return IsRead(request) ? service.Page(request.m_strQuery) : WrongMethod("GET, HEAD");
    if (path == "/api/tones")
        return IsRead(request) ? service.ToneList(request.m_strQuery) : WrongMethod("GET, HEAD");
    constexpr std::string_view kAuthor = "/author/";
    if (path.starts_with(kAuthor))
        return RouteAuthor(service, request, path.substr(kAuthor.size()));
    constexpr std::string_view kStatic = "/static/";
    if (path.starts_with(kStatic))
        return RouteStatic(request, path.substr(kStatic.size()));
    constexpr std::string_view kTone = "/tone/";
    if (path.starts_with(kTone))
        return RouteTone(service, request, path.substr(kTone.size()));
    return NotFound();
}
