#pragma once
// The form's ringtone commands with fake services and a temporary TEMP directory:
// a recorded tune, an RTTTL box to type into, and the files the commands leave.

#include <QDir>
#include <QSignalSpy>
#include <QStringList>
#include <gtest/gtest.h>

#include "settings/ProfileKeys.h"
#include "tests/support/ViewFixture.h"
#include "ui/PostDlg.h"

inline constexpr char kTypedTone[] = "Tune:d=4,o=5,b=120:4c5,8e5,2g5";
inline constexpr char kPlayerPath[] = "/opt/player/bin/play-it";

class RingtoneTest : public ViewTest {
protected:
    RingtoneTest() { EXPECT_TRUE(QDir().mkpath(TempDir())); }

    QString TempDir() const { return m_dir.filePath(QStringLiteral("work")); }
    void SetProfile(bool bTemp = true, bool bPlayer = true)
    {
        m_settings.SetString(kProfileSystem, kProfileTempDir, bTemp ? TempDir().toStdString() : std::string());
        m_settings.SetString(kProfileSystem, kProfileMediaPlayer, bPlayer ? kPlayerPath : "");
        m_settings.SetString(kProfileIdentity, kProfileNickname, "zav");
        m_settings.SetString(kProfileIdentity, kProfileEmail, "zav@example.org");
        m_settings.SetString(kProfileSystem, kProfileHomeSite, "127.0.0.1");
    }
    // Types `text` into the RTTTL box, as after a recording.
    void Type(const QString& text)
    {
        (void)View();
        Rtttl()->setEnabled(true);
        Rtttl()->setPlainText(text);
    }
    QStringList TempFiles() const
    {
        return QDir(TempDir()).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    QString TempFile(const char* name) const { return QDir(TempDir()).filePath(QString::fromUtf8(name)); }
    bool HasMessage(const std::string& text) const
    {
        for (const auto& entry : m_prompt.Entries())
            if (entry.text == text)
                return true;
        return false;
    }
};

// Fills the Post dialog, presses POST and waits for the upload's end.
inline void PostFromDialog(QDialog& dlg, const QString& name = QStringLiteral("Ode"), int category = 0)
{
    auto& post = dynamic_cast<CPostDlg&>(dlg);
    post.findChild<QLineEdit*>(ControlName(ControlId::Post::kToneName))->setText(name);
    post.findChild<QComboBox*>(ControlName(ControlId::Post::kCategory))->setCurrentIndex(category);
    QSignalSpy finished(&post, &CPostDlg::postFinished);
    post.findChild<QPushButton*>(ControlName(ControlId::Post::kPost))->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
}
