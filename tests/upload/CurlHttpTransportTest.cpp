#include "upload/CurlHttpTransport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestHttpServer.h"
#include "upload/UploadBody.h"
#include "upload/UploadSession.h"
#include "upload/UploadStatusText.h"

namespace {

const std::vector<std::string> kAllStepTexts = {
    "Resolving Zorvat Home Site's IP...",     "Got Zorvat Home Site's IP !",   "Connecting to Zorvat Home Site...",
    "Connected to Zorvat Home Site !",        "Uploading data to server...",   "Data uploaded to server !",
    "Waiting response from server...",        "Got response from server !",    "Disconnecting from Zorvat Home Site...",
    "Disconnected !"};

std::vector<unsigned char> SmallBody()
{
    return BuildUploadBody("a", "b", "c", "OTHERS", std::vector<unsigned char>{'x', 0, 'z'});
}

std::string Text(const std::vector<unsigned char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Sets an environment variable for one scope.
class CScopedEnv {
public:
    CScopedEnv(const char* pName, const char* pValue) : m_name(pName)
    {
        if (const char* pOld = ::getenv(pName))
            m_old = pOld;
        ::setenv(pName, pValue, 1);
    }
    ~CScopedEnv()
    {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Records every text and calls `onText` the first time `text` shows.
class CWatchingStatusLine final : public CStatusLine {
public:
    CWatchingStatusLine(std::string text, std::function<void()> onText)
        : m_strText(std::move(text)), m_onText(std::move(onText))
    {
    }
    void SetText(const std::string& text) override
    {
        m_texts.SetText(text);
        if (text == m_strText && m_onText)
            std::exchange(m_onText, nullptr)();
    }
    [[nodiscard]] std::vector<std::string> Texts() const { return m_texts.Texts(); }

private:
    std::string m_strText;
    std::function<void()> m_onText;
    CRecordingStatusLine m_texts;
};

struct CurlUploadTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    // An upload to the test server with short time-outs.
    bool Upload(const std::string& host = "127.0.0.1", std::uint16_t wPort = 0, long nStallMs = 5000)
    {
        status.Clear();
        CUploadSession session(transport, status,
                               CUploadOptions{wPort != 0 ? wPort : server.Port(), 2000, nStallMs});
        return session.Upload(host, SmallBody(), message);
    }

    std::vector<std::string> TextsWith(std::vector<std::string> texts, const char* pLast)
    {
        texts.emplace_back(pLast);
        return texts;
    }

    CTestHttpServer server;
    CCurlHttpTransport transport;
    CRecordingStatusLine status;
    std::string message;
};

std::string HeaderValue(const std::string& request, const std::string& name)
{
    std::size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "<absent>";
    at += name.size() + 4;
    return request.substr(at, request.find("\r\n", at) - at);
}

} // namespace

TEST_F(CurlUploadTest, TheRequestLeavesByteForByte)
{
    ASSERT_TRUE(Upload());
    ASSERT_EQ(server.Requests().size(), 1u);
    std::string request = server.Requests()[0];
    std::string port = std::to_string(server.Port());
    std::string expected = "POST /examples/servlet/zvtoneload HTTP/1.1\r\n"
                           "Host: 127.0.0.1:" + port + "\r\n"
                           "User-Agent: ZorvatTone\r\n"
                           "Content-type: multipart/form-data; boundary=---------------------------7cf2e411b8c\r\n"
                           "Content-Length: 588\r\n"
                           "\r\n" + Text(SmallBody());
    EXPECT_EQ(request, expected);
}

TEST_F(CurlUploadTest, EachHeaderIsSentOnceAndNothingElseIsAdded)
{
    ASSERT_TRUE(Upload());
    std::string request = server.Requests()[0];
    std::string head = request.substr(0, request.find("\r\n\r\n") + 2);
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /examples/servlet/zvtoneload HTTP/1.1");
    EXPECT_EQ(HeaderValue(head, "Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(HeaderValue(head, "User-Agent"), "ZorvatTone");
    EXPECT_EQ(HeaderValue(head, "Content-type"),
              "multipart/form-data; boundary=---------------------------7cf2e411b8c");
    EXPECT_EQ(HeaderValue(head, "Content-Length"), "588");
    EXPECT_EQ(HeaderValue(head, "Content-Type"), "<absent>");
    EXPECT_EQ(HeaderValue(head, "Expect"), "<absent>");
    EXPECT_EQ(HeaderValue(head, "Accept"), "<absent>");
    EXPECT_EQ(std::count(head.begin(), head.end(), '\n'), 5); // the request line and four headers
    EXPECT_EQ(request.substr(head.size() + 2), Text(SmallBody()));
}

TEST_F(CurlUploadTest, TheLargestBodyIsSentWholeWithoutExpect)
{
    status.Clear();
    CUploadSession session(transport, status, CUploadOptions{server.Port(), 2000, 5000});
    std::vector<unsigned char> body = BuildUploadBody(std::string(32, 'n'), std::string(8, 'p'), std::string(32, 't'),
                                                      "CLASSICAL", std::vector<unsigned char>(2048, 0));
    ASSERT_TRUE(session.Upload("127.0.0.1", body, message));
    std::string request = server.Requests()[0];
    EXPECT_EQ(HeaderValue(request, "Content-Length"), "2705");
    EXPECT_EQ(HeaderValue(request, "Expect"), "<absent>");
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), Text(body));
}

TEST_F(CurlUploadTest, ASuccessPassesTheTenStepsInOrder)
{
    server.Queue(CTestHttpServer::Answer(200, "OK", "<html><body>Tone <i>stored</i>.</body></html>"));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
    EXPECT_EQ(message, "Tone stored.");
}

TEST_F(CurlUploadTest, AReplyEndedByTheConnectionIsWhole)
{
    server.Queue(CTestHttpServer::AnswerUntilClose("<p>until close</p>"));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
    EXPECT_EQ(message, "until close");
}

TEST_F(CurlUploadTest, AnEmptyBodyIsAWholeReply)
{
    server.Queue(CTestHttpServer::Answer(200, "OK", ""));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
    EXPECT_EQ(message, "");
}

TEST_F(CurlUploadTest, LocalhostPassesEachStepOnce)
{
    ASSERT_TRUE(Upload("localhost"));
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
}

TEST_F(CurlUploadTest, AReplyOver4096BytesKeeps4095AndReadsTheRest)
{
    std::string page = std::string(4000, 'a') + std::string(3000, 'b');
    server.Queue(CTestHttpServer::Answer(200, "OK", page));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(message, page.substr(0, 4095));
    EXPECT_EQ(status.Last(), "Ringtone upload successful !");
}

TEST_F(CurlUploadTest, AnEndlessReplyStopsAfterAMegabyteAndKeepsItsStart)
{
    server.Queue(CTestHttpServer::AnswerUntilClose("start " + std::string(3 << 20, 'z')));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(message.size(), 4095u);
    EXPECT_EQ(message.substr(0, 6), "start ");
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
}

TEST_F(CurlUploadTest, AReplyEndingInsideATagDoesNotHideTheNextReply)
{
    server.Queue(CTestHttpServer::Answer(200, "OK", "<html>First post saved<b"));
    server.Queue(CTestHttpServer::Answer(200, "OK", "Second post saved<br>"));
    ASSERT_TRUE(Upload());
    EXPECT_EQ(message, "First post saved");
    ASSERT_TRUE(Upload());
    EXPECT_EQ(message, "Second post saved");
}

TEST_F(CurlUploadTest, AnErrorStatusWithAnHtmlPageIsAFailedUpload)
{
    server.Queue(CTestHttpServer::Answer(500, "Internal Server Error",
                                         "<html><head><title>Error</title></head><body>Servlet failed</body></html>"));
    EXPECT_FALSE(Upload());
    EXPECT_EQ(message, "ErrorServlet failed");
    EXPECT_EQ(status.Texts(), TextsWith(kAllStepTexts, "Ringtone upload error !"));
}

TEST_F(CurlUploadTest, AnErrorStatusWithoutBodyShowsItsStatusLine)
{
    server.Queue(CTestHttpServer::Answer(404, "Not Found", ""));
    EXPECT_FALSE(Upload());
    EXPECT_EQ(message, "HTTP/1.1 404 Not Found");
}

// The failure matrix: each ends on the error text with the transport's message, and
// shows the steps it reached before.
TEST_F(CurlUploadTest, AnUnknownHostFailsAfterResolving)
{
    EXPECT_FALSE(Upload("no-such-host.invalid"));
    EXPECT_NE(message.find("\"no-such-host.invalid\" was not found"), std::string::npos) << message;
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Ringtone upload error !"}));
}

TEST_F(CurlUploadTest, AHostNameThatIsNotOneIsRefusedBeforeSending)
{
    for (const char* pHost : {"", "evil.example/x?", "user@host", "two words"}) {
        EXPECT_FALSE(Upload(pHost)) << pHost;
        EXPECT_NE(message.find("Invalid host name"), std::string::npos) << message;
        EXPECT_EQ(status.Last(), "Ringtone upload error !");
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(CurlUploadTest, ARefusedConnectionFails)
{
    EXPECT_FALSE(Upload("127.0.0.1", UnusedPort()));
    EXPECT_NE(message.find("Could not connect to the home site 127.0.0.1:"), std::string::npos) << message;
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Got Zorvat Home Site's IP !",
                                        "Connecting to Zorvat Home Site...", "Disconnecting from Zorvat Home Site...",
                                        "Disconnected !", "Ringtone upload error !"}));
}

TEST_F(CurlUploadTest, AConnectThatNeverCompletesTimesOut)
{
    CBlackHoleListener blackHole;
    ASSERT_TRUE(blackHole.Start());
    status.Clear();
    CUploadSession session(transport, status, CUploadOptions{blackHole.Port(), 300, 5000});
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(session.Upload("127.0.0.1", SmallBody(), message));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(message.find("did not answer in time"), std::string::npos) << message;
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Got Zorvat Home Site's IP !",
                                        "Connecting to Zorvat Home Site...", "Disconnecting from Zorvat Home Site...",
                                        "Disconnected !", "Ringtone upload error !"}));
}

