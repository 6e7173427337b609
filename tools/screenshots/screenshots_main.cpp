// zorvattone-screenshots: takes the README's pictures of the desktop program with
// its real windows on fake services (no sound device, no network needed): the main
// window after a recording of the demo song's melody with its rhythm kept, the Post Ringtone dialog after
// an upload, Export Ringtone's file types with the devices (screenshot-export.png) and Export Song
// Ringtone's (screenshot-song-ringtone.png), the Setup dialog, the How To box and the About box. Writes nothing outside OUTPUT_DIR and a
// temporary directory of its own. With a second song, also the main window on it
// (screenshot-song.png): the suggestion taken, the start where its tune begins, the
// recording kept to one message.
// usage: zorvattone-screenshots OUTPUT_DIR DEMO.mid [SONG.mid]

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/ZorvatToneApp.h"
#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/SilentMidiOutput.h"
#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeHttpTransport.h"
#include "tests/support/FakeModalRunner.h"
#include "tests/support/FakeProgramStarter.h"
#include "ui/ControlIds.h"
#include "ui/FileChooser.h"
#include "ui/HowToDlg.h"
#include "ui/PostDlg.h"
#include "ui/SetupDefaults.h"
#include "ui/SetupDlg.h"
#include "ui/ZorvatToneView.h"

