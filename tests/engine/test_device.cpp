#include <gtest/gtest.h>

#include "tests/engine/EngineFixture.h"

namespace {

struct Offered {
    std::uint16_t technology;
    bool opens = true;
};

struct ChoiceCase {
    const char* name;
    std::vector<Offered> devices;
    bool opened;
    std::uint32_t id;
};

class DeviceChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DeviceChoice, TakesTheFirstSynthesizer)
{
    CFakeMidiOutput output;
    for (const Offered& d : GetParam().devices)
        output.AddDevice("device", d.technology, d.opens);
    CManualClock clock;
    CMidiEngine engine(output, clock);
    EXPECT_EQ(engine.OpenDevice(), GetParam().opened);
    EXPECT_EQ(engine.IsDeviceOpen(), GetParam().opened);
    for (std::uint32_t id = 0; id < GetParam().devices.size(); ++id)
        EXPECT_EQ(output.GetOpenCount(id), GetParam().opened && id == GetParam().id ? 1 : 0) << "device " << id;
    if (GetParam().opened) {
        EXPECT_EQ(engine.GetDeviceId(), GetParam().id);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Systems, DeviceChoice,
    ::testing::Values(
        ChoiceCase{"no_device_at_all_fails", {}, false, 0},
        ChoiceCase{"only_software_and_wavetable_synthesizers_fail", {{kModSoftwareSynth}, {kModWavetable}}, false, 0},
        ChoiceCase{"a_midi_port_and_the_mapper_fail", {{kModMidiPort}, {kModMapper}}, false, 0},
        ChoiceCase{"a_synthesizer_after_a_midi_port_is_taken", {{kModMidiPort}, {kModSynth}}, true, 1},
        ChoiceCase{"a_square_wave_synthesizer_is_taken", {{kModSoftwareSynth}, {kModSquareSynth}}, true, 1},
        ChoiceCase{"an_fm_synthesizer_is_taken", {{kModFmSynth}}, true, 0},
        ChoiceCase{"of_two_synthesizers_the_lower_id_wins", {{kModWavetable}, {kModFmSynth}, {kModSynth}}, true, 1},
        ChoiceCase{"a_synthesizer_that_does_not_open_fails_without_trying_the_next",
                   {{kModSynth, false}, {kModSynth}}, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct Named {
    const char* name;
    std::uint16_t technology;
    bool opens = true;
};

struct ChosenCase {
    const char* name;
    std::vector<Named> devices;
    const char* chosen;      // the user's choice, "" for none
    const char* outputError; // what the output says about itself
    bool opened;
    std::uint32_t id;   // the device opened or tried
    const char* reason; // GetOpenError afterwards
};

class ChosenDevice : public ::testing::TestWithParam<ChosenCase> {};

TEST_P(ChosenDevice, TakesTheUsersChoiceWhenListedAndSaysWhyNothingOpened)
{
    const ChosenCase& c = GetParam();
    CFakeMidiOutput output;
    for (const Named& d : c.devices)
        output.AddDevice(d.name, d.technology, d.opens);
    output.SetChosenName(c.chosen);
    output.SetLastError(c.outputError);
    CManualClock clock;
    CMidiEngine engine(output, clock);
    EXPECT_EQ(engine.OpenDevice(), c.opened);
    EXPECT_EQ(engine.GetOpenError(), c.reason);
    for (std::uint32_t id = 0; id < c.devices.size(); ++id)
        EXPECT_EQ(output.GetOpenCount(id), c.opened && id == c.id ? 1 : 0) << "device " << id;
    EXPECT_EQ(engine.GetDeviceId(), c.id);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ChosenDevice,
    ::testing::Values(
        ChosenCase{"a_listed_midi_port_is_taken_before_the_synthesizer",
                   {{"Synth", kModSynth}, {"Midi Through", kModMidiPort}}, "Midi Through", "", true, 1, ""},
        ChosenCase{"a_choice_that_is_gone_gives_way_to_the_first_synthesizer",
                   {{"Midi Through", kModMidiPort}, {"Synth", kModSynth}}, "USB MIDI", "", true, 1, ""},
        ChosenCase{"a_name_is_matched_whole", {{"Synth", kModSynth}, {"Synth 2", kModMidiPort}}, "Synth 2", "", true,
                   1, ""},
        ChosenCase{"without_a_synthesizer_the_engine_says_so", {{"Midi Through", kModMidiPort}}, "", "", false, 0,
                   "no synthesizer is among the MIDI outputs"},
        ChosenCase{"without_a_synthesizer_the_outputs_reason_comes_first", {}, "",
                   "no General MIDI SoundFont is installed", false, 0, "no General MIDI SoundFont is installed"},
        ChosenCase{"a_choice_that_is_gone_is_named_when_nothing_else_qualifies", {{"Midi Through", kModMidiPort}},
                   "USB MIDI", "", false, 0,
                   "the MIDI output \"USB MIDI\" is not listed, and no synthesizer is among the MIDI outputs"},
        ChosenCase{"a_device_that_does_not_open_gives_the_outputs_reason", {{"Synth", kModSynth, false}}, "",
                   "no sound server answers", false, 0, "no sound server answers"},
        ChosenCase{"a_device_that_does_not_open_without_a_reason_is_named", {{"Port", kModMidiPort, false}}, "Port",
                   "", false, 0, "the MIDI output \"Port\" does not open"}),
    [](const auto& info) { return std::string(info.param.name); });

class Device : public EngineTest {};

TEST_F(Device, OpeningSendsOneSystemReset)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xFF)}));
}

