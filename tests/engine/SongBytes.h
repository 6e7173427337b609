#pragma once
// Builds small Standard MIDI Files in memory for the engine tests.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "song/MidiArchive.h"
#include "song/MidiSong.h"

using Bytes = std::vector<std::uint8_t>;

// One track's events, each with its delta; End() closes it with End of track.
class CTrackBytes {
public:
    CTrackBytes& Raw(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        VarLen(delta);
        m_body.insert(m_body.end(), bytes);
        return *this;
    }
    CTrackBytes& On(std::uint32_t delta, int ch, int note, int vel = 100)
    {
        return Raw(delta, {Status(0x90, ch), Byte(note), Byte(vel)});
    }
    CTrackBytes& Off(std::uint32_t delta, int ch, int note, int vel = 64)
    {
        return Raw(delta, {Status(0x80, ch), Byte(note), Byte(vel)});
    }
    CTrackBytes& Program(std::uint32_t delta, int ch, int program)
    {
        return Raw(delta, {Status(0xC0, ch), Byte(program)});
    }
    CTrackBytes& Control(std::uint32_t delta, int ch, int controller, int value)
    {
        return Raw(delta, {Status(0xB0, ch), Byte(controller), Byte(value)});
    }
    CTrackBytes& Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter)
    {
        return Raw(delta, {0xFF, 0x51, 0x03, Byte(microsecondsPerQuarter >> 16), Byte(microsecondsPerQuarter >> 8),
                           Byte(microsecondsPerQuarter)});
    }
    CTrackBytes& End(std::uint32_t delta = 0) { return Raw(delta, {0xFF, 0x2F, 0x00}); }

    [[nodiscard]] Bytes Chunk() const
    {
        Bytes out{'M', 'T', 'r', 'k'};
        Be32(out, static_cast<std::uint32_t>(m_body.size()));
        out.insert(out.end(), m_body.begin(), m_body.end());
        return out;
    }

    static void Be32(Bytes& out, std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> shift));
    }

private:
    static std::uint8_t Byte(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
    static std::uint8_t Status(int kind, int ch) { return static_cast<std::uint8_t>(kind | (ch & 0x0F)); }
    void VarLen(std::uint32_t v)
    {
        std::uint8_t buf[5];
        int n = 0;
        buf[n++] = static_cast<std::uint8_t>(v & 0x7F);
        while ((v >>= 7) != 0)
            buf[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
        while (n > 0)
            m_body.push_back(buf[--n]);
    }

    Bytes m_body;
};

inline Bytes SmfBytes(std::uint16_t division, const std::vector<CTrackBytes>& tracks, std::uint16_t format = 1)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    out.push_back(static_cast<std::uint8_t>(format >> 8));
    out.push_back(static_cast<std::uint8_t>(format));
    out.push_back(static_cast<std::uint8_t>(tracks.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(tracks.size()));
    out.push_back(static_cast<std::uint8_t>(division >> 8));
    out.push_back(static_cast<std::uint8_t>(division));
    for (const CTrackBytes& t : tracks) {
        Bytes c = t.Chunk();
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

inline void LoadSong(CMidiSong& song, const Bytes& bytes)
{
    song.Clear();
    CMidiArchive ar(bytes.data(), bytes.size());
    song.Serialize(ar);
}

inline void LoadSong(CMidiSong& song, std::uint16_t division, const std::vector<CTrackBytes>& tracks)
{
    LoadSong(song, SmfBytes(division, tracks));
}

// Packed short message as the device receives it.
constexpr std::uint32_t Msg(int status, int data1 = 0, int data2 = 0)
{
    return static_cast<std::uint32_t>(status) | static_cast<std::uint32_t>(data1) << 8 |
           static_cast<std::uint32_t>(data2) << 16;
}
