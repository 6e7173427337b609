#pragma once
// The whole program with fake services: start-up, main window and form.

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

#include "app/MainFrame.h"
#include "app/ZorvatToneApp.h"
#include "settings/ProfileKeys.h"
#include "tests/support/ViewFixture.h"
#include "ui/ControlIds.h"

class AppTest : public ViewTest {
protected:
    void CompleteProfile()
    {
        m_settings.SetString(kProfileIdentity, kProfileNickname, "zav");
        m_settings.SetString(kProfileIdentity, kProfileEmail, "zav@example.org");
        m_settings.SetString(kProfileSystem, kProfileHomeSite, "127.0.0.1");
        m_settings.SetString(kProfileSystem, kProfileTempDir, "/tmp");
        m_settings.SetString(kProfileSystem, kProfileMediaPlayer, "/usr/bin/zorvattone-play");
    }
    bool Start(const QStringList& files = {})
    {
        m_pApp = std::make_unique<CZorvatToneApp>(m_services);
        return m_pApp->InitInstance(QStringList{QStringLiteral("zorvattone")} + files);
    }
    CMainFrame& Frame() { return *m_pApp->GetMainFrame(); }
    CZorvatToneView& AppView() { return Frame().GetView(); }
    QAction* Command(int id) { return Frame().findChild<QAction*>(CommandName(id)); }

    std::unique_ptr<CZorvatToneApp> m_pApp;
};
