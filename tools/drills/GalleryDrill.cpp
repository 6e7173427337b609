// gallery-drill: the zorvat-gallery program under load and a crash. --clients clients post
// for --seconds to one gallery process on 127.0.0.1 with the program's own upload body
// and libcurl transport, --damaged-percent of the posts damaged in turn in five ways; at
// --kill-at of the run the gallery is killed with SIGKILL and started again on the same
// data directory and port. Clients count the connections that fail meanwhile and go on.
//
// With --cluster the same clients post through nginx (configured from
// deploy/nginx/zorvat-gallery.conf) to --processes gallery processes sharing one
// PostgreSQL server of their own; the first process is killed at a third of the run
// and started again at half of it, and PostgreSQL is restarted at two thirds. Posts
// may fail only while a process or the database is down; afterwards the page, the
// searches and the author pages must agree with the database.
//
// Then, with the gallery stopped, the store is read: every post that got a 2xx answer
// must be there once and whole, no damaged post may be there, and the database must pass
// SQLite's own checks; the gallery must start on it again and show them all. Every
// damaged post answered must have got 400 and every good one 2xx; a request that hangs,
// a connection that fails while the gallery is up, or any other status is a failure.
// Prints the figures; exits 0 when all held, 1 otherwise, 2 on bad options.

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <ranges>
#include <string>
#include <thread>
#include <vector>

#include "ringtone/SmartMessaging.h"
#include "tests/gallery/GalleryProcess.h"
#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"
#include "tests/gallery/NginxProcess.h"
#include "tests/gallery/PostgresTestServer.h"
#include "upload/CurlHttpTransport.h"
#include "upload/MultipartText.h"
#include "upload/UploadBody.h"
#include "upload/UploadOptions.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CDrillOptions {
    std::string m_strGallery;
    int m_nClients = 8;
    double m_dSeconds = 30;
    double m_dDamagedPercent = 1;
    double m_dKillAt = 0.5; // share of the run; negative: no kill
    std::string m_strDataDir; // empty: a temporary one, removed afterwards
    unsigned m_nSeed = 1;
    bool m_bCluster = false;
    int m_nProcesses = 2;
    std::string m_strSiteFile = ZT_SOURCE_DIR "/deploy/nginx/zorvat-gallery.conf";
    std::string m_strStaticDir = ZT_SOURCE_DIR "/gallery/static";
};

// After a process or the database comes back, failures may go on this long (nginx
// waits its fail_timeout before it tries a process again; pooled database
// connections notice the restart on their next use).
constexpr double kOutageGraceSeconds = 2.5;

constexpr const char* kUsage =
    "Usage: gallery-drill [--clients N] [--seconds S] [--damaged-percent P] [--kill-at F | --no-kill]\n"
    "                     [--gallery PROGRAM] [--data-dir DIR] [--seed N]\n"
    "Posts to a zorvat-gallery process (default: the one beside this program) from N\n"
    "clients for S seconds (default 8 and 30), P per cent of the posts damaged (default\n"
    "1), kills the gallery with SIGKILL at F of the run (default 0.5) and starts it again;\n"
    "then checks that every acknowledged post is stored. Exit 0 when every check held.\n"
    "       gallery-drill --cluster [--processes N] [--clients N] [--seconds S] [--no-kill] ...\n"
    "The same through nginx to N gallery processes (default 2) on one PostgreSQL server;\n"
    "the first process is killed at S/3 and restarted at S/2, PostgreSQL restarted at\n"
    "2S/3 (none of it with --no-kill).\n";

enum class Damage { None, TruncatedBody, BadBoundary, BadRingtone, OversizedField, MissingField };
constexpr int kDamageKinds = 5;
constexpr const char* kDamageNames[] = {"good", "truncated body", "bad boundary", "invalid Smart Messaging",
                                        "oversized field", "missing field"};

// One post as it was sent and answered.
struct CPostRecord {
    int m_nClient = 0;
    int m_nNumber = 0;
    Damage m_damage = Damage::None;
    std::string m_strName;
    double m_dStart = 0; // seconds from the start of the run
    double m_dEnd = 0;
    bool m_bAnswered = false;
    long m_nStatus = 0;
    std::string m_strError; // the transport's, or the start of the answer's text
};

std::string Nickname(int client)
{
    return "drill" + std::to_string(client);
}

std::string Password(int client)
{
    return "pw" + std::to_string(client);
}

