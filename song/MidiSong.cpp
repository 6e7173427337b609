#include "song/MidiSong.h"

#include <algorithm>
#include <iterator>

#include "song/MidiArchive.h"

void CMidiSong::Serialize(CMidiArchive& ar)
{
    if (ar.IsLoading()) {
        // The header's outcome does not stop the tracks: a damaged header still
        // lets whatever tracks follow it load.
        (void)m_header.Load(ar);
        m_tracks.Load(ar);
    } else {
        m_header.Store(ar);
        m_tracks.Store(ar);
    }
}

void CMidiSong::TakeFrom(CMidiSong& other)
{
    CMidiHeaderChunk& header = other.m_header;
    m_header.m_nKind = header.m_nKind;
    std::copy(std::begin(header.m_chId), std::end(header.m_chId), m_header.m_chId);
    m_header.m_dwDeclaredLength = header.m_dwDeclaredLength;
    m_header.m_dwConsumed = header.m_dwConsumed;
    m_header.m_dwComputedLength = header.m_dwComputedLength;
    m_header.m_wFormat = header.m_wFormat;
    m_header.m_wNumTracks = header.m_wNumTracks;
    m_header.m_wDivision = header.m_wDivision;
    m_tracks.TakeFrom(other.m_tracks);
}
