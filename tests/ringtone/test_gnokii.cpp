// An independent decoder reads our messages: gnokii (Debian's gnokii-cli).
//
// `gnokii --ringtoneconvert IN.ott OUT.rtttl` takes the direction from the file
// names. Tried by hand: the .ott file must hold the whole message as EncodeRingtone
// builds it, from the command-length octet 02 on (the closing 00 may be left out);
// starting it one or three octets later makes gnokii refuse the data ("Data format
// is not valid."). gnokii reads exactly the declared number of pattern instructions,
// so the count must be the real one. Its RTTTL output writes b as "h", drops double
// dots and the 2/3 length, and knows its own tempo table above 800 bpm, so the songs
// here keep clear of those.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ConverterFixture.h"
#include "ringtone/SmartMessaging.h"

namespace {

bool HaveGnokii()
{
    return std::system("command -v gnokii >/dev/null 2>&1") == 0;
}

struct Converted {
    std::string name;
    std::int32_t tempo = 0;
    std::vector<RingtoneNote> notes;
};

Converted ConvertText(const std::string& text, const std::string& tempDir)
{
    CMemorySettingsStore settings;
    settings.SetString(kProfileSystem, kProfileTempDir, tempDir);
    CRecordingPrompt prompt;
    CRingtoneConverter c(text, 96, settings, prompt);
    std::string rebuilt;
    EXPECT_TRUE(c.Convert(rebuilt, "")) << text;
    return {c.ToneName(), c.Tempo(), c.Notes()};
}

// Runs gnokii on the message in `dir`; false when it refused it.
bool Decode(const CTempDir& dir, const std::vector<std::uint8_t>& message, std::string& rtttl)
{
    WriteBytes(dir.File("tone.ott"), message);
    std::string command = "cd '" + dir.Path() + "' && HOME='" + dir.Path() +
                          "' gnokii --ringtoneconvert tone.ott tone.rtttl >gnokii.log 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    rtttl = ReadFile(dir.File("tone.rtttl"));
    return true;
}

// gnokii's text in our grammar: "h" is b, and the last note needs its comma.
std::string InOurGrammar(std::string rtttl)
{
    std::size_t notes = rtttl.rfind(':');
    for (std::size_t i = notes; i < rtttl.size(); ++i)
        if (rtttl[i] == 'h')
            rtttl[i] = 'b';
    return rtttl + ",";
}

void SetDeclaredCount(std::vector<std::uint8_t>& m, std::size_t titleLength, unsigned count)
{
    std::size_t pos = 8 + 8 + 7 + 3 + 4 + 8 * titleLength + 8 + 9;
    for (unsigned i = 0; i < 8; ++i, ++pos) {
        auto mask = static_cast<std::uint8_t>(0x80u >> (pos % 8));
        if (count & (0x80u >> i))
            m[pos / 8] = static_cast<std::uint8_t>(m[pos / 8] | mask);
        else
            m[pos / 8] = static_cast<std::uint8_t>(m[pos / 8] & ~mask);
    }
}

TEST(Gnokii, DecodesOurMessagesToTheSameNotes)
{
    if (!HaveGnokii())
        GTEST_SKIP() << "gnokii is not installed (scripts/setup installs gnokii-cli)";
    const char* const tokens[] = {"8c", "16d#", "4p", "8f#", "32a", "8g", "16a#"};
    std::string seventy = "Seventy:d=8,o=5,b=140:";
    for (int i = 0; i < 70; ++i)
        seventy += tokens[i % 7] + std::to_string(4 + (i / 10) % 4) + ",";
    const std::string songs[] = {
        "Three:d=4,o=5,b=120:8c5,8d5,8e5,",
        "Pause:d=4,o=5,b=120:8c5,4p,8d5,",
        "Scale:d=4,o=5,b=63:c,c#,d,d#,e,f,f#,g,g#,a,a#,b,",
        "Octaves:d=8,o=4,b=200:c4,c5,c6,c7,p,b7,a#4,4p,g6,",
        "Lengths:d=4,o=6,b=25:1c,2d,4e,8f,16g,32a,4p,2p,",
        "Dotted:d=4,o=5,b=100:c.,8d.,16e.6,2p.,",
        "A name over ten:d=4,o=7,b=180:e,f,",
        "Empty:d=4,o=5,b=120:",
        seventy,
    };
    for (const std::string& song : songs) {
        CTempDir dir;
        Converted ours = ConvertText(song, dir.Path());
        auto count = static_cast<std::int32_t>(ours.notes.size());
        std::string rtttl;
        ASSERT_TRUE(Decode(dir, BuildRingtoneMessage(ours.name, ours.tempo, count, ours.notes.data()), rtttl))
            << song << ": " << ReadFile(dir.File("gnokii.log"));
        EXPECT_NE(ReadFile(dir.File("gnokii.log")).find(std::to_string(count) + " note(s) converted."),
                  std::string::npos)
            << song;
        Converted theirs = ConvertText(InOurGrammar(rtttl), dir.Path());
        EXPECT_EQ(theirs.name, ours.name.substr(0, 10)) << song;
        EXPECT_EQ(TempoCode(theirs.tempo), TempoCode(ours.tempo)) << song << " -> " << rtttl;
        EXPECT_TRUE(theirs.notes == ours.notes) << song << " -> " << rtttl;
    }
}

TEST(Gnokii, RefusesAMessageThatDeclaresMoreInstructionsThanItHolds)
{
    if (!HaveGnokii())
        GTEST_SKIP() << "gnokii is not installed (scripts/setup installs gnokii-cli)";
    CTempDir dir;
    Converted ours = ConvertText("Three:d=4,o=5,b=120:8c5,8d5,8e5,", dir.Path());
    std::vector<std::uint8_t> message = BuildRingtoneMessage(ours.name, ours.tempo, 3, ours.notes.data());
    std::string rtttl;
    ASSERT_TRUE(Decode(dir, message, rtttl));
    SetDeclaredCount(message, 5, 2 * 3 + 3);
    EXPECT_FALSE(Decode(dir, message, rtttl));
}

} // namespace
