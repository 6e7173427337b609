#include "song/MidiChunk.h"

#include <cstring>

#include "song/ByteOrder.h"
#include "song/MidiArchive.h"

namespace {

bool ReadBigEndian16(CMidiArchive& ar, std::uint16_t& out)
{
    std::uint16_t raw = 0;
    if (ar.Read(&raw, 2) != 2)
        return false;
    out = SwapShort(raw);
    return true;
}

bool WriteBigEndian16(CMidiArchive& ar, std::uint16_t value)
{
    std::uint16_t raw = SwapShort(value);
    return ar.Write(&raw, 2);
}

} // namespace

bool CMidiChunk::ReadChunkHeader(CMidiArchive& ar)
{
    if (ar.Read(m_chId, 4) != 4)
        return false;
    if (std::memcmp(m_chId, "MThd", 4) == 0)
        m_nKind = kHeader;
    else if (std::memcmp(m_chId, "MTrk", 4) == 0)
        m_nKind = kTrack;
    else
        m_nKind = kUnknown;
    if (m_nKind == kUnknown)
        return false;
    std::uint32_t raw = 0;
    if (ar.Read(&raw, 4) != 4)
        return false;
    m_dwDeclaredLength = SwapLong(raw);
    return true;
}

bool CMidiChunk::WriteChunkHeader(CMidiArchive& ar) const
{
    std::uint32_t raw = SwapLong(m_dwComputedLength);
    return ar.Write(m_chId, 4) && ar.Write(&raw, 4);
}

bool CMidiHeaderChunk::Load(CMidiArchive& ar)
{
    // A song may be loaded again after Clear, which keeps the header: start the
    // counts afresh so the stored length stays 6 plus what this file declares.
    m_dwConsumed = 0;
    m_dwComputedLength = 0;
    if (!ReadChunkHeader(ar) || m_nKind != kHeader)
        return false;
    if (!ReadBigEndian16(ar, m_wFormat) || !ReadBigEndian16(ar, m_wNumTracks) || !ReadBigEndian16(ar, m_wDivision))
        return false;
    m_dwConsumed += 6;
    m_dwComputedLength += 6;
    while (m_dwConsumed < m_dwDeclaredLength) {
        std::uint8_t discard = 0;
        if (!ar.ReadByte(discard))
            return false;
        ++m_dwConsumed;
    }
    return true;
}

bool CMidiHeaderChunk::Store(CMidiArchive& ar) const
{
    if (m_nKind != kHeader) {
        // Never loaded: write a well-formed header rather than four zero bytes.
        CMidiHeaderChunk fresh;
        std::memcpy(fresh.m_chId, "MThd", 4);
        fresh.m_nKind = kHeader;
        fresh.m_dwComputedLength = 6;
        fresh.m_wFormat = m_wFormat;
        fresh.m_wNumTracks = m_wNumTracks;
        fresh.m_wDivision = m_wDivision;
        return fresh.Store(ar);
    }
    return WriteChunkHeader(ar) && WriteBigEndian16(ar, m_wFormat) && WriteBigEndian16(ar, m_wNumTracks) &&
           WriteBigEndian16(ar, m_wDivision);
}
