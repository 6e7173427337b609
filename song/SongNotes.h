#pragma once
// The notes of a song on one time line: every note of every track as a span of
// absolute ticks with its channel and pitch, the tempo map, the channel labels
// and the track names. The melody finder and the faithful capture read a song
// through this index, never through the live send path, so what they see does
// not depend on the clock.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "song/MidiChannels.h"

class CMidiSong;

// Controller 7 starts at 100 in General MIDI, controller 11 (expression) at 127.
constexpr std::uint8_t kDefaultChannelVolume = 100;
constexpr std::uint8_t kCentrePan = 64;

struct SongNote {
    std::uint64_t qwStart = 0; // absolute ticks from the song start
    std::uint64_t qwEnd = 0;   // > qwStart; an unended note lasts to its track's end
    std::uint8_t byChannel = 0; // 0-15
    std::uint8_t byPitch = 0;   // note number 0-127
    std::uint8_t byVelocity = 0;
    std::uint16_t wTrack = 0;   // 0-based track index
    // The channel's volume times its expression at the note's start, 0-127: how
    // loud the mix sets the channel (the General MIDI 100 where the song sets neither).
    std::uint8_t byVolume = kDefaultChannelVolume;
    // The channel's pan at the note's start, 0 (left) to 127 (right), 64 where the
    // song sets none.
    std::uint8_t byPan = kCentrePan;
};

struct TempoChange {
    std::uint64_t qwTick = 0;
    std::uint32_t dwTempo = 0; // microseconds per quarter, > 0
};

// A Time Signature: bars of `qwTicksPerBar` from `qwTick` on.
struct MeterChange {
    std::uint64_t qwTick = 0;
    std::uint64_t qwTicksPerBar = 0; // > 0
};

class CSongNotes {
public:
    static constexpr int kChannels = kMidiChannels;
    static constexpr std::uint32_t kDefaultTempo = 500000;

    CSongNotes() = default;
    explicit CSongNotes(const CMidiSong& song);

    // Notes ordered by start tick, then by pitch from the highest down.
    [[nodiscard]] const std::vector<SongNote>& Notes() const { return m_notes; }
    // The tempo changes in tick order (a Set Tempo of 0 is left out).
    [[nodiscard]] const std::vector<TempoChange>& Tempos() const { return m_tempos; }
    [[nodiscard]] std::uint16_t Division() const { return m_wDivision; }
    // The tick of the last event of the longest track.
    [[nodiscard]] std::uint64_t EndTick() const { return m_qwEndTick; }

    // Microseconds per quarter in force at `tick` (the default before any Set Tempo).
    [[nodiscard]] std::uint32_t TempoAt(std::uint64_t tick) const;
    // The Set Tempo met last in the song (the default without one): the tempo that
    // turns the position slider's seconds into ticks.
    [[nodiscard]] std::uint32_t LastTempo() const;
    // The tick where a recording from `second` of the position slider starts: the
    // second at the last tempo, as the player seeks.
    [[nodiscard]] std::uint64_t TickAtSliderSecond(std::uint32_t second) const;
    // The position slider's second at or before `tick` (the inverse of
    // TickAtSliderSecond, rounded down).
    [[nodiscard]] std::uint32_t SliderSecondAt(std::uint64_t tick) const;
    // The tick reached `seconds` of playing time after `fromTick`, following the
    // tempo map; EndTick() at most.
    [[nodiscard]] std::uint64_t TickAfterSeconds(std::uint64_t fromTick, double seconds) const;
    // Seconds of playing time from the song start to `tick`, following the tempo map.
    [[nodiscard]] double SecondsAt(std::uint64_t tick) const;

    // Bar lines follow the Time Signatures (4/4 before the first); a signature
    // starts a bar where it stands. The tick of the bar line at or before `tick`.
    [[nodiscard]] std::uint64_t BarStartAtOrBefore(std::uint64_t tick) const;
    // The tick of the first bar line after `tick`.
    [[nodiscard]] std::uint64_t NextBarLine(std::uint64_t tick) const;
    // Ticks from `tick` to the nearest bar line, before or after it.
    [[nodiscard]] std::uint64_t DistanceToBarLine(std::uint64_t tick) const;

    // The channel label as the channel panel shows it: "#04 PIPE/Flute" from the
    // channel's last program change, "#04 Unknown" without one. channel 0-15.
    [[nodiscard]] std::string ChannelLabel(int channel) const;
    // The channel's last program change data byte, -1 without one.
    [[nodiscard]] int Program(int channel) const;
    // The names (meta type 3) of the tracks that carry the channel's notes, joined
    // with " / "; empty without any.
    [[nodiscard]] std::string TrackNames(int channel) const;

    // The same song with channel c's notes moved to channel `to[c]`, or left out
    // where that is not a channel (-1); several channels may merge into one. The
    // programs and the channels' volumes and pans are forgotten, as in a song that plays
    // every part on one piano: what the melody tools use to try a song in a
    // sparser texture.
    [[nodiscard]] CSongNotes WithChannelsMoved(const std::array<int, kChannels>& to) const;
    // The same song with other notes, kept in the order of Notes(); a note that
    // does not end after it starts is left out.
    [[nodiscard]] CSongNotes WithNotes(std::vector<SongNote> notes) const;

private:
    void SortNotes();
    struct MixChange {
        std::uint64_t qwTick;
        std::uint8_t byChannel;
        std::uint8_t byController; // volume, expression or pan
        std::uint8_t byValue;
    };
    void ApplyMix(std::vector<MixChange> changes);
    [[nodiscard]] MeterChange MeterAt(std::uint64_t tick) const;
    void AddMeter(std::uint64_t tick, std::uint8_t numerator, std::uint8_t denominatorPower);

    std::vector<SongNote> m_notes;
    std::vector<TempoChange> m_tempos;
    std::vector<MeterChange> m_meters; // in tick order
    std::vector<std::string> m_trackNames; // by track index
    std::array<int, kChannels> m_programs{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    std::uint32_t m_dwLastTempo = kDefaultTempo;
    std::uint16_t m_wDivision = 0;
    std::uint64_t m_qwEndTick = 0;
};
