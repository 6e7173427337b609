#include <gtest/gtest.h>

#include <regex>

#include "CliRunner.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A format-0 file with one track: a tempo, a note under running status, a sysex, the end.
const std::string kSmall = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) +
                           std::string("MTrk\0\0\0\x17", 8) +
                           std::string("\0\xFF\x51\3\x07\xA1\x20"
                                       "\0\x90\x3C\x64"
                                       "\x60\x3C\0"
                                       "\0\xF0\2\x7E\xF7"
                                       "\0\xFF\x2F\0",
                                       23);

TEST(CliDump, PrintsTheHeaderLineThenOneLinePerEvent)
{
    CScratchDir dir;
    WriteBytes(dir / "small.mid", kSmall);
    CliResult r = RunCli({"dump", dir / "small.mid"});
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
    CliResult r = RunCli({"info", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("format: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tracks declared: 4\n"), std::string::npos);
    EXPECT_NE(r.out.find("tracks read: 4\n"), std::string::npos);
    EXPECT_NE(r.out.find("division: 480\n"), std::string::npos);
    EXPECT_NE(r.out.find("track 2: "), std::string::npos);
}

TEST(CliMelody, PrintsOneLinePerChannelWithNotesBestFirst)
{
    CliResult r = RunCli({"melody", kDemo});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("1 (0\\.[5-9]\\d|1\\.00) #01 PIPE/Flute\n"
                                                   "[23] 0\\.[0-4]\\d #0[23] [A-Z]+/[ A-Za-z0-9]+\n"
                                                   "[23] 0\\.[0-4]\\d #0[23] [A-Z]+/[ A-Za-z0-9]+\n")))
        << r.out;
}

TEST(CliSongCommands, RefuseFilesThatAreNotMidi)
{
    CScratchDir dir;
    WriteBytes(dir / "not.mid", "RIFF....WAVE");
    WriteBytes(dir / "empty.mid", "");
    for (const char* command : {"info", "dump", "melody"}) {
        for (const char* name : {"not.mid", "empty.mid", "missing.mid"}) {
            CliResult r = RunCli({command, dir / name});
            EXPECT_EQ(r.exitCode, 1) << command << " " << name;
            EXPECT_TRUE(r.out.empty() || std::string(command) == "info");
            EXPECT_FALSE(r.err.empty()) << command << " " << name;
        }
    }
    EXPECT_NE(RunCli({"info", dir / "not.mid"}).err.find("not a Standard MIDI File"), std::string::npos);
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
    CliResult all = RunCli({"--help"});
    EXPECT_EQ(all.exitCode, 0);
    for (const char* command : {"info", "dump", "copy"}) {
        EXPECT_NE(all.out.find(command), std::string::npos);
        CliResult r = RunCli({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: zorvattone-cli ") + command, 0), 0u) << r.out;
    }
}

TEST(CliCopy, StoresTheSongBackWithTheSameEvents)
{
    CScratchDir dir;
    CliResult copy = RunCli({"copy", kDemo, dir / "copy.mid"});
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    EXPECT_EQ(SlurpFile(dir / "copy.mid"), SlurpFile(kDemo));
    EXPECT_EQ(RunCli({"dump", dir / "copy.mid"}).out, RunCli({"dump", kDemo}).out);

    CliResult unwritable = RunCli({"copy", kDemo, dir / "no/such/dir/out.mid"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot create"), std::string::npos);
}

} // namespace
