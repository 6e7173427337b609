// The gallery on the open internet: guessing limits, post floods, the headers of every
// answer and bodies past the limit, over HTTP against the server on 127.0.0.1.

#include <gtest/gtest.h>

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "tests/gallery/GalleryTestData.h"
#include "tests/gallery/GalleryTestServer.h"

namespace {

const std::string kUpload = "/examples/servlet/zvtoneload";

class GalleryGuardTest : public testing::Test {
protected:
    void Start()
    {
        m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
        m_pServer->m_abuseLimits = m_limits;
        std::string error;
        ASSERT_TRUE(m_pServer->Start(error)) << error;
    }

    [[nodiscard]] httplib::Client Client() const { return httplib::Client("127.0.0.1", m_pServer->Port()); }

    httplib::Result PostAs(const std::string& nickname, const std::string& password)
    {
        return Client().Post(kUpload.c_str(), UploadBodyOf(nickname, password, "Tone", "OTHERS", GoodPackage()),
                             kUploadContentType);
    }

    void Wait(std::int64_t seconds) { m_pServer->m_nNow += seconds; }

    // A plain socket to the server, for what a client library would not send.
    [[nodiscard]] int ConnectToServer() const
    {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_pServer->Port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        return fd;
    }

    CTempDir m_dir;
    CAbuseLimits m_limits{.m_nPostBurst = 100000};
    std::unique_ptr<CGalleryTestServer> m_pServer;
};

TEST_F(GalleryGuardTest, WrongPasswordsForOneAuthorSlowDownUntilTheRightOne)
{
    Start();
    ASSERT_EQ(PostAs("victim", "right")->status, 200);
    for (int i = 0; i < m_limits.m_nFreeFailuresPerAuthor; ++i)
        ASSERT_EQ(PostAs("victim", "guess" + std::to_string(i))->status, 403) << i;
    // One more failure is still checked, and starts the waiting.
    EXPECT_EQ(PostAs("VICTIM", "guess")->status, 403);
    auto blocked = PostAs("victim", "right");
    ASSERT_TRUE(blocked);
    EXPECT_EQ(blocked->status, 429);
    EXPECT_EQ(blocked->get_header_value("Retry-After"), "1");
    EXPECT_NE(blocked->body.find("Too many wrong passwords"), std::string::npos);
    // Each further failure doubles the wait; a 429 itself checks and counts nothing.
    Wait(1);
    EXPECT_EQ(PostAs("victim", "guess")->status, 403);
    EXPECT_EQ(PostAs("victim", "guess")->get_header_value("Retry-After"), "2");
    Wait(2);
    EXPECT_EQ(PostAs("victim", "right")->status, 200) << "the rightful author gets in after the wait";
    EXPECT_EQ(PostAs("victim", "guess")->status, 403) << "and the count starts again";
    EXPECT_EQ(PostAs("victim", "right")->status, 200);
}

TEST_F(GalleryGuardTest, WrongPasswordsFromOneAddressSlowDownEveryAuthor)
{
    m_limits.m_nFreeFailuresPerAuthor = 1000;
    Start();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(PostAs("author" + std::to_string(i), "right")->status, 200);
    for (int i = 0; i <= m_limits.m_nFreeFailuresPerAddress; ++i)
        ASSERT_EQ(PostAs("author" + std::to_string(i % 3), "wrong")->status, 403) << i;
    EXPECT_EQ(PostAs("author0", "right")->status, 429);
    // Deletion checks passwords too, from the body only.
    auto deletion = Client().Post("/tone/1/delete", "password=right", "application/x-www-form-urlencoded");
    ASSERT_TRUE(deletion);
    EXPECT_EQ(deletion->status, 429);
    EXPECT_EQ(deletion->get_header_value("Retry-After"), "1");
    Wait(m_limits.m_nForgetSeconds);
    EXPECT_EQ(Client().Post("/tone/1/delete?password=right", "", "application/x-www-form-urlencoded")->status, 403)
        << "a password in the address is not read";
    EXPECT_EQ(Client().Post("/tone/1/delete", "password=right", "application/x-www-form-urlencoded")->status, 200);
}

TEST_F(GalleryGuardTest, PostsFromOneAddressPastTheBurstWaitForTheRefill)
{
    m_limits.m_nPostBurst = 3;
    m_limits.m_nPostRefillSeconds = 20;
    Start();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(PostAs("poster", "pw")->status, 200);
    auto flood = PostAs("poster", "pw");
    ASSERT_TRUE(flood);
    EXPECT_EQ(flood->status, 429);
    EXPECT_EQ(flood->get_header_value("Retry-After"), "20");
    Wait(20);
    EXPECT_EQ(PostAs("poster", "pw")->status, 200);
    EXPECT_EQ(PostAs("poster", "pw")->status, 429);
}

TEST_F(GalleryGuardTest, BehindATrustedProxyEachClientIsCountedByTheAddressItForwards)
{
    m_limits.m_nPostBurst = 1;
    const auto postFrom = [this](const std::string& forwarded) {
        httplib::Headers headers = {{"X-Forwarded-For", forwarded}};
        return Client()
            .Post(kUpload.c_str(), headers, UploadBodyOf("poster", "pw", "Tone", "OTHERS", GoodPackage()),
                  kUploadContentType)
            ->status;
    };
    Start();
    EXPECT_EQ(postFrom("10.0.0.1"), 200);
    EXPECT_EQ(postFrom("10.0.0.2"), 429) << "a proxy that is not trusted names nobody";
    m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
    m_pServer->m_abuseLimits = m_limits;
    m_pServer->m_strTrustedProxy = "127.0.0.1";
    std::string error;
    ASSERT_TRUE(m_pServer->Start(error)) << error;
    EXPECT_EQ(postFrom("10.0.0.2"), 200);
    EXPECT_EQ(postFrom("192.0.2.7, 10.0.0.3"), 200) << "the last address is the one the proxy added";
    EXPECT_EQ(postFrom("10.0.0.3"), 429);
}

TEST_F(GalleryGuardTest, GuessesFromOneAddressDoNotKeepTheAuthorOutFromAnother)
{
    m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
    m_pServer->m_abuseLimits = m_limits;
    m_pServer->m_strTrustedProxy = "127.0.0.1";
    std::string error;
    ASSERT_TRUE(m_pServer->Start(error)) << error;
    const auto postFrom = [this](const std::string& address, const std::string& password) {
        httplib::Headers headers = {{"X-Forwarded-For", address}};
        return Client()
            .Post(kUpload.c_str(), headers, UploadBodyOf("victim", password, "Tone", "OTHERS", GoodPackage()),
                  kUploadContentType)
            ->status;
    };
    ASSERT_EQ(postFrom("10.0.0.2", "right"), 200);
    // The guesser keeps guessing each time its wait ends.
    for (int i = 0; i < 12; ++i) {
        if (i > m_limits.m_nFreeFailuresPerAuthor)
            Wait(std::int64_t{1} << (i - m_limits.m_nFreeFailuresPerAuthor - 1));
        EXPECT_EQ(postFrom("10.0.0.1", "guess"), 403) << i;
    }
    EXPECT_EQ(postFrom("10.0.0.1", "guess"), 429);
    EXPECT_EQ(postFrom("10.0.0.2", "right"), 200) << "the author's own address is not slowed";
    EXPECT_EQ(postFrom("10.0.0.1", "right"), 429) << "the guessing address waits even with the password";
}

TEST_F(GalleryGuardTest, EveryAnswerCarriesTheSecurityHeaders)
{
    Start();
    httplib::Client client = Client();
    std::vector<httplib::Result> answers;
    answers.push_back(client.Get("/"));
    answers.push_back(client.Get("/nowhere"));
    answers.push_back(client.Get(kUpload.c_str()));
    answers.push_back(client.Post(kUpload.c_str(), std::string(3 << 20, 'x'), kUploadContentType));
    answers.push_back(client.Post("/nowhere", std::string(3 << 20, 'x'), "text/plain"));
    for (const httplib::Result& answer : answers) {
        ASSERT_TRUE(answer);
        SCOPED_TRACE(answer->status);
        EXPECT_EQ(answer->get_header_value("X-Content-Type-Options"), "nosniff");
        EXPECT_NE(answer->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'"), std::string::npos);
        EXPECT_EQ(answer->get_header_value("Content-Security-Policy").find("unsafe-inline"), std::string::npos);
        EXPECT_EQ(answer->get_header_value("Referrer-Policy"), "same-origin");
        EXPECT_EQ(answer->get_header_value("X-Frame-Options"), "DENY");
    }
    EXPECT_EQ(answers[3]->status, 400);
    EXPECT_NE(answers[3]->body.find("3145728 bytes or more"), std::string::npos) << answers[3]->body;
    EXPECT_EQ(answers[4]->status, 413);
}

TEST_F(GalleryGuardTest, AChunkedBodyPastTheLimitIsRefusedWithoutReadingItWhole)
{
    Start();
    const int fd = ConnectToServer();
    const std::string head = "POST " + kUpload + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
                             kUploadContentType + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    ASSERT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
    // Offers up to 64 MiB in 64 KiB chunks while reading whatever answer comes.
    const std::string chunk = "10000\r\n" + std::string(0x10000, 'x') + "\r\n";
    std::size_t offered = 0;
    std::string answer;
    while (offered < (std::size_t{64} << 20)) {
        pollfd p{fd, POLLIN | POLLOUT, 0};
        ASSERT_GT(poll(&p, 1, 5000), 0) << "the server neither read nor answered";
        if (p.revents & POLLIN) {
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, static_cast<std::size_t>(n));
        } else if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0) {
            offered += chunk.size();
        } else if (errno != EAGAIN) {
            break;
        }
    }
    close(fd);
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 400")) << answer.substr(0, 200);
    EXPECT_NE(answer.find("the gallery takes at most 8192"), std::string::npos);
    EXPECT_LT(offered, std::size_t{16} << 20) << "the server stopped reading long before the end";
}

