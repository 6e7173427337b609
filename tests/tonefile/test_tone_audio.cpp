// The sound ringtones as an independent reader sees them: ffprobe (Debian's ffmpeg)
// finds Vorbis in our .ogg and AAC in our .m4r, mono, the .m4r under 40 s, with their
// tags; ffmpeg decodes a4 at 440 Hz, as a phone plays the text.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ToneTestSupport.h"
#include "engine/devices/SoundFontPath.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"
#include "tonefile/ToneAudio.h"

namespace {

struct Probe {
    std::string codec;
    int channels = 0;
    double seconds = 0;
};

bool Probed(const std::string& path, Probe& probe)
{
    const ProgramResult r = RunProgram({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                        "stream=codec_name,channels:format=duration", "-of", "default=nw=1", path});
    if (r.exitCode != 0)
        return false;
    for (std::size_t at = 0; at < r.out.size();) {
        const std::size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end - at);
        at = end == std::string::npos ? r.out.size() : end + 1;
        const std::string value = line.substr(line.find('=') + 1);
        if (line.rfind("codec_name=", 0) == 0)
            probe.codec = value;
        else if (line.rfind("channels=", 0) == 0)
            probe.channels = std::atoi(value.c_str());
        else if (line.rfind("duration=", 0) == 0)
            probe.seconds = std::atof(value.c_str());
    }
    return true;
}

// Every tag ffprobe finds, as "KEY=value" lines (stream and file tags alike).
std::string TagsOf(const std::string& path)
{
    return RunProgram({"ffprobe", "-v", "error", "-show_entries", "format_tags:stream_tags", "-of", "default=nw=1",
                       path})
        .out;
}

// The power of `hz` in 16-bit mono samples at 44.1 kHz (Goertzel).
double PowerAt(const std::string& pcm, std::size_t first, std::size_t count, double hz)
{
    const double k = 2 * std::cos(2 * M_PI * hz / 44100);
    double s1 = 0;
    double s2 = 0;
    for (std::size_t i = first; i < first + count && 2 * i + 1 < pcm.size(); ++i) {
        const auto sample = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * i]) |
                                                      static_cast<std::uint8_t>(pcm[2 * i + 1]) << 8);
        const double s0 = sample + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

class ToneAudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffprobe is not installed (scripts/setup installs ffmpeg)";
        if (FindSoundFont().empty())
            GTEST_SKIP() << "no General MIDI SoundFont";
    }

    Probe Render(const CToneMelody& melody, ToneFormat format, std::vector<ToneLoss>& losses,
                 unsigned seconds = kMaxM4rSeconds, int program = 57)
    {
        std::string bytes;
        std::string error;
        EXPECT_TRUE(RenderToneAudio(melody, format, program, m_dir.File("tone.mid"), bytes, losses, error, seconds))
            << error;
        const std::string path = m_dir.File(std::string("tone.") + ToneFormatName(format));
        EXPECT_TRUE(WriteFile(path, bytes));
        Probe probe;
        EXPECT_TRUE(Probed(path, probe)) << path;
        return probe;
    }

    CTempDir m_dir;
};

TEST_F(ToneAudioTest, IsVorbisInOggAndAacInMpeg4)
{
    // 2 s of notes at 120 and the 1.5 s ring-out after them.
    const CToneMelody melody{"Four", 120, {N(60, 2), N(64, 2), N(67, 2, 1), N(72, 3)}};
    std::vector<ToneLoss> losses;
    for (ToneFormat format : {ToneFormat::Ogg, ToneFormat::M4r}) {
        SCOPED_TRACE(ToneFormatName(format));
        const Probe probe = Render(melody, format, losses);
        EXPECT_EQ(probe.codec, format == ToneFormat::Ogg ? "vorbis" : "aac");
        EXPECT_EQ(probe.channels, 1);
        EXPECT_NEAR(probe.seconds, 2.0 + 1.5, 0.1);
    }
    EXPECT_TRUE(losses.empty());
}

TEST_F(ToneAudioTest, CutsAnM4rAtFortySecondsAndSaysWhichNotesAreLost)
{
    // 50 whole notes at 60: 200 s, so the notes from the eleventh on start at 40 s or later.
    const CToneMelody melody{"Long", 60, std::vector<RingtoneNote>(50, N(60, 0))};
    std::vector<ToneLoss> losses;
    const Probe probe = Render(melody, ToneFormat::M4r, losses);
    EXPECT_EQ(probe.codec, "aac");
    EXPECT_LT(probe.seconds, 40.0);
    EXPECT_GT(probe.seconds, 39.8);
    ASSERT_EQ(losses.size(), 40u);
    EXPECT_EQ(losses[0], (ToneLoss{ToneLoss::Kind::Cut, "1c5", "an .m4r ringtone plays at most 40 s"}));
}

TEST_F(ToneAudioTest, CutsAnOggAtFortySecondsOrWhereAsked)
{
    const CToneMelody melody{"Long", 60, std::vector<RingtoneNote>(50, N(60, 0))};
    std::vector<ToneLoss> losses;
    EXPECT_NEAR(Render(melody, ToneFormat::Ogg, losses).seconds, 40.0, 0.1);
    EXPECT_EQ(losses.size(), 40u);
    losses.clear();
    EXPECT_NEAR(Render(melody, ToneFormat::Ogg, losses, 12).seconds, 12.0, 0.1);
    ASSERT_EQ(losses.size(), 47u);
    EXPECT_EQ(losses[0], (ToneLoss{ToneLoss::Kind::Cut, "1c5", "the sound is cut at 12 s"}));

    std::string bytes;
    std::string error;
    EXPECT_FALSE(RenderToneAudio(melody, ToneFormat::M4r, 57, m_dir.File("tone.mid"), bytes, losses, error, 41));
    EXPECT_EQ(error, "an .m4r lasts 1 to 40 s");
}

TEST_F(ToneAudioTest, PlaysA4At440HzAndCarriesTheTagsEachPhoneReads)
{
    // a4 for two seconds on a flute, whose fundamental is its strongest partial.
    const CToneMelody melody{"Tune", 60, {N(57, 1)}};
    std::vector<ToneLoss> losses;
    for (ToneFormat format : {ToneFormat::Ogg, ToneFormat::M4r}) {
        SCOPED_TRACE(ToneFormatName(format));
        Render(melody, format, losses, kMaxM4rSeconds, 73);
        const std::string path = m_dir.File(std::string("tone.") + ToneFormatName(format));
        const ProgramResult pcm =
            RunProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", "44100", "-"});
        ASSERT_EQ(pcm.exitCode, 0) << pcm.err;
        const double at440 = PowerAt(pcm.out, 44100 / 2, 44100, 440);
        EXPECT_GT(at440, 4 * PowerAt(pcm.out, 44100 / 2, 44100, 220));
        EXPECT_GT(at440, PowerAt(pcm.out, 44100 / 2, 44100, 880));
        const std::string tags = TagsOf(path);
        if (format == ToneFormat::Ogg) {
            EXPECT_NE(tags.find("TAG:TITLE=Tune"), std::string::npos) << tags;
            EXPECT_NE(tags.find("TAG:ANDROID_LOOP=true"), std::string::npos) << tags;
        } else {
            EXPECT_NE(tags.find("TAG:title=Tune"), std::string::npos) << tags;
        }
    }
}

} // namespace
