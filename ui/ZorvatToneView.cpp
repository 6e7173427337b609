#include "ui/ZorvatToneView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTextCursor>
#include <QTextDocument>

#include "engine/capture/OfflineRecorder.h"
#include "prompt/Prompt.h"
#include "ringtone/RtttlReader.h"
#include "song/GmNames.h"
#include "ui/Captions.h"
#include "ui/FileChooser.h"
#include "ui/ModalRunner.h"
#include "ui/SetupDlg.h"
#include "ui/SongOverview.h"
#include "ui/ZorvatToneDoc.h"

namespace {

constexpr char kMidiFilter[] = "Midi Files (*.mid *.MID);;All Files (*)";
constexpr char kNewFileName[] = "Zorvat.mid";
constexpr int kSliderPageSeconds = 10;

} // namespace

CZorvatToneView::CZorvatToneView(CUiServices& services, CZorvatToneDoc& doc, QWidget* pParent)
    : QWidget(pParent),
      m_services(services),
      m_preview(services.m_programs),
      m_doc(doc),
      m_engine(services.m_output, services.m_clock)
{
    m_bChannelCheck.fill(1);
    for (int c = 0; c < kChannels; ++c)
        m_strChannelName[static_cast<std::size_t>(c)] = GmUnknownChannelLabel(c);
    m_strFormat = "MIDI Type:";
    m_strTracks = "Tracks:";
    m_strDivision = "Timestamp: ";
    m_strRecordTime = "Rec Time: 00:00 to 00:00";
    BuildControls();
    ConnectControls();
}

CZorvatToneView::~CZorvatToneView()
{
    m_secondTimer.stop();
    m_meterTimer.stop();
}

void CZorvatToneView::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate) {
        m_strRtttl = m_pRtttl->toPlainText().toStdString();
        for (int c = 0; c < kChannels; ++c)
            m_bChannelCheck[static_cast<std::size_t>(c)] = m_pChannelBox[static_cast<std::size_t>(c)]->isChecked();
        return;
    }
    m_pFormat->setText(QString::fromStdString(m_strFormat));
    m_pTracks->setText(QString::fromStdString(m_strTracks));
    m_pDivision->setText(QString::fromStdString(m_strDivision));
    for (std::size_t c = 0; c < kChannels; ++c) {
        m_pChannelLabel[c]->setText(QString::fromStdString(m_strChannelName[c]));
        m_pChannelBox[c]->setChecked(m_bChannelCheck[c] != 0);
    }
    NameChannelControls();
    // Setting the same text again would move the cursor and the scroll position.
    QString rtttl = QString::fromStdString(m_strRtttl);
    if (m_pRtttl->toPlainText() != rtttl) {
        // An edit of its own rather than a new document: Ctrl+Z brings the text back
        // that a recording, an import or a new song replaced. A take empties the box
        // when it begins; its text joins that edit, so that one Ctrl+Z undoes both.
        QTextCursor all(m_pRtttl->document());
        if (m_pRtttl->toPlainText().isEmpty() && m_pRtttl->document()->isUndoAvailable())
            all.joinPreviousEditBlock();
        else
            all.beginEditBlock();
        all.select(QTextCursor::Document);
        all.insertText(rtttl);
        all.endEditBlock();
    }
    m_pRecordTime->setText(QString::fromStdString(m_strRecordTime));
}

