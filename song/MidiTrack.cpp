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
    return EventPtr(new (arena.Allocate(sizeof(Event), alignof(Event))) Event(delta, status));
}

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
    while (CMidiEvent* event = m_head.m_pNext) {
        event->Unlink();
        DestroyEvent()(event);
    }
}

bool CMidiTrack::Load(CMidiArchive& ar)
{
    if (!ReadChunkHeader(ar) || m_nKind != kTrack)
        return false;

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
        ar.SetChunkLeft(m_dwDeclaredLength - m_dwConsumed);
        std::uint32_t bodyBytes = 0;
        bool read = event->Read(ar, bodyBytes);
        ar.SetChunkLeft(UINT64_MAX);
        if (!read) {
            m_dwComputedLength = computedBefore;
            break;
        }
        event->InsertAfter(last);
        last = event.release();
        m_dwConsumed += bodyBytes;
        m_dwComputedLength += last->StoredBodySize();
    }
    return true;
}

bool CMidiTrack::Store(CMidiArchive& ar) const
{
    if (!WriteChunkHeader(ar))
        return false;
    for (const CMidiEvent* event = m_head.m_pNext; event; event = event->m_pNext)
        if (!event->Write(ar))
            return false;
    return true;
}

std::uint32_t CMidiTrack::CountEvents() const
{
    std::uint32_t n = 0;
    for (const CMidiEvent* event = m_head.m_pNext; event; event = event->m_pNext)
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
