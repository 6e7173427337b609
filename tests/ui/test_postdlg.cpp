// The Post Ringtone dialog against a real HTTP server on 127.0.0.1, over libcurl.

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeHttpTransport.h"
#include "tests/support/QtFiles.h"
#include "tests/support/TestHttpServer.h"
#include "ui/ControlIds.h"
#include "ui/PostDlg.h"
#include "upload/CurlHttpTransport.h"

namespace {

QByteArray PackageBytes(qsizetype size)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < size; ++i)
        bytes.append(static_cast<char>((i * 7) & 0xFF));
    return bytes;
}

class PostDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Start());
        m_settings.SetString(kProfileIdentity, kProfileNickname, "zav");
        m_settings.SetString(kProfileIdentity, kProfileEmail, "zav@example.org");
        m_settings.SetString(kProfileIdentity, kProfilePassword, "pw");
        m_settings.SetString(kProfileSystem, kProfileHomeSite, "127.0.0.1");
        Open(m_server.Port(), m_transport);
    }
    void Open(std::uint16_t wPort, CHttpTransport& transport)
    {
        m_pDlg.reset();
        const QString path = m_dir.filePath(QStringLiteral("1700000000"));
        ASSERT_TRUE(WriteFile(path, m_package));
        m_pController = std::make_unique<CPostController>();
        ASSERT_TRUE(m_pController->Open(path.toStdString(), m_settings, m_prompt));
        m_pController->SetUploadOptions({wPort, 5000, 5000});
        m_pDlg = std::make_unique<CPostDlg>(*m_pController, m_settings, m_prompt, transport);
        m_status.clear();
        QObject::connect(m_pDlg.get(), &CPostDlg::statusShown, [this](const QString& text) { m_status << text; });
        m_pDlg->show();
    }

    template <typename W>
    W* Find(int id)
    {
        W* pWidget = m_pDlg->findChild<W*>(ControlName(id));
        EXPECT_NE(pWidget, nullptr) << ControlName(id).toStdString();
        return pWidget;
    }
    QPushButton* PostButton() { return Find<QPushButton>(ControlId::Post::kPost); }
    QPushButton* BackButton() { return Find<QPushButton>(ControlId::Post::kBack); }
    QLineEdit* Name() { return Find<QLineEdit>(ControlId::Post::kToneName); }
    QComboBox* Category() { return Find<QComboBox>(ControlId::Post::kCategory); }
    QString Status() { return Find<QLabel>(ControlId::Post::kStatus)->text(); }
    void Fill(const QString& name = QStringLiteral("Ode"), int category = 1)
    {
        Name()->setText(name);
        Category()->setCurrentIndex(category);
    }
    // Presses POST and waits for the upload's end.
    bool PressPost()
    {
        QSignalSpy finished(m_pDlg.get(), &CPostDlg::postFinished);
        PostButton()->click();
        return finished.count() > 0 || finished.wait(30000);
    }
    const CRecordingPrompt::Entry* LastMessage() const
    {
        return m_prompt.Entries().empty() ? nullptr : &m_prompt.Entries().back();
    }
    std::pair<bool, bool> Buttons() { return {PostButton()->isEnabled(), BackButton()->isEnabled()}; }

    QTemporaryDir m_dir;
    QByteArray m_package = PackageBytes(300);
    CMemorySettingsStore m_settings;
    CRecordingPrompt m_prompt;
    CCurlHttpTransport m_transport;
    CTestHttpServer m_server;
    std::unique_ptr<CPostController> m_pController;
    QStringList m_status;
    std::unique_ptr<CPostDlg> m_pDlg;
};

const QStringList kStepTexts = {"Resolving Zorvat Home Site's IP...", "Got Zorvat Home Site's IP !",
                                "Connecting to Zorvat Home Site...",  "Connected to Zorvat Home Site !",
                                "Uploading data to server...",        "Data uploaded to server !",
                                "Waiting response from server...",    "Got response from server !",
                                "Disconnecting from Zorvat Home Site...", "Disconnected !"};

} // namespace

