#pragma once
// The two list operations shared by events in a track and tracks in a track list.
// T has GetPrev, GetNext, SetPrev, SetNext and m_bLinked (byte). The lists do not
// own through these links; the owner deletes the elements it unlinks.

namespace midilist {

template <class T>
void Unlink(T* self)
{
    if (!self->m_bLinked)
        return;
    T* prev = self->GetPrev();
    T* next = self->GetNext();
    if (prev)
        prev->SetNext(next);
    if (next)
        next->SetPrev(prev);
    self->SetPrev(nullptr);
    self->SetNext(nullptr);
    self->m_bLinked = 0;
}

template <class T>
void InsertAfter(T* self, T* p)
{
    if (!p || p == self)
        return;
    if (self->m_bLinked)
        Unlink(self);
    T* oldNext = p->GetNext();
    self->SetPrev(p);
    self->SetNext(oldNext);
    p->SetNext(self);
    if (oldNext)
        oldNext->SetPrev(self);
    self->m_bLinked = 1;
}

} // namespace midilist
