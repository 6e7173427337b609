// Writes the bundled demo song: "Ode to Joy" (Beethoven, public domain), a format-1
// Standard MIDI File with a conductor track, the melody on channel 1, string chords
// on channel 2 and a bass line on channel 3.
//
// usage: zorvat-make-demo OUT.mid

#include <cstdio>
#include <cstring>
#include <vector>

#include "song/ByteOrder.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

namespace {

constexpr std::uint16_t kDivision = 480;
constexpr std::uint32_t Q = kDivision, H = 2 * Q, DQ = Q + Q / 2, E = Q / 2;

struct Note {
    std::uint8_t pitch;
    std::uint32_t ticks;
};

// Builds one track's event bytes; channel events use running status.
class CTrackWriter {
public:
    void Meta(std::uint32_t delta, std::uint8_t type, std::vector<std::uint8_t> data)
    {
        Delta(delta);
        Byte(0xFF);
        Byte(type);
        VarLen(static_cast<std::uint32_t>(data.size()));
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        m_running = 0;
    }
    void Text(std::uint8_t type, const char* text)
    {
        Meta(0, type, std::vector<std::uint8_t>(text, text + std::strlen(text)));
    }
    void Channel(std::uint32_t delta, std::uint8_t status, std::uint8_t d1, int d2 = -1)
    {
        Delta(delta);
        if (status != m_running)
            Byte(status);
        m_running = status;
        Byte(d1);
        if (d2 >= 0)
            Byte(static_cast<std::uint8_t>(d2));
    }
    // Notes end exactly where the next begins, so a recording of them has no rests.
    void Chord(std::uint8_t channel, const std::vector<std::uint8_t>& pitches, std::uint32_t ticks, std::uint8_t vel)
    {
        for (std::size_t i = 0; i < pitches.size(); ++i)
            Channel(i == 0 ? m_wait : 0, static_cast<std::uint8_t>(0x90 | channel), pitches[i], vel);
        for (std::size_t i = 0; i < pitches.size(); ++i)
            Channel(i == 0 ? ticks : 0, static_cast<std::uint8_t>(0x90 | channel), pitches[i], 0);
        m_wait = 0;
    }
    void End() { Meta(0, 0x2F, {}); }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    void Byte(std::uint8_t b) { m_bytes.push_back(b); }
    void VarLen(std::uint32_t v)
    {
        std::uint8_t buf[4];
        std::uint32_t n = EncodeVarLen(v, buf);
        m_bytes.insert(m_bytes.end(), buf, buf + n);
    }
    void Delta(std::uint32_t d) { VarLen(d); }

    std::vector<std::uint8_t> m_bytes;
    std::uint8_t m_running = 0;
    std::uint32_t m_wait = 0;
};

constexpr std::uint8_t C4 = 48, D4 = 50, E4 = 52, G3 = 43, C3 = 36;
constexpr std::uint8_t G4 = 55, C5 = 60, D5 = 62, E5 = 64, F5 = 65, G5 = 67;

std::vector<Note> Melody()
{
    const std::vector<Note> phraseA = {
        {E5, Q}, {E5, Q}, {F5, Q}, {G5, Q}, {G5, Q}, {F5, Q}, {E5, Q}, {D5, Q},
        {C5, Q}, {C5, Q}, {D5, Q}, {E5, Q},
    };
    std::vector<Note> m = phraseA;
    m.insert(m.end(), {{E5, DQ}, {D5, E}, {D5, H}});
    m.insert(m.end(), phraseA.begin(), phraseA.end());
    m.insert(m.end(), {{D5, DQ}, {C5, E}, {C5, H}});
    m.insert(m.end(), {{D5, Q}, {D5, Q}, {E5, Q}, {C5, Q},
                       {D5, Q}, {E5, E}, {F5, E}, {E5, Q}, {C5, Q},
                       {D5, Q}, {E5, E}, {F5, E}, {E5, Q}, {D5, Q},
                       {C5, Q}, {D5, Q}, {G4, H}});
    m.insert(m.end(), phraseA.begin(), phraseA.end());
    m.insert(m.end(), {{D5, DQ}, {C5, E}, {C5, H}});
    return m;
}

// Two chords a bar, 'C' or 'G', over the sixteen bars.
constexpr const char* kHarmony = "CCGGCCGG" "CCGGCCGC" "GGGCGCGG" "CCGGCCGC";

std::vector<std::uint8_t> ChordOf(char name)
{
    return name == 'C' ? std::vector<std::uint8_t>{C4, E4, G4} : std::vector<std::uint8_t>{D4, G4, 59};
}

std::vector<std::uint8_t> BuildFile()
{
    CTrackWriter conductor;
    conductor.Text(0x03, "Ode to Joy");
    conductor.Text(0x02, "Ludwig van Beethoven, public domain");
    conductor.Meta(0, 0x58, {4, 2, 24, 8});
    conductor.Meta(0, 0x59, {0, 0});
    conductor.Meta(0, 0x51, {0x07, 0xA1, 0x20}); // 500000 us a quarter: 120 beats a minute
    conductor.Meta(64 * Q, 0x2F, {});

    CTrackWriter melody;
    melody.Text(0x03, "Melody");
    melody.Channel(0, 0xC0, 73); // flute
    melody.Channel(0, 0xB0, 7, 110);
    for (const Note& n : Melody())
        melody.Chord(0, {n.pitch}, n.ticks, 100);
    melody.End();

    CTrackWriter strings;
    strings.Text(0x03, "Strings");
    strings.Channel(0, 0xC1, 48); // string ensemble
    strings.Channel(0, 0xB1, 7, 70);
    for (const char* c = kHarmony; *c; ++c)
        strings.Chord(1, ChordOf(*c), H, 70);
    strings.End();

    CTrackWriter bass;
    bass.Text(0x03, "Bass");
    bass.Channel(0, 0xC2, 32); // acoustic bass
    bass.Channel(0, 0xB2, 7, 90);
    for (const char* c = kHarmony; *c; ++c) {
        std::uint8_t root = *c == 'C' ? C3 : G3;
        bass.Chord(2, {root}, Q, 90);
        bass.Chord(2, {static_cast<std::uint8_t>(root + 7)}, Q, 80);
    }
    bass.End();

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 4,
                                      static_cast<std::uint8_t>(kDivision >> 8),
                                      static_cast<std::uint8_t>(kDivision & 0xFF)};
    for (const CTrackWriter* t : {&conductor, &melody, &strings, &bass}) {
        std::uint32_t length = SwapLong(static_cast<std::uint32_t>(t->Bytes().size()));
        const auto* len = reinterpret_cast<const std::uint8_t*>(&length);
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        file.insert(file.end(), len, len + 4);
        file.insert(file.end(), t->Bytes().begin(), t->Bytes().end());
    }
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorvat-make-demo OUT.mid\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes = BuildFile();

    // Store it through the song's own reader and writer: the file is what the
    // program itself would save, and a fault in either shows up here first.
    CMidiSong song;
    SongFileError loadError;
    if (!LoadSongBytes(bytes, "the demo", song, loadError) || song.GetTrackList().GetTrackCount() != 4) {
        std::fprintf(stderr, "zorvat-make-demo: the demo did not read back as four tracks\n");
        return 1;
    }
    FileError error;
    if (!SaveSongFile(argv[1], song, error)) {
        std::fprintf(stderr, "zorvat-make-demo: cannot write %s: %s\n", argv[1], error.strReason.c_str());
        return 1;
    }
    return 0;
}
