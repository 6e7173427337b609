#include "upload/PostController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FakeHttpTransport.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "upload/PostOpenHandler.h"
#include "upload/UploadBody.h"
#include "upload/UploadStatusText.h"

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> PackageBytes(std::size_t nBytes)
{
    std::vector<unsigned char> data(nBytes);
    for (std::size_t i = 0; i < nBytes; ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    return data;
}

struct PostControllerTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_FALSE(dir.Path().empty());
        settings.SetString("IDENTITY", "NICKNAME", "nick");
        settings.SetString("IDENTITY", "EMAIL", "nick@example.net");
        settings.SetString("IDENTITY", "PASSWD", "secret");
        settings.SetString("SYSTEM", "EMAIL", "gallery.example");
    }

    std::string WritePackage(std::size_t nBytes)
    {
        std::string path = dir.File("1700000000");
        EXPECT_TRUE(WriteBytes(path, PackageBytes(nBytes)));
        return path;
    }

    // An opened controller with a name and a category, ready to post.
    void OpenReady(std::size_t nBytes = 3) { OpenReady(nBytes, controller); }
    void OpenReady(std::size_t nBytes, CPostController& post)
    {
        ASSERT_TRUE(post.Open(WritePackage(nBytes), settings, prompt));
        post.SetToneName("My Tone");
        post.SetCategory(1);
        prompt.Clear();
    }

    CTempDir dir;
    CMemorySettingsStore settings;
    CRecordingPrompt prompt;
    CPostController controller;
    CFakeHttpTransport transport;
    CRecordingStatusLine status;
};

} // namespace

TEST_F(PostControllerTest, OpeningReadsTheIdentityAndTheWholePackageThenDeletesIt)
{
    std::string path = WritePackage(2048);
    ASSERT_TRUE(controller.Open(path, settings, prompt));
    EXPECT_TRUE(prompt.Entries().empty());
    EXPECT_EQ(controller.Nickname(), "nick");
    EXPECT_EQ(controller.Email(), "nick@example.net");
    EXPECT_EQ(controller.Password(), "secret");
    EXPECT_EQ(controller.PackagePath(), path);
    EXPECT_EQ(controller.Data(), PackageBytes(2048));
    EXPECT_EQ(controller.ToneName(), "");
    EXPECT_EQ(controller.Category(), -1);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(controller.State(), PostState::Idle);
    EXPECT_TRUE(controller.PostEnabled());
    EXPECT_TRUE(controller.BackEnabled());
}

TEST_F(PostControllerTest, OpeningStopsAtTheFirstFailedCheckAndKeepsThePackage)
{
    struct Case {
        const char* pName;
        const char* pNickname;
        const char* pEmail;
        std::size_t nBytes;
        const char* pText;
        const char* pCaption;
    };
    const Case cases[] = {
        {"no nickname comes first, even with a package too large", "", "", 5000,
         "You have not yet setup your nickname.", "Nickname Error"},
        {"a nickname without e-mail", "nick", "", 10, "You have not yet setup your email address.", "Email Error"},
        {"a package of 2049 bytes", "nick", "n@x", 2049, "Upload data exceeded size limit.", "Upload Error"},
        {"a package far too large", "nick", "n@x", 1 << 20, "Upload data exceeded size limit.", "Upload Error"},
    };
    for (const Case& c : cases) {
        settings.SetString("IDENTITY", "NICKNAME", c.pNickname);
        settings.SetString("IDENTITY", "EMAIL", c.pEmail);
        std::string path = WritePackage(c.nBytes);
        CRecordingPrompt casePrompt;
        CPostController caseController;
        EXPECT_FALSE(caseController.Open(path, settings, casePrompt)) << c.pName;
        ASSERT_EQ(casePrompt.Entries().size(), 1u) << c.pName;
        EXPECT_EQ(casePrompt.Entries()[0].text, c.pText) << c.pName;
        EXPECT_EQ(casePrompt.Entries()[0].caption, c.pCaption) << c.pName;
        EXPECT_EQ(casePrompt.Entries()[0].icon, PromptIcon::Stop) << c.pName;
        EXPECT_TRUE(fs::exists(path)) << c.pName;
        EXPECT_FALSE(caseController.Post(settings, transport, status, casePrompt)) << c.pName;
    }
    EXPECT_TRUE(transport.Requests().empty());
}