// A request framed or addressed so that a proxy in front might read it otherwise is
// refused, and what follows it is not read as a request of its own.
TEST_F(GalleryGuardTest, AmbiguousFramingOrHostIsRefusedAndWhatFollowsNotServed)
{
    Start();
    const std::string kHost = "Host: 127.0.0.1\r\n";
    const std::string kChunked = "Transfer-Encoding: chunked\r\n";
    // (Some the parser refuses itself, as not HTTP it understands.)
    const std::string heads[] = {
        kHost + "Transfer-Encoding: gzip\r\n",
        kHost + "Transfer-Encoding: chunked, identity\r\n",
        kHost + kChunked + "Transfer-Encoding: gzip\r\n",
        kHost + "Transfer-Encoding: chunked, chunked\r\n",
        kHost + "Transfer-Encoding: chunked,chunked\r\n",
        kHost + kChunked + kChunked,
        kHost + "Transfer-Encoding: gzip, chunked\r\n",
        "Content-Length: 0\r\n",
        kHost + "Host: example.com\r\nContent-Length: 0\r\n",
    };
    for (const std::string& head : heads) {
        const int fd = ConnectToServer();
        const std::string request =
            "POST /tone/1/delete HTTP/1.1\r\n" + head + "\r\nGET /api/tones HTTP/1.1\r\n" + kHost + "\r\n";
        ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
        std::string answer;
        char buffer[4096];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<std::size_t>(n));
        close(fd);
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 400")) << head << ": " << answer.substr(0, 200);
        EXPECT_TRUE(answer.find("not exactly chunked") != std::string::npos ||
                    answer.find("one Host line") != std::string::npos ||
                    answer.find("not HTTP the gallery understands") != std::string::npos)
            << head;
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << head << ": a second answer came";
    }
}

