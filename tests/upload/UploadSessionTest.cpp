#include "upload/UploadSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeHttpTransport.h"
#include "upload/UploadBody.h"

namespace {

const std::vector<std::string> kAllStepTexts = {
    "Resolving Zorvat Home Site's IP...",     "Got Zorvat Home Site's IP !",   "Connecting to Zorvat Home Site...",
    "Connected to Zorvat Home Site !",        "Uploading data to server...",   "Data uploaded to server !",
    "Waiting response from server...",        "Got response from server !",    "Disconnecting from Zorvat Home Site...",
    "Disconnected !"};

std::vector<unsigned char> SomeBody()
{
    return BuildUploadBody("a", "b", "c", "OTHERS", std::vector<unsigned char>{1, 2, 3});
}

struct SessionTest : ::testing::Test {
    CFakeHttpTransport transport;
    CRecordingStatusLine status;
    std::string message;
};

} // namespace

TEST_F(SessionTest, SendsTheGalleryRequestToTheHomeSite)
{
    CUploadSession session(transport, status);
    ASSERT_TRUE(session.Upload("gallery.example", SomeBody(), message));
    ASSERT_EQ(transport.Requests().size(), 1u);
    const CHttpRequest& request = transport.Requests()[0];
    EXPECT_EQ(request.m_strHost, "gallery.example");
    EXPECT_EQ(request.m_wPort, 9011);
    EXPECT_EQ(request.m_strPath, "/examples/servlet/zvtoneload");
    EXPECT_EQ(request.m_strUserAgent, "ZorvatTone");
    EXPECT_EQ(request.m_headers, std::vector<std::string>{std::string(kUploadHeaderLine)});
    EXPECT_EQ(request.m_body, SomeBody());
    EXPECT_EQ(request.m_nConnectTimeoutMs, 60000);
    EXPECT_EQ(request.m_nStallTimeoutMs, 60000);
    EXPECT_EQ(request.m_nMaxReplyBytes, 4095u);
}

TEST_F(SessionTest, PortAndTimeOutsCanBeChanged)
{
    CUploadSession session(transport, status, CUploadOptions{8080, 250, 500});
    ASSERT_TRUE(session.Upload("h", SomeBody(), message));
    EXPECT_EQ(transport.Requests()[0].m_wPort, 8080);
    EXPECT_EQ(transport.Requests()[0].m_nConnectTimeoutMs, 250);
    EXPECT_EQ(transport.Requests()[0].m_nStallTimeoutMs, 500);
}

TEST_F(SessionTest, ASuccessShowsTheTenStepTextsThenSuccessAndTheStrippedReply)
{
    transport.Queue(CFakeHttpTransport::Answer(200, "<html><body>Ringtone <b>saved</b></body></html>"));
    CUploadSession session(transport, status);
    ASSERT_TRUE(session.Upload("h", SomeBody(), message));
    std::vector<std::string> expected = kAllStepTexts;
    expected.push_back("Ringtone upload successful !");
    EXPECT_EQ(status.Texts(), expected);
    EXPECT_EQ(message, "Ringtone saved");
}

TEST_F(SessionTest, EachStatusOf2xxIsASuccess)
{
    for (long nStatus : {200L, 201L, 204L, 299L}) {
        transport.Queue(CFakeHttpTransport::Answer(nStatus, "fine"));
        CUploadSession session(transport, status);
        EXPECT_TRUE(session.Upload("h", SomeBody(), message)) << nStatus;
        EXPECT_EQ(status.Last(), "Ringtone upload successful !") << nStatus;
    }
}

TEST_F(SessionTest, ATransportFailureShowsTheStepsReachedThenTheErrorAndItsMessage)
{
    transport.Queue(CFakeHttpTransport::Fail("Could not resolve host: nowhere", {HttpStep::Resolving}));
    CUploadSession session(transport, status);
    EXPECT_FALSE(session.Upload("nowhere", SomeBody(), message));
    EXPECT_EQ(status.Texts(),
              (std::vector<std::string>{"Resolving Zorvat Home Site's IP...", "Ringtone upload error !"}));
    EXPECT_EQ(message, "Could not resolve host: nowhere");
}

TEST_F(SessionTest, ATransportMessageIsCutTo1024Characters)
{
    transport.Queue(CFakeHttpTransport::Fail(std::string(3000, 'e'), {}));
    CUploadSession session(transport, status);
    EXPECT_FALSE(session.Upload("h", SomeBody(), message));
    EXPECT_EQ(message, std::string(1024, 'e'));
}

TEST_F(SessionTest, AStatusOutside2xxIsAFailedUpload)
{
    struct Case {
        const char* pName;
        long nStatus;
        std::string statusLine;
        std::string body;
        std::string message;
    };
    const Case cases[] = {
        {"an error page shows its text", 500, "HTTP/1.1 500 Internal Server Error",
         "<html><h1>Server error</h1> try later</html>", "Server error try later"},
        {"a reply without body shows its status line", 404, "HTTP/1.1 404 Not Found", "", "HTTP/1.1 404 Not Found"},
        {"a page of tags only shows the status line", 403, "HTTP/1.1 403 Forbidden", "<html>\r\n</html>",
         "HTTP/1.1 403 Forbidden"},
        {"a redirect is not followed and fails", 302, "HTTP/1.1 302 Found", "", "HTTP/1.1 302 Found"},
        {"a bare status without status line names its code", 503, "", "", "HTTP status 503"},
    };
    for (const Case& c : cases) {
        CFakeHttpTransport::CScript script = CFakeHttpTransport::Answer(c.nStatus, c.body);
        script.m_reply.m_strStatusLine = c.statusLine;
        transport.Queue(script);
        status.Clear();
        CUploadSession session(transport, status);
        EXPECT_FALSE(session.Upload("h", SomeBody(), message)) << c.pName;
        EXPECT_EQ(status.Last(), "Ringtone upload error !") << c.pName;
        EXPECT_EQ(message, c.message) << c.pName;
    }
}