TEST_F(PostControllerTest, APackageThatCannotBeReadIsReportedClearly)
{
    struct Case {
        const char* pName;
        std::string path;
    };
    const Case cases[] = {
        {"a missing file", dir.File("missing")},
        {"a directory", dir.Path()},
    };
    for (const Case& c : cases) {
        CRecordingPrompt casePrompt;
        EXPECT_FALSE(controller.Open(c.path, settings, casePrompt)) << c.pName;
        ASSERT_EQ(casePrompt.Entries().size(), 1u) << c.pName;
        EXPECT_EQ(casePrompt.Entries()[0].caption, "Upload Error") << c.pName;
        EXPECT_EQ(casePrompt.Entries()[0].icon, PromptIcon::Stop) << c.pName;
        EXPECT_NE(casePrompt.Entries()[0].text.find("Cannot read the ringtone package " + c.path), std::string::npos)
            << casePrompt.Entries()[0].text;
    }
    EXPECT_TRUE(fs::exists(dir.Path()));
}

TEST_F(PostControllerTest, AnEmptyPackageAndAnEmptyPasswordAreAccepted)
{
    settings.SetString("IDENTITY", "PASSWD", "");
    OpenReady(0);
    ASSERT_TRUE(controller.Post(settings, transport, status, prompt));
    std::string body(transport.Requests()[0].m_body.begin(), transport.Requests()[0].m_body.end());
    EXPECT_NE(body.find("name=\"password\"\r\n\r\n\r\n"), std::string::npos);
}

TEST_F(PostControllerTest, PostChecksTheNameThenTheCategoryAndStaysIdle)
{
    struct Case {
        const char* pName;
        std::string toneName;
        int nCategory;
        const char* pText;
        const char* pCaption;
    };
    const Case cases[] = {
        {"no name and no category asks for the name", "", -1, "Please key in Ringtone name before post.",
         "Name Require"},
        {"a name without category asks for the category", "Tone", -1, "Please select a category before you post.",
         "Category Require"},
        {"a category without name asks for the name", "", 2, "Please key in Ringtone name before post.",
         "Name Require"},
    };
    OpenReady();
    for (const Case& c : cases) {
        controller.SetToneName(c.toneName);
        controller.SetCategory(c.nCategory);
        prompt.Clear();
        EXPECT_FALSE(controller.Post(settings, transport, status, prompt)) << c.pName;
        ASSERT_EQ(prompt.Entries().size(), 1u) << c.pName;
        EXPECT_EQ(prompt.Entries()[0].text, c.pText) << c.pName;
        EXPECT_EQ(prompt.Entries()[0].caption, c.pCaption) << c.pName;
        EXPECT_EQ(prompt.Entries()[0].icon, PromptIcon::Information) << c.pName;
        EXPECT_EQ(controller.State(), PostState::Idle) << c.pName;
    }
    EXPECT_TRUE(transport.Requests().empty());
    EXPECT_TRUE(status.Texts().empty());
}

TEST_F(PostControllerTest, ASingleBlankIsAName)
{
    OpenReady();
    controller.SetToneName(" ");
    EXPECT_TRUE(controller.Post(settings, transport, status, prompt));
}

TEST_F(PostControllerTest, ThePostSendsIdentityNameCategoryAndPackageToTheHomeSite)
{
    OpenReady(5);
    controller.SetCategory(2);
    ASSERT_TRUE(controller.Post(settings, transport, status, prompt));
    ASSERT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(transport.Requests()[0].m_strHost, "gallery.example");
    EXPECT_EQ(transport.Requests()[0].m_body,
              BuildUploadBody("nick", "secret", "My Tone", "CLASSICAL", PackageBytes(5)));
}

