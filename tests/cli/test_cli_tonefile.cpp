// export and import as users run them: the format from the extension or --format,
// the warnings for what a format cannot hold, one ringtone of a collection, and a
// damaged file refused with the fault and exit code 1, leaving no file behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

class CliToneFileTest : public ::testing::Test {
protected:
    ProgramResult Run(const std::vector<std::string>& args, const std::string* stdinText = nullptr) const
    {
        return RunCli(args, {.env = {"HOME=" + m_dir.Path(), "XDG_CONFIG_HOME=" + m_dir.File("config")},
                             .stdinText = stdinText});
    }
    std::string Tone(const std::string& name, const std::string& text) const
    {
        EXPECT_TRUE(WriteFile(m_dir.File(name), text));
        return m_dir.File(name);
    }

    CTempDir m_dir;
};

TEST_F(CliToneFileTest, ExportsEachFormatAndImportsItBack)
{
    const std::string in = Tone("ode.txt", "Ode:d=4,o=5,b=120:e,e,f,g,8d.6,4p,");
    // The header's octave is the dotted note's, so that its dot reads alike wherever
    // a reader takes it. A phone's message holds one of 32 tempos.
    const std::string text = "Ode:d=4,o=6,b=120:4e5,4e5,4f5,4g5,8d.,4p\n";
    const struct {
        std::vector<std::string> args;
        std::string file;
        std::string bytes;
        std::string warning;
        std::string imported;
    } cases[] = {
        {{"-o", m_dir.File("ode.rtttl")}, "ode.rtttl", text, "", text},
        {{"-o", m_dir.File("ode.imy")}, "ode.imy",
         "BEGIN:IMELODY\r\nVERSION:1.2\r\nFORMAT:CLASS1.0\r\nNAME:Ode\r\nBEAT:120\r\n"
         "MELODY:e2e2f2g2*5d3.r2\r\nEND:IMELODY\r\n",
         "", text},
        {{"--format", "ott", "-o", m_dir.File("ode.bin")}, "ode.bin",
         std::string("\x02\x4A\x3A\x4D\x3D\x91\x94\x04\x00\x16\xC8\xE4\x95\x41\x54\x16\x41\x84\x28\x9B\x50\x41\x00"
                     "\x00", 24),
         "zorvattone-cli: warning: changed \"b=120\": a phone plays one of 32 tempos: the first at or above, b=125\n",
         "Ode:d=4,o=6,b=125:4e5,4e5,4f5,4g5,8d.,4p\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> args = {"export", in};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult exported = Run(args);
        EXPECT_EQ(exported.exitCode, 0) << exported.err;
        EXPECT_EQ(exported.err, c.warning);
        EXPECT_EQ(ReadFile(m_dir.File(c.file)), c.bytes);
        const ProgramResult imported = Run({"import", m_dir.File(c.file)});
        EXPECT_EQ(imported.exitCode, 0) << imported.err;
        EXPECT_EQ(imported.out, c.imported);
    }
}

TEST_F(CliToneFileTest, WritesHostileNamesAndTokensSafely)
{
    // A name that would retitle the terminal and ring its bell, a byte that is not
    // UTF-8, and a note token of 60 KB.
    const std::string in = Tone("evil.txt", "\x1B]0;pwned\x07\xFFx:d=4,o=5,b=120:c," + std::string(60000, 'z') + ",d");
    const ProgramResult r = Run({"import", in});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& shown : {r.out, r.err}) {
        EXPECT_EQ(shown.find_first_of("\x1B\x07\xFF"), std::string::npos) << shown.substr(0, 300);
        EXPECT_LT(shown.size(), 2000u);
    }
    EXPECT_NE(r.err.find("\\x1B]0;pwned\\x07\uFFFDx"), std::string::npos) << r.err.substr(0, 300);
    EXPECT_NE(r.err.find("\"" + std::string(40, 'z') + "\u2026\""), std::string::npos) << r.err.substr(0, 300);
}

