#include "engine/sequencer/RtttlCapture.h"

#include "ringtone/RtttlWriter.h"
#include "song/MidiMetaTypes.h"

#include <bit>

namespace {

constexpr int kRtttlDurations[6] = {32, 16, 8, 4, 2, 1};
constexpr std::uint32_t kDurationCodes[6] = {0xA0, 0x80, 0x60, 0x40, 0x20, 0x00};
constexpr int kLowestOctave = 4;
constexpr int kHighestOctave = 7;
// The ringtone tempo that goes with the list, whatever the header's b= says.
constexpr std::int32_t kRingtoneTempo = 120;

std::uint32_t NoteCodeOf(std::uint8_t note)
{
    return 0x10u * (note % 12u + 1u);
}

} // namespace

CRtttlCapture::CRtttlCapture() : m_strToneName("ZorvatTone") {}

int CRtttlCapture::DurationIndex(std::uint32_t delta, std::uint16_t thirtySecond)
{
    const std::uint32_t q = thirtySecond ? delta / thirtySecond : 0;
    if (q == 0)
        return 0;
    const int t = std::bit_width(q) - 1;
    return t > 5 ? 5 : t;
}

int CRtttlCapture::RtttlDuration(int index)
{
    return kRtttlDurations[index < 0 ? 0 : (index > 5 ? 5 : index)];
}

std::uint32_t CRtttlCapture::DurationCode(int index)
{
    return kDurationCodes[index < 0 ? 0 : (index > 5 ? 5 : index)];
}

std::string CRtttlCapture::NoteText(std::uint8_t note)
{
    return RtttlPitchText(note);
}

void CRtttlCapture::WriteHeader(std::uint32_t tempo)
{
    if (tempo == 0)
        return;
    m_strRtttl = RtttlHeader(m_strToneName, MidiMeta::kMicrosecondsPerMinute / tempo);
    m_nTempo = kRingtoneTempo;
    m_nCount = 0;
}

void CRtttlCapture::Capture(std::uint8_t status, std::uint8_t note, std::uint8_t velocity, std::uint32_t delta,
                            bool channelOn)
{
    switch (status & 0xF0) {
    case 0x80:
        EndNote(note, delta, channelOn, false);
        break;
    case 0x90:
        if (velocity == 0)
            EndNote(note, delta, channelOn, true);
        else
            StartNote(note, delta, channelOn);
        break;
    default:
        break;
    }
}

void CRtttlCapture::EndNote(std::uint8_t note, std::uint32_t delta, bool channelOn, bool velocityZero)
{
    m_bRestPending = true;
    if (!channelOn)
        return;
    const int t = DurationIndex(delta, m_wThirtySecond);
    // A velocity-0 note-on at the same tick as its note-on is read as a quarter
    // in the text; the record keeps the thirty-second of t.
    AppendNote(velocityZero && delta == 0 ? 4 : RtttlDuration(t), m_strPendingNote);
    AddRecord(NoteCodeOf(note), t, note);
}

void CRtttlCapture::StartNote(std::uint8_t note, std::uint32_t delta, bool channelOn)
{
    if (!channelOn)
        return;
    const int t = DurationIndex(delta, m_wThirtySecond);
    if (m_bRestPending) {
        if (delta != 0) {
            AppendNote(RtttlDuration(t), "P");
            AddRecord(0, t, note);
        }
    } else if (m_bNoteOpen) {
        // A second note-on while one sounds ends the sounding one here. Its record
        // carries the pitch the text writes, the sounding note, so that the list
        // and the text tell the same melody.
        AppendNote(delta == 0 ? 4 : RtttlDuration(t), m_strPendingNote);
        AddRecord(NoteCodeOf(m_byPendingNote), t, m_byPendingNote);
    }
    m_strPendingNote = NoteText(note);
    m_byPendingNote = note;
    m_bRestPending = false;
    m_bNoteOpen = true;
}

void CRtttlCapture::AppendNote(int rtttlDuration, const std::string& note)
{
    m_strRtttl += std::to_string(rtttlDuration);
    m_strRtttl += note;
    m_strRtttl += ',';
}

void CRtttlCapture::AddRecord(std::uint32_t noteCode, int durationIndex, std::uint8_t octaveNote)
{
    const int octave = octaveNote / 12;
    if (m_nCount >= kMaxRingtoneNotes || octave < kLowestOctave || octave > kHighestOctave)
        return;
    RingtoneNote& r = m_notes[static_cast<std::size_t>(m_nCount)];
    r.dwNote = noteCode;
    r.dwDuration = DurationCode(durationIndex);
    r.dwSpecifier = 0;
    r.dwScale = 0x40u * static_cast<std::uint32_t>(octave - kLowestOctave);
    ++m_nCount;
}
