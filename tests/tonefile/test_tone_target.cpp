#include <gtest/gtest.h>

#include "ToneTestSupport.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/ToneTarget.h"

namespace {

const ToneTarget& Target(const char* name)
{
    const ToneTarget* target = ToneTargetNamed(name);
    EXPECT_NE(target, nullptr) << name;
    return *target;
}

// A phrase of four quarters and a rest, `times` over: 5 notes each.
CToneMelody Phrases(int times, int pitch = 60)
{
    CToneMelody melody{"Tune", 120, {}};
    for (int i = 0; i < times; ++i)
        for (const RingtoneNote& note : {N(pitch, 3), N(pitch + 2, 3), N(pitch + 4, 3), N(pitch + 5, 2), N(-1, 2)})
            melody.notes.push_back(note);
    return melody;
}

TEST(ToneTarget, ATuneThatFitsIsKeptAsItIs)
{
    const CToneMelody melody = Phrases(4);
    for (const ToneTarget& target : ToneTargets()) {
        const CTargetFit fit = FitToTarget(melody, target);
        EXPECT_TRUE(fit.changes.empty()) << target.name;
        EXPECT_EQ(fit.melody.notes, melody.notes) << target.name;
        // An ESC plays each note's pulses at the pitch its wait gives: a little off.
        EXPECT_NEAR(fit.dSeconds, 4 * 1.75, target.maxEscItems > 0 ? 0.02 : 1e-9) << target.name;
    }
    EXPECT_EQ(ToneTargetNamed("ESPHome"), &Target("esphome"));
    EXPECT_EQ(ToneTargetNamed("esp"), nullptr);
}

// A tone without a tempo plays at the one the reader named (b=25) on every device,
// whose files then say it, with no second word on it.
TEST(ToneTarget, ATuneWithoutATempoPlaysAtTheReadersTempo)
{
    const CToneMelody melody{"None", 0, {N(60, 2), N(62, 2), N(64, 2)}};
    const CTargetFit fit = FitToTarget(melody, Target("flipper"));
    EXPECT_TRUE(fit.changes.empty());
    EXPECT_EQ(fit.melody.nTempo, 25);
    EXPECT_DOUBLE_EQ(fit.dSeconds, 3 * 60.0 / 25);
    EXPECT_NE(WriteFlipperMusic(fit.melody).find("BPM: 25\n"), std::string::npos);
}

TEST(ToneTarget, MovesTheWholeTuneByOctavesAndAnOutlierAlone)
{
    // b7 and c#7 are above what CircuitPython plays (c#7 at most): one octave down
    // keeps the contour.
    CToneMelody melody{"High", 120, {N(85, 2), N(95, 2), N(84, 3)}};
    CTargetFit fit = FitToTarget(melody, Target("circuitpython"));
    EXPECT_EQ(fit.nOctaveShift, -1);
    EXPECT_EQ(Tokens(fit.melody.notes), (std::vector<std::string>{"4c#6", "4b6", "8c6"}));
    ASSERT_EQ(fit.changes.size(), 1u);
    EXPECT_EQ(fit.changes[0].strReason, "the tune is moved 1 octave down into what circuitpython plays (c4-c#7)");

    // A span wider than the ESC's range: the one note still outside moves alone.
    melody = {"Wide", 120, {N(48, 2), N(90, 2)}};
    fit = FitToTarget(melody, Target("bluejay"));
    EXPECT_EQ(fit.nOctaveShift, 0);
    EXPECT_EQ(Tokens(fit.melody.notes), (std::vector<std::string>{"4c4", "4f#6"}));
    ASSERT_EQ(fit.changes.size(), 1u);
    EXPECT_EQ(fit.changes[0].strReason, "outside what bluejay plays: moved alone to f#6");
}

TEST(ToneTarget, EndsAtTheLastPhraseEndWithinTheBudget)
{
    // 16 phrases of 5: the Nokia 3310 keeps 63 notes, so 12 phrases (60 notes) end
    // on their last quarter, not in the middle of the 13th.
    const CTargetFit nokia = FitToTarget(Phrases(16), Target("nokia3310"));
    EXPECT_EQ(nokia.melody.notes.size(), 59u);
    ASSERT_EQ(nokia.changes.size(), 1u);
    EXPECT_EQ(nokia.changes[0].kind, ToneLoss::Kind::Cut);
    EXPECT_EQ(nokia.changes[0].strReason,
              "nokia3310 keeps at most 63 notes: the tune ends at the phrase end after note 59 (21 of 80 left out)");

    // Meshtastic counts characters, the ESCs the pairs of their block.
    const CTargetFit mesh = FitToTarget(Phrases(16), Target("meshtastic"));
    std::vector<ToneLoss> ignored;
    EXPECT_LE(WriteRtttlText(mesh.melody, ignored).size(), 229u);
    EXPECT_GT(WriteRtttlText(mesh.melody, ignored).size(), 200u);
    const CTargetFit esc = FitToTarget(Phrases(16), Target("am32"));
    bool playable = false;
    EXPECT_LE(EscItemsOf(esc.melody, playable), 62u);
    EXPECT_TRUE(playable);
    std::vector<std::uint8_t> block;
    std::string error;
    EXPECT_TRUE(WriteEscMelody(esc.melody, block, error)) << error;
}

TEST(DeviceFiles, WriteEachDevicesForm)
{
    const CToneMelody melody{"Ode to Joy", 120, {N(57, 2), N(-1, 3), N(74, 3, 1)}};
    EXPECT_EQ(WriteFlipperMusic(melody), "Filetype: Flipper Music Format\nVersion: 0\nBPM: 120\nDuration: 4\n"
                                         "Octave: 5\nNotes: 4A4, 8P, 8D6.\n");
    EXPECT_EQ(WriteToneHeader(melody), "// OdeToJoy: each note's frequency in Hz (0 for a rest) and length in ms, for\n"
                                       "// tone(pin, frequency, length).\n#pragma once\n\n"
                                       "static const unsigned int kOdeToJoy[][2] = {\n"
                                       "    {440, 500},\n    {0, 250},\n    {1175, 375},\n};\n"
                                       "static const unsigned int kOdeToJoyNotes = 3;\n");
    // a4 for 500 ms: 220 pulses at the wait for 440 Hz; the rest in milliseconds;
    // d6 (1174.7 Hz, as the configurators round it) for 375 ms: 441 pulses in two pairs.
    std::vector<std::uint8_t> block;
    std::string error;
    ASSERT_TRUE(WriteEscMelody(melody, block, error)) << error;
    ASSERT_EQ(block.size(), kEscMelodyBytes);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 14),
              (std::vector<std::uint8_t>{0, 120, 5, 4, 220, 76, 250, 0, 255, 18, 186, 18, 0, 0}));
    EXPECT_FALSE(WriteEscMelody({"Hi", 120, {N(90, 2)}}, block, error));
    EXPECT_EQ(error, "4f#7 is outside what the ESC plays (d#3-d7)");
}

} // namespace
