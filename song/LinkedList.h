#pragma once
// The two list operations shared by events in a track and tracks in a track list.
// T has m_pPrev, m_pNext (T*) and m_bLinked (byte). The lists do not own through
// these pointers; the owner deletes the elements it unlinks.

namespace midilist {

template <class T>
void Unlink(T* self)
{
    if (!self->m_bLinked)
        return;
    if (self->m_pPrev)
        self->m_pPrev->m_pNext = self->m_pNext;
    if (self->m_pNext)
        self->m_pNext->m_pPrev = self->m_pPrev;
    self->m_pPrev = nullptr;
    self->m_pNext = nullptr;
    self->m_bLinked = 0;
}

template <class T>
void InsertAfter(T* self, T* p)
{
    if (!p)
        return;
    if (self->m_bLinked)
        Unlink(self);
    T* oldNext = p->m_pNext;
    self->m_pPrev = p;
    self->m_pNext = oldNext;
    p->m_pNext = self;
    if (oldNext)
        oldNext->m_pPrev = self;
    self->m_bLinked = 1;
}

} // namespace midilist
