#pragma once
// One "MTrk" chunk and its events. The track owns every event in its list; they
// are made by Load in the track's own block, so no event made elsewhere may be
// linked into it.

#include <cstdint>

#include "song/EventArena.h"
#include "song/MidiChunk.h"
#include "song/MidiEvent.h"

class CMidiTrack final : public CMidiChunk {
public:
    explicit CMidiTrack(std::int32_t number = 0) : m_nNumber(number) {}
    ~CMidiTrack() override;

    // Reads the chunk and its events in place of any it had. True when the chunk is
    // an "MTrk"; a damaged event ends the event loop but the track keeps what came
    // before it.
    [[nodiscard]] bool Load(CMidiArchive& ar);
    // Writes the chunk header and the events; the first failing event ends the track.
    bool Store(CMidiArchive& ar) const;

    // The list head; its next is the first event (null for an empty track).
    [[nodiscard]] CMidiListHead* GetEventList() { return &m_head; }
    [[nodiscard]] const CMidiListHead* GetEventList() const { return &m_head; }
    [[nodiscard]] CMidiEvent* GetFirstEvent() const { return m_head.GetNext(); }
    [[nodiscard]] std::int32_t GetNumber() const { return m_nNumber; }
    // Events in the list (walks it).
    [[nodiscard]] std::uint32_t CountEvents() const;

    void InsertAfter(CMidiTrack* p);
    void Unlink();
    [[nodiscard]] CMidiTrack* GetPrev() const { return m_pPrev; }
    [[nodiscard]] CMidiTrack* GetNext() const { return m_pNext; }
    void SetPrev(CMidiTrack* prev) { m_pPrev = prev; }
    void SetNext(CMidiTrack* next) { m_pNext = next; }

    CMidiTrack* m_pPrev = nullptr;
    CMidiTrack* m_pNext = nullptr;
    std::uint8_t m_bLinked = 0;
    std::int32_t m_nNumber = 0;
    CMidiListHead m_head;

private:
    // Reads events to the chunk's end or the first that fails; false when the bytes
    // ran out inside one. Measuring, each event is read and dropped.
    bool ReadEvents(CMidiArchive& ar, bool bMeasuring);
    void DeleteEvents();

    CEventArena m_arena;
};