TEST_F(CurlUploadTest, AServerThatNeverAnswersEndsAfterTheStallTime)
{
    server.Queue(CTestHttpServer::Silence());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Upload("127.0.0.1", 0, 1000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(message.find("Timeout was reached"), std::string::npos) << message;
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Got Zorvat Home Site's IP !",
                                        "Connecting to Zorvat Home Site...", "Connected to Zorvat Home Site !",
                                        "Uploading data to server...", "Data uploaded to server !",
                                        "Waiting response from server...", "Disconnecting from Zorvat Home Site...",
                                        "Disconnected !", "Ringtone upload error !"}));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(CurlUploadTest, TheWaitingTextShowsOnceTheRequestHasLeftBeforeTheServerAnswers)
{
    // The server holds its answer until the waiting text shows (or a few seconds pass).
    std::promise<void> waitingShown;
    std::future<void> shown = waitingShown.get_future();
    bool bShownBeforeAnswer = false;
    CTestHttpServer::CReply reply = CTestHttpServer::Answer(200, "OK", "stored");
    reply.m_beforeAnswer = [&] {
        bShownBeforeAnswer = shown.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    };
    server.Queue(reply);
    CWatchingStatusLine watching("Waiting response from server...", [&] { waitingShown.set_value(); });
    CUploadSession session(transport, watching, CUploadOptions{server.Port(), 2000, 10000});
    ASSERT_TRUE(session.Upload("127.0.0.1", SmallBody(), message));
    EXPECT_TRUE(bShownBeforeAnswer);
    EXPECT_EQ(watching.Texts(), TextsWith(kAllStepTexts, "Ringtone upload successful !"));
}

