// What the form adds to help make a good ringtone: the suggested melody channel,
// recording with the rhythm kept, recording without playing, and the names that
// tell the channels apart to a screen reader.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "convert/RingtoneConverter.h"
#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/RecordingPlan.h"
#include "melody/MelodyFinder.h"
#include "ringtone/RtttlReader.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "song/MidiChannels.h"
#include "ui/ProfileWriteLog.h"
#include "ui/RingtonePicture.h"
#include "ui/SongOverview.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

namespace {

constexpr char kSuggestionMark[] = "\u266A"; // a musical note

} // namespace

bool CZorvatToneView::TakeRecording(const std::string& recorded, const std::string& held)
{
    // A take of nothing never costs the ringtone the box holds.
    if (!RtttlHoldsANote(recorded) && RtttlHoldsANote(held)) {
        m_strRtttl = held;
        return true;
    }
    m_strRtttl = recorded;
    return false;
}

void CZorvatToneView::SayRecorded(const std::string& from, const std::string& to, bool bKeptPrevious)
{
    if (!bKeptPrevious && RtttlHoldsANote(m_strRtttl)) {
        m_services.m_prompt.Show("Ringtone's RTTTL generated.\r\nRecord Time: from " + from + " to " + to,
                                 "RTTTL Generated", PromptIcon::Information);
        return;
    }
    m_services.m_prompt.Show("No note of the checked channels sounded from " + from + " to " + to + ".",
                             "Nothing Recorded", PromptIcon::Information, PromptButtons::Ok,
                             std::string(bKeptPrevious ? "The RTTTL box keeps the ringtone it held. " : "") +
                                 "Check the channel that plays there, or move the start second.");
}

void CZorvatToneView::FindSuggestion()
{
    m_songNotes = CSongNotes(m_doc.GetSong());
    m_ranked = RankMelodyChannels(m_songNotes);
    const std::vector<MelodyCandidate>& ranked = m_ranked;
    const bool bFound = !ranked.empty() && ranked.front().dScore > 0;
    m_nSuggestedChannel = bFound ? ranked.front().nChannel : -1;
    m_dSuggestedScore = bFound ? ranked.front().dScore : 0;
    m_bPercussionNotes = std::any_of(ranked.begin(), ranked.end(),
                                     [](const MelodyCandidate& c) { return c.nChannel == kPercussionChannel; });
}

void CZorvatToneView::NameChannelControls()
{
    // The runner-up is marked as the overview marks it, when it scores close to the first.
    const MelodyCandidate* runnerUp =
        m_nSuggestedChannel >= 0 && MelodyRunnerUpIsClose(m_ranked) ? MelodyRunnerUp(m_ranked) : nullptr;
    for (std::size_t c = 0; c < kChannels; ++c) {
        const QString label = QString::fromStdString(m_strChannelName[c]);
        const bool bSuggested = static_cast<int>(c) == m_nSuggestedChannel;
        const bool bRunnerUp = runnerUp && static_cast<int>(c) == runnerUp->nChannel;
        const auto along = std::find_if(m_ranked.begin(), m_ranked.end(), [c](const MelodyCandidate& r) {
            return r.bPlaysFirstsLine && r.nChannel == static_cast<int>(c);
        });
        const bool bAlong = m_nSuggestedChannel >= 0 && along != m_ranked.end();
        const bool bDrums = static_cast<int>(c) == kPercussionChannel && m_bPercussionNotes;
        m_pChannelBox[c]->setAccessibleName(label + QStringLiteral(" enabled"));
        m_pChannelBox[c]->setAccessibleDescription(bSuggested  ? QStringLiteral("suggested melody")
                                                   : bRunnerUp ? QStringLiteral("may carry the melody too")
                                                   : bAlong    ? QStringLiteral("plays the suggested melody along")
                                                               : QString());
        m_pMeter[c]->setAccessibleName(label + QStringLiteral(" meter"));
        QString mark;
        QString tip;
        if (bSuggested) {
            mark = QString::fromUtf8(kSuggestionMark);
            tip = QStringLiteral("Most likely the melody (score %1)").arg(m_dSuggestedScore, 0, 'f', 2);
        } else if (bRunnerUp) {
            mark = QString::fromUtf8(kSuggestionMark) + QStringLiteral("?");
            tip = QStringLiteral("May carry the melody too (score %1)").arg(runnerUp->dScore, 0, 'f', 2);
        } else if (bAlong) {
            mark = QStringLiteral("=") + QString::fromUtf8(kSuggestionMark);
            tip = QStringLiteral("Plays the suggested melody along (score %1)").arg(along->dScore, 0, 'f', 2);
        } else if (bDrums) {
            mark = QString::fromUtf8(kPercussionMark);
            tip = QStringLiteral("Channel 10 plays drums in General MIDI");
        }
        m_pSuggestionMark[c]->setText(mark);
        m_pSuggestionMark[c]->setToolTip(tip);
    }
}

