#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "engine/devices/AlsaSeqOutput.h"
#include "engine/devices/FluidSynthOutput.h"
#include "engine/devices/SoundFontPath.h"
#include "engine/devices/SystemMidiOutput.h"
#include "engine/sequencer/MidiOutputList.h"
#include "tests/support/FakeMidiOutput.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

TEST(MidiOutputList, NumbersTheDevicesOfEachOutputInTurn)
{
    auto first = std::make_unique<CFakeMidiOutput>();
    auto second = std::make_unique<CFakeMidiOutput>();
    first->AddDevice("a", kModMidiPort);
    second->AddDevice("b", kModSynth);
    second->AddDevice("c", kModFmSynth);
    CFakeMidiOutput& secondRef = *second;
    CMidiOutputList list;
    list.Add(std::move(first));
    list.Add(std::make_unique<CFakeMidiOutput>()); // no devices
    list.Add(std::move(second));
    ASSERT_EQ(list.GetNumDevs(), 3u);
    MidiOutCaps caps;
    ASSERT_TRUE(list.GetDevCaps(2, caps));
    EXPECT_EQ(caps.strName, "c");
    EXPECT_EQ(caps.wTechnology, kModFmSynth);
    EXPECT_FALSE(list.GetDevCaps(3, caps));
    auto port = list.Open(1);
    ASSERT_TRUE(port);
    EXPECT_TRUE(secondRef.IsDeviceOpen(0));
    EXPECT_TRUE(port->ShortMsg(0x90));
    EXPECT_EQ(secondRef.Packed(), (std::vector<std::uint32_t>{0x90}));
    EXPECT_FALSE(list.Open(3));
}

TEST(MidiOutputList, SaysWhatTheOutputOfTheLastOpenSaysAndBeforeThatWhatTheFirstOneHasToSay)
{
    auto quiet = std::make_unique<CFakeMidiOutput>();
    auto failing = std::make_unique<CFakeMidiOutput>();
    quiet->AddDevice("port", kModMidiPort);
    failing->SetLastError("no SoundFont");
    failing->AddDevice("synth", kModSynth, false);
    CMidiOutputList list;
    list.Add(std::move(quiet));
    list.Add(std::move(failing));
    ASSERT_EQ(list.GetNumDevs(), 2u);
    EXPECT_EQ(list.LastError(), "no SoundFont");
    EXPECT_TRUE(list.Open(0));
    EXPECT_EQ(list.LastError(), "") << "the port that opened has nothing to say";
    EXPECT_FALSE(list.Open(1));
    EXPECT_EQ(list.LastError(), "no SoundFont");
    EXPECT_FALSE(list.Open(2));
    EXPECT_EQ(list.LastError(), "no such MIDI output");
}

struct SoundFontCase {
    const char* name;
    const char* override;
    std::set<std::string> files;
    std::string expected;
};

class SoundFontLookup : public ::testing::TestWithParam<SoundFontCase> {};

TEST_P(SoundFontLookup, TakesTheFirstFileThatExists)
{
    const auto& files = GetParam().files;
    auto isFile = [&](const std::string& p) { return files.count(p) != 0; };
    EXPECT_EQ(FindSoundFont(GetParam().override, isFile), GetParam().expected);
}

const std::string kDefaultGm = "/usr/share/sounds/sf2/default-GM.sf2";
const std::string kDefaultGm3 = "/usr/share/sounds/sf3/default-GM.sf3";
const std::string kFluid = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
const std::string kTim = "/usr/share/sounds/sf2/TimGM6mb.sf2";

