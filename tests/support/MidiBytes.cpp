#include "tests/support/MidiBytes.h"

#include "song/MidiArchive.h"
#include "song/MidiEvent.h"
#include "song/MidiTrack.h"

namespace {

void AppendBigEndian(Bytes& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace

void AppendVarLen(Bytes& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    int n = 0;
    groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0)
        groups[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(groups[--n]);
}

Bytes Chunk(const char id[4], const Bytes& body, std::uint32_t declared)
{
    Bytes out(id, id + 4);
    AppendBigEndian(out, declared, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Chunk(const char id[4], const Bytes& body)
{
    return Chunk(id, body, static_cast<std::uint32_t>(body.size()));
}

Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    Bytes body;
    AppendBigEndian(body, format, 2);
    AppendBigEndian(body, tracks, 2);
    AppendBigEndian(body, division, 2);
    return Chunk("MThd", body);
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

CTrackBytes& CTrackBytes::Raw(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
{
    AppendVarLen(m_body, delta);
    m_body.insert(m_body.end(), bytes);
    return *this;
}

CTrackBytes& CTrackBytes::Channel(std::uint32_t delta, int kind, int channel, std::initializer_list<int> data)
{
    AppendVarLen(m_body, delta);
    m_body.push_back(static_cast<std::uint8_t>(kind | (channel & 0x0F)));
    for (int d : data)
        m_body.push_back(static_cast<std::uint8_t>(d & 0xFF));
    return *this;
}

CTrackBytes& CTrackBytes::On(std::uint32_t delta, int channel, int note, int velocity)
{
    return Channel(delta, 0x90, channel, {note, velocity});
}

CTrackBytes& CTrackBytes::Off(std::uint32_t delta, int channel, int note, int velocity)
{
    return Channel(delta, 0x80, channel, {note, velocity});
}

CTrackBytes& CTrackBytes::Program(std::uint32_t delta, int channel, int program)
{
    return Channel(delta, 0xC0, channel, {program});
}

CTrackBytes& CTrackBytes::Control(std::uint32_t delta, int channel, int controller, int value)
{
    return Channel(delta, 0xB0, channel, {controller, value});
}

CTrackBytes& CTrackBytes::Meta(std::uint32_t delta, std::uint8_t type, std::initializer_list<std::uint8_t> data)
{
    AppendVarLen(m_body, delta);
    m_body.push_back(0xFF);
    m_body.push_back(type);
    AppendVarLen(m_body, static_cast<std::uint32_t>(data.size()));
    m_body.insert(m_body.end(), data);
    return *this;
}

CTrackBytes& CTrackBytes::Text(std::uint32_t delta, std::uint8_t type, std::string_view text)
{
    AppendVarLen(m_body, delta);
    m_body.push_back(0xFF);
    m_body.push_back(type);
    AppendVarLen(m_body, static_cast<std::uint32_t>(text.size()));
    m_body.insert(m_body.end(), text.begin(), text.end());
    return *this;
}

CTrackBytes& CTrackBytes::Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter)
{
    return Meta(delta, 0x51,
                {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                 static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                 static_cast<std::uint8_t>(microsecondsPerQuarter)});
}

CTrackBytes& CTrackBytes::End(std::uint32_t delta)
{
    return Meta(delta, 0x2F, {});
}

Bytes SmfBytes(std::uint16_t division, const std::vector<CTrackBytes>& tracks, std::uint16_t format)
{
    Bytes out = Header(format, static_cast<std::uint16_t>(tracks.size()), division);
    for (const CTrackBytes& t : tracks) {
        const Bytes chunk = Chunk("MTrk", t.Body());
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

Bytes TwoChannelTuneBytes(TwoChannelTune kind)
{
    constexpr int kPhrase[] = {60, 62, 64, 65, 67, 65, 64, 62, 60, 64, 67, 72};
    CTrackBytes t;
    if (kind == TwoChannelTune::Unison) {
        for (int pitch : kPhrase)
            t.On(0, 1, pitch).On(0, 3, pitch).Off(48, 1, pitch).Off(0, 3, pitch);
        return SmfBytes(96, {t.End()}, 0);
    }
    for (int phrase = 0; phrase < 4; ++phrase) {
        const int channel = phrase % 2 ? 3 : 1;
        const bool answeredDoubled = kind == TwoChannelTune::AnsweredDoubled;
        const bool doubled = channel == 1 && answeredDoubled;
        // A doubling adds weight to the line it doubles; a softer one, against
        // answers struck harder, leaves either line the tune.
        const int velocity = channel == 3 && answeredDoubled ? 120 : 100;
        for (int pitch : kPhrase) {
            t.On(0, channel, pitch, velocity);
            if (doubled)
                t.On(0, 5, pitch, 80).Off(48, 5, pitch).Off(0, channel, pitch);
            else
                t.Off(48, channel, pitch);
        }
    }
    return SmfBytes(96, {t.End()}, 0);
}

void LoadSong(CMidiSong& song, const Bytes& bytes)
{
    song.Clear();
    CMidiArchive ar(bytes.data(), bytes.size());
    song.Serialize(ar);
}

void LoadSong(CMidiSong& song, std::uint16_t division, const std::vector<CTrackBytes>& tracks)
{
    LoadSong(song, SmfBytes(division, tracks));
}

Bytes StoreSong(CMidiSong& song)
{
    CMidiArchive ar;
    song.Serialize(ar);
    return ar.Bytes();
}

std::string DumpOf(const CMidiSong& song)
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
