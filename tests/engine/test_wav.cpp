#include <gtest/gtest.h>

#include <fstream>

#include "engine/devices/SoundFontPath.h"
#include "engine/devices/WavRenderer.h"
#include "engine/sequencer/PrepareResult.h"
#include "song/MidiSong.h"
#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

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

TEST(WavRenderer, TheDemoSongIsNotSilent)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CMidiSong song;
    const std::string demo = ReadFile(kDemo);
    LoadSong(song, Bytes(demo.begin(), demo.end()));
    CTempDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    CWavRenderer renderer;
    ASSERT_TRUE(renderer.Render(song, dir.File("demo.wav"), options)) << renderer.LastError();
    const std::string wav = ReadFile(dir.File("demo.wav"));
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
    CTempDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    options.uTailMilliseconds = 0;
    CWavRenderer renderer;
    ASSERT_TRUE(renderer.Render(song, dir.File("quiet.wav"), options)) << renderer.LastError();
    // 199 ticks after the first: a second of audio, frame-exact.
    EXPECT_EQ(renderer.GetFrames(), 200u * 44100 / 200);
    EXPECT_LT(PeakOf(ReadFile(dir.File("quiet.wav"))), 16); // dither only
}

TEST(WavRenderer, ReportsARefusedSongAndAMissingSoundFont)
{
    CMidiSong song;
    LoadSong(song, 0, {CTrackBytes().On(0, 0, 60).End()});
    CTempDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    CWavRenderer renderer;
    if (!options.strSoundFont.empty()) {
        EXPECT_FALSE(renderer.Render(song, dir.File("x.wav"), options));
        EXPECT_EQ(renderer.LastError(), PrepareResultText(PrepareResult::kBadDivision));
    }
    options.strSoundFont = dir.File("missing.sf2");
    EXPECT_FALSE(renderer.Render(song, dir.File("x.wav"), options));
    EXPECT_NE(renderer.LastError().find("SoundFont"), std::string::npos);
}

TEST(WavRenderer, WritesTheFormatTheFileNameAsksFor)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CMidiSong song;
    LoadSong(song, 480, {CTrackBytes().Tempo(0, 500000).Program(0, 0, 1).End(960)});
    CTempDir dir;
    WavRenderOptions options;
    options.strSoundFont = TestSoundFont();
    CWavRenderer renderer;
    for (const auto& [name, magic] : {std::pair{"a.ogg", "OggS"}, {"a.FLAC", "fLaC"}, {"a.wave", "RIFF"}}) {
        ASSERT_TRUE(renderer.Render(song, dir.File(name), options)) << renderer.LastError();
        EXPECT_EQ(ReadFile(dir.File(name)).substr(0, 4), magic) << name;
    }
}

// The player with a home of its own.
ProgramResult RunPlay(const std::vector<std::string>& args)
{
    CTempDir home;
    std::vector<std::string> argv = {BuildProgram("zorvattone-play")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, {.env = {"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("cfg"),
                                     "XDG_RUNTIME_DIR=" + home.Path()}});
}

TEST(PlayerProgram, RendersTheDemoSongToAWavFile)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    CTempDir dir;
    const ProgramResult r = RunPlay({"--wav", dir.File("demo.wav"), "--from", "2", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(PeakOf(ReadFile(dir.File("demo.wav"))), 2000);
}

TEST(PlayerProgram, RefusesBadUsageAndFilesThatAreNotMidi)
{
    CTempDir dir;
    EXPECT_EQ(RunPlay({}).exitCode, 2);
    EXPECT_EQ(RunPlay({"--from", "x", kDemo}).exitCode, 2);
    EXPECT_EQ(RunPlay({"--bogus", kDemo}).exitCode, 2);
    EXPECT_EQ(RunPlay({kDemo, kDemo}).exitCode, 2);
    ASSERT_TRUE(WriteFile(dir.File("not.mid"), "RIFF"));
    const ProgramResult r = RunPlay({"--wav", dir.File("x.wav"), dir.File("not.mid")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a Standard MIDI File"), std::string::npos) << r.err;
    EXPECT_EQ(RunPlay({"--help"}).exitCode, 0);
}

TEST(PlayerProgram, LivePlaybackWithoutAudioOutputSaysTheDeviceIsBusy)
{
    if (TestSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    const ProgramResult r = RunPlay({kDemo});
    if (r.exitCode == 0)
        GTEST_SKIP() << "this machine has an audio output";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("MIDI device busy !"), std::string::npos) << r.err;
}

} // namespace
