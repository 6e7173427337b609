#include "gallery/http/HttpServer.h"

#include <sys/resource.h>

#include <utility> // before Boost.Asio, whose 1.74 headers use std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/http/span_body.hpp>

#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "gallery/http/CappedBody.h"

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

constexpr auto kRequestDeadline = std::chrono::seconds(kRequestSeconds);
constexpr auto kHeadDeadline = std::chrono::seconds(kHeadSeconds);
constexpr auto kSlowRequest = std::chrono::seconds(kSlowRequestSeconds);

std::int64_t SteadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

// On every answer, the transport's own refusals included. No page of the gallery
// runs inline script or style, so the policy can forbid both.
constexpr std::pair<const char*, const char*> kSecurityHeaders[] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Content-Security-Policy", "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                                "media-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "same-origin"},
};

// A request the parser could not make sense of, as opposed to one cut short.
bool IsMalformed(const beast::error_code& ec)
{
    return ec && ec.category() == http::make_error_code(http::error::bad_method).category() &&
           ec != http::error::end_of_stream && ec != http::error::partial_message;
}

// A request's Transfer-Encoding must be one header line that says exactly "chunked".
// Any other coding gives a body of a length the parser may not know, and a list such
// as "chunked, chunked" may be framed one way here and another by a proxy in front:
// either way a body could be read as a request of its own (request smuggling).
bool HasOtherTransferEncoding(const http::fields& fields)
{
    const auto [first, last] = fields.equal_range(http::field::transfer_encoding);
    if (first == last)
        return false;
    if (std::next(first) != last)
        return true;
    std::string_view coding(first->value().data(), first->value().size());
    while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t'))
        coding.remove_suffix(1);
    while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t'))
        coding.remove_prefix(1);
    return !beast::iequals(beast::string_view(coding.data(), coding.size()), "chunked");
}

// HTTP/1.1 asks for exactly one Host line; 1.0 for at most one. A request with two
// could be sent to different places by the gallery and a proxy in front.
bool HasBadHost(const http::request_header<>& header)
{
    const std::size_t hosts = header.count(http::field::host);
    return hosts > 1 || (hosts == 0 && header.version() >= 11);
}

// The connection limits: per client address and in all.
class CConnectionCounter {
public:
    CConnectionCounter(int perAddress, int total, std::string unlimited)
        : m_nMaxPerAddress(perAddress), m_nMaxTotal(total), m_strUnlimited(std::move(unlimited))
    {
    }

    enum class Entry { Entered, AddressFull, ServerFull };

    // bForce: enters at the limit in all too (a connection is being closed for it).
    [[nodiscard]] Entry TryEnter(const std::string& address, bool bForce = false)
    {
        std::lock_guard lock(m_mutex);
        int& count = m_byAddress[address];
        const bool bOverAddress = count >= m_nMaxPerAddress && address != m_strUnlimited;
        const Entry entry = bOverAddress                          ? Entry::AddressFull
                            : m_nTotal >= m_nMaxTotal && !bForce ? Entry::ServerFull
                                                                  : Entry::Entered;
        if (entry != Entry::Entered) {
            if (count == 0)
                m_byAddress.erase(address);
            return entry;
        }
        ++count;
        ++m_nTotal;
        return entry;
    }

    void Leave(const std::string& address)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_byAddress.find(address);
        if (it != m_byAddress.end() && --it->second == 0)
            m_byAddress.erase(it);
        --m_nTotal;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, int> m_byAddress;
    int m_nTotal = 0;
    const int m_nMaxPerAddress;
    const int m_nMaxTotal;
    const std::string m_strUnlimited; // the trusted proxy's: it limits its clients itself
};

// One lane of long requests: its threads and its queue, counted in all and per address.
class CLane {
public:
    explicit CLane(CHttpLane options)
        : m_options(std::move(options)), m_workers(static_cast<std::size_t>(std::max(1, m_options.m_nThreads)))
    {
    }

