#include "upload/DiagnosticPost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakeHttpTransport.h"
#include "tests/support/TestHttpServer.h"
#include "upload/CurlHttpTransport.h"

TEST(DiagnosticPost, SendsTheFixedBodyToTheTestServer)
{
    CFakeHttpTransport transport;
    CRecordingPrompt prompt;
    EXPECT_TRUE(RunDiagnosticPost(transport, prompt));
    ASSERT_EQ(transport.Requests().size(), 1u);
    const CHttpRequest& request = transport.Requests()[0];
    EXPECT_EQ(request.m_strHost, kDiagnosticPostHost);
    EXPECT_EQ(request.m_wPort, 9010);
    EXPECT_EQ(request.m_strPath, "/servlet/zvtoneload");
    EXPECT_EQ(request.m_nConnectTimeoutMs, 5000);
    EXPECT_EQ(request.m_nMaxReplyBytes, 10240u);
    EXPECT_EQ(request.m_body, BuildDiagnosticPostBody());
    EXPECT_TRUE(prompt.Entries().empty());
}

TEST(DiagnosticPost, OverTheNetworkTheBodyArrivesWhole)
{
    CTestHttpServer server;
    ASSERT_TRUE(server.Start());
    server.Queue(CTestHttpServer::Answer(200, "OK", std::string(12000, 'r')));
    CCurlHttpTransport transport;
    CRecordingPrompt prompt;
    EXPECT_TRUE(RunDiagnosticPost(transport, prompt, {"127.0.0.1", server.Port(), 2000}));
    EXPECT_TRUE(prompt.Entries().empty());
    ASSERT_EQ(server.Requests().size(), 1u);
    std::string request = server.Requests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /servlet/zvtoneload HTTP/1.1");
    std::vector<unsigned char> body = BuildDiagnosticPostBody();
    EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), std::string(body.begin(), body.end()));
}

TEST(DiagnosticPost, AFailureShowsErrorUnderError)
{
    struct Case {
        const char* pName;
        CFakeHttpTransport::CScript script;
    };
    const Case cases[] = {
        {"a failed transfer", CFakeHttpTransport::Fail("Couldn't connect to server", {})},
        {"an error status", CFakeHttpTransport::Answer(500, "<h1>down</h1>")},
    };
    for (const Case& c : cases) {
        CFakeHttpTransport transport;
        transport.Queue(c.script);
        CRecordingPrompt prompt;
        EXPECT_FALSE(RunDiagnosticPost(transport, prompt)) << c.pName;
        ASSERT_EQ(prompt.Entries().size(), 1u) << c.pName;
        EXPECT_EQ(prompt.Entries()[0].text, "error") << c.pName;
        EXPECT_EQ(prompt.Entries()[0].caption, "error") << c.pName;
        EXPECT_EQ(prompt.Entries()[0].icon, PromptIcon::Stop) << c.pName;
    }
}