TEST_F(PostControllerTest, TheHomeSiteIsReadWhenPostIsPressed)
{
    OpenReady();
    settings.SetString("SYSTEM", "EMAIL", "10.1.2.3");
    ASSERT_TRUE(controller.Post(settings, transport, status, prompt));
    EXPECT_EQ(transport.Requests()[0].m_strHost, "10.1.2.3");
}

// The home site may name its port, as the tool's --host does; a bare IPv6 address
// names none. A port that is no port is said, and nothing is sent.
TEST_F(PostControllerTest, TheHomeSiteMayNameItsPort)
{
    const struct {
        const char* site;
        const char* host;
        std::uint16_t port;
    } cases[] = {{"gallery.example:8080", "gallery.example", 8080},
                 {"[::1]:9123", "::1", 9123},
                 {"::1", "::1", 9011},
                 {"10.1.2.3", "10.1.2.3", 9011}};
    for (const auto& c : cases) {
        CFakeHttpTransport sent;
        CPostController post;
        OpenReady(1, post);
        settings.SetString("SYSTEM", "EMAIL", c.site);
        ASSERT_TRUE(post.Post(settings, sent, status, prompt)) << c.site;
        ASSERT_EQ(sent.Requests().size(), 1u) << c.site;
        EXPECT_EQ(sent.Requests()[0].m_strHost, c.host) << c.site;
        EXPECT_EQ(sent.Requests()[0].m_wPort, c.port) << c.site;
    }
    OpenReady();
    settings.SetString("SYSTEM", "EMAIL", "gallery.example:http");
    EXPECT_FALSE(controller.Post(settings, transport, status, prompt));
    EXPECT_TRUE(transport.Requests().empty());
    ASSERT_FALSE(prompt.Entries().empty());
    EXPECT_NE(prompt.Entries().back().text.find("is not a host name or HOST:PORT"), std::string::npos);
}

TEST_F(PostControllerTest, ASuccessShowsThePostResultAndNeverEnablesPostAgain)
{
    transport.Queue(CFakeHttpTransport::Answer(200, "<p>Thank you</p>"));
    OpenReady();
    ASSERT_TRUE(controller.Post(settings, transport, status, prompt));
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].text, "Thank you");
    EXPECT_EQ(prompt.Entries()[0].caption, "Post Result");
    EXPECT_EQ(prompt.Entries()[0].icon, PromptIcon::Information);
    EXPECT_EQ(status.Last(), kStatusPosted);
    EXPECT_EQ(controller.State(), PostState::Posted);
    EXPECT_FALSE(controller.PostEnabled());
    EXPECT_TRUE(controller.BackEnabled());

    controller.SetToneName("Another");
    EXPECT_FALSE(controller.Post(settings, transport, status, prompt));
    EXPECT_FALSE(controller.BeginPost(settings, prompt));
    EXPECT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(controller.State(), PostState::Posted);
}

TEST_F(PostControllerTest, AFailureEnablesBothButtonsAndPostSendsTheSameDataAgain)
{
    transport.Queue(CFakeHttpTransport::Fail("Couldn't connect to server", {HttpStep::Resolving}));
    transport.Queue(CFakeHttpTransport::Answer(200, "ok"));
    OpenReady();
    EXPECT_FALSE(controller.Post(settings, transport, status, prompt));
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].text, "Couldn't connect to server");
    EXPECT_EQ(prompt.Entries()[0].caption, "Upload Error");
    EXPECT_EQ(prompt.Entries()[0].icon, PromptIcon::Stop);
    EXPECT_EQ(status.Last(), kStatusFailed);
    EXPECT_EQ(controller.State(), PostState::Failed);
    EXPECT_TRUE(controller.PostEnabled());
    EXPECT_TRUE(controller.BackEnabled());

    EXPECT_TRUE(controller.Post(settings, transport, status, prompt));
    ASSERT_EQ(transport.Requests().size(), 2u);
    EXPECT_EQ(transport.Requests()[0].m_body, transport.Requests()[1].m_body);
    EXPECT_EQ(controller.State(), PostState::Posted);
}