    // Empty when the request may wait in the queue (then Leave must follow), else the
    // refusal's text.
    [[nodiscard]] std::string TryEnter(const std::string& address)
    {
        std::lock_guard lock(m_mutex);
        if (m_nTaken >= m_options.m_nQueue)
            return m_options.m_strFull;
        int& mine = m_byAddress[address];
        if (mine >= m_options.m_nQueuePerAddress) {
            if (mine == 0)
                m_byAddress.erase(address);
            return m_options.m_strAddressFull;
        }
        ++mine;
        ++m_nTaken;
        return {};
    }

    void Leave(const std::string& address)
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_byAddress.find(address); it != m_byAddress.end() && --it->second == 0)
            m_byAddress.erase(it);
        --m_nTaken;
    }

    [[nodiscard]] net::thread_pool& Workers() { return m_workers; }

private:
    const CHttpLane m_options;
    net::thread_pool m_workers;
    std::mutex m_mutex;
    int m_nTaken = 0;
    std::map<std::string, int> m_byAddress;
};

// The connections the process may hold: its file limit, raised to the hard limit,
// less some for the database, the previews and the log.
int ConnectionCeiling(int wanted)
{
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0)
        return wanted;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        (void)setrlimit(RLIMIT_NOFILE, &files);
        (void)getrlimit(RLIMIT_NOFILE, &files);
    }
    constexpr rlim_t kReserved = 64;
    if (files.rlim_cur == RLIM_INFINITY || files.rlim_cur > static_cast<rlim_t>(wanted) + kReserved)
        return wanted;
    return files.rlim_cur > kReserved * 2 ? static_cast<int>(files.rlim_cur - kReserved) : std::min(wanted, 16);
}

class CConnection;

// The live connections, so that stopping can end the idle ones at once.
class CConnectionRegistry {
public:
    void Add(const std::shared_ptr<CConnection>& connection)
    {
        std::lock_guard lock(m_mutex);
        m_live.emplace(connection.get(), connection);
    }
    void Remove(const CConnection* connection)
    {
        std::lock_guard lock(m_mutex);
        m_live.erase(connection);
    }
    // The connection that has waited longest for a request of which nothing came; null
    // when none waits so.
    [[nodiscard]] std::shared_ptr<CConnection> OldestIdle();
    // The connection that has been reading its request longest, at least `atLeast`
    // (steady clock ticks); null when none has.
    [[nodiscard]] std::shared_ptr<CConnection> SlowestSender(std::int64_t atLeast);
    [[nodiscard]] std::vector<std::shared_ptr<CConnection>> Live()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::shared_ptr<CConnection>> live;
        for (const auto& [key, weak] : m_live)
            if (std::shared_ptr<CConnection> connection = weak.lock())
                live.push_back(std::move(connection));
        return live;
    }

private:
    std::mutex m_mutex;
    std::map<const CConnection*, std::weak_ptr<CConnection>> m_live;
};

// What every connection borrows from the server.
struct CServeContext {
    const HttpHandler& m_handler;
    std::size_t m_nKeptBodyBytes;
    std::chrono::seconds m_idleDeadline;
    CConnectionCounter& m_connections;
    CConnectionRegistry& m_registry;
    const std::atomic<bool>& m_bStopping;
    const std::string& m_strTrustedProxy;
    net::thread_pool& m_workers;
    const std::function<void(const std::string&)>& m_log;
    const std::function<int(const CGalleryRequest&)>& m_laneOf;
    std::vector<std::unique_ptr<CLane>>& m_lanes;
};

} // namespace

