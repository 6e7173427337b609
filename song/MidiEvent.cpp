#include "song/MidiEvent.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "song/ByteOrder.h"
#include "song/LinkedList.h"
#include "song/MidiArchive.h"
#include "song/MidiChannelEvent.h"
#include "song/MidiMessage.h"
#include "song/MidiMetaEvent.h"
#include "text/Text.h"
#include "song/MidiSysexEvent.h"

namespace {

constexpr const char* kChannelNames[8] = {
    "Note off       ", "Note on        ", "Poly aftertouch", "Control change ",
    "Program change ", "Aftertouch     ", "Pitch bend     ", "(error)        ",
};

constexpr std::int32_t kChannelDataLength[8] = {2, 2, 2, 2, 1, 1, 2, 0};

struct MetaTypeInfo {
    std::uint8_t type;
    const char* name;
    std::int32_t category;
};

constexpr MetaTypeInfo kMetaTypes[15] = {
    {0x00, "Sequence number", CMidiMetaEvent::kNone},
    {0x01, "General text   ", CMidiMetaEvent::kText},
    {0x02, "Copyright text ", CMidiMetaEvent::kText},
    {MidiMeta::kTrackName, "Track name     ", CMidiMetaEvent::kText},
    {0x04, "Instrument name", CMidiMetaEvent::kText},
    {0x05, "Song lyric     ", CMidiMetaEvent::kText},
    {0x06, "Marking        ", CMidiMetaEvent::kText},
    {0x07, "Cue point      ", CMidiMetaEvent::kText},
    {0x20, "Channel prefix ", CMidiMetaEvent::kNone},
    {MidiMeta::kEndOfTrack, "End of track   ", CMidiMetaEvent::kNone},
    {MidiMeta::kSetTempo, "Set tempo      ", CMidiMetaEvent::kTempo},
    {0x54, "SMPTE offset   ", CMidiMetaEvent::kNone},
    {MidiMeta::kTimeSignature, "Time signature ", CMidiMetaEvent::kTimeSignature},
    {0x59, "Key signature  ", CMidiMetaEvent::kKeySignature},
    {0x7F, "Sequencer      ", CMidiMetaEvent::kNone},
};

const MetaTypeInfo* FindMetaType(std::uint8_t type)
{
    for (const MetaTypeInfo& info : kMetaTypes)
        if (info.type == type)
            return &info;
    return nullptr;
}

void AppendHex(std::string& sink, std::uint8_t byte)
{
    AppendHexOctet(sink, byte);
}

void AppendDecimal(std::string& sink, std::uint32_t value)
{
    char text[16];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    sink.append(text, end.ptr);
}

void AppendBytes(std::string& sink, const std::uint8_t* data, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        sink += ' ';
        AppendHex(sink, data[i]);
    }
}

// Shared by meta and sysex bodies: a length quantity, then that many bytes. A length
// the chunk or the file cannot hold fails the event before anything is allocated.
bool ReadDataBlock(CMidiArchive& ar, std::uint32_t& bytesRead, std::uint32_t& length,
                   std::unique_ptr<std::uint8_t[]>& data)
{
    bool failed = false;
    bytesRead += ReadVarLen(ar, length, failed);
    if (failed)
        return false;
    if (length == 0)
        return true;
    if (!ar.CanSupply(length, bytesRead))
        return false;
    auto block = std::make_unique<std::uint8_t[]>(length);
    std::size_t got = ar.Read(block.get(), length);
    bytesRead += static_cast<std::uint32_t>(got);
    if (got != length)
        return false;
    data = std::move(block);
    return true;
}

bool WriteDataBlock(CMidiArchive& ar, std::uint32_t length, const std::uint8_t* data)
{
    return WriteVarLen(ar, length) && (length == 0 || ar.Write(data, length));
}

} // namespace

void CMidiEvent::GetMessage(CMidiMessage& msg) const
{
    msg.Clear();
    msg.m_dwDelta = m_dwDelta;
    msg.m_byStatus = m_byStatus;
    FillMessage(msg);
}

void CMidiEvent::InsertAfter(CMidiEvent* p)
{
    midilist::InsertAfter(this, p);
}

void CMidiEvent::Unlink()
{
    midilist::Unlink(this);
}

void CMidiEvent::SetNext(CMidiEvent* next)
{
    if (m_next.SetDirect(this, next))
        return;
    // Only a head links forward to something far: its first event in a track's block.
    if (auto* head = dynamic_cast<CMidiListHead*>(this)) {
        head->m_pNextFar = next;
        if (m_next.SetThroughSlot(this, &head->m_pNextFar))
            return;
    }
    throw std::length_error("events of one list must lie within 8 GiB of each other");
}

void CMidiEvent::SetPrev(CMidiEvent* prev)
{
    if (m_prev.SetDirect(this, prev))
        return;
    // Only a head is linked back to from far: through the slot it keeps among the events.
    auto* head = dynamic_cast<CMidiListHead*>(prev);
    if (head && head->m_ppSlotNearEvents && m_prev.SetThroughSlot(this, head->m_ppSlotNearEvents))
        return;
    throw std::length_error("events of one list must lie within 8 GiB of each other");
}

void CMidiListHead::FillMessage(CMidiMessage& msg) const
{
    msg.m_nKind = CMidiMessage::kEndOfList;
}

// Most events of a song are channel events: their size is most of its memory.
static_assert(sizeof(void*) != 8 || sizeof(CMidiChannelEvent) <= 24, "a channel event grew past 24 bytes");

std::int32_t CMidiChannelEvent::DataLengthOf(std::uint8_t status)
{
    return kChannelDataLength[(status >> 4) & 0x07];
}

