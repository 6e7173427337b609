// Every command of zorvattone-cli given an input that is no file to read ends with exit
// code 1 and one line naming the file and the reason; none waits on a FIFO, reads an
// endless device or aborts. Text over the limit is refused before it is read whole,
// and no command writes over the file it reads.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliBadInputTest : public ::testing::Test {
protected:
    CliBadInputTest() { std::filesystem::create_directories(m_dir.File("out")); }

    // Every command with `in` where it takes its input file.
    std::vector<std::vector<std::string>> EveryCommandReading(const std::string& in) const
    {
        const std::string temp = m_dir.File("out");
        return {
            {"info", in},
            {"dump", in},
            {"melody", in},
            {"record", in},
            {"copy", in, m_dir.File("copy.mid")},
            {"pdu", "--temp", temp, in},
            {"preview", "--temp", temp, in, "-o", m_dir.File("p.mid")},
            {"package", "--temp", temp, in, "-o", m_dir.File("pkg")},
            {"unpack", in, "-d", temp},
            {"post", "--name", "Tone", "--category", "others", "--host", "127.0.0.1:1", in},
            {"export", in, "-o", m_dir.File("tone.ott")},
            {"import", in},
            {"ringtone", in, "-o", m_dir.File("tone.m4r")},
        };
    }
    // The tool with its home here, killed should it ever wait (exit code 124).
    ProgramResult Run(const std::vector<std::string>& args, const std::string* stdinText = nullptr) const
    {
        std::vector<std::string> argv = {"timeout", "30", BuildProgram("zorvattone-cli")};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, {.env = {"HOME=" + m_dir.Path(), "XDG_CONFIG_HOME=" + m_dir.File("config")},
                                 .stdinText = stdinText});
    }

    CTempDir m_dir;
};

} // namespace

TEST_F(CliBadInputTest, EveryCommandNamesAnInputThatIsNoFileToRead)
{
    std::set<std::string> listed; // the commands --help lists, which the table must hold
    const std::string overview = RunCli({"--help"}).out;
    ASSERT_NE(overview.find("Commands:\n"), std::string::npos) << overview;
    std::istringstream help(overview.substr(overview.find("Commands:\n") + 10));
    for (std::string line; std::getline(help, line) && line.rfind("  ", 0) == 0;)
        listed.insert(line.substr(2, line.find(' ', 2) - 2));
    listed.erase("targets"); // it reads no file
    std::set<std::string> inTable;
    for (const auto& args : EveryCommandReading("x"))
        inTable.insert(args[0]);
    EXPECT_EQ(inTable, listed);

    const std::string secret = m_dir.File("secret.txt");
    ASSERT_TRUE(WriteFile(secret, "T:d=4,o=5,b=120:c,"));
    ::chmod(secret.c_str(), 0);
    const int fd = ::open(secret.c_str(), O_RDONLY);
    if (fd >= 0)
        ::close(fd);
    const std::string fifo = m_dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path; // empty: not possible here
        std::string reason;
    } inputs[] = {
        {"a directory", m_dir.File("out"), "is a directory"},
        {"a FIFO", fifo, "is not a regular file"},
        {"an endless device", "/dev/zero", "is not a regular file"},
        {"a file that cannot be opened", fd >= 0 ? "" : secret, std::strerror(EACCES)},
        // Reading the first page of a process's own memory fails, even for root.
        {"a file whose read fails", "/proc/self/mem", std::strerror(EIO)},
    };
    for (const auto& input : inputs) {
        if (input.path.empty()) {
            std::printf("[  NOTE    ] not checked: %s (root reads anything)\n", input.name);
            continue;
        }
        for (const auto& args : EveryCommandReading(input.path)) {
            SCOPED_TRACE(std::string(input.name) + ", " + args[0]);
            const ProgramResult r = Run(args);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "zorvattone-cli: cannot read " + input.path + ": " + input.reason + "\n");
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.File("out"))) << "nothing was written";
}

