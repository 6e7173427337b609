#pragma once
// Small helpers to build Standard MIDI File bytes in memory for tests.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "song/ByteOrder.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes Chunk(const char id[4], const Bytes& body, std::uint32_t declared)
{
    Bytes out(id, id + 4);
    out.push_back(static_cast<std::uint8_t>(declared >> 24));
    out.push_back(static_cast<std::uint8_t>(declared >> 16));
    out.push_back(static_cast<std::uint8_t>(declared >> 8));
    out.push_back(static_cast<std::uint8_t>(declared));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Chunk(const char id[4], const Bytes& body)
{
    return Chunk(id, body, static_cast<std::uint32_t>(body.size()));
}

inline Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    return Chunk("MThd", {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                          static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
                          static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Loads as the document does: the song is cleared first.
inline void LoadBytes(CMidiSong& song, const Bytes& bytes)
{
    song.Clear();
    CMidiArchive ar(bytes.data(), bytes.size());
    song.Serialize(ar);
}

inline Bytes StoreBytes(CMidiSong& song)
{
    CMidiArchive ar;
    song.Serialize(ar);
    return ar.Bytes();
}

// Every event of every track in the command-line dump's form, one per line.
inline std::string DumpOf(const CMidiSong& song)
{
    std::string out;
    for (const CMidiTrack* t = song.GetTrackList().GetFirstTrack(); t; t = t->m_pNext)
        for (const CMidiEvent* e = t->GetFirstEvent(); e; e = e->GetNext()) {
            out += std::to_string(t->GetNumber()) + ' ';
            e->Dump(out);
            out += '\n';
        }
    return out;
}
