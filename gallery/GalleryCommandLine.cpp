#include "gallery/GalleryCommandLine.h"

#include <arpa/inet.h>

#include <charconv>

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
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return false;
    out = value;
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
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool bHasValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            bHasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            out.m_bHelp = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            positional.push_back(arg);
            continue;
        }
        if (arg != "--port" && arg != "--host" && arg != "--threads" && arg != "--password-cost" &&
            arg != "--soundfont" && arg != "--preview-cache-mb" && arg != "--connections-per-address" && arg != "--max-connections" &&
            arg != "--post-burst" && arg != "--database" && arg != "--trusted-proxy") {
            error = "unknown option " + arg;
            return false;
        }
        if (!bHasValue) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (arg == "--port" && !ParseNumber(value, 0, 65535, out.m_options.m_nPort)) {
            error = "--port takes a number from 0 to 65535, not \"" + value + "\"";
            return false;
        }
        if (arg == "--threads" && !ParseNumber(value, 1, 256, out.m_options.m_nThreads)) {
            error = "--threads takes a number from 1 to 256, not \"" + value + "\"";
            return false;
        }
        if (arg == "--post-burst" && !ParseNumber(value, 1, 1000000, out.m_options.m_abuseLimits.m_nPostBurst)) {
            error = "--post-burst takes a number from 1 to 1000000, not \"" + value + "\"";
            return false;
        }
        if (arg == "--connections-per-address" &&
            !ParseNumber(value, 1, kMaxConnections, out.m_options.m_nConnectionsPerAddress)) {
            error = "--connections-per-address takes a number from 1 to " + std::to_string(kMaxConnections) +
                    ", not \"" + value + "\"";
            return false;
        }
        if (arg == "--max-connections" && !ParseNumber(value, 1, kMaxConnections, out.m_options.m_nMaxConnections)) {
            error = "--max-connections takes a number from 1 to " + std::to_string(kMaxConnections) + ", not \"" +
                    value + "\"";
            return false;
        }
        if (arg == "--preview-cache-mb" && !ParseMebibytes(value, out.m_options.m_nPreviewCacheBytes)) {
            error = "--preview-cache-mb takes a number from 0 to " + std::to_string(kMaxPreviewCacheMb) + ", not \"" +
                    value + "\"";
            return false;
        }
        if (arg == "--password-cost" && !CPasswordHasher::CostOfName(value, out.m_options.m_passwordCost)) {
            error = "--password-cost takes interactive, moderate or minimum, not \"" + value + "\"";
            return false;
        }
        if (arg == "--host") {
            if (value.empty()) {
                error = "--host needs an address";
                return false;
            }
            out.m_options.m_strHost = value;
        }
        if (arg == "--database")
            out.m_options.m_strDatabase = value;
        if (arg == "--trusted-proxy") {
            if (!IsIpAddress(value)) {
                error = "--trusted-proxy takes the proxy's IP address, not \"" + value + "\"";
                return false;
            }
            out.m_options.m_strTrustedProxy = value;
        }
        if (arg == "--soundfont")
            out.m_strSoundFont = value;
    }
    if (out.m_bHelp)
        return true;
    if (positional.size() != 1) {
        error = positional.empty() ? "no data directory given" : "more than one data directory given";
        return false;
    }
    out.m_options.m_strDataDir = positional[0];
    return true;
}
