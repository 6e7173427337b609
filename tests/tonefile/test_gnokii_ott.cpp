// An independent reader and writer of .ott files agrees with ours: gnokii (Debian's
// gnokii-cli) converts our .ott back to the same notes, and ours reads gnokii's .ott
// as the RTTTL text gnokii read. `gnokii --ringtoneconvert IN OUT` takes the formats
// from the file names. gnokii writes RTTTL's tempo as "h", drops double dots and the
// 2/3 length, and writes the continuous style into its messages, so the songs here
// hold plain and dotted notes and the style is the one loss said.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ToneTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tonefile/OttFile.h"
#include "tonefile/RtttlFile.h"

namespace {

bool HaveGnokii()
{
    return std::system("command -v gnokii >/dev/null 2>&1") == 0;
}

bool Gnokii(const CTempDir& dir, const std::string& in, const std::string& out)
{
    const std::string command = "cd '" + dir.Path() + "' && HOME='" + dir.Path() + "' gnokii --ringtoneconvert " + in +
                                " " + out + " >gnokii.log 2>&1";
    return std::system(command.c_str()) == 0;
}

CToneMelody Read(const std::string& rtttl)
{
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::string error;
    EXPECT_TRUE(ReadRtttlTone(rtttl, melody, losses, error)) << error;
    EXPECT_TRUE(losses.empty()) << rtttl;
    return melody;
}

const char* const kSongs[] = {
    "Three:d=4,o=5,b=125:8c5,8d5,8e5",
    "Pause:d=4,o=5,b=125:8c5,4p,8d5,2p",
    "Scale:d=4,o=5,b=63:4c5,4c#5,4d5,4d#5,4e5,4f5,4f#5,4g5,4g#5,4a5,4a#5,4b5",
    "Octaves:d=4,o=5,b=200:8c4,8c5,8c6,8c7,8p,8b7,8a#4,4p,8g6",
    "Lengths:d=4,o=5,b=25:1c6,2d6,4e6,8f6,16g6,32a6,4p,2p",
    "Dotted:d=4,o=5,b=100:4c.5,8d.5,16e.6,2p.",
};

TEST(GnokiiOtt, ConvertsOurOttBackToTheSameNotes)
{
    if (!HaveGnokii())
        GTEST_SKIP() << "gnokii is not installed (scripts/setup installs gnokii-cli)";
    for (const std::string song : kSongs) {
        CTempDir dir;
        const CToneMelody ours = Read(song);
        std::vector<std::uint8_t> ott;
        std::vector<ToneLoss> losses;
        std::string error;
        ASSERT_TRUE(WriteOttFile(ours, false, ott, losses, error)) << error;
        ASSERT_TRUE(WriteBytes(dir.File("tone.ott"), ott));
        ASSERT_TRUE(Gnokii(dir, "tone.ott", "tone.rtttl")) << song << ": " << ReadFile(dir.File("gnokii.log"));
        std::string theirs = ReadFile(dir.File("tone.rtttl"));
        for (std::size_t i = theirs.rfind(':'); i < theirs.size(); ++i)
            if (theirs[i] == 'h')
                theirs[i] = 'b'; // gnokii's "h" for the tempo
        const CToneMelody back = Read(theirs + ",");
        EXPECT_EQ(back.strName, ours.strName.substr(0, 10)) << song;
        EXPECT_EQ(back.nTempo, ours.nTempo) << song << " -> " << theirs;
        EXPECT_EQ(back.notes, ours.notes) << song << " -> " << theirs;
    }
}

TEST(GnokiiOtt, OursReadsGnokiisOtt)
{
    if (!HaveGnokii())
        GTEST_SKIP() << "gnokii is not installed (scripts/setup installs gnokii-cli)";
    for (const std::string song : kSongs) {
        CTempDir dir;
        // gnokii parses the text it read up to a NUL byte it does not add itself: without
        // one it reads on into whatever memory follows, and now and then a note more.
        ASSERT_TRUE(WriteFile(dir.File("tone.rtttl"), song + std::string(1, '\0')));
        ASSERT_TRUE(Gnokii(dir, "tone.rtttl", "tone.ott")) << song << ": " << ReadFile(dir.File("gnokii.log"));
        CToneMelody read;
        std::vector<ToneLoss> losses;
        std::string error;
        ASSERT_TRUE(ReadOttFile(ReadBytes(dir.File("tone.ott")), read, losses, error)) << song << ": " << error;
        const CToneMelody expected = Read(song);
        EXPECT_EQ(read.strName, expected.strName) << song;
        EXPECT_EQ(read.nTempo, expected.nTempo) << song;
        EXPECT_EQ(read.notes, expected.notes) << song;
        EXPECT_EQ(losses, (std::vector<ToneLoss>{{ToneLoss::Kind::Ignored, "",
                                                  "1 style(s) other than natural (continuous, staccato) left out"}}))
            << song;
    }
}

} // namespace
