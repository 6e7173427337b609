#pragma once
// The common part of "MThd" and "MTrk" chunks, and the header chunk.

#include <cstdint>

#include "song/MidiObject.h"

class CMidiArchive;

class CMidiChunk : public CMidiObject {
public:
    enum Kind : std::int32_t { kUnknown = 0, kHeader = 1, kTrack = 2 };

    // Reads the id and the big-endian length. False on a short read or an unknown id
    // (whose length is then not read).
    [[nodiscard]] bool ReadChunkHeader(CMidiArchive& ar);
    // Writes the id as stored and the computed length.
    bool WriteChunkHeader(CMidiArchive& ar) const;

    std::int32_t m_nKind = kUnknown;
    char m_chId[4] = {0, 0, 0, 0};
    std::uint32_t m_dwDeclaredLength = 0;
    std::uint32_t m_dwConsumed = 0;
    std::uint32_t m_dwComputedLength = 0;
};

class CMidiHeaderChunk : public CMidiChunk {
public:
    // Load: reads the three words and skips any extra body bytes. False when the
    // chunk is not "MThd" or is cut short.
    [[nodiscard]] bool Load(CMidiArchive& ar);
    // Store: a header that was never loaded is written as a plain "MThd" of length 6,
    // so that storing an empty song gives a valid, empty Standard MIDI File.
    bool Store(CMidiArchive& ar) const;

    std::uint16_t m_wFormat = 0;
    std::uint16_t m_wNumTracks = 0;
    std::uint16_t m_wDivision = 0;
};
