#pragma once
// One Standard MIDI File in memory: the header chunk and the track list.

#include <cstdint>

#include "song/MidiChunk.h"
#include "song/MidiTrackList.h"

class CMidiSong {
public:
    // Load mode reads the header, then the tracks (a bad header does not stop the
    // tracks); store mode writes both. Reading is tolerant and reports nothing.
    void Serialize(CMidiArchive& ar);

    [[nodiscard]] CMidiTrackList& GetTrackList() { return m_tracks; }
    [[nodiscard]] const CMidiTrackList& GetTrackList() const { return m_tracks; }
    [[nodiscard]] const CMidiHeaderChunk& GetHeader() const { return m_header; }
    [[nodiscard]] std::uint16_t GetFormat() const { return m_header.m_wFormat; }
    [[nodiscard]] std::uint16_t GetDivision() const { return m_header.m_wDivision; }
    // Deletes every track; the header words stay.
    void Clear() { m_tracks.Clear(); }
    // Becomes `other`, header and tracks, without copying an event; `other` is left
    // without tracks.
    void TakeFrom(CMidiSong& other);

    CMidiHeaderChunk m_header;
    CMidiTrackList m_tracks;
};
