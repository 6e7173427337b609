#pragma once
// What the gallery does with each request, apart from HTTP itself: the post, the
// page, the downloads and the deletion. Safe to call from several threads at once.
//
// Posts: every fault of the body, the form, its fields or the package gives 400
// with the reason and stores nothing; a wrong password gives 403. The first post
// under a nickname registers its password; later posts and deletions under it must
// give the same one.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "gallery/service/AbuseGuard.h"
#include "gallery/http/GalleryAnswer.h"
#include "gallery/store/GalleryStore.h"
#include "gallery/service/PasswordHasher.h"
#include "gallery/preview/PreviewCache.h"
#include "gallery/web/ToneListing.h"
#include "gallery/service/UploadCheck.h"

enum class ToneDownload { Midi, RingingTone, HexText, Preview };

class CGalleryService {
public:
    // Seconds since 1970, UTC: the time a post is stored with.
    using Clock = std::function<std::int64_t()>;

    // All borrowed for the service's life.
    CGalleryService(CGalleryStore& store, CPasswordHasher& hasher, CPreviewCache& previews, Clock clock,
                    CAbuseLimits limits = {});

    // A post to the upload path. `body` holds the bytes read (at most
    // kMaxUploadBodyBytes of them), `totalBytes` how many came in all, and bComplete
    // whether the body could be read to its end; `client` is the client's address.
    [[nodiscard]] CGalleryAnswer Post(std::string_view contentType, std::span<const std::uint8_t> body,
                                      std::size_t totalBytes, bool bComplete, std::string_view client = {});
    // The gallery's pages and its JSON (ToneListing.h), from the query string of the
    // address (not decoded): "/", "/author/NICKNAME" (the nickname decoded) and
    // "/api/tones". A bad query gives 400, an unknown author or a page past the last
    // 404, each with the reason (as {"error": ...} for the JSON).
    [[nodiscard]] CGalleryAnswer Page(std::string_view query = {});
    [[nodiscard]] CGalleryAnswer AuthorPage(std::string_view nickname, std::string_view query);
    [[nodiscard]] CGalleryAnswer ToneList(std::string_view query);
    [[nodiscard]] CGalleryAnswer Fetch(std::int64_t id, ToneDownload kind);
    // The tone fitted to the device `target` in the file form `extension` names, as
    // zorvattone-cli export --target writes it; 404 for a device or form there is not.
    // "/tone/ID/devices": the page of the tone's files for devices.
    [[nodiscard]] CGalleryAnswer DevicesPage(std::int64_t id);
    [[nodiscard]] CGalleryAnswer FetchForDevice(std::int64_t id, std::string_view target, std::string_view extension);
    [[nodiscard]] CGalleryAnswer Delete(std::int64_t id, std::string_view password, std::string_view client = {});

private:
    // The stored ringtone `id`; the answer to give instead when it cannot be read or
    // there is none.
    [[nodiscard]] std::optional<CGalleryAnswer> ReadTone(std::int64_t id, CToneRecord& tone);

    enum class PasswordVerdict { Known, NewAuthor, Wrong, TooManyWrong, Failed };

    [[nodiscard]] PasswordVerdict CheckPassword(const CCheckedUpload& upload, std::string_view client,
                                                std::string& newHash, std::int64_t& wait, std::string& error);
    // Checks `password` against a registered author's hash, within the guessing limits.
    [[nodiscard]] PasswordVerdict VerifyGuarded(const CAuthorRecord& author, std::string_view password,
                                                std::string_view client, std::int64_t& wait, std::string& error);
    [[nodiscard]] CGalleryAnswer Store(CCheckedUpload& upload, std::string_view client);
    [[nodiscard]] CGalleryAnswer Listing(const CListingRequest& request, bool bJson);

    CGalleryStore& m_store;
    CPasswordHasher& m_hasher;
    CPreviewCache& m_previews;
    Clock m_clock;
    CAbuseGuard m_guard;
};