struct CHttpServer::CImpl {
    CImpl(CHttpServerOptions options, HttpHandler handler)
        : m_options(std::move(options)),
          m_handler(std::move(handler)),
          m_connections(m_options.m_nConnectionsPerAddress, ConnectionCeiling(m_options.m_nMaxConnections),
                        m_options.m_strTrustedProxy),
          m_workers(static_cast<std::size_t>(std::max(1, m_options.m_nThreads)))
    {
        for (const CHttpLane& lane : m_options.m_lanes)
            m_lanes.push_back(std::make_unique<CLane>(lane));
    }

    bool Start(std::string& error);
    void Stop();
    void Accept();
    void Log(const std::string& line) const
    {
        if (m_options.m_log)
            m_options.m_log(line);
    }
    [[nodiscard]] CServeContext Context()
    {
        return {m_handler,   m_options.m_nKeptBodyBytes, std::chrono::seconds(m_options.m_nIdleSeconds),
                m_connections, m_registry, m_bStopping, m_options.m_strTrustedProxy, m_workers, m_options.m_log,
                m_options.m_laneOf, m_lanes};
    }

    CHttpServerOptions m_options;
    HttpHandler m_handler;
    CConnectionCounter m_connections;
    CConnectionRegistry m_registry;
    std::atomic<bool> m_bStopping{false};
    // One thread reads and writes every connection; the handler (password hashes,
    // database, previews) runs on the workers, so a slow client holds only a socket.
    net::io_context m_io{1};
    std::optional<tcp::acceptor> m_acceptor;
    net::steady_timer m_acceptPause{m_io};
    std::thread m_ioThread;
    net::thread_pool m_workers;
    std::vector<std::unique_ptr<CLane>> m_lanes;
    int m_nPort = 0;
    bool m_bStarted = false;
};

namespace {

// One client connection: read a request within the deadline, serve it on a worker,
// write the answer, and again while the client keeps the connection alive.
class CConnection : public std::enable_shared_from_this<CConnection> {
public:
    CConnection(CServeContext context, tcp::socket socket, std::string address)
        : m_server(context), m_stream(std::move(socket)), m_strAddress(std::move(address))
    {
    }
    ~CConnection()
    {
        m_server.m_registry.Remove(this);
        m_server.m_connections.Leave(m_strAddress);
    }
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    void Read()
    {
        if (m_server.m_bStopping) {
            Close();
            return;
        }
        m_bReading = true;
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(kMaxHeaderBytes));
        // The body itself counts, see CCappedBody. (Not boost::none: Beast 1.74 compares
        // a length with an empty limit as greater.)
        m_parser->body_limit(std::numeric_limits<std::uint64_t>::max());
        m_parser->get().body().m_nKeep = m_server.m_nKeptBodyBytes;
        m_parser->get().body().m_nLimit = kMaxDrainedBodyBytes;
        // The whole request within the deadline from now; its first byte within the
        // shorter idle deadline (unless it came already, with the last request).
        m_requestDeadline = std::chrono::steady_clock::now() + kRequestDeadline;
        if (m_buffer.size() > 0) {
            m_readingSince = SteadyNow();
            ReadRest();
            return;
        }
        m_idleSince = SteadyNow();
        m_stream.expires_after(std::min<std::chrono::steady_clock::duration>(m_server.m_idleDeadline, kRequestDeadline));
        m_stream.async_read_some(m_buffer.prepare(kMaxHeaderBytes), [self = shared_from_this()](beast::error_code ec,
                                                                                              std::size_t bytes) {
            self->m_idleSince = 0;
            self->m_readingSince = SteadyNow();
            self->m_buffer.commit(bytes);
            // Closed meanwhile as idle (stopping, or room for a newcomer) while these
            // bytes were on their way: the client is told nothing, so nothing is done.
            if (ec || !self->m_stream.socket().is_open()) {
                self->m_bReading = false;
                self->Close(); // idle past its deadline, or gone
                return;
            }
            self->ReadRest();
        });
    }

    // Nanoseconds of the steady clock since when it waits for a request of which
    // nothing came; 0 when it does not.
    [[nodiscard]] std::int64_t IdleSince() const { return m_idleSince; }