TEST_F(CliToneFileTest, NamesBadDefaultsAsWrittenAndWritesNoFileWithoutANote)
{
    const std::string in = Tone("neg.txt", "T:d=-4,o=-1,b=0:c,8d");
    const ProgramResult r = Run({"export", in, "-o", m_dir.File("neg.ott")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: warning: changed \"b=0\": a tempo is at least one beat a minute: played as b=25\n"
                     "zorvattone-cli: warning: dropped \"c\": length -4 is not 1, 2, 4, 8, 16 or 32\n"
                     "zorvattone-cli: warning: dropped \"8d\": octave -1 is outside 4-7\n"
                     "zorvattone-cli: " + in + ": no note is left to write; " + m_dir.File("neg.ott") +
                         " is not written\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("neg.ott")));
}

TEST_F(CliToneFileTest, SaysWhatAFormatCannotHold)
{
    const std::string in = Tone("dd.txt", "DD:d=4,o=5,b=120:c..6,8c9,d,");
    ProgramResult r = Run({"export", in, "-o", m_dir.File("dd.rtttl")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "zorvattone-cli: warning: dropped \"8c9\": octave 9 is outside 4-7\n"
                     "zorvattone-cli: warning: changed \"4c..6\": RTTTL has no double dot: written 4c.6,16p\n");
    EXPECT_EQ(ReadFile(m_dir.File("dd.rtttl")), "DD:d=4,o=6,b=120:4c.,16p,4d5\n");

    const std::string imy = Tone("loop.imy", "BEGIN:IMELODY\nVERSION:1.2\nFORMAT:CLASS1.0\nBEAT:63\n"
                                             "MELODY:(c2ledon@2)*8c2\nEND:IMELODY\n");
    r = Run({"import", imy});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Tone:d=4,o=5,b=63:4c,4c\n");
    EXPECT_EQ(r.err, "zorvattone-cli: warning: lights, vibration and backlight are left out\n"
                     "zorvattone-cli: warning: dropped \"*8c2\": octave *8 is outside *3-*6\n");
}

TEST_F(CliToneFileTest, PicksOneRingtoneOfACollection)
{
    const std::string in = Tone("many.txt", "One:d=4,o=5,b=120:c,d\nTwo:d=8,o=6,b=63:e,f\n");
    ProgramResult r = Run({"import", in});
    EXPECT_EQ(r.out, "One:d=4,o=5,b=120:4c,4d\nTwo:d=4,o=6,b=63:8e,8f\n");
    r = Run({"import", "--index", "2", in});
    EXPECT_EQ(r.out, "Two:d=4,o=6,b=63:8e,8f\n");
    r = Run({"export", "--tone", "Two", in, "-o", m_dir.File("two.rtttl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(m_dir.File("two.rtttl")), "Two:d=4,o=6,b=63:8e,8f\n");
    r = Run({"export", in, "-o", m_dir.File("one.rtttl")});
    EXPECT_EQ(r.err, "zorvattone-cli: warning: " + in + " holds 2 ringtones: the first is taken (--index N picks "
                                                        "another)\n");
    r = Run({"import", "--index", "3", in});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: " + in + " holds 2 ringtone(s), not 3\n");
}

TEST_F(CliToneFileTest, RefusesDamagedFilesAndBadUsage)
{
    const std::string ott = m_dir.File("cut.ott");
    ASSERT_TRUE(WriteFile(ott, std::string("\x02\x4A\x3A", 3)));
    ProgramResult r = Run({"import", ott});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: " + ott + ": the message ends inside the song type (at bit 23)\n");
    EXPECT_EQ(r.out, "");

    const std::string imy = Tone("bad.imy", "BEGIN:IMELODY\nMELODY:c2(d2\nEND:IMELODY\n");
    r = Run({"import", imy});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: " + imy + ": MELODY: a repeat block \"(\" is not closed (at character 6)\n");

    const std::string header = Tone("bad.txt", "T-d=4-o=5-b=120-c");
    r = Run({"export", header, "-o", m_dir.File("bad.ott")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: " + header +
                         ": RTTTL does not contain ringtone name. Refer to RTTTL.txt about ringtone format.\n");

    std::string longTone = "Long:d=8,o=5,b=125:";
    for (int i = 0; i < 90; ++i)
        longTone += "c,";
    const std::string tooLong = Tone("long.txt", longTone);
    r = Run({"export", tooLong, "-o", m_dir.File("long.ott")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: the ringtone is too long for one message (150 of 130 octets); --truncate cuts "
                     "it to fit\n");
    r = Run({"export", "--truncate", tooLong, "-o", m_dir.File("long.ott")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("warning: dropped \"8c5\": cut to fit one message\n"), std::string::npos);
    EXPECT_EQ(Listing(m_dir.Path()),
              (std::vector<std::string>{"bad.imy", "bad.txt", "cut.ott", "long.ott", "long.txt"}));

    r = Run({"export", tooLong, "-o", m_dir.File("long.mp3")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "zorvattone-cli export: the extension of " + m_dir.File("long.mp3") +
                         " names no format: use --format rtttl|ott|imy|ogg|m4r\nRun 'zorvattone-cli export --help' "
                         "for its usage.\n");
}

TEST_F(CliToneFileTest, WritesAFileWholeOrNotAtAll)
{
    const std::string in = Tone("ode.txt", "Ode:d=4,o=5,b=120:e,e,f,g,");
    const std::string out = Tone("ode.imy", "an earlier tone");
    ProgramResult r = RunCli({"export", in, "-o", out}, {.fileSizeLimit = 16});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("zorvattone-cli: cannot write " + out + ": ", 0), 0u) << r.err;
    EXPECT_EQ(ReadFile(out), "an earlier tone");
    EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"ode.imy", "ode.txt"}));

    r = Run({"export", "--format", "rtttl", in, "-o", in});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: cannot write " + in + ": is the same file as " + in + "\n");
    EXPECT_EQ(ReadFile(in), "Ode:d=4,o=5,b=120:e,e,f,g,");
}

TEST_F(CliToneFileTest, ExportsSoundThroughTheAudioProgram)
{
    const std::string in = Tone("two.txt", "Two:d=4,o=5,b=120:c,d,");
    ProgramResult r = Run({"export", "--instrument", "73", in, "-o", m_dir.File("two.ogg")});
    if (r.exitCode == 1 && r.err.find("no General MIDI SoundFont") != std::string::npos)
        GTEST_SKIP() << r.err;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(m_dir.File("two.ogg")).substr(0, 4), "OggS");
    r = Run({"export", "--format", "m4r", in, "-o", m_dir.File("two.bin")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(m_dir.File("two.bin")).substr(4, 8), "ftypM4A ");
    r = Run({"export", "--instrument", "128", in, "-o", m_dir.File("bad.ogg")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"two.bin", "two.ogg", "two.txt"}));
}

TEST_F(CliToneFileTest, FitsTheTuneToADeviceAndWritesItsFile)
{
    const std::string in = Tone("high.txt", "High:d=4,o=7,b=120:c,e,g,b,");
    ProgramResult r = Run({"export", "--target", "circuitpython", in, "-o", m_dir.File("high.rtttl")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "zorvattone-cli: warning: the tune is moved 1 octave down into what circuitpython plays "
                     "(c4-c#7)\nzorvattone-cli: circuitpython: 4 notes, 2.00 s\n");
    EXPECT_EQ(ReadFile(m_dir.File("high.rtttl")), "High:d=4,o=6,b=120:4c,4e,4g,4b\n");
    // The ESC's other file, by the extension: its EEPROM block.
    r = Run({"export", "--target", "bluejay", in, "-o", m_dir.File("high.bin")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(m_dir.File("high.bin")).size(), 128u);

    r = Run({"export", "--target", "pager", in, "-o", m_dir.File("x.rtttl")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no device is named 'pager': zorvattone-cli targets lists them"), std::string::npos);
    r = Run({"targets"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 11);
}

} // namespace
