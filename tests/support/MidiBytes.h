#pragma once
// Standard MIDI Files built byte by byte: a header, tracks of events with their delta
// times (running status and meta events included), and chunks of any bytes and any
// declared length for damaged files. Then such bytes loaded into a song, a song
// stored back to bytes, and a song's events as the command-line dump prints them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "song/MidiSong.h"

using Bytes = std::vector<std::uint8_t>;

// A quantity in the variable-length form, the shortest spelling: seven bits a byte,
// the first groups marked with bit 7. A value past 0x0FFFFFFF takes a fifth byte.
void AppendVarLen(Bytes& out, std::uint32_t value);

// A chunk: its four-letter id, its length (`declared` when given, for a file whose
// length lies) and its body.
Bytes Chunk(const char id[4], const Bytes& body);
Bytes Chunk(const char id[4], const Bytes& body, std::uint32_t declared);
// The "MThd" chunk.
Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division);
// The parts one after the other.
Bytes Cat(std::initializer_list<Bytes> parts);

// One track's events, each after its delta in ticks; End() closes it with End of
// track. Channels count from 0.
class CTrackBytes {
public:
    // Any event: the bytes after the delta as given. Leaving out the status byte
    // makes a running-status event.
    CTrackBytes& Raw(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes);
    CTrackBytes& On(std::uint32_t delta, int channel, int note, int velocity = 100);
    CTrackBytes& Off(std::uint32_t delta, int channel, int note, int velocity = 64);
    CTrackBytes& Program(std::uint32_t delta, int channel, int program);
    CTrackBytes& Control(std::uint32_t delta, int channel, int controller, int value);
    // FF, the type, the length of `data`, then `data`.
    CTrackBytes& Meta(std::uint32_t delta, std::uint8_t type, std::initializer_list<std::uint8_t> data);
    // A meta event of text: a track name (3), a lyric (5), any text (1).
    CTrackBytes& Text(std::uint32_t delta, std::uint8_t type, std::string_view text);
    CTrackBytes& Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter);
    CTrackBytes& End(std::uint32_t delta = 0);

    // The events, without the chunk's id and length.
    [[nodiscard]] const Bytes& Body() const { return m_body; }

private:
    CTrackBytes& Channel(std::uint32_t delta, int kind, int channel, std::initializer_list<int> data);

    Bytes m_body;
};

// The header (the track count is the number of tracks given), then each track's chunk.
Bytes SmfBytes(std::uint16_t division, const std::vector<CTrackBytes>& tracks, std::uint16_t format = 1);

// One stepwise phrase of twelve eighths (division 96) on channels 1 and 3 (2 and 4
// as shown): played by both together, in unison, or passed between them phrase by
// phrase, four times (and, `AnsweredDoubled`, channel 1's phrases doubled softly on
// channel 5 and channel 3's struck harder). Either way channel 1 or 3 may carry the tune.
enum class TwoChannelTune { Unison, Answered, AnsweredDoubled };
Bytes TwoChannelTuneBytes(TwoChannelTune kind);

// Loads as the document does: the song is cleared first.
void LoadSong(CMidiSong& song, const Bytes& bytes);
void LoadSong(CMidiSong& song, std::uint16_t division, const std::vector<CTrackBytes>& tracks);
Bytes StoreSong(CMidiSong& song);

// Every event of every track in the command-line dump's form, one per line.
std::string DumpOf(const CMidiSong& song);