void CZorvatToneView::OnInitialUpdate()
{
    m_bPlaying = 0;
    std::array<std::string, kChannels> names;
    std::uint32_t seconds = 0;
    const PrepareResult result = m_engine.Prepare(m_doc.GetSong(), names, seconds, true);
    if (result != PrepareResult::kOk) {
        ShowNoSong();
        // A song without tracks is what a new document holds: nothing to say.
        if (result != PrepareResult::kNoTracks)
            m_services.m_prompt.Show(PrepareResultText(result), kAppTitle, PromptIcon::Stop);
        return;
    }
    m_bSongReady = true;
    const CMidiSong& song = m_doc.GetSong();
    m_strFormat = "MIDI Type: " + std::to_string(song.GetFormat());
    m_strTracks = "Tracks: " + std::to_string(song.GetTrackList().GetTrackCount());
    m_strDivision = "Timestamp: " + std::to_string(song.GetDivision());
    m_strChannelName = names;
    m_bChannelCheck.fill(1);
    for (int c = 0; c < kChannels; ++c)
        m_engine.SetChannelOn(c, true);
    for (QProgressBar* pMeter : m_pMeter)
        pMeter->setRange(CChannelMeters::kLow, CChannelMeters::kHigh);
    m_pSlider->setRange(0, static_cast<int>(seconds));
    m_pSlider->setValue(0);
    m_bStartAtTune = false;
    // The arrow keys step one second, the Page keys ten.
    m_pSlider->setSingleStep(1);
    m_pSlider->setPageStep(kSliderPageSeconds);
    m_bAllChannels = 1;
    m_pMute->setText(QStringLiteral("Mute On"));
    ShowElapsed(0);
    m_strRecordTime = "Rec Time: 00:00 to 00:00";
    m_strRtttl.clear();
    FindSuggestion();
    m_pOverview->Model().SetSong(m_songNotes, m_ranked, static_cast<int>(seconds));
    m_pOverview->Refresh();
    ShowRange();
    UpdateData(false);
}

void CZorvatToneView::ShowNoSong()
{
    // What the form shows before any song: the old song's figures would describe a
    // song that is no longer there.
    m_bSongReady = false;
    m_strFormat = "MIDI Type:";
    m_strTracks = "Tracks:";
    m_strDivision = "Timestamp: ";
    for (int c = 0; c < kChannels; ++c)
        m_strChannelName[static_cast<std::size_t>(c)] = GmUnknownChannelLabel(c);
    m_pSlider->setRange(0, 0);
    ShowElapsed(0);
    m_strRecordTime = "Rec Time: 00:00 to 00:00";
    m_strRtttl.clear();
    m_songNotes = CSongNotes();
    m_ranked.clear();
    m_nSuggestedChannel = -1;
    m_bPercussionNotes = false;
    m_pOverview->Model().Clear();
    m_pOverview->Refresh();
    ShowRange();
    m_pTuneStart->setEnabled(false);
    ResetMeters();
    m_pOpen->setEnabled(true);
    m_pPlay->setEnabled(false);
    m_pRecordNow->setEnabled(false);
    m_pStop->setEnabled(false);
    m_pMute->setEnabled(false);
    m_pSuggest->setEnabled(false);
    // The box takes a typed or pasted ringtone with or without a song.
    EnableRingtoneBox(true);
    UpdateData(false);
}

bool CZorvatToneView::OpenMidiFile(const std::string& path, bool bReport)
{
    // Loading replaces the song that the clock is playing.
    if (m_bPlaying)
        return false;
    CMidiSong candidate;
    if (!m_doc.ReadSong(path, candidate)) {
        if (bReport && m_doc.GetOpenFailure() == CZorvatToneDoc::OpenFailure::kCannotRead)
            m_services.m_prompt.Show("Failed to open document.", kAppTitle, PromptIcon::Stop, PromptButtons::Ok,
                                     m_doc.GetFailureReason());
        return false;
    }
    // A song the player refuses (a file in which no track could be read too: the
    // user asked for a song) is said before anything changes: the open song, the
    // window's title and the ringtone stay as they were.
    std::array<std::string, kChannels> labels;
    std::uint32_t seconds = 0;
    if (const PrepareResult verdict = ScanAsThePlayer(candidate, labels, seconds); verdict != PrepareResult::kOk) {
        m_services.m_prompt.Show(PrepareResultText(verdict), kAppTitle, PromptIcon::Stop);
        return false;
    }
    if (!MayClearRingtone())
        return false;
    m_doc.TakeSong(candidate, path);
    OnInitialUpdate();
    m_strFileTitle = CZorvatToneDoc::TitleOf(path);
    m_engine.SetToneName(m_strFileTitle);
    SetCaption(m_strFileTitle);
    m_pPlay->setEnabled(m_bSongReady);
    m_pRecordNow->setEnabled(m_bSongReady);
    m_pTuneStart->setEnabled(m_bSongReady);
    m_pMute->setEnabled(m_bSongReady);
    m_pSuggest->setEnabled(m_bSongReady && m_nSuggestedChannel >= 0);
    EnableRingtoneBox(true);
    const CMidiSong& song = m_doc.GetSong();
    const int declared = song.GetHeader().m_wNumTracks;
    const int read = song.GetTrackList().GetTrackCount();
    m_pSongNotice->setText(m_bSongReady && declared > read
                               ? QStringLiteral("%1 of %2 tracks could be read: the file is damaged").arg(read).arg(declared)
                               : QString());
    emit documentOpened(QString::fromStdString(path));
    return true;
}

