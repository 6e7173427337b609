#include "gallery/service/GalleryService.h"

#include "gallery/service/UploadLimits.h"
#include "gallery/web/GalleryPage.h"
#include "gallery/web/HtmlText.h"
#include "gallery/web/ReplyPage.h"
#include "gallery/web/ToneListJson.h"
#include "gallery/service/UploadForm.h"
#include "gallery/web/UrlForm.h"
#include "ringtone/SmartMessaging.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/OttFile.h"

namespace {

constexpr const char* kStoredTitle = "Ringtone stored";
constexpr const char* kRefusedTitle = "Ringtone not stored";
// A nickname registered by another post between the look-up and the insert sends the
// post round again; more than this many rounds cannot happen without a fault.
constexpr int kMaxStoreRounds = 3;
// A store that fails (a database that is down, a disk in trouble) makes the gallery
// unavailable for a while, not broken: 503, and when to try again.
constexpr int kUnavailable = 503;
constexpr const char* kRetrySeconds = "30";

void SayWhenToRetry(CGalleryAnswer& answer)
{
    if (answer.m_nStatus == kUnavailable)
        answer.m_headers.emplace_back("Retry-After", kRetrySeconds);
}

CGalleryAnswer Reply(int status, const char* title, std::vector<std::string> sentences, bool bLinkBack = false)
{
    CGalleryAnswer answer;
    answer.m_nStatus = status;
    answer.m_strBody = RenderReplyPage(title, sentences, bLinkBack);
    SayWhenToRetry(answer);
    return answer;
}

CGalleryAnswer Refuse(int status, std::string reason)
{
    return Reply(status, kRefusedTitle, {std::move(reason)});
}

// A download name from the ringtone name: letters, digits, "-", "_" and spaces of
// ASCII stay, everything else becomes "_".
std::string FileNameOf(const std::string& name, const char* extension)
{
    std::string out;
    for (char c : name.substr(0, 40)) {
        bool bKeep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == ' ';
        out += bKeep ? c : '_';
    }
    std::size_t first = out.find_first_not_of(" _");
    out = first == std::string::npos ? "ringtone" : out.substr(first);
    while (out.back() == ' ')
        out.pop_back();
    return out + extension;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// 429 with the time to wait, for a browser and for the program alike.
CGalleryAnswer TooMany(const char* title, std::string sentence, std::int64_t wait, bool bLinkBack = false)
{
    CGalleryAnswer answer = Reply(429, title, {std::move(sentence)}, bLinkBack);
    answer.m_headers.emplace_back("Retry-After", std::to_string(wait));
    return answer;
}

std::string TooManyWrongSentence(const std::string& author, std::int64_t wait)
{
    return "Too many wrong passwords were given for " + author + " or from your address; try again in " +
           std::to_string(wait) + " seconds.";
}

// The guessing counters count per registered author, letter case aside.
std::string GuessCounterKeyOf(const CAuthorRecord& author)
{
    std::string key = author.m_strNickname;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

} // namespace

CGalleryService::CGalleryService(CGalleryStore& store, CPasswordHasher& hasher, CPreviewCache& previews, Clock clock,
                                 CAbuseLimits limits)
    : m_store(store), m_hasher(hasher), m_previews(previews), m_clock(std::move(clock)), m_guard(store, limits)
{
}

CGalleryAnswer CGalleryService::Post(std::string_view contentType, std::span<const std::uint8_t> body,
                                     std::size_t totalBytes, bool bComplete, std::string_view client)
{
    std::int64_t wait = 0;
    std::string guardError;
    // A store that cannot count the post will not take it either, and says why then.
    if (!m_guard.TakePost(client, m_clock(), wait, guardError))
        wait = 0;
    if (wait > 0)
        return TooMany(kRefusedTitle, "Too many posts from your address; wait " + std::to_string(wait) +
                                          " seconds before the next one.",
                       wait);
    if (totalBytes > kMaxUploadBodyBytes)
        return Refuse(400, "The post has " + std::to_string(totalBytes) + " bytes or more; the gallery takes at most " +
                               std::to_string(kMaxUploadBodyBytes) + ".");
    if (totalBytes == 0)
        return Refuse(400, "The post is empty.");
    if (!bComplete)
        return Refuse(400, "The post could not be read to its end.");
    CUploadForm form;
    std::string error;
    if (!ParseUploadForm(contentType, body, form, error))
        return Refuse(400, "The post is not the form the gallery expects: " + error + ".");
    CCheckedUpload upload;
    if (!CheckUpload(form, upload, error))
        return Refuse(400, error);
    return Store(upload, client);
}

CGalleryService::PasswordVerdict CGalleryService::VerifyGuarded(const CAuthorRecord& author,
                                                               std::string_view password, std::string_view client,
                                                               std::int64_t& wait, std::string& error)
{
    const std::string key = GuessCounterKeyOf(author);
    if (!m_guard.BeginPasswordCheck(client, key, m_clock(), wait, error))
        return PasswordVerdict::Failed;
    if (wait > 0)
        return PasswordVerdict::TooManyWrong;
    if (m_hasher.Verify(author.m_strPasswordHash, password))
        return m_guard.CountSuccess(client, key, m_clock(), error) ? PasswordVerdict::Known : PasswordVerdict::Failed;
    return PasswordVerdict::Wrong;
}

CGalleryService::PasswordVerdict CGalleryService::CheckPassword(const CCheckedUpload& upload, std::string_view client,
                                                               std::string& newHash, std::int64_t& wait,
                                                               std::string& error)
{
    CAuthorRecord author;
    bool found = false;
    if (!m_store.FindAuthor(upload.m_strAuthor, author, found, error))
        return PasswordVerdict::Failed;
    if (found)
        return VerifyGuarded(author, upload.m_strPassword, client, wait, error);
    if (!m_hasher.Hash(upload.m_strPassword, newHash)) {
        error = "the password could not be hashed";
        return PasswordVerdict::Failed;
    }
    return PasswordVerdict::NewAuthor;
}

CGalleryAnswer CGalleryService::Store(CCheckedUpload& upload, std::string_view client)
{
    CToneRecord tone;
    tone.m_strName = upload.m_strTone;
    tone.m_category = upload.m_category;
    tone.m_midi = std::move(upload.m_midi);
    tone.m_message = std::move(upload.m_message);
    tone.m_nPosted = m_clock();
    for (int round = 0; round < kMaxStoreRounds; ++round) {
        std::string newHash;
        std::string error;
        std::int64_t wait = 0;
        PasswordVerdict verdict = CheckPassword(upload, client, newHash, wait, error);
        if (verdict == PasswordVerdict::TooManyWrong)
            return TooMany(kRefusedTitle, TooManyWrongSentence(upload.m_strAuthor, wait), wait);
        if (verdict == PasswordVerdict::Wrong)
            return Refuse(403, "The password is not the one registered for the nickname " + upload.m_strAuthor +
                                   ".");
        if (verdict == PasswordVerdict::Failed)
            return Refuse(kUnavailable, "The gallery could not check the password: " + error + ".");
        tone.m_strAuthor = upload.m_strAuthor;
        bool bNew = verdict == PasswordVerdict::NewAuthor;
        switch (m_store.AddTone(tone, bNew ? &newHash : nullptr, error)) {
        case CGalleryStore::AddResult::Failed:
            return Refuse(kUnavailable, "The gallery could not store the ringtone: " + error + ".");
        case CGalleryStore::AddResult::DiskFull:
            // 507: the post was fine; posting it again later may work.
            return Refuse(507, "The gallery's disk is full.");
        case CGalleryStore::AddResult::NicknameTaken:
            continue;
        case CGalleryStore::AddResult::Added:
            break;
        }
        // The address that registered a nickname is one its author is trusted at. The
        // tone is stored already: a store that cannot note it costs only that trust.
        if (bNew)
            (void)m_guard.TrustAddress(client, GuessCounterKeyOf(CAuthorRecord{tone.m_strAuthor, {}}), m_clock(), error);
        std::vector<std::string> sentences = {
            Quoted(tone.m_strName) + " by " + tone.m_strAuthor + " is now in the Zorvat Ringtone Gallery under " +
            std::string(CaptionOf(tone.m_category)) + " (number " + std::to_string(tone.m_nId) + ", posted " +
            FormatUtcMinute(tone.m_nPosted) + ")."};
        if (bNew)
            sentences.push_back(upload.m_strPassword.empty()
                                    ? "The nickname " + tone.m_strAuthor +
                                          " is now registered without a password: anyone may post or delete under it."
                                    : "The nickname " + tone.m_strAuthor +
                                          " is now registered with this password: later posts and deletions under it "
                                          "need the same password.");
        return Reply(200, kStoredTitle, std::move(sentences));
    }
    return Refuse(kUnavailable, "The gallery could not register the nickname " + upload.m_strAuthor + ".");
}

namespace {


CGalleryAnswer JsonAnswer(int status, std::string body)
{
    CGalleryAnswer answer;
    answer.m_nStatus = status;
    answer.m_strContentType = "application/json";
    answer.m_strBody = std::move(body);
    SayWhenToRetry(answer);
    return answer;
}

CGalleryAnswer Refusal(bool bJson, int status, std::string sentence)
{
    if (bJson)
        return JsonAnswer(status, RenderJsonError(sentence));
    return Reply(status, status >= 500 ? "Gallery unavailable" : "No such page", {std::move(sentence)}, true);
}

} // namespace

CGalleryAnswer CGalleryService::Page(std::string_view query)
{
    CListingRequest request;
    std::string error;
    if (!ParseListingQuery(query, request, error))
        return Refusal(false, 400, error);
    if (!IsFrontPage(request))
        return Listing(request, false);
    if (request.m_nPage != 1)
        return Refusal(false, 400, "The front page has one page; pages go with a category or a search, as in "
                                   "/?category=ENGLISH&page=2.");
    CFrontPage front;
    if (!ReadFrontPage(m_store, front, error))
        return Reply(kUnavailable, "Gallery unavailable", {"The gallery could not read its ringtones: " + error + "."});
    CGalleryAnswer answer;
    answer.m_strBody = RenderFrontPage(front);
    return answer;
}

CGalleryAnswer CGalleryService::AuthorPage(std::string_view nickname, std::string_view query)
{
    CListingRequest request;
    std::string error;
    if (!ParseListingQuery(query, request, error))
        return Refusal(false, 400, error);
    request.m_filter.m_strAuthor = nickname;
    return Listing(request, false);
}

CGalleryAnswer CGalleryService::ToneList(std::string_view query)
{
    CListingRequest request;
    std::string error;
    if (!ParseListingQuery(query, request, error))
        return Refusal(true, 400, error);
    request.m_filter.m_strAuthor = FormField(query, "author");
    return Listing(request, true);
}

CGalleryAnswer CGalleryService::Listing(const CListingRequest& request, bool bJson)
{
    CToneListing listing;
    std::string error;
    switch (ReadListing(m_store, request, listing, error)) {
    case ListingResult::Listed:
        break;
    case ListingResult::NoSuchAuthor:
    case ListingResult::NoSuchPage:
        return Refusal(bJson, 404, error);
    case ListingResult::Failed:
        return Refusal(bJson, kUnavailable, "The gallery could not read its ringtones: " + error + ".");
    }
    if (bJson)
        return JsonAnswer(200, RenderToneListJson(listing));
    CGalleryAnswer answer;
    answer.m_strBody = RenderListingPage(listing);
    return answer;
}

std::optional<CGalleryAnswer> CGalleryService::ReadTone(std::int64_t id, CToneRecord& tone)
{
    bool found = false;
    std::string error;
    if (!m_store.GetTone(id, tone, found, error))
        return Reply(kUnavailable, "Ringtone unavailable", {"The gallery could not read the ringtone: " + error + "."});
    if (!found)
        return Reply(404, "Ringtone not found", {"There is no ringtone number " + std::to_string(id) + "."}, true);
    return std::nullopt;
}

CGalleryAnswer CGalleryService::Fetch(std::int64_t id, ToneDownload kind)
{
    CToneRecord tone;
    if (std::optional<CGalleryAnswer> failed = ReadTone(id, tone))
        return *failed;
    std::string error;
    CGalleryAnswer answer;
    switch (kind) {
    case ToneDownload::Midi:
        answer.m_strContentType = "audio/midi";
        answer.m_strBody.assign(tone.m_midi.begin(), tone.m_midi.end());
        answer.m_strFileName = FileNameOf(tone.m_strName, ".mid");
        break;
    case ToneDownload::RingingTone:
        answer.m_strContentType = "application/vnd.nokia.ringing-tone";
        answer.m_strBody.assign(tone.m_message.begin(), tone.m_message.end());
        answer.m_strFileName = FileNameOf(tone.m_strName, ".ott");
        break;
    case ToneDownload::HexText:
        answer.m_strContentType = "text/plain; charset=us-ascii";
        answer.m_strBody = HexOf(tone.m_message);
        answer.m_strFileName = FileNameOf(tone.m_strName, ".txt");
        break;
    case ToneDownload::Preview:
        // One copy of the preview, whatever number of clients it is being sent to.
        answer.m_pSharedBody = m_previews.GetShared(id, tone.m_midi, error);
        if (!answer.m_pSharedBody)
            return Reply(503, "Preview unavailable", {"The preview could not be rendered: " + error + "."}, true);
        answer.m_strContentType = "audio/ogg";
        break;
    }
    return answer;
}

CGalleryAnswer CGalleryService::DevicesPage(std::int64_t id)
{
    CToneRecord tone;
    if (std::optional<CGalleryAnswer> failed = ReadTone(id, tone))
        return *failed;
    CGalleryAnswer answer;
    answer.m_strBody = RenderDevicesPage(tone);
    return answer;
}

CGalleryAnswer CGalleryService::FetchForDevice(std::int64_t id, std::string_view name, std::string_view extension)
{
    const ToneTarget* target = ToneTargetNamed(name);
    if (!target || name != target->name || extension.empty() ||
        (extension != target->extension && extension != target->otherExtension))
        return Reply(404, "No such device file", {"The gallery offers no such file for a device."}, true);
    const TargetForm form = extension == target->extension ? target->form : target->otherForm;
    CToneRecord tone;
    if (std::optional<CGalleryAnswer> failed = ReadTone(id, tone))
        return *failed;
    std::string error;
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    CTargetFit fit;
    CGalleryAnswer answer;
    if (!ReadOttFile(tone.m_message, melody, losses, error) ||
        !ExportToTarget(melody, *target, form, answer.m_strBody, losses, fit, error))
        return Reply(422, "No device file", {"The ringtone cannot be written for " + std::string(name) + ": " + error +
                                                 "."}, true);
    const bool bBinary = form == TargetForm::EscMelody || form == TargetForm::Ott;
    answer.m_strContentType = bBinary ? "application/octet-stream" : "text/plain; charset=utf-8";
    answer.m_strFileName = FileNameOf(tone.m_strName + "-" + target->name, ("." + std::string(extension)).c_str());
    return answer;
}

CGalleryAnswer CGalleryService::Delete(std::int64_t id, std::string_view password, std::string_view client)
{
    constexpr const char* kNotDeleted = "Ringtone not deleted";
    if (password.size() > kMaxPasswordBytes)
        return Reply(400, kNotDeleted, {"The password is longer than the gallery takes."}, true);
    CToneRecord tone;
    bool found = false;
    std::string error;
    if (!m_store.GetTone(id, tone, found, error))
        return Reply(kUnavailable, kNotDeleted, {"The gallery could not read the ringtone: " + error + "."}, true);
    if (!found)
        return Reply(404, kNotDeleted, {"There is no ringtone number " + std::to_string(id) + "."}, true);
    CAuthorRecord author;
    if (!m_store.FindAuthor(tone.m_strAuthor, author, found, error) || !found)
        return Reply(kUnavailable, kNotDeleted, {"The gallery could not find the author of the ringtone."}, true);
    std::int64_t wait = 0;
    switch (VerifyGuarded(author, password, client, wait, error)) {
    case PasswordVerdict::Known:
        break;
    case PasswordVerdict::TooManyWrong:
        return TooMany(kNotDeleted, TooManyWrongSentence(tone.m_strAuthor, wait), wait, true);
    case PasswordVerdict::Failed:
    case PasswordVerdict::NewAuthor:
        return Reply(kUnavailable, kNotDeleted, {"The gallery could not check the password: " + error + "."}, true);
    case PasswordVerdict::Wrong:
        return Reply(403, kNotDeleted,
                     {"The password is not the one registered for " + tone.m_strAuthor + ", the author of " +
                      Quoted(tone.m_strName) + "."},
                     true);
    }
    bool bDeleted = false;
    if (!m_store.DeleteTone(id, bDeleted, error))
        return Reply(kUnavailable, kNotDeleted, {"The gallery could not delete the ringtone: " + error + "."}, true);
    m_previews.Forget(id);
    if (!bDeleted)
        return Reply(404, kNotDeleted, {"There is no ringtone number " + std::to_string(id) + "."}, true);
    return Reply(200, "Ringtone deleted",
                 {Quoted(tone.m_strName) + " by " + tone.m_strAuthor + " is no longer in the gallery."}, true);
}
