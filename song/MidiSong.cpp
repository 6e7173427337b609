#include "song/MidiSong.h"

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