bool CMidiChannelEvent::Read(CMidiArchive& ar, std::uint32_t& bytesRead)
{
    // Byte by byte: a song holds millions of these one- and two-byte bodies.
    const auto want = static_cast<std::size_t>(DataLength());
    for (std::size_t i = 0; i < want; ++i) {
        if (!ar.ReadByte(m_byData[i]))
            return false;
        ++bytesRead;
    }
    // A byte with bit 7 set is a status, never data: taking it as data would make the
    // event unreadable once stored back under running status.
    for (std::size_t i = 0; i < want; ++i)
        if (m_byData[i] & 0x80)
            return false;
    return true;
}

bool CMidiChannelEvent::Write(CMidiArchive& ar) const
{
    if (!WriteVarLen(ar, m_dwDelta))
        return false;
    const CMidiEvent* prev = GetPrev();
    bool runningStatus = prev && prev->m_byStatus == m_byStatus;
    if (!runningStatus && !ar.WriteByte(m_byStatus))
        return false;
    return ar.Write(m_byData, static_cast<std::size_t>(DataLength()));
}

void CMidiChannelEvent::Dump(std::string& sink) const
{
    AppendDecimal(sink, m_dwDelta);
    sink += ' ';
    AppendHex(sink, m_byStatus);
    AppendBytes(sink, m_byData, static_cast<std::uint32_t>(DataLength()));
}

std::string CMidiChannelEvent::GetName() const
{
    return kChannelNames[(m_byStatus >> 4) & 0x07];
}

void CMidiChannelEvent::FillMessage(CMidiMessage& msg) const
{
    msg.m_nKind = CMidiMessage::kChannel;
    msg.m_byData1 = m_byData[0];
    msg.m_byData2 = m_byData[1];
}

bool CMidiMetaEvent::Read(CMidiArchive& ar, std::uint32_t& bytesRead)
{
    if (!ar.ReadByte(m_byMetaType))
        return false;
    ++bytesRead;
    return ReadDataBlock(ar, bytesRead, m_dwDataLength, m_pData);
}

bool CMidiMetaEvent::Write(CMidiArchive& ar) const
{
    return WriteVarLen(ar, m_dwDelta) && ar.WriteByte(0xFF) && ar.WriteByte(m_byMetaType) &&
           WriteDataBlock(ar, m_dwDataLength, m_pData.get());
}

void CMidiMetaEvent::Dump(std::string& sink) const
{
    AppendDecimal(sink, m_dwDelta);
    sink += " FF ";
    AppendHex(sink, m_byMetaType);
    sink += ' ';
    AppendDecimal(sink, m_dwDataLength);
    AppendBytes(sink, m_pData.get(), m_dwDataLength);
}

std::string CMidiMetaEvent::GetName() const
{
    const MetaTypeInfo* info = FindMetaType(m_byMetaType);
    return info ? info->name : "Unknown        ";
}

std::string CMidiMetaEvent::GetText() const
{
    std::uint32_t n = m_dwDataLength < 255 ? m_dwDataLength : 255;
    return std::string(reinterpret_cast<const char*>(m_pData.get()), n);
}

std::int32_t CMidiMetaEvent::GetValue() const
{
    const std::uint8_t* d = m_pData.get();
    switch (m_byMetaType) {
    case MidiMeta::kSetTempo:
        if (m_dwDataLength < 3)
            return 0;
        return (d[0] << 16) | (d[1] << 8) | d[2];
    case MidiMeta::kTimeSignature: {
        if (m_dwDataLength < 4)
            return 0;
        // 2 to the power d1, keeping the low 8 bits: anything from 2^8 up is 0.
        std::uint32_t denominator = d[1] < 8 ? (1u << d[1]) : 0u;
        std::uint32_t packed = d[0] | (denominator << 8) | (std::uint32_t{d[2]} << 16) | (std::uint32_t{d[3]} << 24);
        return static_cast<std::int32_t>(packed);
    }
    case 0x59:
        if (m_dwDataLength < 2)
            return 0;
        return d[0] * 256 + d[1];
    default:
        return 0;
    }
}

std::int32_t CMidiMetaEvent::GetCategory() const
{
    const MetaTypeInfo* info = FindMetaType(m_byMetaType);
    return info ? info->category : kNone;
}

void CMidiMetaEvent::FillMessage(CMidiMessage& msg) const
{
    msg.m_nKind = CMidiMessage::kMeta;
    msg.m_byMetaType = m_byMetaType;
    msg.SetData(m_pData.get(), m_dwDataLength);
}

bool CMidiSysexEvent::Read(CMidiArchive& ar, std::uint32_t& bytesRead)
{
    return ReadDataBlock(ar, bytesRead, m_dwDataLength, m_pData);
}

bool CMidiSysexEvent::Write(CMidiArchive& ar) const
{
    return WriteVarLen(ar, m_dwDelta) && ar.WriteByte(m_byStatus) && WriteDataBlock(ar, m_dwDataLength, m_pData.get());
}

void CMidiSysexEvent::Dump(std::string& sink) const
{
    AppendDecimal(sink, m_dwDelta);
    sink += ' ';
    AppendHex(sink, m_byStatus);
    sink += ' ';
    AppendDecimal(sink, m_dwDataLength);
    AppendBytes(sink, m_pData.get(), m_dwDataLength);
}

void CMidiSysexEvent::FillMessage(CMidiMessage& msg) const
{
    msg.m_nKind = CMidiMessage::kSysex;
    msg.SetData(m_pData.get(), m_dwDataLength);
}