TEST_F(CurlUploadTest, AServerThatClosesMidReplyFails)
{
    server.Queue({"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<html>only a part", false, {}});
    EXPECT_FALSE(Upload());
    EXPECT_NE(message.find("broke off in the middle of the answer"), std::string::npos) << message;
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Got Zorvat Home Site's IP !",
                                        "Connecting to Zorvat Home Site...", "Connected to Zorvat Home Site !",
                                        "Uploading data to server...", "Data uploaded to server !",
                                        "Waiting response from server...", "Disconnecting from Zorvat Home Site...",
                                        "Disconnected !", "Ringtone upload error !"}));
}

TEST_F(CurlUploadTest, AServerThatClosesWithoutReplyFails)
{
    server.Queue({"", false, {}});
    EXPECT_FALSE(Upload());
    EXPECT_NE(message.find("closed the connection without an answer"), std::string::npos) << message;
    EXPECT_EQ(status.Last(), "Ringtone upload error !");
}

TEST_F(CurlUploadTest, TheProxyOfTheEnvironmentIsUsed)
{
    CScopedEnv proxy("http_proxy", ("http://127.0.0.1:" + std::to_string(server.Port())).c_str());
    CScopedEnv noProxy("no_proxy", "");
    ASSERT_TRUE(Upload("gallery.invalid", 9011));
    ASSERT_EQ(server.Requests().size(), 1u);
    std::string request = server.Requests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "POST http://gallery.invalid:9011/examples/servlet/zvtoneload HTTP/1.1");
    EXPECT_EQ(HeaderValue(request, "Content-Length"), "588");
}
