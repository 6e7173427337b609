#pragma once
// Playback position in one track, counting down microseconds to the next event.
// It borrows the track's events: destroy it before the song is cleared.

#include <cstdint>

#include "song/MidiEvent.h"

class CMidiMessage;

class CMidiTrackCursor {
public:
    // The sequencer's step: 5 ms.
    static constexpr std::uint32_t kStepMicroseconds = 5000;

    // number is 1-based; a null firstEvent (empty track) starts at end.
    void Init(std::int32_t trackNumber, CMidiEvent* firstEvent);
    void Rewind();
    // Subtracts one step from the pending time when at least one step is pending.
    void CountDown();
    // False at end or when the event is still a step or more away; otherwise fills
    // the message (with the track number) and carries the remaining pending time.
    [[nodiscard]] bool GetDueMessage(CMidiMessage& msg);
    void Advance();
    [[nodiscard]] std::int32_t GetEventValue() const;
    [[nodiscard]] bool IsAtEnd() const { return m_bAtEnd != 0; }
    // After SetTickScale: pending = pending * current / previous (nothing while previous is 0).
    void Rescale();

    [[nodiscard]] std::int32_t GetTrackNumber() const { return m_nTrack; }
    [[nodiscard]] std::uint32_t GetPending() const { return m_dwPending; }
    [[nodiscard]] std::uint32_t GetCarried() const { return m_dwCarried; }
    [[nodiscard]] const CMidiEvent* GetCurrent() const { return m_pCurrent; }

    // The process-wide microseconds-per-tick pair: previous = current, current = argument.
    static void SetTickScale(std::uint32_t microsecondsPerTick);
    [[nodiscard]] static std::uint32_t GetCurrentScale();
    [[nodiscard]] static std::uint32_t GetPreviousScale();

private:
    void ComputePending();

    std::int32_t m_nTrack = 0;
    CMidiEvent* m_pCurrent = nullptr;
    std::uint32_t m_dwPending = 0;
    std::uint32_t m_dwCarried = 0;
    std::uint8_t m_bAtEnd = 1;
    CMidiEvent* m_pFirst = nullptr;
};
