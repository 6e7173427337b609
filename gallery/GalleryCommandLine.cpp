#include "gallery/GalleryCommandLine.h"

#include <arpa/inet.h>

#include "args/CommandArgs.h"

const char* const kGalleryUsage =
    "Usage: zorvat-gallery [OPTIONS] DATA_DIR\n"
    "\n"
    "Runs the Zorvat Ringtone Gallery: takes the ringtones that ZorvatTone posts to\n"
    "/examples/servlet/zvtoneload and shows them at /, with an audio preview and\n"
    "downloads for phones. Everything is kept in DATA_DIR (created when missing):\n"
    "the database gallery.db and the rendered Ogg Vorbis previews in wav/.\n"
    "\n"
    "Options:\n"
    "  --port N             TCP port to listen on (default 9011; 0 takes a free one)\n"
    "  --host ADDRESS       address to listen on (default 0.0.0.0, every interface)\n"
    "  --threads N          requests served at once, 1 to 256 (default 8)\n"
    "  --connections-per-address N\n"
    "                       connections open at once from one client address\n"
    "                       (default 32; more are answered 503)\n"
    "  --max-connections N  connections open at once in all (default 4096, lowered\n"
    "                       to what the file limit allows); at the limit the idle and\n"
    "                       then the slowest give way to newcomers\n"
    "  --post-burst N       posts one address may make at once (default 30); after\n"
    "                       them, one every 20 s (more are answered 429)\n"
    "  --database URL       where the ringtones are kept: sqlite:PATH (default\n"
    "                       DATA_DIR/gallery.db) or postgresql://USER@HOST:PORT/DB,\n"
    "                       which several gallery processes may share\n"
    "  --trusted-proxy IP   a reverse proxy in front: requests from it count under the\n"
    "                       client address its X-Forwarded-For names\n"
    "  --password-cost C    cost of new password hashes: interactive (default),\n"
    "                       moderate, or minimum (for tests only)\n"
    "  --soundfont FILE     SoundFont of the audio previews (default: $ZORVAT_SOUNDFONT,\n"
    "                       else the system's General MIDI SoundFont)\n"
    "  --preview-cache-mb N disk space for previews, in MiB (default 256): past it the\n"
    "                       least recently played are deleted, and rendered again\n"
    "                       when asked for; 0 keeps none\n"
    "  --help               show this text and exit\n"
    "\n"
    "It prints \"listening on http://HOST:PORT/\" once it takes requests, one line per\n"
    "request after that, and stops cleanly on SIGINT or SIGTERM.\n";

namespace {

bool IsIpAddress(const std::string& text)
{
    unsigned char bytes[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), bytes) == 1 || inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

bool ParseNumber(const std::string& text, int lo, int hi, int& out)
{
    long value = 0;
    if (!ParseWholeNumber(text, lo, hi, value))
        return false;
    out = static_cast<int>(value);
    return true;
}

// A terabyte: more than any disk a gallery would give its previews.
constexpr int kMaxPreviewCacheMb = 1024 * 1024;

bool ParseMebibytes(const std::string& text, std::uint64_t& bytes)
{
    int mebibytes = 0;
    if (!ParseNumber(text, 0, kMaxPreviewCacheMb, mebibytes))
        return false;
    bytes = static_cast<std::uint64_t>(mebibytes) * 1024 * 1024;
    return true;
}

} // namespace

bool ParseGalleryCommandLine(const std::vector<std::string>& args, CGalleryCommandLine& out, std::string& error)
{
    const CCommandArgs parsed(args,
                              {"--port", "--host", "--threads", "--password-cost", "--soundfont", "--preview-cache-mb",
                               "--connections-per-address", "--max-connections", "--post-burst", "--database",
                               "--trusted-proxy"},
                              {"--help"}, {{"-h", "--help"}});
    out.m_bHelp = parsed.Flag("--help");
    if (out.m_bHelp)
        return true;
    if (!parsed.Ok()) {
        error = parsed.Error();
        return false;
    }
    CGalleryProgramOptions& options = out.m_options;
    // A number option's value, checked: false with the message when it is bad.
    const auto number = [&](const char* name, int lo, int hi, int& value) {
        const std::optional<std::string> text = parsed.Value(name);
        if (!text || ParseNumber(*text, lo, hi, value))
            return true;
        error = std::string(name) + " takes a number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                ", not \"" + *text + "\"";
        return false;
    };
    if (!number("--port", 0, 65535, options.m_http.m_nPort) || !number("--threads", 1, 256, options.m_http.m_nThreads) ||
        !number("--post-burst", 1, 1000000, options.m_abuseLimits.m_nPostBurst) ||
        !number("--connections-per-address", 1, kMaxConnections, options.m_http.m_nConnectionsPerAddress) ||
        !number("--max-connections", 1, kMaxConnections, options.m_http.m_nMaxConnections))
        return false;
    if (const auto text = parsed.Value("--preview-cache-mb"); text && !ParseMebibytes(*text, options.m_nPreviewCacheBytes)) {
        error = "--preview-cache-mb takes a number from 0 to " + std::to_string(kMaxPreviewCacheMb) + ", not \"" +
                *text + "\"";
        return false;
    }
    if (const auto text = parsed.Value("--password-cost");
        text && !CPasswordHasher::CostOfName(*text, options.m_passwordCost)) {
        error = "--password-cost takes interactive, moderate or minimum, not \"" + *text + "\"";
        return false;
    }
    if (const auto host = parsed.Value("--host")) {
        if (host->empty()) {
            error = "--host needs an address";
            return false;
        }
        options.m_http.m_strHost = *host;
    }
    options.m_strDatabase = parsed.Value("--database").value_or(options.m_strDatabase);
    if (const auto proxy = parsed.Value("--trusted-proxy")) {
        if (!IsIpAddress(*proxy)) {
            error = "--trusted-proxy takes the proxy's IP address, not \"" + *proxy + "\"";
            return false;
        }
        options.m_http.m_strTrustedProxy = *proxy;
    }
    out.m_strSoundFont = parsed.Value("--soundfont").value_or("");
    if (parsed.Positional().size() != 1) {
        error = parsed.Positional().empty() ? "no data directory given" : "more than one data directory given";
        return false;
    }
    options.m_strDataDir = parsed.Positional()[0];
    return true;
}
