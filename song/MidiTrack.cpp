#include "song/MidiTrack.h"

#include <memory>
#include <new>

#include "song/ByteOrder.h"
#include "song/LinkedList.h"
#include "song/MidiArchive.h"
#include "song/MidiChannelEvent.h"
#include "song/MidiMetaEvent.h"
#include "song/MidiSysexEvent.h"
#include "song/MidiTrackList.h"

namespace {

// Events live in their track's arena: they are destroyed, and their memory goes
// with the arena.
struct DestroyEvent {
    void operator()(CMidiEvent* event) const { event->~CMidiEvent(); }
};
using EventPtr = std::unique_ptr<CMidiEvent, DestroyEvent>;

template <typename Event>
EventPtr Place(CEventArena& arena, std::uint32_t delta, std::uint8_t status)
{
    void* room = arena.Allocate(sizeof(Event), alignof(Event));
    return EventPtr(room ? new (room) Event(delta, status) : nullptr);
}

// Null when the arena has no room left.
EventPtr MakeEvent(CEventArena& arena, std::uint32_t delta, std::uint8_t status)
{
    if (status == 0xFF)
        return Place<CMidiMetaEvent>(arena, delta, status);
    if (status >= 0xF0)
        return Place<CMidiSysexEvent>(arena, delta, status);
    return Place<CMidiChannelEvent>(arena, delta, status);
}

} // namespace

CMidiTrack::~CMidiTrack()
{
    DeleteEvents();
}

void CMidiTrack::DeleteEvents()
{
    // Each event goes, and the list with it: unlinking them one by one first would
    // only rewrite links that the block's release is about to drop.
    CMidiEvent* event = m_head.GetNext();
    while (event) {
        CMidiEvent* next = event->GetNext();
        DestroyEvent()(event);
        event = next;
    }
    m_head.m_next.Clear();
    m_head.m_ppSlotNearEvents = nullptr;
    m_arena.Release();
}

bool CMidiTrack::Load(CMidiArchive& ar)
{
    DeleteEvents();
    if (!ReadChunkHeader(ar) || m_nKind != kTrack)
        return false;

    // Twice over the events: the first pass measures the block they need, the second
    // reads them into it. Both take the same bytes, so they stop at the same event.
    const std::uint64_t eventsStart = ar.Position();
    const std::uint32_t consumed = m_dwConsumed;
    const std::uint32_t computed = m_dwComputedLength;
    m_arena.BeginMeasuring();
    ReadEvents(ar, true);
    if (!ar.Seek(eventsStart))
        return false;
    m_dwConsumed = consumed;
    m_dwComputedLength = computed;
    m_head.m_ppSlotNearEvents = m_arena.BeginPlacing(&m_head);
    return ReadEvents(ar, false);
}

bool CMidiTrack::ReadEvents(CMidiArchive& ar, bool bMeasuring)
{
    std::uint8_t previousStatus = 0; // 0: no status seen yet in this track
    CMidiEvent* last = &m_head;
    while (m_dwConsumed < m_dwDeclaredLength) {
        // An event that fails is dropped with what it added to the computed length,
        // so that storing the track back writes a length that matches its events.
        const std::uint32_t computedBefore = m_dwComputedLength;

        std::uint32_t delta = 0;
        bool failed = false;
        std::uint32_t deltaBytes = ReadVarLen(ar, delta, failed);
        m_dwConsumed += deltaBytes;
        if (failed)
            return false;
        // The computed length counts what the writer will write: the shortest form,
        // even where the file spelled a quantity with more bytes than it needed.
        m_dwComputedLength += VarLenSize(delta);

        std::uint8_t byte = 0;
        if (!ar.ReadByte(byte))
            return false;
        std::uint8_t status = 0;
        if (byte & 0x80) {
            ++m_dwConsumed;
            if (byte >= 0xF0 || byte != previousStatus)
                ++m_dwComputedLength;
            previousStatus = byte;
            status = byte;
        } else {
            if (previousStatus == 0) {
                // A data byte where the first status belongs: nothing to run on.
                m_dwComputedLength = computedBefore;
                break;
            }
            ar.PutBack();
            status = previousStatus;
            // Running status after a meta or system event: the writer always spells
            // these statuses out, so the byte is counted for it.
            if (status >= 0xF0)
                ++m_dwComputedLength;
        }

        EventPtr event = MakeEvent(m_arena, delta, status);
        if (!event) {
            m_dwComputedLength = computedBefore;
            break;
        }
        ar.SetChunkLeft(m_dwDeclaredLength - m_dwConsumed);
        std::uint32_t bodyBytes = 0;
        bool read = event->Read(ar, bodyBytes);
        ar.SetChunkLeft(UINT64_MAX);
        if (!read) {
            m_dwComputedLength = computedBefore;
            break;
        }
        m_dwConsumed += bodyBytes;
        m_dwComputedLength += event->StoredBodySize();
        if (bMeasuring)
            continue; // the event is destroyed; its room is counted
        event->InsertAfter(last);
        last = event.release();
    }
    return true;
}

bool CMidiTrack::Store(CMidiArchive& ar) const
{
    if (!WriteChunkHeader(ar))
        return false;
    for (const CMidiEvent* event = m_head.GetNext(); event; event = event->GetNext())
        if (!event->Write(ar))
            return false;
    return true;
}

std::uint32_t CMidiTrack::CountEvents() const
{
    std::uint32_t n = 0;
    for (const CMidiEvent* event = m_head.GetNext(); event; event = event->GetNext())
        ++n;
    return n;
}

void CMidiTrack::InsertAfter(CMidiTrack* p)
{
    midilist::InsertAfter(this, p);
}

void CMidiTrack::Unlink()
{
    midilist::Unlink(this);
}

void CMidiTrackList::Load(CMidiArchive& ar)
{
    m_nCount = 0;
    CMidiTrack* last = &m_head;
    while (last->m_pNext)
        last = last->m_pNext;
    for (;;) {
        auto track = std::make_unique<CMidiTrack>(m_nCount + 1);
        if (!track->Load(ar))
            break;
        ++m_nCount;
        track->InsertAfter(last);
        last = track.release();
    }
    ResetIterator();
}

bool CMidiTrackList::Store(CMidiArchive& ar) const
{
    bool ok = true;
    for (const CMidiTrack* track = m_head.m_pNext; track; track = track->m_pNext)
        ok = track->Store(ar) && ok;
    return ok;
}

CMidiTrack* CMidiTrackList::NextTrack()
{
    CMidiTrack* track = m_pIterator;
    if (track)
        m_pIterator = track->m_pNext;
    return track;
}

void CMidiTrackList::Clear()
{
    while (CMidiTrack* track = m_head.m_pNext) {
        track->Unlink();
        delete track;
    }
    m_pIterator = nullptr;
    m_nCount = 0;
}

void CMidiTrackList::TakeFrom(CMidiTrackList& other)
{
    if (&other == this)
        return;
    Clear();
    if (CMidiTrack* first = other.m_head.m_pNext) {
        m_head.m_pNext = first;
        first->m_pPrev = &m_head;
        other.m_head.m_pNext = nullptr;
    }
    m_nCount = other.m_nCount;
    other.m_nCount = 0;
    other.m_pIterator = nullptr;
    ResetIterator();
}