TEST_F(Device, OpeningWhileOpenClosesFirstAndSendsOneMoreReset)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    ASSERT_TRUE(m_engine.OpenDevice());
    EXPECT_EQ(m_output.GetOpenCount(0), 2);
    EXPECT_TRUE(m_output.IsDeviceOpen(0));
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0xFF), Msg(0xFF)}));
}

TEST_F(Device, ClosingRestoresTheVolumeReadAtOpening)
{
    m_output.SetDeviceVolume(0, 0x80004000);
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.SetDeviceVolume(0, 0x00010001); // another program turned it down
    m_engine.CloseDevice();
    EXPECT_EQ(m_output.GetDeviceVolume(0), 0x80004000u);
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    EXPECT_FALSE(m_engine.IsDeviceOpen());
}

TEST_F(Device, ClosingSendsNoMessage)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.ClearMessages();
    m_engine.CloseDevice();
    EXPECT_TRUE(m_output.Packed().empty());
}

TEST_F(Device, MessagesArePackedStatusFirst)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.ClearMessages();
    EXPECT_TRUE(m_engine.SendShortMessage(0xE3, 0x12, 0x34, 0));
    EXPECT_TRUE(m_engine.SendShortMessage(0xC9, 0x05, 0x00, 0));
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{0x003412E3, 0x000005C9}));
}

TEST_F(Device, ANoteOnOfADisabledChannelIsHeldBackButItsNoteOffIsSent)
{
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.ClearMessages();
    m_engine.SetChannelOn(3, false);
    EXPECT_TRUE(m_engine.SendShortMessage(0x93, 60, 64, 0));
    EXPECT_TRUE(m_engine.SendShortMessage(0x93, 60, 0, 10));
    EXPECT_TRUE(m_engine.SendShortMessage(0x83, 60, 64, 10));
    EXPECT_TRUE(m_engine.SendShortMessage(0xB3, 7, 90, 0));
    EXPECT_EQ(m_output.Packed(), (std::vector<std::uint32_t>{Msg(0x93, 60, 0), Msg(0x83, 60, 64), Msg(0xB3, 7, 90)}));
    EXPECT_EQ(m_engine.GetRtttl(), "");
}

TEST_F(Device, SendingFailsWhenClosedOrRefused)
{
    EXPECT_FALSE(m_engine.SendShortMessage(0x90, 60, 64, 0));
    ASSERT_TRUE(m_engine.OpenDevice());
    m_output.SetFailSends(true);
    EXPECT_FALSE(m_engine.SendShortMessage(0xB0, 7, 100, 0));
    m_output.SetFailSends(false);
    EXPECT_TRUE(m_engine.SendShortMessage(0xB0, 7, 100, 0));
}

TEST_F(Device, TheObserverIsKeptWhenOpeningFails)
{
    CFakeMidiOutput none;
    CManualClock clock;
    CMidiEngine engine(none, clock);
    int calls = 0;
    EXPECT_FALSE(engine.OpenDevice([&](const CMidiMessage&) { ++calls; }));
    EXPECT_NE(engine.GetOpenError(), "");
    none.AddDevice("late synthesizer", kModSynth);
    ASSERT_TRUE(engine.OpenDevice([&](const CMidiMessage&) { calls += 10; }));
    EXPECT_EQ(engine.GetOpenError(), "") << "a success leaves no reason behind";
    CMidiSong song;
    LoadSong(song, 480, {CTrackBytes().On(0, 0, 60).End()});
    std::array<std::string, 16> names;
    std::uint32_t seconds = 0;
    ASSERT_EQ(engine.Prepare(song, names, seconds, false), PrepareResult::kOk);
    engine.Seek(0);
    ASSERT_TRUE(engine.StartClock());
    EXPECT_EQ(calls, 20); // the note-on and the end of track, seen by the later observer
    engine.StopClock();
    engine.CloseDevice();
}

TEST_F(Device, TheDestructorStopsARunningClockAndClosesTheDevice)
{
    {
        CMidiSong song;
        LoadSong(song, 480, {CTrackBytes().On(0, 0, 60).On(480, 0, 62).End()});
        CManualClock clock;
        CMidiEngine engine(m_output, clock);
        ASSERT_TRUE(engine.OpenDevice());
        std::array<std::string, 16> names;
        std::uint32_t seconds = 0;
        ASSERT_EQ(engine.Prepare(song, names, seconds, false), PrepareResult::kOk);
        ASSERT_TRUE(engine.StartClock());
        EXPECT_TRUE(clock.IsRunning());
    }
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    EXPECT_EQ(m_output.Packed().back(), Msg(0xFF));
}

} // namespace
