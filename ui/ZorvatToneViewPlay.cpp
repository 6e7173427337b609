#include <QAbstractSlider>
#include <QLineEdit>
#include <QProgressBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <cctype>
#include <cstdio>
#include <optional>

#include "prompt/Prompt.h"
#include "song/MidiChannels.h"
#include "ui/SongOverview.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

namespace {

// A reason phrase as a sentence of its own: capital first letter, full stop.
std::string AsSentence(std::string phrase)
{
    if (phrase.empty())
        return phrase;
    phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    if (phrase.back() != '.')
        phrase += '.';
    return phrase;
}

} // namespace

std::string CZorvatToneView::FormatTime(int seconds)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return text;
}

int CZorvatToneView::GetSliderPos() const
{
    // During a slider action the position is already the new one, the value not yet.
    return m_pSlider->sliderPosition();
}

void CZorvatToneView::ShowElapsed(int seconds)
{
    m_pElapsed->setText(QString::fromStdString(FormatTime(seconds)));
}

void CZorvatToneView::SetMeter(int channel, std::int32_t value)
{
    if (channel < 0 || channel >= kChannels)
        return;
    // The poll below shows the store, so both must change together.
    m_meters.Set(channel, value);
    // A meter whose range starts at 48 shows a value below it as empty.
    m_pMeter[static_cast<std::size_t>(channel)]->setValue(std::max(value, CChannelMeters::kLow));
}

void CZorvatToneView::ResetMeters()
{
    for (int c = 0; c < kChannels; ++c)
        SetMeter(c, CChannelMeters::kLow);
}

void CZorvatToneView::OnMeterTimer()
{
    for (int c = 0; c < kChannels; ++c)
        m_pMeter[static_cast<std::size_t>(c)]->setValue(std::max(m_meters.Get(c), CChannelMeters::kLow));
}

void CZorvatToneView::OnPlay()
{
    m_nRecordStart = GetSliderPos();
    // A clock still running here would tick over the cursors that Prepare replaces.
    if (m_engine.IsClockRunning())
        m_engine.StopClock();
    const bool bOpened = m_engine.OpenDevice([this](const CMidiMessage& msg) {
        m_meters.Observe(msg, m_engine.IsChannelOn(ChannelOfStatus(msg.m_byStatus)));
    });
    if (!bOpened) {
        // The box keeps its short text; why goes below it and to the terminal.
        const std::string reason = m_engine.GetOpenError();
        if (!reason.empty())
            std::fprintf(stderr, "zorvattone: %s\n", reason.c_str());
        m_services.m_prompt.Show("MIDI device busy !", "OPEN FAIL", PromptIcon::Stop, PromptButtons::Ok,
                                 AsSentence(reason));
        return;
    }
    std::array<std::string, kChannels> names;
    std::uint32_t seconds = 0;
    if (m_engine.Prepare(m_doc.GetSong(), names, seconds, false) != PrepareResult::kOk) {
        // Nothing can play: the device is not kept for nothing.
        m_engine.CloseDevice();
        return;
    }
    m_strRecordTime = "Recording...";
    // Kept until Stop, which puts it back should the take record nothing; a take that
    // plays on from a new second is the same take.
    if (!m_bPlaying)
        m_strBeforeTake = m_pRtttl->toPlainText().toStdString();
    UpdateData(false);
    m_pPlay->setEnabled(false);
    m_pRecordNow->setEnabled(false);
    m_pTuneStart->setEnabled(false);
    m_pOpen->setEnabled(false);
    m_pStop->setEnabled(true);
    EnableRingtoneBox(false);
    // A second Space must stop the recording, not press whatever had the focus.
    m_pStop->setFocus(Qt::OtherFocusReason);
    m_engine.Seek(static_cast<std::uint32_t>(m_nRecordStart));
    m_pOverview->Model().SetPlayhead(m_nRecordStart);
    m_pOverview->Refresh();
    (void)m_engine.StartClock();
    m_secondTimer.start(m_services.m_nSecondTimerMs);
    m_meterTimer.start(m_services.m_nMeterTimerMs);
    const bool bWasPlaying = m_bPlaying != 0;
    m_bPlaying = 1;
    ShowRange();
    if (!bWasPlaying)
        emit playingChanged(true);
}

