#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "convert/RingtoneConverter.h"
#include "fileio/FileReplacer.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "ui/HowToDlg.h"
#include "ui/ModalRunner.h"
#include "ui/PostDlg.h"
#include "ui/ProgramStarter.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"
#include "upload/DiagnosticPost.h"
#include "upload/PostOpenHandler.h"

namespace {

constexpr char kNoTempDir[] = "Temporary working directory is not set. Please setup first.";
constexpr char kNoRtttl[] = "No RTTL information.";
constexpr char kRtttlFile[] = "ZvTone.nok";
constexpr char kPduFile[] = "zorvat.pdu";
constexpr char kPduToneName[] = "MyTone";
// How often Stop Listening looks whether the player still plays.
constexpr int kListenPollMs = 500;
constexpr char kFileViewer[] = "xdg-open";

} // namespace

std::string CZorvatToneView::GetProfile(const char* section, const char* key) const
{
    return m_services.m_settings.GetString(section, key);
}

void CZorvatToneView::ApplyInstrument(CRingtoneConverter& converter) const
{
    // Positions follow the General MIDI program order, so a position is the program.
    const int position = m_pInstrument->currentIndex();
    if (position >= 0 && position < 128)
        converter.SetProgram(static_cast<std::uint8_t>(position));
}

bool CZorvatToneView::RunConversion(CRingtoneConverter& converter, const std::string& outputPath)
{
    const bool bConverted = converter.Convert(m_strRtttl, outputPath);
    ShowDropped(converter);
    if (!bConverted) {
        // The box keeps what the user typed.
        UpdateData(true);
        return false;
    }
    UpdateData(false);
    return true;
}

void CZorvatToneView::OnListen()
{
    UpdateData(true);
    const std::string tempDir = GetProfile(kProfileSystem, kProfileTempDir);
    if (tempDir.empty()) {
        m_services.m_prompt.Show(kNoTempDir, kErrorCaption, PromptIcon::Stop);
        return;
    }
    const std::string player = GetProfile(kProfileSystem, kProfileMediaPlayer);
    if (player.empty()) {
        m_services.m_prompt.Show("Media player is not specified. Please setup first.", kErrorCaption, PromptIcon::Stop);
        return;
    }
    if (m_strRtttl.empty()) {
        m_services.m_prompt.Show(kNoRtttl, "LISTEN ERROR", PromptIcon::Stop);
        return;
    }
    CRingtoneConverter converter(m_strRtttl, m_doc.GetSong().GetDivision(), m_services.m_settings,
                                 m_services.m_prompt);
    ApplyInstrument(converter);
    // A failed or cancelled conversion leaves no preview worth playing: an old one,
    // or one cut short.
    if (!RunConversion(converter, std::string()))
        return;
    StartPlayer(player, CRingtoneConverter::MidiPathIn(tempDir));
}

void CZorvatToneView::StartPlayer(const std::string& player, const std::string& previewPath)
{
    const CProgramStartResult started = m_preview.Start(player, previewPath);
    ShowListening();
    switch (started.m_result) {
    case ProgramStart::kStarted:
        m_listenTimer.start(kListenPollMs);
        return;
    case ProgramStart::kInvalidProgram:
        m_services.m_prompt.Show("Invalid media player. Please setup.", kErrorCaption, PromptIcon::Stop);
        return;
    case ProgramStart::kOutOfMemory:
        m_services.m_prompt.Show("Out of memory.", kErrorCaption, PromptIcon::Stop);
        return;
    case ProgramStart::kFailed:
        // A player that did not start is worth a word even when the reason is rare.
        m_services.m_prompt.Show("Cannot start the media player: " +
                                     std::generic_category().message(started.m_nError) + ".",
                                 kErrorCaption, PromptIcon::Stop);
        return;
    }
}

void CZorvatToneView::OnStopListening()
{
    m_preview.Stop();
    ShowListening();
}

