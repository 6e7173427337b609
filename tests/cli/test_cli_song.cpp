#include <gtest/gtest.h>

#include <regex>

#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

// A format-0 file with one track: a tempo, a note under running status, a sysex, the end.
const Bytes kSmall = SmfBytes(96,
                              {CTrackBytes()
                                   .Tempo(0, 500000)
                                   .On(0, 0, 0x3C)
                                   .Raw(96, {0x3C, 0})
                                   .Raw(0, {0xF0, 2, 0x7E, 0xF7})
                                   .End()},
                              0);

TEST(CliDump, PrintsTheHeaderLineThenOneLinePerEvent)
{
    CTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("small.mid"), kSmall));
    ProgramResult r = RunCli({"dump", dir.File("small.mid")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "MThd format=0 tracks=1 division=96\n"
                     "1 0 FF 51 3 07 A1 20\n"
                     "1 0 90 3C 64\n"
                     "1 96 90 3C 00\n"
                     "1 0 F0 2 7E F7\n"
                     "1 0 FF 2F 0\n");
}

TEST(CliInfo, DescribesTheDemoSong)
{
    ProgramResult r = RunCli({"info", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("format: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tracks declared: 4\n"), std::string::npos);
    EXPECT_NE(r.out.find("tracks read: 4\n"), std::string::npos);
    EXPECT_NE(r.out.find("division: 480\n"), std::string::npos);
    EXPECT_NE(r.out.find("track 2: "), std::string::npos);
}

TEST(CliMelody, PrintsOneLinePerChannelWithNotesBestFirst)
{
    ProgramResult r = RunCli({"melody", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("1 (0\\.[5-9]\\d|1\\.00) #01 PIPE/Flute\n"
                                                   "[23] 0\\.[0-4]\\d #0[23] [A-Z]+/[ A-Za-z0-9]+\n"
                                                   "[23] 0\\.[0-4]\\d #0[23] [A-Z]+/[ A-Za-z0-9]+\n")))
        << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(CliMelody, SaysOnStandardErrorWhenTheRunnerUpIsCloseOrPlaysTheFirstsLine)
{
    CTempDir dir;
    // One line passed between channels 2 and 4: either may be the tune.
    ASSERT_TRUE(WriteBytes(dir.File("answers.mid"), TwoChannelTuneBytes(TwoChannelTune::Answered)));
    ProgramResult r = RunCli({"melody", dir.File("answers.mid")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "zorvattone-cli: channels 2 and 4 are close: either may carry the tune\n");
    // Played alike on both: one tune, so no runner-up to weigh.
    ASSERT_TRUE(WriteBytes(dir.File("twice.mid"), TwoChannelTuneBytes(TwoChannelTune::Unison)));
    r = RunCli({"melody", dir.File("twice.mid")});
    EXPECT_EQ(r.out, "2 0.50 #02 Unknown\n4 0.50 #04 Unknown\n");
    EXPECT_EQ(r.err, "zorvattone-cli: channel 4 plays channel 2's line along\n");
}

TEST(CliSongCommands, RefuseFilesThatAreNotMidi)
{
    CTempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("not.mid"), "RIFF....WAVE"));
    ASSERT_TRUE(WriteFile(dir.File("empty.mid"), ""));
    for (const char* command : {"info", "dump", "melody"}) {
        for (const char* name : {"not.mid", "empty.mid", "missing.mid"}) {
            ProgramResult r = RunCli({command, dir.File(name)});
            EXPECT_EQ(r.exitCode, 1) << command << " " << name;
            EXPECT_TRUE(r.out.empty() || std::string(command) == "info");
            EXPECT_FALSE(r.err.empty()) << command << " " << name;
        }
    }
    EXPECT_NE(RunCli({"info", dir.File("not.mid")}).err.find("not a Standard MIDI File"), std::string::npos);
}

TEST(CliSongCommands, BadUsageExitsWithTwo)
{
    EXPECT_EQ(RunCli({}).exitCode, 2);
    EXPECT_EQ(RunCli({"no-such-command"}).exitCode, 2);
    EXPECT_EQ(RunCli({"info"}).exitCode, 2);
    EXPECT_EQ(RunCli({"info", kDemo, kDemo}).exitCode, 2);
    EXPECT_EQ(RunCli({"dump", "--frobnicate", kDemo}).exitCode, 2);
    EXPECT_EQ(RunCli({"copy", kDemo}).exitCode, 2);
}

TEST(CliSongCommands, HelpIsPrintedForEachCommand)
{
    ProgramResult all = RunCli({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    for (const char* command : {"info", "dump", "copy"}) {
        EXPECT_NE(all.out.find(command), std::string::npos);
        ProgramResult r = RunCli({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: zorvattone-cli ") + command, 0), 0u) << r.out;
    }
}

TEST(CliCopy, StoresTheSongBackWithTheSameEvents)
{
    CTempDir dir;
    ProgramResult copy = RunCli({"copy", kDemo, dir.File("copy.mid")});
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    EXPECT_EQ(ReadFile(dir.File("copy.mid")), ReadFile(kDemo));
    EXPECT_EQ(RunCli({"dump", dir.File("copy.mid")}).out, RunCli({"dump", kDemo}).out);

    ProgramResult unwritable = RunCli({"copy", kDemo, dir.File("no/such/dir/out.mid")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot create"), std::string::npos);
}

} // namespace
