#pragma once
// The tracks of a song in file order, with an iterator for the readers.

#include <cstdint>

#include "song/MidiTrack.h"

class CMidiTrackList {
public:
    CMidiTrackList() = default;
    CMidiTrackList(const CMidiTrackList&) = delete;
    CMidiTrackList& operator=(const CMidiTrackList&) = delete;
    ~CMidiTrackList() { Clear(); }

    // Reads tracks until one fails; the failing one is dropped, the others kept.
    void Load(CMidiArchive& ar);
    bool Store(CMidiArchive& ar) const;

    // Tracks successfully read by the last load (0 after Clear).
    [[nodiscard]] std::int32_t GetTrackCount() const { return m_nCount; }
    void ResetIterator() { m_pIterator = m_head.m_pNext; }
    // The track at the iterator (null at the end); the iterator moves on.
    CMidiTrack* NextTrack();
    [[nodiscard]] CMidiTrack* GetFirstTrack() const { return m_head.m_pNext; }
    // Unlinks and deletes every track.
    void Clear();
    // Deletes every track, then takes over `other`'s, which is left empty.
    void TakeFrom(CMidiTrackList& other);

private:
    CMidiTrack m_head;
    CMidiTrack* m_pIterator = nullptr;
    std::int32_t m_nCount = 0;
};