std::string_view CategoryOf(int number)
{
    return UploadCategoryWord(number % 4);
}

// The ringtone of a good post: its name in the title, a length of its own.
std::vector<std::uint8_t> MessageOfPost(const std::string& name, int number)
{
    return MessageOf(name, 120, ScaleNotes(3 + number % 12));
}

std::vector<unsigned char> FormWithout(std::string_view missing, int client, const std::string& name,
                                       const std::vector<std::uint8_t>& package)
{
    std::vector<unsigned char> body;
    const std::pair<std::string_view, std::string> fields[] = {
        {"submitter", Nickname(client)}, {"password", Password(client)}, {"tone", name}, {"category", "OTHERS"}};
    for (const auto& [field, value] : fields)
        if (field != missing)
            AppendFormField(body, field, value);
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\dummy.zvr\"\r\n"
                     "Content-Type: application/octet-stream\r\n\r\n");
    body.insert(body.end(), package.begin(), package.end());
    AppendText(body, kMultipartDelimiter);
    AppendText(body, "--\r\n");
    body.push_back(0);
    return body;
}

// The request of post `number` of `client`, damaged as `damage` says; `variant` picks one
// of the ways of each damage.
CHttpRequest BuildPost(int client, int number, Damage damage, int variant, std::uint16_t port, std::string& name)
{
    CHttpRequest request;
    request.m_strHost = "127.0.0.1";
    request.m_wPort = port;
    request.m_strPath = kUploadPath;
    request.m_strUserAgent = kUploadUserAgent;
    request.m_headers.emplace_back(kUploadHeaderLine);
    request.m_nConnectTimeoutMs = 5000;
    request.m_nStallTimeoutMs = 20000; // far above any answer: running into it is a hang
    request.m_nMaxReplyBytes = kUploadMaxReplyBytes;

    name = (damage == Damage::None ? "c" : "x") + std::to_string(client) + "-" + std::to_string(number);
    const std::vector<std::uint8_t> message = MessageOfPost(name, number);
    std::vector<std::uint8_t> package = CompressedPackage(SmallPreviewMidi(), HexOf(message));
    std::string nickname = Nickname(client);
    std::string password = Password(client);
    std::string category(CategoryOf(number));
    switch (damage) {
    case Damage::None:
    case Damage::TruncatedBody:
    case Damage::BadBoundary:
        break;
    case Damage::BadRingtone: {
        // No ringing tone at all, or one cut off in the middle of its notes.
        std::vector<std::uint8_t> broken = message;
        if (variant % 2 == 0)
            broken = {0x00, 0x00};
        else
            broken.resize(broken.size() / 2);
        package = CompressedPackage(SmallPreviewMidi(), HexOf(broken));
        break;
    }
    case Damage::OversizedField:
        switch (variant % 5) {
        case 0:
            name = std::string(33, 'x');
            break;
        case 1:
            nickname = std::string(40, 'n');
            break;
        case 2:
            password = std::string(65, 'p');
            break;
        case 3:
            package.assign(3000, 0x5A);
            break;
        default:
            package.assign(8000, 0x5A); // the whole body then passes 8192 bytes
            break;
        }
        break;
    case Damage::MissingField:
        request.m_body = FormWithout(variant % 2 == 0 ? "category" : "tone", client, name, package);
        return request;
    }
    request.m_body = BuildUploadBody(nickname, password, name, category, package);
    if (damage == Damage::TruncatedBody)
        request.m_body.resize(request.m_body.size() * static_cast<std::size_t>(20 + (variant * 17) % 71) / 100);
    if (damage == Damage::BadBoundary)
        request.m_headers.front() = variant % 2 == 0
                                        ? "Content-type: multipart/form-data; boundary=---------------------------7cf2e411b8d"
                                        : "Content-type: application/octet-stream";
    return request;
}

class CNoSteps final : public CHttpStepSink {
public:
    void OnStep(HttpStep) override {}
};