    // Steady clock ticks since when it reads a request of which some came; 0 when it
    // does not.
    [[nodiscard]] std::int64_t ReadingSince() const { return m_readingSince; }

    // Closes the connection if it is still reading the request it was reading at
    // `since`, which has not come whole since.
    void CloseIfStillReading(std::int64_t since)
    {
        net::post(m_stream.get_executor(), [self = shared_from_this(), since] {
            if (self->m_readingSince == since && since != 0)
                self->Close();
        });
    }

    // Closes the connection if it is still idle.
    void CloseIfIdle()
    {
        net::post(m_stream.get_executor(), [self = shared_from_this()] {
            if (self->m_idleSince != 0)
                self->Close();
        });
    }

    // Ends the connection if it waits for a request of which nothing came yet; one
    // being read or served is answered first.
    void StopIfIdle()
    {
        net::post(m_stream.get_executor(), [self = shared_from_this()] {
            if (self->m_bReading && !self->m_parser->got_some() && self->m_buffer.size() == 0)
                self->Close();
        });
    }

private:
    // The head within its deadline from its first byte, then the rest within the
    // request's deadline.
    void ReadRest()
    {
        const auto headDeadline = std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(m_readingSince.load())) + kHeadDeadline;
        m_stream.expires_at(std::min(m_requestDeadline, headDeadline));
        http::async_read_header(m_stream, m_buffer, *m_parser, [self = shared_from_this()](beast::error_code ec,
                                                                                            std::size_t) {
            if (ec || self->m_parser->is_done()) {
                self->OnRead(ec);
                return;
            }
            self->m_stream.expires_at(self->m_requestDeadline);
            http::async_read(self->m_stream, self->m_buffer, *self->m_parser,
                             [self](beast::error_code bodyError, std::size_t) { self->OnRead(bodyError); });
        });
    }

    void OnRead(beast::error_code ec)
    {
        m_bReading = false;
        m_readingSince = 0;
        if (ec == http::error::body_limit) {
            RefuseOversized();
        } else if (ec == http::error::header_limit) {
            Refuse(431, "The request's header lines are longer than the gallery takes.");
        } else if (IsMalformed(ec)) {
            Refuse(400, "The request is not HTTP the gallery understands.");
        } else if (m_parser->is_header_done() && HasOtherTransferEncoding(m_parser->get())) {
            Refuse(400, "The request's Transfer-Encoding is not exactly chunked; the gallery takes no other.");
        } else if (m_parser->is_header_done() && HasBadHost(m_parser->get().base())) {
            Refuse(400, "The request must name its host in one Host line.");
        } else if (ec) {
            // The client went away, or the request did not arrive in time (the stream
            // has closed the socket then).
            Close();
        } else {
            m_bKeepAlive = m_parser->get().keep_alive();
            Dispatch(RequestFromParser());
        }
    }

    [[nodiscard]] CGalleryRequest RequestFromParser()
    {
        auto& message = m_parser->get();
        CGalleryRequest request;
        request.m_strMethod = std::string(message.method_string());
        const std::string_view target(message.target().data(), message.target().size());
        const std::size_t question = target.find('?');
        request.m_strPath = std::string(target.substr(0, question));
        if (question != std::string_view::npos)
            request.m_strQuery = std::string(target.substr(question + 1));
        request.m_strContentType = std::string(message[http::field::content_type]);
        request.m_strClient = ClientAddress(message["X-Forwarded-For"]);
        request.m_nBodyBytes = message.body().m_nTotal;
        request.m_strBody = std::move(message.body().m_strKept);
        m_bHead = message.method() == http::verb::head;
        m_nVersion = message.version();
        m_strLogTarget = request.m_strMethod + " " + request.m_strPath;
        return request;
    }

    // The peer, or for the trusted proxy the client it names: the last address of
    // X-Forwarded-For is the one the proxy itself added.
    [[nodiscard]] std::string ClientAddress(beast::string_view forwarded) const
    {
        if (m_server.m_strTrustedProxy.empty() || m_strAddress != m_server.m_strTrustedProxy || forwarded.empty())
            return m_strAddress;
        const std::string_view list(forwarded.data(), forwarded.size());
        std::string_view last = list.substr(list.rfind(',') == std::string_view::npos ? 0 : list.rfind(',') + 1);
        while (!last.empty() && last.front() == ' ')
            last.remove_prefix(1);
        while (!last.empty() && last.back() == ' ')
            last.remove_suffix(1);
        beast::error_code ec;
        const net::ip::address address = net::ip::make_address(std::string(last), ec);
        return ec ? m_strAddress : address.to_string();
    }

    // A body past the parser's limit: the handler answers it (a post's refusal names
    // its size), and the connection closes after the answer.
    void RefuseOversized()
    {
        CGalleryRequest request = RequestFromParser();
        request.m_nBodyBytes =
            std::max<std::size_t>(request.m_nBodyBytes, m_parser->get().body().m_nDeclared);
        request.m_bBodyComplete = false;
        m_bKeepAlive = false;
        Dispatch(std::move(request));
    }

    void Dispatch(CGalleryRequest request)
    {
        const int laneIndex = m_server.m_laneOf ? m_server.m_laneOf(request) : -1;
        CLane* lane = laneIndex >= 0 && laneIndex < static_cast<int>(m_server.m_lanes.size())
                          ? m_server.m_lanes[static_cast<std::size_t>(laneIndex)].get()
                          : nullptr;
        // Counted per client: behind the trusted proxy, the one it names.
        std::string client = request.m_strClient;
        if (lane) {
            if (std::string full = lane->TryEnter(client); !full.empty()) {
                CGalleryAnswer busy = PlainTextAnswer(503, std::move(full));
                busy.m_headers.emplace_back("Retry-After", "5");
                Write(std::move(busy));
                return;
            }
        }
        // The guard keeps the I/O thread running while a worker serves the request, so
        // that stopping waits for the answer to be written.
        net::post(lane ? lane->Workers() : m_server.m_workers,
                  [self = shared_from_this(), request = std::move(request), lane, client = std::move(client),
                   guard = net::make_work_guard(m_stream.get_executor())] {
                      CGalleryAnswer answer = self->m_server.m_handler(request);
                      if (lane)
                          lane->Leave(client);
                      net::post(self->m_stream.get_executor(),
                                [self, answer = std::move(answer)]() mutable { self->Write(std::move(answer)); });
                  });
    }

    void Refuse(int status, std::string text)
    {
        m_bKeepAlive = false;
        m_bHead = false;
        m_strLogTarget = m_parser->is_header_done()
                             ? std::string(m_parser->get().method_string()) + " " + std::string(m_parser->get().target())
                             : "-";
        Write(PlainTextAnswer(status, std::move(text)));
    }

    void Write(CGalleryAnswer answer)
    {
        if (m_server.m_log)
            m_server.m_log(m_strAddress + " " + m_strLogTarget + " " + std::to_string(answer.m_nStatus));
        m_response.emplace(static_cast<http::status>(answer.m_nStatus), m_nVersion);
        http::response<http::span_body<const char>>& response = *m_response;
        // The body stays with the connection until it is written: its own text, or the
        // copy it shares with other answers.
        m_pSharedBody = answer.m_pSharedBody;
        m_strBody = std::move(answer.m_strBody);
        const std::string& body = m_pSharedBody ? *m_pSharedBody : m_strBody;
        response.set(http::field::content_type, answer.m_strContentType);
        if (!answer.m_strFileName.empty())
            response.set(http::field::content_disposition, "attachment; filename=\"" + answer.m_strFileName + "\"");
        for (const auto& [name, value] : kSecurityHeaders)
            response.set(name, value);
        for (const auto& [name, value] : answer.m_headers)
            response.set(name, value);
        response.body() = {body.data(), body.size()};
        response.keep_alive(m_bKeepAlive);
        response.prepare_payload();
        if (m_bHead)
            response.body() = {}; // the length stays that of the body not sent
        m_stream.expires_after(kRequestDeadline);
        http::async_write(m_stream, response, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec)
                self->Close();
            else if (!self->m_bKeepAlive || self->m_server.m_bStopping)
                self->Linger();
            else
                self->Read();
        });
    }

    // Closing with unread bytes from the client would reset the connection and could
    // destroy the answer before the client reads it; so the gallery stops sending and
    // reads what still comes, for a short while and a bounded amount, before closing.
    void Linger()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        m_stream.expires_after(std::chrono::seconds(2));
        m_buffer.clear();
        Discard();
    }

    void Discard()
    {
        if (m_nDiscarded > 2 * kMaxDrainedBodyBytes) {
            Close();
            return;
        }
        m_stream.async_read_some(m_buffer.prepare(4096), [self = shared_from_this()](beast::error_code ec,
                                                                                       std::size_t bytes) {
            self->m_nDiscarded += bytes;
            if (ec)
                self->Close();
            else
                self->Discard();
        });
    }

    void Close()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

    CServeContext m_server;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer{kMaxHeaderBytes};
    std::optional<http::request_parser<CCappedBody>> m_parser;
    std::optional<http::response<http::span_body<const char>>> m_response;
    std::shared_ptr<const std::string> m_pSharedBody;
    std::string m_strBody;
    const std::string m_strAddress;
    std::string m_strLogTarget;
    std::size_t m_nDiscarded = 0;
    unsigned m_nVersion = 11;
    bool m_bKeepAlive = false;
    bool m_bHead = false;
    bool m_bReading = false;
    std::atomic<std::int64_t> m_idleSince{0};
    std::atomic<std::int64_t> m_readingSince{0};
    std::chrono::steady_clock::time_point m_requestDeadline;
};