TEST_F(PostDlgTest, ShowsItsCaptionGroupsFieldsAndButtons)
{
    EXPECT_EQ(m_pDlg->windowTitle(), "Post Ringtone");
    QStringList groups;
    for (const QGroupBox* pGroup : m_pDlg->findChildren<QGroupBox*>())
        groups << pGroup->title();
    EXPECT_EQ(groups, QStringList({"Ringtone Detail", "Upload Status"}));
    QStringList labels;
    for (const QLabel* pLabel : m_pDlg->findChildren<QLabel*>())
        labels << pLabel->text();
    EXPECT_TRUE(labels.contains("Ringtone Name"));
    EXPECT_TRUE(labels.contains("Catergory"));
    EXPECT_EQ(Status(), "Press POST to upload now !");
    EXPECT_EQ(Name()->text(), "");
    QStringList items;
    for (int i = 0; i < Category()->count(); ++i)
        items << Category()->itemText(i);
    EXPECT_EQ(items, QStringList({"English Song", "Chinese Song", "Classical Music", "Others"}));
    EXPECT_EQ(Category()->currentIndex(), -1);
    EXPECT_FALSE(Category()->isEditable());
    EXPECT_EQ(PostButton()->text(), "POST");
    EXPECT_TRUE(PostButton()->isDefault());
    EXPECT_EQ(BackButton()->text(), "Back");
    EXPECT_EQ(Buttons(), std::make_pair(true, true));
}

TEST_F(PostDlgTest, ANameOfThirtyThreeCharactersCannotBeTyped)
{
    QTest::keyClicks(Name(), QString(33, QLatin1Char('a')));
    EXPECT_EQ(Name()->text(), QString(32, QLatin1Char('a')));
}

TEST_F(PostDlgTest, POSTWithoutANameOrACategorySaysWhatIsMissingAndStaysIdle)
{
    PostButton()->click();
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Please key in Ringtone name before post.");
    EXPECT_EQ(LastMessage()->caption, "Name Require");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Information);

    Name()->setText(QStringLiteral(" "));
    PostButton()->click();
    EXPECT_EQ(LastMessage()->text, "Please select a category before you post.");
    EXPECT_EQ(LastMessage()->caption, "Category Require");
    EXPECT_EQ(m_pDlg->State(), PostState::Idle);
    EXPECT_EQ(Buttons(), std::make_pair(true, true));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_TRUE(m_pDlg->isVisible());
}

TEST_F(PostDlgTest, ASuccessfulPostShowsEveryStepInOrderAndTheReplyAndKeepsPOSTDisabled)
{
    m_server.Queue(CTestHttpServer::Answer(200, "OK", "<html><body><b>Thank you</b>, zav!</body></html>"));
    Fill(QStringLiteral("My Ode"), 1);
    PostButton()->click();
    EXPECT_EQ(m_pDlg->State(), PostState::Uploading) << "POST returns at once";
    EXPECT_EQ(Buttons(), std::make_pair(false, false));
    QSignalSpy finished(m_pDlg.get(), &CPostDlg::postFinished);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));

    EXPECT_EQ(m_pDlg->State(), PostState::Posted);
    EXPECT_EQ(Status(), "Ringtone upload successful !");
    EXPECT_EQ(m_status, kStepTexts + QStringList{"Ringtone upload successful !"});
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Thank you, zav!");
    EXPECT_EQ(LastMessage()->caption, "Post Result");
    EXPECT_EQ(Buttons(), std::make_pair(false, true));

    ASSERT_EQ(m_server.Requests().size(), 1u);
    const std::string request = m_server.Requests()[0];
    EXPECT_EQ(request.rfind("POST /examples/servlet/zvtoneload HTTP/1.1\r\n", 0), 0u);
    for (const char* value : {"zav", "pw", "My Ode", "CHINESE"})
        EXPECT_NE(request.find(value), std::string::npos) << value;
    EXPECT_NE(request.find(m_package.toStdString()), std::string::npos) << "the package as read";

    PostButton()->click();
    EXPECT_EQ(m_server.Requests().size(), 1u) << "one dialog posts once";
    BackButton()->click();
    EXPECT_FALSE(m_pDlg->isVisible());
}