INSTANTIATE_TEST_SUITE_P(
    Paths, SoundFontLookup,
    ::testing::Values(SoundFontCase{"the_variable_comes_first", "/my/gm.sf2", {"/my/gm.sf2", kDefaultGm}, "/my/gm.sf2"},
                      SoundFontCase{"a_variable_naming_no_file_falls_back", "/missing.sf2", {kTim}, kTim},
                      SoundFontCase{"an_empty_variable_is_unset", "", {kFluid}, kFluid},
                      SoundFontCase{"the_system_default_before_the_packages", nullptr, {kDefaultGm, kFluid, kTim},
                                    kDefaultGm},
                      SoundFontCase{"the_sf3_default_next", nullptr, {kDefaultGm3, kTim}, kDefaultGm3},
                      SoundFontCase{"fluid_before_timgm", nullptr, {kFluid, kTim}, kFluid},
                      SoundFontCase{"timgm_last", nullptr, {kTim}, kTim},
                      SoundFontCase{"none_gives_empty", nullptr, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeaderCase {
    const char* name;
    std::string bytes;
    bool soundFont;
};

class SoundFontHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(SoundFontHeader, IsARiffChunkOfFormSfbk)
{
    EXPECT_EQ(IsSoundFontHeader(GetParam().bytes), GetParam().soundFont);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Bytes, SoundFontHeader,
    ::testing::Values(HeaderCase{"an_sf2_header", "RIFF\x04\x10\x00\x00sfbkLIST"s, true},
                      HeaderCase{"exactly_twelve_bytes", "RIFF\x04\x00\x00\x00sfbk"s, true},
                      HeaderCase{"a_wave_file", "RIFF\x24\x08\x00\x00WAVEfmt "s, false},
                      HeaderCase{"a_big_endian_rifx_file", "RIFX\x00\x00\x10\x04sfbk"s, false},
                      HeaderCase{"a_size_that_does_not_cover_the_form_type", "RIFF\x03\x00\x00\x00sfbk"s, false},
                      HeaderCase{"eleven_bytes", "RIFF\x04\x00\x00\x00sfb"s, false},
                      HeaderCase{"nothing", ""s, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SoundFontFile, IsCheckedByItsFirstBytes)
{
    CTempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("piano.sf2"), "RIFF\x04\x10\x00\x00sfbkLIST"s));
    ASSERT_TRUE(WriteFile(dir.File("short.sf2"), "RIFF"));
    EXPECT_TRUE(IsSoundFontFile(dir.File("piano.sf2")));
    EXPECT_FALSE(IsSoundFontFile(dir.File("short.sf2")));
    EXPECT_FALSE(IsSoundFontFile(dir.File("missing.sf2")));
    EXPECT_FALSE(IsSoundFontFile(dir.Path()));
    // The installed ones, SF3 included, pass as they are.
    for (const char* installed : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf3/default-GM.sf3"}) {
        if (std::filesystem::exists(installed)) {
            EXPECT_TRUE(IsSoundFontFile(installed)) << installed;
        }
    }
}

struct TechnologyCase {
    const char* name;
    std::uint32_t type;
    std::uint16_t technology;
};

class AlsaTechnology : public ::testing::TestWithParam<TechnologyCase> {};

TEST_P(AlsaTechnology, FollowsThePortType)
{
    EXPECT_EQ(CAlsaSeqOutput::TechnologyOf(GetParam().type), GetParam().technology);
}

using A = CAlsaSeqOutput;
INSTANTIATE_TEST_SUITE_P(
    Ports, AlsaTechnology,
    ::testing::Values(TechnologyCase{"a_midi_interface_is_a_port", A::kTypeMidiGeneric | A::kTypeHardware, kModMidiPort},
                      TechnologyCase{"midi_through_is_a_port", A::kTypeMidiGeneric | A::kTypeSoftware, kModMidiPort},
                      TechnologyCase{"a_hardware_synthesizer", A::kTypeSynth | A::kTypeHardware, kModSynth},
                      TechnologyCase{"a_sample_synthesizer_without_origin", A::kTypeSample, kModSynth},
                      TechnologyCase{"a_software_synthesizer",
                                     A::kTypeMidiGeneric | A::kTypeSynthesizer | A::kTypeSoftware, kModSoftwareSynth},
                      TechnologyCase{"an_application_synthesizer",
                                     A::kTypeMidiGeneric | A::kTypeSynth | A::kTypeApplication, kModSoftwareSynth},
                      TechnologyCase{"a_port_of_no_type", 0, kModMidiPort}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AlsaSeqOutput, AMachineWithoutSequencerHasNoPortsAndNoError)
{
    if (std::filesystem::exists("/dev/snd/seq"))
        GTEST_SKIP() << "this machine has a sequencer";
    CAlsaSeqOutput output;
    EXPECT_EQ(output.GetNumDevs(), 0u);
    MidiOutCaps caps;
    EXPECT_FALSE(output.GetDevCaps(0, caps));
    EXPECT_FALSE(output.Open(0));
}

TEST(FluidSynthOutput, WithoutASoundFontItOffersNoDevice)
{
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Live, "");
    EXPECT_EQ(output.GetNumDevs(), 0u);
    EXPECT_NE(output.LastError().find("no General MIDI SoundFont"), std::string::npos) << output.LastError();
    EXPECT_FALSE(output.Open(0));
}

TEST(FluidSynthOutput, AnUnreadableSoundFontFailsTheOpen)
{
    CTempDir dir;
    const std::string bad = dir.File("bad.sf2");
    ASSERT_TRUE(WriteFile(bad, "not a SoundFont"));
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Offline, bad);
    ASSERT_EQ(output.GetNumDevs(), 1u);
    EXPECT_FALSE(output.Open(0));
    EXPECT_NE(output.LastError().find("SoundFont"), std::string::npos);
}

TEST(FluidSynthOutput, ANewSoundFontCountsFromTheNextOpenButNotWhileAPortIsOpen)
{
    const std::string sf = FindSoundFont();
    if (sf.empty())
        GTEST_SKIP() << "no SoundFont installed";
    CTempDir dir;
    const std::string bad = dir.File("bad.sf2");
    ASSERT_TRUE(WriteFile(bad, "not a SoundFont"));
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Offline, bad);
    EXPECT_FALSE(output.Open(0));
    EXPECT_EQ(output.LastError(), "cannot load the SoundFont " + bad);
    ASSERT_TRUE(output.SetSoundFont(sf));
    auto port = output.Open(0);
    ASSERT_TRUE(port) << output.LastError();
    EXPECT_FALSE(output.SetSoundFont(bad));
    EXPECT_EQ(output.GetSoundFont(), sf);
    port.reset();
    ASSERT_TRUE(output.SetSoundFont(bad));
    EXPECT_FALSE(output.Open(0)) << "the loaded SoundFont is dropped with the change";
}

TEST(FluidSynthOutput, IsASynthesizerAndMapsTheLouderSideToItsGain)
{
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Offline, "/some.sf2");
    MidiOutCaps caps;
    ASSERT_TRUE(output.GetDevCaps(0, caps));
    EXPECT_EQ(caps.wTechnology, kModSynth);
    EXPECT_FLOAT_EQ(CFluidSynthOutput::GainOf(0x0000FFFF), CFluidSynthOutput::kFullVolumeGain);
    EXPECT_FLOAT_EQ(CFluidSynthOutput::GainOf(0x7FFF0000), CFluidSynthOutput::kFullVolumeGain * 0x7FFF / 65535.0f);
}