bool CZorvatToneView::MayClearRingtone()
{
    const std::string text = m_pRtttl->toPlainText().toStdString();
    if (!RtttlHoldsANote(text) || text == m_strKeptRtttl)
        return true;
    return m_services.m_prompt.Show(kClearRingtoneQuestion, kAppTitle, PromptIcon::Question, PromptButtons::OkCancel,
                                    "Ctrl+Z in the box brings the text back.") == PromptAnswer::Ok;
}

void CZorvatToneView::NewDocument()
{
    if (m_bPlaying || !MayClearRingtone())
        return;
    (void)m_doc.OnNewDocument();
    OnInitialUpdate();
    m_pSongNotice->clear();
    m_strFileTitle.clear();
    m_engine.SetToneName(kAppTitle);
    SetCaption(std::string());
}

void CZorvatToneView::OnOpenMidi()
{
    QString path;
    if (!m_services.m_files.GetOpenFileName(this, QStringLiteral("Open MIDI"), QString::fromUtf8(kMidiFilter),
                                            QStringLiteral("mid"), path))
        return;
    (void)OpenMidiFile(path.toStdString());
}

void CZorvatToneView::OnFileSave()
{
    // The clock reads the song while it plays.
    if (m_bPlaying)
        return;
    QString initial = m_doc.GetPathName().empty() ? QString::fromUtf8(kNewFileName)
                                                  : QString::fromStdString(m_doc.GetPathName());
    QString path;
    if (!m_services.m_files.GetSaveFileName(this, QStringLiteral("Save As"), QString::fromUtf8(kMidiFilter),
                                            QStringLiteral("mid"), initial, path))
        return;
    if (!m_doc.OnSaveDocument(path.toStdString()))
        m_services.m_prompt.Show("Failed to save document.", kAppTitle, PromptIcon::Stop, PromptButtons::Ok,
                                 m_doc.GetFailureReason());
}

void CZorvatToneView::SetCaption(const std::string& fileTitle)
{
    std::string caption = kMainCaption;
    if (!fileTitle.empty())
        caption += " - " + fileTitle;
    window()->setWindowTitle(QString::fromStdString(caption));
}

void CZorvatToneView::EnableRingtoneBox(bool bEnable)
{
    m_pRtttl->setEnabled(bEnable);
    m_pInstrument->setEnabled(bEnable);
    m_pListen->setEnabled(bEnable);
    m_pPost->setEnabled(bEnable);
}

void CZorvatToneView::OnChannelToggle(int channel)
{
    if (channel < 0 || channel >= kChannels)
        return;
    auto& check = m_bChannelCheck[static_cast<std::size_t>(channel)];
    check = !check;
    m_engine.SetChannelOn(channel, check != 0);
    SetMeter(channel, CChannelMeters::kLow);
    ShowEnabledOnOverview();
}

void CZorvatToneView::OnMuteToggle()
{
    m_bAllChannels = !m_bAllChannels;
    m_bChannelCheck.fill(m_bAllChannels);
    for (int c = 0; c < kChannels; ++c)
        m_engine.SetChannelOn(c, m_bAllChannels != 0);
    // Only the boxes: pushing every member would also put the last recording back
    // over whatever the user has typed into the RTTTL box since.
    for (std::size_t c = 0; c < kChannels; ++c)
        m_pChannelBox[c]->setChecked(m_bAllChannels != 0);
    m_pMute->setText(m_bAllChannels ? QStringLiteral("Mute On") : QStringLiteral("Mute Off"));
    ShowEnabledOnOverview();
}

void CZorvatToneView::OnSetup()
{
    CSetupDlg dlg(m_services.m_settings, m_services.m_prompt, m_services.m_files, false, this);
    (void)m_services.m_modal.Run(dlg);
}