TEST_F(PostDlgTest, AServerErrorShowsThePagesTextUnderUploadErrorAndEnablesBothButtons)
{
    m_server.Queue(CTestHttpServer::Answer(500, "Internal Server Error",
                                           "<html><h1>Gallery is down</h1><p>Try later.</p></html>"));
    Fill();
    ASSERT_TRUE(PressPost());
    EXPECT_EQ(m_pDlg->State(), PostState::Failed);
    EXPECT_EQ(Status(), "Ringtone upload error !");
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Gallery is downTry later.");
    EXPECT_EQ(LastMessage()->caption, "Upload Error");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    EXPECT_EQ(Buttons(), std::make_pair(true, true));
}

TEST_F(PostDlgTest, AnUnreachableServerShowsTheReasonAndEnablesBothButtons)
{
    Open(UnusedPort(), m_transport);
    Fill();
    ASSERT_TRUE(PressPost());
    EXPECT_EQ(m_pDlg->State(), PostState::Failed);
    EXPECT_EQ(Status(), "Ringtone upload error !");
    EXPECT_FALSE(m_status.contains("Uploading data to server..."));
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->caption, "Upload Error");
    EXPECT_NE(LastMessage()->text.find("Could not connect to the home site 127.0.0.1:"), std::string::npos)
        << LastMessage()->text;
    EXPECT_EQ(Buttons(), std::make_pair(true, true));
}

TEST_F(PostDlgTest, POSTAfterAFailureSendsTheSameDataAgain)
{
    CFakeHttpTransport fake;
    fake.Queue(CFakeHttpTransport::Fail("Couldn't connect to server", {HttpStep::Resolving, HttpStep::Resolved}));
    fake.Queue(CFakeHttpTransport::Answer(200, "stored"));
    Open(m_server.Port(), fake);
    Fill();
    ASSERT_TRUE(PressPost());
    EXPECT_EQ(m_pDlg->State(), PostState::Failed);
    ASSERT_TRUE(PressPost());
    EXPECT_EQ(m_pDlg->State(), PostState::Posted);
    ASSERT_EQ(fake.Requests().size(), 2u);
    EXPECT_EQ(fake.Requests()[0].m_body, fake.Requests()[1].m_body);
    EXPECT_EQ(fake.Requests()[1].m_wPort, m_server.Port());
    EXPECT_EQ(m_status.last(), "Ringtone upload successful !");
}

TEST_F(PostDlgTest, WhileUploadingTheDialogStaysResponsiveAndCannotBeClosed)
{
    m_server.Queue(CTestHttpServer::Silence());
    Fill();
    QSignalSpy finished(m_pDlg.get(), &CPostDlg::postFinished);
    PostButton()->click();
    // The server has the request but says nothing: the dialog shows how far it got.
    QSignalSpy shown(m_pDlg.get(), &CPostDlg::statusShown);
    for (int i = 0; i < 100 && !m_status.contains("Waiting response from server..."); ++i)
        ASSERT_TRUE(shown.wait(10000));
    EXPECT_TRUE(m_status.contains("Data uploaded to server !"));
    EXPECT_EQ(Status(), "Waiting response from server...");
    EXPECT_EQ(m_pDlg->State(), PostState::Uploading);
    EXPECT_EQ(Buttons(), std::make_pair(false, false));

    m_pDlg->reject();
    QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pDlg->close());
    EXPECT_TRUE(m_pDlg->isVisible());

    // The server goes away: the reply is cut and the transfer fails.
    m_server.Stop();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    EXPECT_EQ(m_pDlg->State(), PostState::Failed);
    EXPECT_EQ(Buttons(), std::make_pair(true, true));
    EXPECT_TRUE(m_pDlg->close());
    EXPECT_FALSE(m_pDlg->isVisible());
}
