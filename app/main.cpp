// zorvattone: the desktop program.

#include <QApplication>
#include <QIcon>

#include "app/MainFrame.h"
#include "app/ZorvatToneApp.h"
#include "engine/devices/SystemMidiOutput.h"
#include "engine/sequencer/RealtimeClock.h"
#include "settings/IniSettingsStore.h"
#include "settings/ProfileKeys.h"
#include "ui/ExecModalRunner.h"
#include "ui/QtFileChooser.h"
#include "ui/QtPrompt.h"
#include "ui/SpawnProgramStarter.h"
#include "upload/CurlHttpTransport.h"

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZorvatTone"));
    QApplication::setApplicationVersion(QStringLiteral("0.99"));
    // Drawn where Qt has its SVG plugin; the desktop entry names the installed one.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zorvattone.svg")));

    CIniSettingsStore settings;
    CQtPrompt prompt;
    CQtFileChooser files;
    CExecModalRunner modal;
    // The profile is read at each opening, so a choice made in Setup counts at the next Play.
    std::unique_ptr<CMidiOutput> output = MakeSystemMidiOutput([&settings] {
        return SoundChoice{settings.GetString(kProfileOptions, kProfileSoundOutput),
                           settings.GetString(kProfileOptions, kProfileSoundFont)};
    });
    CRealtimeClock clock;
    CSpawnProgramStarter programs;
    CCurlHttpTransport http;
    CUiServices services{settings, prompt, files, modal, *output, clock, programs, http};

    CZorvatToneApp app(services);
    if (!app.InitInstance(QApplication::arguments()))
        return 1;
    prompt.SetOwner(app.GetMainFrame());
    return QApplication::exec();
}