void CZorvatToneView::ShowListening()
{
    const bool bPlaying = m_preview.IsPlaying();
    if (!bPlaying)
        m_listenTimer.stop();
    m_pStopListening->setEnabled(bPlaying);
    m_pListen->setAccessibleDescription(bPlaying ? QStringLiteral("the preview is playing") : QString());
}

void CZorvatToneView::OnPostRingtone()
{
    UpdateData(true);
    const std::string tempDir = GetProfile(kProfileSystem, kProfileTempDir);
    if (tempDir.empty()) {
        m_services.m_prompt.Show(kNoTempDir, kErrorCaption, PromptIcon::Stop);
        return;
    }
    if (m_strRtttl.empty()) {
        m_services.m_prompt.Show(kNoRtttl, "SAVE ERROR", PromptIcon::Stop);
        return;
    }
    CPostOpenHandler handler(m_services.m_settings, m_services.m_prompt,
                             [this](CPostController& controller) { RunPostDialog(controller); });
    CRingtoneConverter converter(m_strRtttl, m_doc.GetSong().GetDivision(), m_services.m_settings,
                                 m_services.m_prompt, &handler);
    ApplyInstrument(converter);
    const std::string packagePath = MakePackagePath(tempDir, static_cast<std::int64_t>(std::time(nullptr)));
    (void)RunConversion(converter, packagePath);
}

bool CZorvatToneView::OpenPostDialog(const std::string& packagePath)
{
    CPostOpenHandler handler(m_services.m_settings, m_services.m_prompt,
                             [this](CPostController& controller) { RunPostDialog(controller); });
    return handler.OpenPost(packagePath, std::string());
}

void CZorvatToneView::RunPostDialog(CPostController& controller)
{
    controller.SetUploadOptions(m_services.m_upload);
    CPostDlg dlg(controller, m_services.m_settings, m_services.m_prompt, m_services.m_http, this);
    (void)m_services.m_modal.Run(dlg);
    if (dlg.State() == PostState::Posted)
        m_strKeptRtttl = m_pRtttl->toPlainText().toStdString();
}

namespace {

// The viewer may be started through the desktop's services, far from this program's
// working directory; and a message should say which directory the file is in.
std::string AbsolutePathOf(const std::string& file)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(file, ec);
    return ec ? file : path.string();
}

} // namespace

void CZorvatToneView::OpenInViewer(const std::string& file)
{
    (void)m_services.m_programs.Start(kFileViewer, {AbsolutePathOf(file)});
}

bool CZorvatToneView::WriteViewerFile(const std::string& file, const std::string& text)
{
    // Written whole or not at all: a full disk must not leave the last good file cut
    // short, nor open the viewer on it.
    FileError error;
    if (ReplaceFileWith(file, text.data(), text.size(), error))
        return true;
    ShowFileError(m_services.m_prompt, "write", AbsolutePathOf(file), error.strReason);
    return false;
}

void CZorvatToneView::OnShowRttl()
{
    if (WriteViewerFile(kRtttlFile, m_engine.GetRtttl()))
        OpenInViewer(kRtttlFile);
}

void CZorvatToneView::OnShowPdu()
{
    const std::vector<RingtoneNote> notes = m_engine.GetRingtoneNotes();
    const std::vector<std::uint8_t> message = BuildRingtoneMessage(
        kPduToneName, m_engine.GetRingtoneTempo(), static_cast<std::int32_t>(notes.size()), notes.data());
    // The size verdict does not matter here: the file shows what the capture holds.
    if (WriteViewerFile(kPduFile, HexOf(message)))
        OpenInViewer(kPduFile);
}

void CZorvatToneView::OnTestUpload()
{
    (void)RunDiagnosticPost(m_services.m_http, m_services.m_prompt, m_services.m_diagnostic);
}

void CZorvatToneView::OnHowTo()
{
    CHowToDlg dlg(this);
    (void)m_services.m_modal.Run(dlg);
}