class CDrill {
public:
    explicit CDrill(CDrillOptions options) : m_options(std::move(options)) {}
    int Run();

private:
    int RunAndCheck();
    // Stops every process the run started, before their folders go; a stop that fails
    // is a fault of the run.
    void StopAll();
    void Client(int client, Clock::time_point start, Clock::time_point end);
    void KillAndRestart(Clock::time_point start);
    void ClusterEvents(Clock::time_point start);
    [[nodiscard]] bool StartCluster(std::string& error);
    [[nodiscard]] bool InOutage(const CPostRecord& post);
    [[nodiscard]] bool ReadTones(std::vector<CToneRecord>& tones, std::string& error);
    void CheckListings(const std::vector<CToneRecord>& tones);
    [[nodiscard]] double Since(Clock::time_point start) const
    {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    void Check(const std::string& dataDir);
    void Fail(const std::string& reason)
    {
        std::lock_guard lock(m_mutex);
        if (m_failures.size() < 20)
            m_failures.push_back(reason);
        ++m_nFailures;
    }

    CDrillOptions m_options;
    // First of the members, so that it goes last: the servers below keep their data
    // and logs in it, and a server whose folder is gone can no longer be stopped.
    CTempDir m_scratch;
    std::optional<CGalleryProcess> m_gallery;
    // The cluster: more processes beside m_gallery, nginx and PostgreSQL.
    std::vector<std::unique_ptr<CGalleryProcess>> m_others;
    std::vector<std::string> m_otherDataDirs;
    CNginxProcess m_nginx;
    std::optional<CPostgresTestServer> m_postgres;
    std::string m_strDatabase;
    struct COutage {
        const char* m_szWhat;
        double m_dFrom, m_dTo; // seconds from the start
        long m_nFailed = 0;    // posts that failed meeting it
    };
    std::vector<COutage> m_outages;
    std::uint16_t m_wPort = 0;
    std::atomic<int> m_nDamagedSent{0};
    std::mutex m_mutex;
    std::vector<CPostRecord> m_records;
    std::vector<std::string> m_failures;
    long m_nFailures = 0;
    double m_dKilled = -1;   // seconds from the start
    double m_dListening = -1; // the restarted gallery listens
    double m_dRunSeconds = 0;
};

void CDrill::Client(int client, Clock::time_point start, Clock::time_point end)
{
    std::mt19937 random(m_options.m_nSeed * 7919u + static_cast<unsigned>(client));
    std::uniform_real_distribution<double> percent(0.0, 100.0);
    CCurlHttpTransport transport;
    CNoSteps steps;
    std::vector<CPostRecord> records;
    for (int number = 1; Clock::now() < end; ++number) {
        CPostRecord record;
        record.m_nClient = client;
        record.m_nNumber = number;
        int variant = 0;
        if (percent(random) < m_options.m_dDamagedPercent) {
            int nth = m_nDamagedSent++;
            record.m_damage = static_cast<Damage>(1 + nth % kDamageKinds);
            variant = nth / kDamageKinds;
        }
        CHttpRequest request = BuildPost(client, number, record.m_damage, variant, m_wPort, record.m_strName);
        CHttpReply reply;
        record.m_dStart = Since(start);
        record.m_bAnswered = transport.Post(request, steps, reply);
        record.m_dEnd = Since(start);
        record.m_nStatus = reply.m_nStatus;
        record.m_strError = record.m_bAnswered ? reply.m_strBody.substr(0, 400) : reply.m_strError;
        records.push_back(std::move(record));
        // The gallery is down or restarting: no point in hammering the port meanwhile.
        if (!records.back().m_bAnswered)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(m_mutex);
    m_records.insert(m_records.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
}

void CDrill::KillAndRestart(Clock::time_point start)
{
    std::this_thread::sleep_until(start + std::chrono::duration<double>(m_options.m_dSeconds * m_options.m_dKillAt));
    m_dKilled = Since(start);
    m_gallery->Kill();
    std::string error;
    if (!m_gallery->Start(m_options.m_strDataDir, m_wPort, error))
        Fail("the gallery did not start again after the kill: " + error);
    m_dListening = Since(start);
    std::lock_guard lock(m_mutex);
    m_outages.push_back({"the gallery down", m_dKilled, m_dListening});
}

void CDrill::ClusterEvents(Clock::time_point start)
{
    const auto at = [&](double share) {
        std::this_thread::sleep_until(start + std::chrono::duration<double>(m_options.m_dSeconds * share));
    };
    const std::uint16_t port = m_gallery->Port();
    at(1.0 / 3);
    m_dKilled = Since(start);
    m_gallery->Kill();
    at(1.0 / 2);
    std::string error;
    if (!m_gallery->Start(m_options.m_strDataDir, port, error))
        Fail("the gallery did not start again after the kill: " + error);
    m_dListening = Since(start);
    {
        std::lock_guard lock(m_mutex);
        m_outages.push_back({"a gallery process down", m_dKilled, m_dListening});
    }
    at(2.0 / 3);
    const double down = Since(start);
    if (!m_postgres->Restart(error))
        Fail("PostgreSQL did not start again: " + error);
    const double up = Since(start);
    std::printf("database restart:     down at %.2f s, up again at %.2f s\n", down, up);
    std::lock_guard lock(m_mutex);
    m_outages.push_back({"the database restarting", down, up});
}

bool CDrill::StartCluster(std::string& error)
{
    const CTempDir& scratch = m_scratch;
    // Synchronous commits and fsync on, as a deployment runs.
    m_postgres.emplace(scratch.File("postgres"), true);
    if (!m_postgres->Start(error) || !m_postgres->CreateDatabase("gallery", error))
        return false;
    m_strDatabase = m_postgres->Url("gallery");
    const std::vector<std::string> extra = {"--database", m_strDatabase, "--trusted-proxy", "127.0.0.1"};
    m_gallery->SetExtraArguments(extra);
    if (!m_gallery->Start(m_options.m_strDataDir, 0, error))
        return false;
    std::vector<std::uint16_t> ports = {m_gallery->Port()};
    for (int i = 1; i < m_options.m_nProcesses; ++i) {
        auto& gallery = m_others.emplace_back(std::make_unique<CGalleryProcess>(
            m_options.m_strGallery, scratch.File("gallery" + std::to_string(i) + ".log")));
        gallery->SetExtraArguments(extra);
        if (!gallery->Start(scratch.File("data" + std::to_string(i)), 0, error))
            return false;
        ports.push_back(gallery->Port());
    }
    std::filesystem::create_directories(scratch.File("nginx"));
    return m_nginx.Start(scratch.File("nginx"), m_options.m_strSiteFile, m_options.m_strStaticDir, ports, error);
}

bool CDrill::InOutage(const CPostRecord& post)
{
    std::lock_guard lock(m_mutex);
    // The latest outage first: a post failing after two of them met the second.
    for (COutage& outage : std::ranges::reverse_view(m_outages))
        if (post.m_dEnd >= outage.m_dFrom &&
            post.m_dStart <= outage.m_dTo + (m_options.m_bCluster ? kOutageGraceSeconds : 0)) {
            ++outage.m_nFailed;
            return true;
        }
    return false;
}

// The database as SQLite sees it: "ok" from both checks, or what they found.
std::string DatabaseCheck(const std::string& dataDir)
{
    sqlite3* db = nullptr;
    std::string path = CSqliteGalleryStore::DatabasePathIn(dataDir);
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open " + path;
    }
    std::string found;
    for (const char* sql : {"PRAGMA integrity_check", "PRAGMA foreign_key_check"}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
            found += std::string(sql) + ": " + sqlite3_errmsg(db) + "; ";
            continue;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(st, 0);
            std::string row = text ? reinterpret_cast<const char*>(text) : "(a row)";
            if (row != "ok")
                found += std::string(sql) + ": " + row + "; ";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return found.empty() ? "ok" : found;
}

bool CDrill::ReadTones(std::vector<CToneRecord>& tones, std::string& error)
{
    if (!m_options.m_bCluster)
        return ReadStoredTones(m_options.m_strDataDir, tones, error);
    std::unique_ptr<CGalleryStore> store = OpenGalleryStore(m_strDatabase, "", error);
    if (!store || !store->ListTones(tones, error))
        return false;
    for (CToneRecord& tone : tones) {
        bool found = false;
        if (!store->GetTone(tone.m_nId, tone, found, error) || !found)
            return false;
    }
    return true;
}

// The listings through nginx must agree with the database: all of it, each author's,
// and a search for stored names.
void CDrill::CheckListings(const std::vector<CToneRecord>& tones)
{
    const std::uint16_t port = m_nginx.Port();
    const int onPage = TonesOnPage(port);
    if (onPage != static_cast<int>(tones.size()))
        Fail("the gallery lists " + std::to_string(onPage) + " ringtones, the database holds " +
             std::to_string(tones.size()));
    std::map<std::string, int> byAuthor;
    for (const CToneRecord& tone : tones)
        ++byAuthor[tone.m_strAuthor];
    for (const auto& [author, count] : byAuthor) {
        int total = -1;
        std::vector<std::int64_t> ids;
        if (!ReadJsonListing(port, "author=" + author, total, ids) || total != count)
            Fail("the page of " + author + " lists " + std::to_string(total) + ", the database holds " +
                 std::to_string(count));
    }
    int searched = 0;
    for (std::size_t i = 0; i < tones.size() && searched < 20; i += std::max<std::size_t>(1, tones.size() / 20)) {
        ++searched;
        int total = -1;
        std::vector<std::int64_t> ids;
        // Names are "c3-17": two words, both percent-safe.
        std::string query = tones[i].m_strName;
        std::replace(query.begin(), query.end(), '-', '+');
        if (!ReadJsonListing(port, "q=" + query, total, ids) ||
            std::find(ids.begin(), ids.end(), tones[i].m_nId) == ids.end())
            Fail("a search for \"" + tones[i].m_strName + "\" does not find ringtone " +
                 std::to_string(tones[i].m_nId));
    }
    std::printf("listings:             %d in all, %zu authors and %d searches agree with the database\n", onPage,
                byAuthor.size(), searched);
}

void CDrill::Check(const std::string& dataDir)
{
    std::vector<CToneRecord> tones;
    std::string error;
    if (!ReadTones(tones, error)) {
        Fail("the store cannot be read: " + error);
        return;
    }
    // PostgreSQL checks its own pages; the rows were compared above.
    std::string integrity = m_options.m_bCluster ? "ok" : DatabaseCheck(dataDir);
    if (integrity != "ok")
        Fail("the database is damaged: " + integrity);

    std::map<std::string, std::vector<const CToneRecord*>> stored;
    for (const CToneRecord& tone : tones)
        stored[tone.m_strName].push_back(&tone);
    long found = 0, lost = 0, unacknowledgedStored = 0;
    std::map<std::string, const CPostRecord*> sent;
    for (const CPostRecord& post : m_records)
        if (post.m_damage == Damage::None)
            sent[post.m_strName] = &post;
    for (const auto& [name, copies] : stored) {
        auto post = sent.find(name);
        if (post == sent.end()) {
            Fail("the store holds \"" + name + "\", which was never posted whole");
            continue;
        }
        if (copies.size() > 1)
            Fail("\"" + name + "\" is stored " + std::to_string(copies.size()) + " times");
        const CPostRecord& record = *post->second;
        for (const CToneRecord* tone : copies) {
            ToneCategory category = ToneCategory::Others;
            (void)CategoryOfWord(CategoryOf(record.m_nNumber), category);
            if (tone->m_strAuthor != Nickname(record.m_nClient) || tone->m_category != category ||
                tone->m_midi != SmallPreviewMidi() || tone->m_message != MessageOfPost(name, record.m_nNumber))
                Fail("ringtone " + std::to_string(tone->m_nId) + " (\"" + name + "\") is not what was posted");
        }
        bool acknowledged = record.m_bAnswered && record.m_nStatus / 100 == 2;
        unacknowledgedStored += acknowledged ? 0 : 1;
    }
    for (const auto& [name, post] : sent) {
        if (!post->m_bAnswered || post->m_nStatus / 100 != 2)
            continue;
        if (stored.count(name) != 0) {
            ++found;
        } else {
            ++lost;
            Fail("the acknowledged post \"" + name + "\" is not in the store");
        }
    }

    // The gallery must come up on what it left and show all of it.
    std::string restart = "yes";
    if (m_options.m_bCluster) {
        CheckListings(tones);
        restart = "running on";
    } else if (!m_gallery->Start(dataDir, m_wPort, error)) {
        restart = "no (" + error + ")";
        Fail("the gallery does not start on the data after the run: " + error);
    } else {
        int onPage = TonesOnPage(m_wPort);
        int code = m_gallery->Stop();
        if (onPage != static_cast<int>(tones.size()))
            Fail("the page shows " + std::to_string(onPage) + " ringtones, the store holds " +
                 std::to_string(tones.size()));
        if (code != 0)
            Fail("the restarted gallery stopped with " + std::to_string(code));
        restart = "yes, its page shows " + std::to_string(onPage);
    }

    long acknowledged = found + lost;
    std::printf("after the run:        %zu stored; %ld of %ld acknowledged found, %ld lost; "
                "%ld stored without an answer (in flight at the kill)\n",
                tones.size(), found, acknowledged, lost, unacknowledgedStored);
    std::printf("database check:       %s\n", integrity.c_str());
    std::printf("starts again on it:   %s\n", restart.c_str());
}

int CDrill::Run()
{
    const int code = RunAndCheck();
    StopAll();
    if (code != 0)
        return code;
    if (m_nFailures == 0) {
        std::printf("result:               PASS\n");
        return 0;
    }
    std::printf("result:               FAIL, %ld faults; the first ones:\n", m_nFailures);
    for (const std::string& failure : m_failures)
        std::printf("  %s\n", failure.c_str());
    return 1;
}

void CDrill::StopAll()
{
    for (auto& gallery : m_others)
        gallery->Kill();
    if (m_gallery)
        m_gallery->Kill();
    m_nginx.Stop();
    std::string error;
    if (m_postgres && !m_postgres->Stop(error))
        Fail(error);
}

int CDrill::RunAndCheck()
{
    const bool bOwnDataDir = m_options.m_strDataDir.empty();
    if (bOwnDataDir)
        m_options.m_strDataDir = m_scratch.File("data");
    std::string logPath = m_scratch.File("gallery.log");
    m_gallery.emplace(m_options.m_strGallery, logPath);
    std::string error;
    if (m_options.m_bCluster ? !StartCluster(error) : !m_gallery->Start(m_options.m_strDataDir, 0, error)) {
        std::fprintf(stderr, "gallery-drill: %s\n", error.c_str());
        return m_postgres && !m_postgres->Available() ? 77 : 1;
    }
    m_wPort = m_options.m_bCluster ? m_nginx.Port() : m_gallery->Port();

    const bool bKill = m_options.m_dKillAt >= 0;
    char kill[64] = "no kill";
    if (bKill && m_options.m_bCluster)
        std::snprintf(kill, sizeof kill, "%d processes behind nginx, kill -9 of one at %.1f s", m_options.m_nProcesses,
                      m_options.m_dSeconds / 3);
    else if (bKill)
        std::snprintf(kill, sizeof kill, "kill -9 at %.1f s", m_options.m_dSeconds * m_options.m_dKillAt);
    else if (m_options.m_bCluster)
        std::snprintf(kill, sizeof kill, "%d processes behind nginx", m_options.m_nProcesses);
    std::printf("gallery drill: %d clients, %g s, %g%% damaged, %s, port %u\n", m_options.m_nClients,
                m_options.m_dSeconds, m_options.m_dDamagedPercent, kill, m_wPort);
    std::fflush(stdout);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(m_options.m_dSeconds));
    std::vector<std::thread> clients;
    for (int c = 0; c < m_options.m_nClients; ++c)
        clients.emplace_back([this, c, start, end] { Client(c, start, end); });
    if (bKill && m_options.m_bCluster)
        ClusterEvents(start);
    else if (bKill)
        KillAndRestart(start);
    for (std::thread& t : clients)
        t.join();
    m_dRunSeconds = Since(start);
    // The cluster keeps running for the check of its listings.
    int stopCode = m_options.m_bCluster ? 0 : m_gallery->Stop();
    if (stopCode != 0)
        Fail("the gallery stopped with " + std::to_string(stopCode) + " at the end of the run");

    // The figures of the posts, and the answers that break a rule.
    long good = 0, damaged = 0, acknowledged = 0, refused400 = 0, other = 0, connection = 0, outside = 0, hangs = 0;
    std::map<Damage, long> refusedByKind;
    std::map<long, long> otherStatuses;
    for (const CPostRecord& post : m_records) {
        (post.m_damage == Damage::None ? good : damaged)++;
        const std::string what = std::string(kDamageNames[static_cast<int>(post.m_damage)]) + " post \"" +
                                 post.m_strName + "\"";
        if (!post.m_bAnswered) {
            if (post.m_strError.find("Timeout") != std::string::npos) {
                ++hangs;
                Fail("the " + what + " got no answer: " + post.m_strError);
                continue;
            }
            ++connection;
            // Only a post that met the kill or the restart may lose its connection.
            if (!InOutage(post)) {
                ++outside;
                Fail("the " + what + " lost its connection while the gallery was up: " + post.m_strError);
            }
            continue;
        }
        if (post.m_nStatus / 100 == 2 && post.m_damage == Damage::None) {
            ++acknowledged;
        } else if (post.m_nStatus == 400 && post.m_damage != Damage::None) {
            ++refused400;
            ++refusedByKind[post.m_damage];
        } else if (m_options.m_bCluster && post.m_nStatus / 100 == 5 && InOutage(post)) {
            // nginx's 502 for a post in flight at the kill, the gallery's 503 while
            // the database restarts.
            ++connection;
        } else {
            ++other;
            ++otherStatuses[post.m_nStatus];
            Fail("the " + what + " got " + std::to_string(post.m_nStatus) + ": " + post.m_strError);
        }
    }
    std::printf("posts sent:           %zu (%ld good, %ld damaged)\n", m_records.size(), good, damaged);
    std::printf("acknowledged (2xx):   %ld\n", acknowledged);
    std::printf("refused with 400:     %ld of %ld damaged (", refused400, damaged);
    for (int kind = 1; kind <= kDamageKinds; ++kind)
        std::printf("%s%s %ld", kind == 1 ? "" : ", ", kDamageNames[kind], refusedByKind[static_cast<Damage>(kind)]);
    std::printf(")\n");
    std::printf("other statuses:       %ld", other);
    for (const auto& [status, count] : otherStatuses)
        std::printf("%s%ld x %ld", status == otherStatuses.begin()->first ? " (" : ", ", count, status);
    std::printf("%s\n", otherStatuses.empty() ? "" : ")");
    std::printf("failed posts:         %ld (%ld while everything was up)", connection, outside);
    for (const COutage& outage : m_outages)
        std::printf("; %ld with %s (%.2f to %.2f s)", outage.m_nFailed, outage.m_szWhat, outage.m_dFrom, outage.m_dTo);
    std::printf("\n");
    std::printf("hung requests:        %ld\n", hangs);
    std::printf("posts/s:              %.1f acknowledged, %.1f answered\n", acknowledged / m_dRunSeconds,
                (acknowledged + refused400 + other) / m_dRunSeconds);
    if (bKill)
        std::printf("kill and restart:     killed at %.2f s, listening again at %.2f s (%.0f ms down)\n", m_dKilled,
                    m_dListening, (m_dListening - m_dKilled) * 1000);
    Check(m_options.m_strDataDir);
    if (m_options.m_bCluster) {
        for (auto& gallery : m_others)
            if (int code = gallery->Stop(); code != 0)
                Fail("a gallery process stopped with " + std::to_string(code));
        if (int code = m_gallery->Stop(); code != 0)
            Fail("the restarted gallery process stopped with " + std::to_string(code));
        m_nginx.Stop();
        std::string stopError;
        if (!m_postgres->Stop(stopError))
            Fail(stopError);
    }
    return 0;
}

std::string ProgramBesideThis(const char* name)
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(name) : (self.parent_path() / name).string();
}

bool ParseNumber(const std::string& text, double lo, double hi, double& out)
{
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= lo && value <= hi))
        return false;
    out = value;
    return true;
}