TEST_F(PostControllerTest, ARefusedUploadIsAFailure)
{
    transport.Queue(CFakeHttpTransport::Answer(500, "<h1>Database down</h1>"));
    OpenReady();
    EXPECT_FALSE(controller.Post(settings, transport, status, prompt));
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].text, "Database down");
    EXPECT_EQ(prompt.Entries()[0].caption, "Upload Error");
    EXPECT_EQ(controller.State(), PostState::Failed);
}

namespace {

// Looks at the controller while the transfer runs.
class CWatchingTransport final : public CHttpTransport {
public:
    explicit CWatchingTransport(const CPostController& controller) : m_controller(controller) {}
    [[nodiscard]] bool Post(const CHttpRequest&, CHttpStepSink&, CHttpReply& reply) override
    {
        m_state = m_controller.State();
        m_bPostEnabled = m_controller.PostEnabled();
        m_bBackEnabled = m_controller.BackEnabled();
        reply.m_nStatus = 200;
        return true;
    }
    const CPostController& m_controller;
    PostState m_state = PostState::Idle;
    bool m_bPostEnabled = true;
    bool m_bBackEnabled = true;
};

} // namespace

TEST_F(PostControllerTest, BothButtonsAreDisabledWhileUploading)
{
    OpenReady();
    CWatchingTransport watching(controller);
    ASSERT_TRUE(controller.Post(settings, watching, status, prompt));
    EXPECT_EQ(watching.m_state, PostState::Uploading);
    EXPECT_FALSE(watching.m_bPostEnabled);
    EXPECT_FALSE(watching.m_bBackEnabled);
}

TEST_F(PostControllerTest, TheTransferCanRunOnAnotherThread)
{
    OpenReady();
    ASSERT_TRUE(controller.BeginPost(settings, prompt));
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        controller.Transfer(transport, status);
        bDone = true;
    });
    // The dialog keeps reading the state while the worker runs.
    bool bAlwaysUploading = true;
    while (!bDone)
        bAlwaysUploading = bAlwaysUploading && controller.State() == PostState::Uploading && !controller.BackEnabled();
    worker.join();
    EXPECT_TRUE(bAlwaysUploading);
    EXPECT_EQ(controller.State(), PostState::Uploading);
    controller.FinishPost(prompt);
    EXPECT_EQ(controller.State(), PostState::Posted);
    EXPECT_EQ(status.Last(), kStatusPosted);
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].caption, "Post Result");
}

TEST_F(PostControllerTest, FinishAndTransferDoNothingOutsideAnUpload)
{
    OpenReady();
    controller.Transfer(transport, status);
    controller.FinishPost(prompt);
    EXPECT_TRUE(transport.Requests().empty());
    EXPECT_TRUE(prompt.Entries().empty());
    EXPECT_EQ(controller.State(), PostState::Idle);
}

TEST_F(PostControllerTest, TheOpenHandlerRunsTheDialogOnlyWhenTheChecksPass)
{
    int nRuns = 0;
    std::vector<unsigned char> seen;
    CPostOpenHandler handler(settings, prompt, [&](CPostController& opened) {
        ++nRuns;
        seen = opened.Data();
    });
    EXPECT_TRUE(handler.OpenPost(WritePackage(4), "MyTone"));
    EXPECT_EQ(nRuns, 1);
    EXPECT_EQ(seen, PackageBytes(4));

    settings.SetString("IDENTITY", "EMAIL", "");
    EXPECT_FALSE(handler.OpenPost(WritePackage(4), "MyTone"));
    EXPECT_EQ(nRuns, 1);
    ASSERT_EQ(prompt.Entries().size(), 1u);
    EXPECT_EQ(prompt.Entries()[0].caption, "Email Error");
}