TEST_F(CliBadInputTest, RtttlTextOverTheLimitIsRefusedBeforeItIsReadWhole)
{
    const std::string why = ": is larger than 65536 bytes; a ringtone's text is a few kilobytes\n";
    const std::string text(65537, 'a');
    ProgramResult r = Run({"pdu", "--temp", m_dir.File("out"), "-"}, &text);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: cannot read standard input" + why);
    ASSERT_TRUE(WriteFile(m_dir.File("long.txt"), text));
    r = Run({"pdu", "--temp", m_dir.File("out"), m_dir.File("long.txt")});
    EXPECT_EQ(r.err, "zorvattone-cli: cannot read " + m_dir.File("long.txt") + why);
}

TEST_F(CliBadInputTest, NoCommandWritesOverTheFileItReads)
{
    const std::string song = m_dir.File("song.mid");
    std::filesystem::copy_file(std::string(ZT_SOURCE_DIR) + "/data/demo.mid", song);
    std::filesystem::create_symlink(song, m_dir.File("link.mid"));
    std::filesystem::create_hard_link(song, m_dir.File("hard.mid"));
    const std::string package = m_dir.File("out/zorvat.mid");
    const std::string tune = "T:d=4,o=5,b=120:c,";
    ASSERT_EQ(Run({"package", "--temp", m_dir.File("out"), "-o", package, "-"}, &tune).exitCode, 0);
    const struct {
        std::vector<std::string> args;
        std::string output; // the file named in the message
        std::string input;
    } cases[] = {
        {{"copy", song, m_dir.File("link.mid")}, m_dir.File("link.mid"), song},
        {{"copy", song, m_dir.File("hard.mid")}, m_dir.File("hard.mid"), song},
        {{"unpack", package, "-d", m_dir.File("out")}, package, package},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string before = ReadFile(c.input);
        const ProgramResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "zorvattone-cli: cannot write " + c.output + ": is the same file as " + c.input + "\n");
        EXPECT_EQ(ReadFile(c.input), before);
    }
}

// Output that cannot be written is a failure too: a full disk and a closed pipe end
// every printing command with exit code 1 and the reason, not with the output lost.
TEST(CliOutput, ALostWriteToStandardOutputFailsTheCommand)
{
    CTempDir dir;
    const std::string demo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";
    ASSERT_TRUE(WriteFile(dir.File("tone.txt"), "T:d=4,o=5,b=120:8c5,8d5,"));
    const std::string cli = ShellQuote(BuildProgram("zorvattone-cli"));
    const std::vector<std::string> commands = {
        "--help",
        "info " + ShellQuote(demo),
        "dump " + ShellQuote(demo),
        "melody " + ShellQuote(demo),
        "record " + ShellQuote(demo),
        "pdu --temp " + ShellQuote(dir.Path()) + " " + ShellQuote(dir.File("tone.txt")),
        "import " + ShellQuote(dir.File("tone.txt")),
    };
    for (const std::string& command : commands) {
        const std::string full = cli + " " + command + " > /dev/full 2> " + ShellQuote(dir.File("err"));
        const int status = std::system(full.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        // pdu says first how much of a message the ringtone takes.
        const std::string err = ReadFile(dir.File("err"));
        EXPECT_EQ(err.substr(command.rfind("pdu", 0) == 0 ? err.find('\n') + 1 : 0),
                  "zorvattone-cli: cannot write standard output: No space left on device\n")
            << command;
    }
    // A reader that stops early: the dump of a long song (far more than a pipe holds)
    // is cut short with a message.
    CTrackBytes track;
    track.On(0, 0, 0x3C, 0x40);
    for (int i = 1; i < 100000; ++i)
        track.Raw(1, {0x3C, 0x40});
    const std::string song = dir.File("long.mid");
    ASSERT_TRUE(WriteBytes(song, SmfBytes(96, {track.End()}, 0)));
    const std::string piped = "bash -c 'set -o pipefail; " + cli + " dump " + ShellQuote(song) +
                              " 2> " + ShellQuote(dir.File("err")) + " | head -c 1 > /dev/null'";
    EXPECT_EQ(WEXITSTATUS(std::system(piped.c_str())), 1);
    EXPECT_EQ(ReadFile(dir.File("err")), "zorvattone-cli: cannot write standard output: Broken pipe\n");
}
