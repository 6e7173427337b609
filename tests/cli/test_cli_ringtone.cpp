// "ringtone" as users run it, its files checked by an independent meter: ffmpeg's
// ebur128 filter (integrated loudness, true peak), ffprobe (length and tags), and
// the decoded samples (the first sound at the start).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

// The last value after `label` in ffmpeg's ebur128 summary ("I:", "Peak:").
double Summary(const std::string& log, const std::string& label)
{
    const std::size_t at = log.rfind(label);
    return at == std::string::npos ? 99 : std::atof(log.c_str() + at + label.size());
}

class CliRingtoneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed (scripts/setup installs it)";
    }

    CTempDir m_dir;
};

TEST_F(CliRingtoneTest, MakesAPhoneRingtoneOfTheSongAtItsLoudness)
{
    const std::string m4r = m_dir.File("demo.m4r");
    ProgramResult r = RunCli({"ringtone", kDemo, "-o", m4r});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("demo.m4r: 28.00 s from 0:00.00 (a bar line), -16.0 LUFS"), std::string::npos) << r.err;
    const ProgramResult meter =
        RunProgram({"ffmpeg", "-hide_banner", "-nostats", "-i", m4r, "-af", "ebur128=peak=true", "-f", "null", "-"});
    EXPECT_NEAR(Summary(meter.err, "I:"), -16, 1) << meter.err;
    EXPECT_LE(Summary(meter.err, "Peak:"), -1) << meter.err;
    const ProgramResult probe = RunProgram(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration:format_tags=title", "-of", "default=nw=1", m4r});
    EXPECT_NE(probe.out.find("TAG:title=demo"), std::string::npos) << probe.out;
    EXPECT_LE(std::atof(probe.out.c_str() + probe.out.find("duration=") + 9), 29.5);
    // The first sound within 50 ms of the start: a sample above -40 dBFS.
    const ProgramResult pcm = RunProgram({"ffmpeg", "-v", "error", "-i", m4r, "-t", "0.05", "-f", "s16le", "-ac", "1", "-"});
    bool bSound = false;
    for (std::size_t i = 0; i + 1 < pcm.out.size(); i += 2)
        bSound = bSound || std::abs(static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm.out[i]) |
                                                              static_cast<std::uint8_t>(pcm.out[i + 1]) << 8)) > 328;
    EXPECT_TRUE(bSound);

    const std::string ogg = m_dir.File("loop.ogg");
    r = RunCli({"ringtone", kDemo, "--from", "auto", "--seconds", "12.5", "--loop", "-o", ogg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ProgramResult tags =
        RunProgram({"ffprobe", "-v", "error", "-show_entries", "stream_tags:format=duration", "-of", "default=nw=1", ogg});
    EXPECT_NE(tags.out.find("TAG:ANDROID_LOOP=true"), std::string::npos) << tags.out;
    EXPECT_LE(std::atof(tags.out.c_str() + tags.out.find("duration=") + 9), 12.5);
}

TEST_F(CliRingtoneTest, RefusesWhatItCannotMake)
{
    ProgramResult r = RunCli({"ringtone", kDemo, "-o", m_dir.File("x.wav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("OUT ends in .m4r (iPhone) or .ogg (Android)"), std::string::npos) << r.err;
    r = RunCli({"ringtone", kDemo, "--seconds", "45", "-o", m_dir.File("x.m4r")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--seconds takes 1 to 39.9 for .m4r"), std::string::npos) << r.err;
    r = RunCli({"ringtone", kDemo, "--channels", "4", "-o", m_dir.File("x.m4r")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no note of the channels sounds from there on"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(m_dir.File("x.m4r")));
}

} // namespace
