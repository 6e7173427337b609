#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "engine/SoundFontPath.h"
#include "engine/PrepareResult.h"
#include "engine/WavRenderer.h"
#include "engine/WavWriter.h"
#include "song/MidiSong.h"
#include "tests/cli/CliRunner.h"
#include "tests/engine/SongBytes.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

std::uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

// The largest absolute sample of a 16-bit WAV file's data.
int PeakOf(const std::string& wav)
{
    int peak = 0;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2) {
        const auto s = static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[i]) | static_cast<std::uint8_t>(wav[i + 1]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak;
}

// The smallest SoundFont renders fastest; any General MIDI one will do.
std::string TestSoundFont()
{
    const std::string small = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    return std::ifstream(small).good() ? small : FindSoundFont();
}

TEST(WavWriter, WritesACanonicalPcmHeader)
{
    std::uint8_t h[44];
    CWavWriter::BuildHeader(h, 44100, 2, 1000);
    const std::uint8_t expected[44] = {'R', 'I', 'F', 'F', 0x0C, 0x04, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                       16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0,
                                       'd', 'a', 't', 'a', 0xE8, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(h, expected, 44), 0);
}

TEST(WavWriter, FillsInTheSizesOnClose)
{
    CScratchDir dir;
    CWavWriter wav;
    ASSERT_TRUE(wav.Open(dir / "a.wav", 8000, 1));
    const std::int16_t samples[3] = {1, -2, 0x1234};
    ASSERT_TRUE(wav.Write(samples, 3));
    ASSERT_TRUE(wav.Close());
    const std::string bytes = SlurpFile(dir / "a.wav");
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(Le32(bytes, 4), 42u);
    EXPECT_EQ(Le32(bytes, 40), 6u);
    EXPECT_EQ(bytes.substr(44), std::string("\x01\x00\xFE\xFF\x34\x12", 6));
}

TEST(WavRenderer, TheDemoSongIsNotSilent)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CMidiSong song;
    const std::string demo = SlurpFile(kDemo);
    LoadSong(song, Bytes(demo.begin(), demo.end()));
    CScratchDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    CWavRenderer renderer;
    ASSERT_TRUE(renderer.Render(song, dir / "demo.wav", options)) << renderer.LastError();
    const std::string wav = SlurpFile(dir / "demo.wav");
    EXPECT_EQ(wav.size(), 44 + renderer.GetFrames() * 4);
    EXPECT_GT(renderer.GetFrames(), 44100u * 5); // several seconds of music
    EXPECT_GT(PeakOf(wav), 2000);
    EXPECT_LT(PeakOf(wav), 32767); // and not clipped flat
}

TEST(WavRenderer, ASongWithoutNotesRendersNearSilence)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CMidiSong song;
    LoadSong(song, 480, {CTrackBytes().Tempo(0, 500000).Program(0, 0, 1).End(960)});
    CScratchDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    options.uTailMilliseconds = 0;
    CWavRenderer renderer;
    ASSERT_TRUE(renderer.Render(song, dir / "quiet.wav", options)) << renderer.LastError();
    // 199 ticks after the first: a second of audio, frame-exact.
    EXPECT_EQ(renderer.GetFrames(), 200u * 44100 / 200);
    EXPECT_LT(PeakOf(SlurpFile(dir / "quiet.wav")), 16); // dither only
}

TEST(WavRenderer, ReportsARefusedSongAndAMissingSoundFont)
{
    CMidiSong song;
    LoadSong(song, 0, {CTrackBytes().On(0, 0, 60).End()});
    CScratchDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    CWavRenderer renderer;
    if (!options.strSoundFont.empty()) {
        EXPECT_FALSE(renderer.Render(song, dir / "x.wav", options));
        EXPECT_EQ(renderer.LastError(), PrepareResultText(PrepareResult::kBadDivision));
    }
    options.strSoundFont = dir / "missing.sf2";
    EXPECT_FALSE(renderer.Render(song, dir / "x.wav", options));
    EXPECT_NE(renderer.LastError().find("SoundFont"), std::string::npos);
}

CliResult RunPlay(const std::vector<std::string>& args)
{
    CScratchDir io;
    std::string cmd = "HOME=" + ShellQuote(io.Path().string()) + " XDG_CONFIG_HOME=" + ShellQuote(io / "cfg") +
                      " XDG_RUNTIME_DIR=" + ShellQuote(io.Path().string()) + " " +
                      ShellQuote(std::string(ZT_BINARY_DIR) + "/bin/zorvattone-play");
    for (const std::string& a : args)
        cmd += " " + ShellQuote(a);
    cmd += " < /dev/null > " + ShellQuote(io / "out") + " 2> " + ShellQuote(io / "err");
    const int status = std::system(cmd.c_str());
    CliResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = SlurpFile(io / "out");
    r.err = SlurpFile(io / "err");
    return r;
}

TEST(PlayerProgram, RendersTheDemoSongToAWavFile)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CScratchDir dir;
    const CliResult r = RunPlay({"--wav", dir / "demo.wav", "--from", "2", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(PeakOf(SlurpFile(dir / "demo.wav")), 2000);
}

TEST(PlayerProgram, RefusesBadUsageAndFilesThatAreNotMidi)
{
    CScratchDir dir;
    EXPECT_EQ(RunPlay({}).exitCode, 2);
    EXPECT_EQ(RunPlay({"--from", "x", kDemo}).exitCode, 2);
    EXPECT_EQ(RunPlay({"--bogus", kDemo}).exitCode, 2);
    EXPECT_EQ(RunPlay({kDemo, kDemo}).exitCode, 2);
    { std::ofstream(dir / "not.mid") << "RIFF"; }
    const CliResult r = RunPlay({"--wav", dir / "x.wav", dir / "not.mid"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a Standard MIDI File"), std::string::npos) << r.err;
    EXPECT_EQ(RunPlay({"--help"}).exitCode, 0);
}

TEST(PlayerProgram, LivePlaybackWithoutAudioOutputSaysTheDeviceIsBusy)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    const CliResult r = RunPlay({kDemo});
    if (r.exitCode == 0)
        GTEST_SKIP() << "this machine has an audio output";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("MIDI device busy !"), std::string::npos) << r.err;
}

} // namespace
