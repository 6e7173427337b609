// Every command of zorvattone-cli given an input that is no file to read ends with exit
// code 1 and one line naming the file and the reason; none waits on a FIFO, reads an
// endless device or aborts. Text over the limit is refused before it is read whole,
// and no command writes over the file it reads.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/CliRunner.h"

namespace {

class CliBadInputTest : public ::testing::Test {
protected:
    CliBadInputTest() { std::filesystem::create_directories(m_dir.Path() / "out"); }

    // Every command with `in` where it takes its input file.
    std::vector<std::vector<std::string>> EveryCommandReading(const std::string& in) const
    {
        const std::string temp = m_dir / "out";
        return {
            {"info", in},
            {"dump", in},
            {"melody", in},
            {"record", in},
            {"copy", in, m_dir / "copy.mid"},
            {"pdu", "--temp", temp, in},
            {"preview", "--temp", temp, in, "-o", m_dir / "p.mid"},
            {"package", "--temp", temp, in, "-o", m_dir / "pkg"},
            {"unpack", in, "-d", temp},
            {"post", "--name", "Tone", "--category", "others", "--host", "127.0.0.1:1", in},
        };
    }
    // The tool with its home here, killed should it ever wait (exit code 124).
    CliResult Run(const std::vector<std::string>& args, const std::string* stdinText = nullptr) const
    {
        return RunCli(args, stdinText,
                      "HOME=" + ShellQuote(m_dir.Path().string()) + " XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") +
                          " timeout 30");
    }

    CScratchDir m_dir;
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
    std::set<std::string> inTable;
    for (const auto& args : EveryCommandReading("x"))
        inTable.insert(args[0]);
    EXPECT_EQ(inTable, listed);

    const std::string secret = m_dir / "secret.txt";
    { std::ofstream(secret) << "T:d=4,o=5,b=120:c,"; }
    ::chmod(secret.c_str(), 0);
    const int fd = ::open(secret.c_str(), O_RDONLY);
    if (fd >= 0)
        ::close(fd);
    const std::string fifo = m_dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path; // empty: not possible here
        std::string reason;
    } inputs[] = {
        {"a directory", m_dir / "out", "is a directory"},
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
            const CliResult r = Run(args);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "zorvattone-cli: cannot read " + input.path + ": " + input.reason + "\n");
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path() / "out")) << "nothing was written";
}

TEST_F(CliBadInputTest, RtttlTextOverTheLimitIsRefusedBeforeItIsReadWhole)
{
    const std::string why = ": is larger than 65536 bytes; a ringtone's text is a few kilobytes\n";
    const std::string text(65537, 'a');
    CliResult r = Run({"pdu", "--temp", m_dir / "out", "-"}, &text);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: cannot read standard input" + why);
    { std::ofstream(m_dir / "long.txt") << text; }
    r = Run({"pdu", "--temp", m_dir / "out", m_dir / "long.txt"});
    EXPECT_EQ(r.err, "zorvattone-cli: cannot read " + (m_dir / "long.txt") + why);
}

TEST_F(CliBadInputTest, NoCommandWritesOverTheFileItReads)
{
    const std::string song = m_dir / "song.mid";
    std::filesystem::copy_file(std::string(ZT_SOURCE_DIR) + "/data/demo.mid", song);
    std::filesystem::create_symlink(song, m_dir / "link.mid");
    std::filesystem::create_hard_link(song, m_dir / "hard.mid");
    const std::string package = m_dir / "out/zorvat.mid";
    const std::string tune = "T:d=4,o=5,b=120:c,";
    ASSERT_EQ(Run({"package", "--temp", m_dir / "out", "-o", package, "-"}, &tune).exitCode, 0);
    const struct {
        std::vector<std::string> args;
        std::string output; // the file named in the message
        std::string input;
    } cases[] = {
        {{"copy", song, m_dir / "link.mid"}, m_dir / "link.mid", song},
        {{"copy", song, m_dir / "hard.mid"}, m_dir / "hard.mid", song},
        {{"unpack", package, "-d", m_dir / "out"}, package, package},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string before = SlurpFile(c.input);
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "zorvattone-cli: cannot write " + c.output + ": is the same file as " + c.input + "\n");
        EXPECT_EQ(SlurpFile(c.input), before);
    }
}

// Output that cannot be written is a failure too: a full disk and a closed pipe end
// every printing command with exit code 1 and the reason, not with the output lost.
TEST(CliOutput, ALostWriteToStandardOutputFailsTheCommand)
{
    CScratchDir dir;
    const std::string demo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";
    std::ofstream(dir / "tone.txt") << "T:d=4,o=5,b=120:8c5,8d5,";
    const std::string cli = ShellQuote(std::string(ZT_BINARY_DIR) + "/bin/zorvattone-cli");
    const std::vector<std::string> commands = {
        "--help",
        "info " + ShellQuote(demo),
        "dump " + ShellQuote(demo),
        "melody " + ShellQuote(demo),
        "record " + ShellQuote(demo),
        "pdu --temp " + ShellQuote(dir.Path().string()) + " " + ShellQuote(dir / "tone.txt"),
    };
    for (const std::string& command : commands) {
        const std::string full = cli + " " + command + " > /dev/full 2> " + ShellQuote(dir / "err");
        const int status = std::system(full.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        EXPECT_EQ(SlurpFile(dir / "err"), "zorvattone-cli: cannot write standard output: No space left on device\n")
            << command;
    }
    // A reader that stops early: the dump of a long song (far more than a pipe holds)
    // is cut short with a message.
    std::string track;
    for (int i = 0; i < 100000; ++i)
        track += i == 0 ? std::string("\x00\x90\x3C\x40", 4) : std::string("\x01\x3C\x40", 3);
    track += std::string("\x00\xFF\x2F\x00", 4);
    const std::uint32_t length = static_cast<std::uint32_t>(track.size());
    const char lengthBytes[4] = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                                 static_cast<char>(length >> 8), static_cast<char>(length)};
    const std::string song = dir / "long.mid";
    std::ofstream(song, std::ios::binary) << std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk", 18)
                                          << std::string(lengthBytes, 4) << track;
    const std::string piped = "bash -c 'set -o pipefail; " + cli + " dump " + ShellQuote(song) +
                              " 2> " + ShellQuote(dir / "err") + " | head -c 1 > /dev/null'";
    EXPECT_EQ(WEXITSTATUS(std::system(piped.c_str())), 1);
    EXPECT_EQ(SlurpFile(dir / "err"), "zorvattone-cli: cannot write standard output: Broken pipe\n");
}
