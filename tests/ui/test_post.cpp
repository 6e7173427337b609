#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "ringtone/RingtonePackage.h"
#include "tests/ui/RingtoneFixture.h"
#include "upload/MultipartText.h"

namespace {

class PostCommandTest : public RingtoneTest {
protected:
    // The upload's event loop would paint the whole form, which Qt does on its own
    // thread pool, out of ThreadSanitizer's sight; the form is not what is tested.
    void SetUp() override { View().hide(); }
    // The package files (named by the time in seconds) in the temporary directory.
    QStringList Packages() const
    {
        return TempFiles().filter(QRegularExpression(QStringLiteral("^[0-9]+$")));
    }
    QString WritePackage(qsizetype size)
    {
        QString path = TempFile("1700000000");
        EXPECT_TRUE(WriteFile(path, QByteArray(size, 'z')));
        return path;
    }
};

} // namespace

TEST_F(PostCommandTest, EachMissingPieceStopsThePostWithItsMessageInOrder)
{
    const struct {
        const char* name;
        bool bTemp;
        const char* rtttl;
        const char* text;
        const char* caption;
    } cases[] = {
        {"no directory", false, kTypedTone, "Temporary working directory is not set. Please setup first.", "ERROR"},
        {"no directory and an empty box", false, "", "Temporary working directory is not set. Please setup first.",
         "ERROR"},
        {"an empty box", true, "", "No RTTL information.", "SAVE ERROR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompt.Clear();
        SetProfile(c.bTemp);
        Type(QString::fromUtf8(c.rtttl));
        View().OnPostRingtone();
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage()->text, c.text);
        EXPECT_EQ(LastMessage()->caption, c.caption);
        EXPECT_EQ(m_modal.RunCount(), 0);
        EXPECT_TRUE(TempFiles().isEmpty());
    }
}

TEST_F(PostCommandTest, APostWithoutAMediaPlayerUploadsAndLeavesNoFileBehind)
{
    SetProfile(true, false);
    m_settings.SetString(kProfileIdentity, kProfilePassword, "secret");
    m_modal.SetHandler([](QDialog& dlg) { PostFromDialog(dlg, QStringLiteral("My Ode"), 2); });
    Type(QStringLiteral("Tune:d=4,o=5,b=120:4c5,9x,8e5,2g5"));
    View().OnPostRingtone();

    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(' ').toStdString();
    EXPECT_EQ(Rtttl()->toPlainText(), "Tune:d=4,o=5,b=120:4c5,8e5,2g5,");
    EXPECT_TRUE(m_programs.Calls().empty());
    ASSERT_EQ(m_http.Requests().size(), 1u);
    const CHttpRequest& request = m_http.Requests()[0];
    EXPECT_EQ(request.m_strHost, "127.0.0.1");
    EXPECT_EQ(request.m_wPort, 9011);
    const std::string body(request.m_body.begin(), request.m_body.end());
    for (const char* value : {"zav", "secret", "My Ode", "CLASSICAL"})
        EXPECT_NE(body.find(value), std::string::npos) << value;
    EXPECT_EQ(body.find("zav@example.org"), std::string::npos) << "the e-mail address is not sent";
    ASSERT_FALSE(m_prompt.Entries().empty());
    EXPECT_EQ(LastMessage()->caption, "Post Result");
}

TEST_F(PostCommandTest, TheUploadedPackageHoldsThePreviewAndTheRingtone)
{
    SetProfile();
    m_modal.SetHandler([](QDialog& dlg) { PostFromDialog(dlg); });
    Type(QString::fromUtf8(kTypedTone));
    Find<QComboBox>(ControlId::Form::kInstrument)->setCurrentIndex(127);
    View().OnPostRingtone();
    ASSERT_EQ(m_http.Requests().size(), 1u);
    const std::string body(m_http.Requests()[0].m_body.begin(), m_http.Requests()[0].m_body.end());
    // The package is the body's last part: after the file part's head, up to the
    // closing delimiter.
    const std::size_t head = body.find("\r\n\r\n", body.find("filename="));
    const std::size_t tail = body.rfind(kMultipartDelimiter);
    ASSERT_NE(head, std::string::npos);
    ASSERT_NE(tail, std::string::npos);
    const auto* data = reinterpret_cast<const std::uint8_t*>(body.data() + head + 4);
    RingtonePackageParts parts;
    std::string error;
    ASSERT_TRUE(ReadRingtonePackage(data, tail - head - 4, parts, error)) << error;
    ASSERT_GT(parts.midi.size(), 31u);
    EXPECT_EQ(parts.midi[31], 127);
    EXPECT_FALSE(parts.strHex.empty());
}

TEST_F(PostCommandTest, ClosingTheDialogWithoutPostingStillLeavesNoFileBehind)
{
    SetProfile();
    Type(QString::fromUtf8(kTypedTone));
    View().OnPostRingtone();
    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_TRUE(m_http.Requests().empty());
}

TEST_F(PostCommandTest, AMissingNicknameOrEmailKeepsThePackageAndShowsNoDialog)
{
    const struct {
        const char* name;
        const char* key;
        const char* text;
        const char* caption;
    } cases[] = {
        {"no nickname", kProfileNickname, "You have not yet setup your nickname.", "Nickname Error"},
        {"a nickname but no e-mail", kProfileEmail, "You have not yet setup your email address.", "Email Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompt.Clear();
        for (const QString& file : TempFiles())
            QFile::remove(TempFile(file.toUtf8().constData()));
        SetProfile();
        m_settings.SetString(kProfileIdentity, c.key, "");
        Type(QString::fromUtf8(kTypedTone));
        View().OnPostRingtone();
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage()->text, c.text);
        EXPECT_EQ(LastMessage()->caption, c.caption);
        EXPECT_EQ(m_modal.RunCount(), 0);
        EXPECT_EQ(Packages().size(), 1) << "the package stays";
        EXPECT_EQ(TempFiles().size(), 1) << "without the preview and the hex file";
        EXPECT_EQ(Rtttl()->toPlainText(), "Tune:d=4,o=5,b=120:4c5,8e5,2g5,") << "the conversion succeeded";
    }
}

TEST_F(PostCommandTest, APackageOf2048BytesIsTakenAndOneOf2049IsRefused)
{
    SetProfile();
    const QString accepted = WritePackage(2048);
    EXPECT_TRUE(View().OpenPostDialog(accepted.toStdString()));
    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_FALSE(QFile::exists(accepted)) << "read and deleted";
    EXPECT_TRUE(m_prompt.Entries().empty());

    const QString refused = WritePackage(2049);
    EXPECT_FALSE(View().OpenPostDialog(refused.toStdString()));
    EXPECT_EQ(m_modal.RunCount(), 1);
    EXPECT_TRUE(QFile::exists(refused));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "Upload data exceeded size limit.");
    EXPECT_EQ(LastMessage()->caption, "Upload Error");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
}
