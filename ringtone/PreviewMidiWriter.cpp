#include "ringtone/PreviewMidiWriter.h"

#include <algorithm>

#include "ringtone/RtttlNote.h"
#include "song/ByteOrder.h"
#include "song/MidiMetaTypes.h"

namespace {

constexpr std::uint32_t kMaxVarLen = 0x0FFFFFFF;
constexpr std::int32_t kSlowestRingtoneTempo = 25;

} // namespace

std::uint32_t CPreviewMidiWriter::MicrosecondsPerQuarter(std::int32_t tempo)
{
    if (tempo <= 0)
        tempo = kSlowestRingtoneTempo;
    std::uint32_t us = MidiMeta::kMicrosecondsPerMinute / static_cast<std::uint32_t>(tempo);
    return std::clamp<std::uint32_t>(us, 1, 0xFFFFFF);
}

bool CPreviewMidiWriter::Open(const std::string& path, std::uint16_t ticksPerQuarter, std::int32_t tempo,
                              std::uint8_t program)
{
    m_dwPendingDelta = 0;
    m_length = 0;
    if (!m_file.Open(path, CStdFile::Mode::Write))
        return false;
    std::uint32_t us = MicrosecondsPerQuarter(tempo);
    const std::uint8_t header[] = {
        'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01,
        static_cast<std::uint8_t>(ticksPerQuarter >> 8), static_cast<std::uint8_t>(ticksPerQuarter & 0xFF),
        'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x00,
        0x00, 0xFF, MidiMeta::kSetTempo, 0x03, static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8),
        static_cast<std::uint8_t>(us), 0x00, 0xC0, program,
    };
    return m_file.Write(header, sizeof header);
}

bool CPreviewMidiWriter::WriteVarLen(std::uint32_t value)
{
    std::uint8_t bytes[4];
    std::uint32_t n = EncodeVarLen(std::min(value, kMaxVarLen), bytes);
    return m_file.Write(bytes, n);
}

bool CPreviewMidiWriter::AddNote(std::uint32_t ticks, std::uint16_t note)
{
    ticks = std::min(ticks, kMaxVarLen);
    if (note == kRtttlPause) {
        // Held at the largest delta a MIDI file can carry rather than wrapping.
        m_dwPendingDelta = std::min(m_dwPendingDelta + ticks, kMaxVarLen);
        return !m_file.Failed();
    }
    auto byte = static_cast<std::uint8_t>(note & 0xFF);
    bool ok = WriteVarLen(m_dwPendingDelta);
    const std::uint8_t on[] = {0x90, byte, 0x7F};
    ok = ok && m_file.Write(on, sizeof on) && WriteVarLen(ticks);
    const std::uint8_t off[] = {0x80, byte, 0x7F};
    ok = ok && m_file.Write(off, sizeof off);
    m_dwPendingDelta = 0;
    return ok;
}

bool CPreviewMidiWriter::Finish()
{
    const std::uint8_t end[] = {0x00, 0xFF, MidiMeta::kEndOfTrack, 0x00};
    std::uint64_t length = 0;
    if (!m_file.Write(end, sizeof end) || !m_file.Length(length) || !m_file.Seek(kTrackLengthOffset))
        return false;
    auto trackLength = static_cast<std::uint32_t>(length - kHeaderBytes);
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(trackLength >> 24), static_cast<std::uint8_t>(trackLength >> 16),
                                  static_cast<std::uint8_t>(trackLength >> 8), static_cast<std::uint8_t>(trackLength)};
    if (!m_file.Write(bytes, sizeof bytes) || !m_file.Close())
        return false;
    m_length = length;
    return true;
}