bool ParseOptions(int argc, char** argv, CDrillOptions& options, std::string& error)
{
    options.m_strGallery = ProgramBesideThis("zorvat-gallery");
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--no-kill") {
            options.m_dKillAt = -1;
            continue;
        }
        if (arg == "--cluster") {
            options.m_bCluster = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        double number = 0;
        if (arg == "--clients" && ParseNumber(value, 1, 64, number))
            options.m_nClients = static_cast<int>(number);
        else if (arg == "--seconds" && ParseNumber(value, 0.5, 3600, number))
            options.m_dSeconds = number;
        else if (arg == "--damaged-percent" && ParseNumber(value, 0, 100, number))
            options.m_dDamagedPercent = number;
        else if (arg == "--kill-at" && ParseNumber(value, 0.05, 0.95, number))
            options.m_dKillAt = number;
        else if (arg == "--processes" && ParseNumber(value, 1, 8, number))
            options.m_nProcesses = static_cast<int>(number);
        else if (arg == "--seed" && ParseNumber(value, 0, 1e9, number))
            options.m_nSeed = static_cast<unsigned>(number);
        else if (arg == "--gallery")
            options.m_strGallery = value;
        else if (arg == "--data-dir")
            options.m_strDataDir = value;
        else {
            error = "bad option " + arg + " " + value;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    CDrillOptions options;
    std::string error;
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::printf("%s", kUsage);
        return 0;
    }
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "gallery-drill: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    return CDrill(std::move(options)).Run();
}