void CZorvatToneView::StopSound()
{
    m_secondTimer.stop();
    m_engine.StopClock();
    // The clock's Stop has waited for its last tick, so the device can go at once.
    m_engine.CloseDevice();
}

void CZorvatToneView::OnStop()
{
    StopSound();
    m_meterTimer.stop();
    ResetMeters();
    m_bPlaying = 0;
    m_pOverview->Model().SetPlayhead(std::nullopt);
    ShowRange();
    const int stopSecond = GetSliderPos();
    const bool bKept = TakeRecording(KeepsRhythm() ? CaptureKeepingRhythm(m_nRecordStart, stopSecond - m_nRecordStart)
                                                   : m_engine.GetRtttl(),
                                     m_strBeforeTake);
    const std::string from = FormatTime(m_nRecordStart);
    const std::string to = FormatTime(stopSecond);
    m_strRecordTime = "Rec Time: " + from + " to " + to;
    UpdateData(false);
    emit playingChanged(false);
    SayRecorded(from, to, bKept);
    // The start stays where the user put it, ready for another take.
    m_pSlider->setValue(m_nRecordStart);
    ShowElapsed(m_nRecordStart);
    m_pOpen->setEnabled(true);
    m_pPlay->setEnabled(true);
    m_pRecordNow->setEnabled(true);
    m_pTuneStart->setEnabled(true);
    // The RTTTL box, which now holds the recording, takes the focus before Stop is
    // disabled: Qt would hand it on to "Mute On", and a press of Space would then
    // uncheck every channel.
    EnableRingtoneBox(true);
    if (m_pStop->hasFocus())
        m_pRtttl->setFocus(Qt::OtherFocusReason);
    m_pStop->setEnabled(false);
    UpdateData(false);
}

void CZorvatToneView::OnTimer()
{
    m_secondTimer.stop();
    const int position = GetSliderPos() + 1;
    m_pSlider->setValue(position);
    ShowElapsed(position);
    m_pOverview->Model().SetPlayhead(position);
    m_pOverview->Refresh();
    // The recording ends at the range's end, which is the song's end unless moved.
    if (RangeEnd() > position)
        m_secondTimer.start(m_services.m_nSecondTimerMs);
    else
        OnStop();
}

void CZorvatToneView::OnSliderAction(int action)
{
    ShowElapsed(GetSliderPos());
    switch (action) {
    case QAbstractSlider::SliderToMinimum: OnHScroll(SliderCode::kTop); break;
    case QAbstractSlider::SliderToMaximum: OnHScroll(SliderCode::kBottom); break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub:
        // A key step while playing is a drag and a drop in one: play on from there.
        if (m_bPlaying) {
            StopSound();
            QTimer::singleShot(0, this, [this] {
                if (m_bPlaying)
                    OnPlay();
            });
        }
        break;
    default: break;
    }
}

void CZorvatToneView::OnHScroll(SliderCode code)
{
    switch (code) {
    case SliderCode::kThumbTrack:
        ShowElapsed(GetSliderPos());
        // The sound stops while the user looks for a new start; m_bPlaying stays
        // set so that the drop starts the new recording.
        if (m_bPlaying)
            StopSound();
        break;
    case SliderCode::kThumbPosition:
        if (m_bPlaying)
            OnPlay();
        break;
    case SliderCode::kBottom:
        if (m_bPlaying)
            OnStop();
        break;
    case SliderCode::kTop:
        if (m_bPlaying) {
            OnStop();
            m_pSlider->setValue(0); // Stop puts back the start; Home asked for 0
            OnPlay();
        }
        break;
    case SliderCode::kOther:
        break;
    }
}