void CZorvatToneView::OnTakeSuggestion()
{
    if (m_nSuggestedChannel >= 0)
        CheckChannelAlone(m_nSuggestedChannel);
}

void CZorvatToneView::CheckChannelAlone(int channel)
{
    if (channel < 0 || channel >= kChannels || !m_bSongReady)
        return;
    for (int c = 0; c < kChannels; ++c) {
        const bool bOn = c == channel;
        m_bChannelCheck[static_cast<std::size_t>(c)] = bOn ? 1 : 0;
        m_pChannelBox[static_cast<std::size_t>(c)]->setChecked(bOn);
        m_engine.SetChannelOn(c, bOn);
        if (!bOn)
            SetMeter(c, CChannelMeters::kLow);
    }
    ShowEnabledOnOverview();
}

void CZorvatToneView::ShowEnabledOnOverview()
{
    // The tune's start belongs to the channels it was found for: the range starts at
    // the slider's whole second again.
    if (m_bStartAtTune) {
        m_bStartAtTune = false;
        m_pOverview->Model().SetRangeStart(m_pOverview->Model().RangeStart());
        ShowRange();
    }
    m_pOverview->Model().SetEnabled(EnabledChannels());
    m_pOverview->Refresh();
}

int CZorvatToneView::RangeEnd() const
{
    return m_pOverview->Model().EndsEarly() ? m_pOverview->Model().RangeEnd() : m_pSlider->maximum();
}

void CZorvatToneView::OnFitOneMessage(bool bOn)
{
    if (!m_services.m_settings.SetString(kProfileOptions, kProfileFitOneMessage, bOn ? "1" : "0"))
        LogProfileWriteFailure(m_services.m_settings);
}

void CZorvatToneView::OnStartWhereTheTuneBegins()
{
    if (!m_bSongReady || m_bPlaying)
        return;
    const std::uint64_t tick = TuneStartTick(m_songNotes, EnabledChannels());
    const int second = static_cast<int>(m_songNotes.SliderSecondAt(tick));
    m_pSlider->setValue(second);
    ShowElapsed(second);
    m_pOverview->Model().SetRangeStartAtTick(tick);
    m_pOverview->Refresh();
    ShowRange();
    m_bStartAtTune = true;
}

bool CZorvatToneView::KeepsRhythm() const
{
    return m_pKeepRhythm->isChecked();
}

void CZorvatToneView::OnKeepRhythm(bool bOn)
{
    // The box holds the choice for this session whatever happens; a message box for a
    // choice that will not be remembered would interrupt every click.
    if (!m_services.m_settings.SetString(kProfileOptions, kProfileKeepRhythm, bOn ? "1" : "0"))
        LogProfileWriteFailure(m_services.m_settings);
}

std::array<bool, CZorvatToneView::kChannels> CZorvatToneView::EnabledChannels() const
{
    std::array<bool, kChannels> on{};
    for (int c = 0; c < kChannels; ++c)
        on[static_cast<std::size_t>(c)] = m_engine.IsChannelOn(c);
    return on;
}

RecordingPlan CZorvatToneView::PlanRecording(int from, int seconds) const
{
    RecordingPlan plan;
    plan.bChannelOn = EnabledChannels();
    plan.uFromSecond = static_cast<std::uint32_t>(std::max(from, 0));
    plan.bFromTune = m_bStartAtTune && from == m_pOverview->Model().RangeStart();
    plan.nSeconds = seconds;
    plan.strToneName = m_engine.GetToneName();
    plan.bKeepRhythm = KeepsRhythm();
    plan.bFitOneMessage = m_pFit->isChecked();
    return plan;
}

std::string CZorvatToneView::CaptureKeepingRhythm(int from, int seconds)
{
    RecordingPlan plan = PlanRecording(from, seconds);
    plan.bKeepRhythm = true;
    RecordingOutcome recording;
    std::string error;
    if (!RecordByPlan(m_doc.GetSong(), m_songNotes, plan, recording, error))
        return std::string();
    ShowFitEnd(recording);
    return recording.strRtttl;
}

