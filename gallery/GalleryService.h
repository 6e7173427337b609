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
#include <span>
#include <string>
#include <string_view>

#include "gallery/GalleryAnswer.h"
#include "gallery/GalleryStore.h"
#include "gallery/PasswordHasher.h"
#include "gallery/PreviewCache.h"
#include "gallery/UploadCheck.h"

enum class ToneDownload { Midi, RingingTone, HexText, Wav };

class CGalleryService {
public:
    // Seconds since 1970, UTC: the time a post is stored with.
    using Clock = std::function<std::int64_t()>;

    // All borrowed for the service's life.
    CGalleryService(CGalleryStore& store, CPasswordHasher& hasher, CPreviewCache& previews, Clock clock);

    // A post to the upload path. `body` holds the bytes read (at most
    // kMaxUploadBodyBytes of them), `totalBytes` how many came in all, and bComplete
    // whether the body could be read to its end.
    [[nodiscard]] CGalleryAnswer Post(std::string_view contentType, std::span<const std::uint8_t> body,
                                      std::size_t totalBytes, bool bComplete);
    [[nodiscard]] CGalleryAnswer Page();
    [[nodiscard]] CGalleryAnswer Fetch(std::int64_t id, ToneDownload kind);
    [[nodiscard]] CGalleryAnswer Delete(std::int64_t id, std::string_view password);

private:
    enum class PasswordVerdict { Known, NewAuthor, Wrong, Failed };

    [[nodiscard]] PasswordVerdict CheckPassword(const CCheckedUpload& upload, std::string& newHash,
                                                std::string& error);
    [[nodiscard]] CGalleryAnswer Store(CCheckedUpload& upload);

    CGalleryStore& m_store;
    CPasswordHasher& m_hasher;
    CPreviewCache& m_previews;
    Clock m_clock;
};
