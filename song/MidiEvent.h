#pragma once
// An event of a track, kept in a doubly linked list in file order, and the list head.

#include <cstdint>
#include <string>

#include "song/EventLink.h"
#include "song/MidiObject.h"

class CMidiArchive;
class CMidiMessage;

class CMidiEvent : public CMidiObject {
public:
    CMidiEvent() = default;
    CMidiEvent(std::uint32_t delta, std::uint8_t status) : m_dwDelta(delta), m_byStatus(status) {}

    // Reads the body after delta and status; adds every byte taken to bytesRead.
    [[nodiscard]] virtual bool Read(CMidiArchive& ar, std::uint32_t& bytesRead) = 0;
    // Writes delta, status (where it is due) and body.
    virtual bool Write(CMidiArchive& ar) const = 0;
    // Appends one diagnostic line without a line break: "DELTA STATUS ..." in decimal
    // and upper-case hex, the form the command-line dump prints after the track number.
    virtual void Dump(std::string& sink) const = 0;
    // Clears the message, copies delta and status, then the kind-specific part.
    void GetMessage(CMidiMessage& msg) const;
    // 15-character, blank-padded name.
    [[nodiscard]] virtual std::string GetName() const = 0;
    [[nodiscard]] virtual std::string GetText() const = 0;
    [[nodiscard]] virtual std::int32_t GetValue() const = 0;
    [[nodiscard]] virtual std::int32_t GetCategory() const = 0;
    virtual void FillMessage(CMidiMessage& msg) const = 0;
    // Bytes Write puts after the delta and the status: what the stored chunk length
    // counts, whatever spelling the file that was read used.
    [[nodiscard]] virtual std::uint32_t StoredBodySize() const = 0;

    [[nodiscard]] CMidiEvent* GetNext() const { return m_next.Get(this); }
    [[nodiscard]] CMidiEvent* GetPrev() const { return m_prev.Get(this); }
    [[nodiscard]] std::uint32_t GetDelta() const { return m_dwDelta; }
    [[nodiscard]] std::uint8_t GetStatus() const { return m_byStatus; }
    [[nodiscard]] bool IsLinked() const { return m_bLinked != 0; }
    // Links this event after p (unlinking it first if it is in a list); nothing when p is null.
    void InsertAfter(CMidiEvent* p);
    void Unlink();
    // The two links as the list operations set them. Events of one list lie within
    // 8 GiB of each other, but for its head, which keeps slots for the far links;
    // linking two events farther apart throws std::length_error.
    void SetNext(CMidiEvent* next);
    void SetPrev(CMidiEvent* prev);

    CEventLink m_prev;
    CEventLink m_next;
    // The delta first: the flag and the status then share its word's neighbour with
    // a channel event's data bytes, keeping that event at 24 bytes.
    std::uint32_t m_dwDelta = 0;
    std::uint8_t m_bLinked = 0;
    std::uint8_t m_byStatus = 0;
};

// Sentinel at the head of a track's list: its next is the first event.
class CMidiListHead final : public CMidiEvent {
public:
    bool Read(CMidiArchive&, std::uint32_t&) override { return false; }
    bool Write(CMidiArchive&) const override { return false; }
    void Dump(std::string& sink) const override { sink += "(list head)"; }
    std::string GetName() const override { return std::string(); }
    std::string GetText() const override { return std::string(); }
    std::int32_t GetValue() const override { return 0; }
    std::int32_t GetCategory() const override { return 0; }
    void FillMessage(CMidiMessage& msg) const override;
    std::uint32_t StoredBodySize() const override { return 0; }

    // The first event, when it lies too far from the head for a link.
    CMidiEvent* m_pNextFar = nullptr;
    // A slot among the events that holds this head's address, for the link back from
    // whichever event comes first; null until the track has events.
    CMidiEvent* const* m_ppSlotNearEvents = nullptr;
};