TEST(FluidSynthOutput, OfflineItRendersSoundForANoteAndKeepsTheVolume)
{
    const std::string sf = FindSoundFont();
    if (sf.empty())
        GTEST_SKIP() << "no SoundFont installed";
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Offline, sf);
    auto port = output.Open(0);
    ASSERT_TRUE(port) << output.LastError();
    EXPECT_FALSE(output.Open(0)); // one port at a time
    std::uint32_t volume = 0;
    EXPECT_TRUE(port->SetVolume(0x80008000));
    EXPECT_TRUE(port->GetVolume(volume));
    EXPECT_EQ(volume, 0x80008000u);
    EXPECT_TRUE(port->ShortMsg(0x0000C0));   // program 0
    EXPECT_TRUE(port->ShortMsg(0x7F3C90));   // note on 60
    EXPECT_TRUE(port->ShortMsg(0x004000E0)); // pitch bend centre
    EXPECT_TRUE(port->ShortMsg(0x0000FF));   // reset: the note stops
    std::vector<std::int16_t> pcm(2 * 4410);
    ASSERT_TRUE(output.Render(pcm.data(), 4410));
    EXPECT_TRUE(port->ShortMsg(0x7F3C90));
    ASSERT_TRUE(output.Render(pcm.data(), 4410));
    int peak = 0;
    for (std::int16_t s : pcm)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 500);
    port.reset();
    EXPECT_FALSE(output.Render(pcm.data(), 10));
    EXPECT_TRUE(output.Open(0)); // the SoundFont stays loaded for the next open
}

TEST(FluidSynthOutput, LiveOpeningNeverHangsAndNeverWritesAFile)
{
    const std::string sf = FindSoundFont();
    if (sf.empty())
        GTEST_SKIP() << "no SoundFont installed";
    CTempDir home;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.Path().c_str(), 1);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(home.Path());
    CFluidSynthOutput output(CFluidSynthOutput::Mode::Live, sf);
    const auto start = std::chrono::steady_clock::now();
    auto port = output.Open(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    if (port)
        EXPECT_FALSE(output.GetAudioDriver().empty());
    else
        EXPECT_EQ(output.LastError(), CFluidSynthOutput::kNoAudioOutput);
    port.reset();
    EXPECT_FALSE(std::filesystem::exists(home.File("fluidsynth.wav")));
    std::filesystem::current_path(cwd);
}

TEST(SystemMidiOutput, OffersTheBuiltInSynthesizerFirstWhenASoundFontIsInstalled)
{
    if (FindSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    auto output = MakeSystemMidiOutput();
    ASSERT_GE(output->GetNumDevs(), 1u);
    MidiOutCaps caps;
    ASSERT_TRUE(output->GetDevCaps(0, caps));
    EXPECT_EQ(caps.wTechnology, kModSynth);
}

TEST(SystemMidiOutput, TakesTheChoiceAnewAtEachCount)
{
    SoundChoice choice{"USB MIDI", "/missing/piano.sf2"};
    auto output = MakeSystemMidiOutput([&] { return choice; });
    ASSERT_GE(output->GetNumDevs(), 1u);
    EXPECT_EQ(output->GetChosenName(), "USB MIDI");
    MidiOutCaps caps;
    ASSERT_TRUE(output->GetDevCaps(0, caps));
    EXPECT_EQ(caps.strName, CFluidSynthOutput::kDeviceName);
    // The SoundFont fails to load before any sound server is asked.
    EXPECT_FALSE(output->Open(0));
    EXPECT_EQ(output->LastError(), "cannot load the SoundFont /missing/piano.sf2");

    choice = SoundChoice{};
    (void)output->GetNumDevs();
    EXPECT_EQ(output->GetChosenName(), "");
    if (FindSoundFont().empty()) {
        EXPECT_NE(output->LastError().find("SoundFont"), std::string::npos);
    } else {
        EXPECT_EQ(output->LastError(), "") << "a new count forgets the last failure";
    }
}

} // namespace