std::shared_ptr<CConnection> CConnectionRegistry::OldestIdle()
{
    std::shared_ptr<CConnection> oldest;
    for (const std::shared_ptr<CConnection>& connection : Live())
        if (const std::int64_t since = connection->IdleSince();
            since != 0 && (!oldest || since < oldest->IdleSince()))
            oldest = connection;
    return oldest;
}

std::shared_ptr<CConnection> CConnectionRegistry::SlowestSender(std::int64_t atLeast)
{
    const std::int64_t before = SteadyNow() - atLeast;
    std::shared_ptr<CConnection> slowest;
    for (const std::shared_ptr<CConnection>& connection : Live())
        if (const std::int64_t since = connection->ReadingSince();
            since != 0 && since <= before && (!slowest || since < slowest->ReadingSince()))
            slowest = connection;
    return slowest;
}

} // namespace

void CHttpServer::CImpl::Accept()
{
    m_acceptor->async_accept(net::make_strand(m_io), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted)
            return; // stopping
        if (ec) {
            // Out of file descriptors, most likely: wait for connections to close
            // instead of spinning on the same error.
            m_acceptPause.expires_after(std::chrono::milliseconds(100));
            m_acceptPause.async_wait([this](beast::error_code waitError) {
                if (!waitError)
                    Accept();
            });
            return;
        }
        beast::error_code addressError;
        std::string address = socket.remote_endpoint(addressError).address().to_string();
        CConnectionCounter::Entry entry =
            addressError ? CConnectionCounter::Entry::AddressFull : m_connections.TryEnter(address);
        if (entry == CConnectionCounter::Entry::ServerFull) {
            // At the limit in all: the connection idle the longest makes room, else the
            // one that has been sending its request the longest.
            if (std::shared_ptr<CConnection> idle = m_registry.OldestIdle()) {
                idle->CloseIfIdle();
                entry = m_connections.TryEnter(address, true);
            } else if (std::shared_ptr<CConnection> slow = m_registry.SlowestSender(
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(kSlowRequest).count())) {
                slow->CloseIfStillReading(slow->ReadingSince());
                entry = m_connections.TryEnter(address, true);
            }
        }
        if (entry == CConnectionCounter::Entry::Entered) {
            auto connection = std::make_shared<CConnection>(Context(), std::move(socket), std::move(address));
            m_registry.Add(connection);
            connection->Read();
        } else {
            // The refusal names whose limit was reached.
            const std::string_view text = entry == CConnectionCounter::Entry::ServerFull
                                              ? "The gallery has too many connections at the moment; wait.\n"
                                              : "Too many connections from your address; wait.\n";
            const std::string tooMany =
                "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
                "X-Content-Type-Options: nosniff\r\nRetry-After: 10\r\nConnection: close\r\nContent-Length: " +
                std::to_string(text.size()) + "\r\n\r\n" + std::string(text);
            beast::error_code ignored;
            socket.non_blocking(true, ignored);
            socket.write_some(net::buffer(tooMany), ignored);
            socket.shutdown(tcp::socket::shutdown_send, ignored);
            Log(address + " - 503 (too many connections" +
                (entry == CConnectionCounter::Entry::ServerFull ? " in all)" : " from the address)"));
        }
        Accept();
    });
}