TEST_F(GalleryGuardTest, ConnectionsPastTheLimitOfAnAddressAreTurnedAway)
{
    m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
    m_pServer->m_nConnectionsPerAddress = 2;
    std::string error;
    ASSERT_TRUE(m_pServer->Start(error)) << error;
    // Two clients that keep their connections open with a request not yet finished.
    std::vector<int> held;
    for (int i = 0; i < 2; ++i) {
        held.push_back(ConnectToServer());
        ASSERT_EQ(send(held.back(), "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL), 16);
    }
    // The server counts a connection once it has accepted it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto third = Client().Get("/");
    ASSERT_TRUE(third);
    EXPECT_EQ(third->status, 503);
    EXPECT_NE(third->body.find("Too many connections"), std::string::npos);
    for (int fd : held)
        close(fd);
}

// Idle connections from many clients, each within its address's limit, must not shut
// out a newcomer: the one idle the longest makes room, and idle ones end soon anyway.
TEST_F(GalleryGuardTest, IdleConnectionsGiveWayToANewClientAndEndOnTheirOwnDeadline)
{
    m_pServer = std::make_unique<CGalleryTestServer>(m_dir.Path());
    m_pServer->m_nMaxConnections = 4;
    m_pServer->m_nIdleSeconds = 1;
    std::string error;
    ASSERT_TRUE(m_pServer->Start(error)) << error;
    std::vector<int> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(ConnectToServer());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto newcomer = Client().Get("/");
    ASSERT_TRUE(newcomer);
    EXPECT_EQ(newcomer->status, 200);
    char byte = 0;
    EXPECT_EQ(recv(idle.front(), &byte, 1, 0), 0) << "the oldest idle connection was closed";
    pollfd p{idle.back(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 3000), 1) << "an idle connection ends after its own deadline";
    EXPECT_EQ(recv(idle.back(), &byte, 1, 0), 0);
    for (int fd : idle)
        close(fd);
}

} // namespace