namespace {

constexpr int kNeverMs = 3600 * 1000;
constexpr int kRecordSeconds = 12;
constexpr int kStepsPerSecond = 200;
constexpr int kFlute = 73;
constexpr int kSettleMs = 400;

// Lets the X server map and paint what was shown: a busy machine needs more than a
// few turns of the event loop.
void Settle()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kSettleMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool Save(QWidget& window, const QDir& dir, const char* name)
{
    Settle();
    const QString path = dir.filePath(QString::fromUtf8(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "zorvattone-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

template <typename W>
W* Control(QWidget& parent, int id)
{
    return parent.findChild<W*>(ControlName(id));
}

void FillProfile(CMemorySettingsStore& settings, const QString& tempDir)
{
    settings.SetString(kProfileIdentity, kProfileNickname, "zavi");
    settings.SetString(kProfileIdentity, kProfileEmail, "zavi@example.org");
    settings.SetString(kProfileIdentity, kProfilePassword, "secret");
    settings.SetString(kProfileSystem, kProfileHomeSite, kDefaultHomeSite);
    settings.SetString(kProfileSystem, kProfileTempDir, tempDir.toStdString());
    settings.SetString(kProfileSystem, kProfileMediaPlayer, "/usr/bin/zorvattone-play");
}

// The suggested channel alone, with its rhythm kept, from second 0 for a few
// seconds, on the instant clock.
void Record(CZorvatToneView& view, CManualClock& clock)
{
    view.findChild<QPushButton*>(QStringLiteral("takeSuggestion"))->click();
    view.findChild<QCheckBox*>(QStringLiteral("keepRhythm"))->setChecked(true);
    view.OnPlay();
    for (int s = 0; s < kRecordSeconds; ++s) {
        clock.Step(kStepsPerSecond);
        view.OnTimer();
    }
    view.OnStop();
    Control<QComboBox>(view, ControlId::Form::kInstrument)->setCurrentIndex(kFlute);
}

// The suggested channel alone, from the bar where its tune begins, fitted to one
// message, recorded without playing.
void RecordFitted(CZorvatToneView& view)
{
    view.findChild<QPushButton*>(QStringLiteral("takeSuggestion"))->click();
    view.findChild<QCheckBox*>(QStringLiteral("keepRhythm"))->setChecked(true);
    view.findChild<QCheckBox*>(QStringLiteral("fitOneMessage"))->setChecked(true);
    view.findChild<QPushButton*>(QStringLiteral("startAtTune"))->click();
    view.findChild<QPushButton*>(QStringLiteral("recordWithoutPlaying"))->click();
}

// Export Ringtone's save dialog as Qt draws it, its file types open, taken from the
// screen (the list is a window of its own); then cancelled. No other dialog is asked.
class CExportPicture final : public CFileChooser {
public:
    explicit CExportPicture(const QDir& out) : m_out(out) {}

    [[nodiscard]] bool Ok() const { return m_bOk; }

    bool GetOpenFileName(QWidget*, const QString&, const QString&, const QString&, QString&) override { return false; }
    bool GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter, const QString&,
                         const QString& initialPath, QString&, QString*) override
    {
        // An empty folder of its own, so that nothing of the machine's shows.
        QTemporaryDir folder;
        QFileDialog dlg(owner, caption, folder.path(), filter);
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.selectFile(initialPath);
        dlg.resize(900, 380);
        dlg.show();
        Settle();
        auto* types = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (types)
            types->showPopup();
        Settle();
        const QRect area = dlg.frameGeometry().adjusted(0, 0, 0, 440);
        const bool bSong = caption.contains(QStringLiteral("Song"));
        const QString path =
            m_out.filePath(bSong ? QStringLiteral("screenshot-song-ringtone.png") : QStringLiteral("screenshot-export.png"));
        m_bOk = (m_bOk || !bSong) && types && QGuiApplication::primaryScreen()
                             ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                             .save(path);
        if (m_bOk)
            std::printf("%s\n", qPrintable(path));
        if (types)
            types->hidePopup();
        return false;
    }

private:
    QDir m_out;
    bool m_bOk = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: zorvattone-screenshots OUTPUT_DIR DEMO.mid [SONG.mid]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString song = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    const QString tempDir = scratch.path();

    CMemorySettingsStore settings;
    FillProfile(settings, tempDir);
    CRecordingPrompt prompt;
    CExportPicture files(out);
    CFakeModalRunner modal;
    CSilentMidiOutput output;
    CManualClock clock;
    CFakeProgramStarter programs;
    CFakeHttpTransport http;
    http.Queue(CFakeHttpTransport::Answer(200, "<html>Ringtone stored. Thank you, zavi!</html>"));
    CUiServices services{settings, prompt, files, modal, output, clock, programs, http, kNeverMs, kNeverMs};

    CZorvatToneApp app(services);
    if (!app.InitInstance({QStringLiteral("zorvattone"), song})) {
        std::fprintf(stderr, "zorvattone-screenshots: cannot open %s\n", qPrintable(song));
        return 1;
    }
    CMainFrame& frame = *app.GetMainFrame();
    CZorvatToneView& view = frame.GetView();
    Record(view, clock);
    bool bOk = Save(frame, out, "screenshot-main.png");
    if (argc == 4) {
        if (!view.OpenMidiFile(QString::fromLocal8Bit(argv[3]).toStdString())) {
            std::fprintf(stderr, "zorvattone-screenshots: cannot open %s\n", argv[3]);
            return 1;
        }
        RecordFitted(view);
        bOk = Save(frame, out, "screenshot-song.png") && bOk;
        (void)view.OpenMidiFile(song.toStdString());
        Record(view, clock);
    }

    modal.SetHandler([&](QDialog& dlg) {
        auto& post = dynamic_cast<CPostDlg&>(dlg);
        post.show();
        Control<QLineEdit>(post, ControlId::Post::kToneName)->setText(QStringLiteral("Ode to Joy"));
        Control<QComboBox>(post, ControlId::Post::kCategory)->setCurrentIndex(2);
        QSignalSpy finished(&post, &CPostDlg::postFinished);
        Control<QPushButton>(post, ControlId::Post::kPost)->click();
        if (finished.count() == 0)
            (void)finished.wait(10000);
        bOk = Save(post, out, "screenshot-post.png") && bOk;
    });
    view.OnPostRingtone();

    view.OnExportRingtone();
    view.OnExportSongRingtone();
    bOk = files.Ok() && bOk;

    // The directory the Setup dialog offers, not the scratch one used above.
    settings.SetString(kProfileSystem, kProfileTempDir, DefaultTempDirectory());
    CSetupDlg setup(settings, prompt, files, false, &frame);
    setup.show();
    bOk = Save(setup, out, "screenshot-setup.png") && bOk;
    setup.hide();

    CHowToDlg howTo(&frame);
    howTo.show();
    bOk = Save(howTo, out, "screenshot-howto.png") && bOk;
    howTo.hide();
    CAboutDlg about(&frame);
    about.show();
    bOk = Save(about, out, "screenshot-about.png") && bOk;
    return bOk ? 0 : 1;
}