bool CHttpServer::CImpl::Start(std::string& error)
{
    if (m_bStarted) {
        error = "the gallery server is already running";
        return false;
    }
    const std::string where = m_options.m_strHost + " port " + std::to_string(m_options.m_nPort);
    beast::error_code netError;
    const net::ip::address address = net::ip::make_address(m_options.m_strHost, netError);
    if (netError) {
        error = "cannot listen on " + where + ": not an IP address";
        return false;
    }
    tcp::acceptor& acceptor = m_acceptor.emplace(m_io);
    const tcp::endpoint endpoint(address, static_cast<std::uint16_t>(m_options.m_nPort));
    if (acceptor.open(endpoint.protocol(), netError) ||
        acceptor.set_option(net::socket_base::reuse_address(true), netError) || acceptor.bind(endpoint, netError) ||
        acceptor.listen(net::socket_base::max_listen_connections, netError)) {
        error = "cannot listen on " + where + ": " + netError.message();
        m_acceptor.reset();
        return false;
    }
    m_nPort = acceptor.local_endpoint().port();
    Accept();
    m_ioThread = std::thread([this] { m_io.run(); });
    m_bStarted = true;
    return true;
}

void CHttpServer::CImpl::Stop()
{
    if (!m_bStarted)
        return;
    m_bStopping = true;
    net::post(m_io, [this] {
        beast::error_code ignored;
        m_acceptor->close(ignored);
        m_acceptPause.cancel();
        for (const std::shared_ptr<CConnection>& connection : m_registry.Live())
            connection->StopIfIdle();
    });
    // The I/O thread runs out of work once every connection has ended: idle ones at
    // once, requests being read or served once they are answered (within the deadlines).
    m_ioThread.join();
    m_workers.join();
    for (const std::unique_ptr<CLane>& lane : m_lanes)
        lane->Workers().join();
    m_bStarted = false;
}

CHttpServer::CHttpServer(CHttpServerOptions options, HttpHandler handler)
    : m_pImpl(std::make_unique<CImpl>(std::move(options), std::move(handler)))
{
}

CHttpServer::~CHttpServer()
{
    Stop();
}

bool CHttpServer::Start(std::string& error)
{
    return m_pImpl->Start(error);
}

void CHttpServer::Stop()
{
    m_pImpl->Stop();
}

std::uint16_t CHttpServer::Port() const
{
    return static_cast<std::uint16_t>(m_pImpl->m_nPort);
}