void CZorvatToneView::ShowFitEnd(const RecordingOutcome& recording)
{
    m_pOverview->Model().SetFitEndTick(recording.bCutToFit ? std::optional(recording.qwEndTick) : std::nullopt);
    m_pOverview->Refresh();
}

void CZorvatToneView::ShowRange()
{
    const CSongOverviewModel& model = m_pOverview->Model();
    const bool bSong = !model.Lanes().empty();
    m_pRangeStart->setText(bSong ? QString::fromStdString(ClockTenths(model.RangeStartSeconds())) : QString());
    m_pRangeEnd->setText(bSong ? QString::fromStdString(ClockTenths(model.RangeEnd())) : QString());
    m_pRangeLength->setText(bSong ? QString::fromStdString(model.RangeLengthText()) : QString());
    m_pRangeStart->setEnabled(bSong && !m_bPlaying);
    m_pRangeEnd->setEnabled(bSong && !m_bPlaying);
}

void CZorvatToneView::OnRangeTyped(bool bEnd)
{
    QLineEdit* pField = bEnd ? m_pRangeEnd : m_pRangeStart;
    const std::optional<int> second = ParseClock(pField->text().toStdString());
    if (second && !m_bPlaying && m_bSongReady) {
        if (bEnd) {
            m_pOverview->Model().SetRangeEnd(*second);
            m_pOverview->Refresh();
        } else {
            m_bStartAtTune = false;
            m_pSlider->setValue(std::min(*second, m_pSlider->maximum()));
            m_pOverview->Model().SetRangeStart(m_pSlider->value());
            m_pOverview->Refresh();
            ShowElapsed(m_pSlider->value());
        }
    }
    ShowRange();
}

void CZorvatToneView::OnRecordWithoutPlaying()
{
    if (!m_bSongReady || m_bPlaying)
        return;
    const int from = GetSliderPos();
    const int to = RangeEnd();
    // To the song's end unless the range ends before it.
    const int seconds = m_pOverview->Model().EndsEarly() ? std::max(to - from, 0) : -1;
    RecordingOutcome recording;
    std::string error;
    if (!RecordByPlan(m_doc.GetSong(), m_songNotes, PlanRecording(from, seconds), recording, error))
        return; // the song opened, so the player has taken it before
    ShowFitEnd(recording);
    const bool bKept = TakeRecording(recording.strRtttl, m_pRtttl->toPlainText().toStdString());
    m_nRecordStart = from;
    m_strRecordTime = "Rec Time: " + FormatTime(from) + " to " + FormatTime(to);
    EnableRingtoneBox(true);
    UpdateData(false);
    if (bKept || !RtttlHoldsANote(m_strRtttl))
        SayRecorded(FormatTime(from), FormatTime(to), bKept);
}

void CZorvatToneView::ShowDropped(const CRingtoneConverter& converter)
{
    const QString line = QString::fromStdString(DroppedSummary(converter.Dropped()));
    m_pDropped->setText(line);
    m_pDropped->setToolTip(line);
    // Convert has put the rebuilt text in place of the user's when it succeeded.
    m_strDroppedFor = m_strRtttl;
}

void CZorvatToneView::OnRtttlEdited()
{
    const std::string text = m_pRtttl->toPlainText().toStdString();
    m_pPicture->SetText(text, m_doc.GetSong().GetDivision());
    if (text != m_strDroppedFor) {
        m_pDropped->clear();
        m_pDropped->setToolTip(QString());
    }
    const RingtoneSketch& sketch = m_pPicture->Sketch();
    if (text.empty() || !sketch.bHeaderRead) {
        m_pOctets->clear();
        m_pOctets->setAccessibleName(QStringLiteral("Message size"));
        return;
    }
    const bool bFits = sketch.nOctets <= kMaxRingtoneOctets;
    QString line = QStringLiteral("%1 of %2 octets, played at %3 beats a minute on a phone")
                       .arg(sketch.nOctets)
                       .arg(kMaxRingtoneOctets)
                       .arg(sketch.nPhoneTempo);
    // A phone shows the first ten characters of the name.
    if (sketch.bNameCut)
        line += QStringLiteral(", named \"%1\"").arg(QString::fromStdString(sketch.strPhoneName));
    m_pOctets->setText(line);
    // A screen reader says the name, not the label's text: the name carries it.
    m_pOctets->setAccessibleName(QStringLiteral("Message size: ") + m_pOctets->text());
    m_pOctets->setStyleSheet(bFits ? QString() : QStringLiteral("color: #c00000;"));
}
