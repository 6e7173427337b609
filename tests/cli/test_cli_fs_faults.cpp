// File-system fault drills for the commands of zorvattone-cli that write: pdu,
// preview, package and post in a temporary directory that is missing, read-only or
// full; preview, package, copy and unpack with their output there; and writes cut
// short part-way by a file-size limit. Each failure is exit code 1 with a message
// naming the file; nothing half written stays and what was there survives.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/CliRunner.h"
#include "tests/ringtone/DrillSong.h"
#include "tests/ringtone/FaultyDir.h"

extern char** environ;

namespace {

const std::string kCli = std::string(ZT_BINARY_DIR) + "/bin/zorvattone-cli";
const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

// Reads both pipes to their ends, so that neither can fill up while the other waits.
void Drain(int outFd, int errFd, CliResult& r)
{
    pollfd fds[] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0 && ::poll(fds, 2, -1) >= 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? r.out : r.err).append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            ::close(fds[i].fd);
            fds[i].fd = -1;
            --open;
        }
    }
}

// Runs the tool with its home in `home` and, when `limit` is set, every file it
// writes limited to that many bytes. Output comes through pipes, which no limit cuts.
CliResult RunCliIn(const std::string& home, const std::vector<std::string>& args,
                   std::optional<std::uint64_t> limit = std::nullopt)
{
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config"};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {kCli};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    CliResult r;
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = -1;
    int rc = 0;
    {
        // The tool inherits the limit and the ignored SIGXFSZ; the test writes
        // nothing while they are in force here.
        std::optional<CFileSizeLimit> fsize;
        if (limit)
            fsize.emplace(*limit);
        rc = ::posix_spawn(&pid, kCli.c_str(), &actions, nullptr, argv.data(), envp.data());
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    Drain(out[0], err[0], r);
    if (rc != 0)
        return r;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::optional<std::uint64_t> LimitOf(const CFaultyDir& dir)
{
    return dir.IsLimited() ? std::optional<std::uint64_t>(dir.LimitBytes()) : std::nullopt;
}

std::string StopMessage(const std::string& file, const std::string& reason)
{
    return "ERROR: Cannot write the file \"" + file + "\": " + reason + ".\n";
}

// "ERROR: Cannot write the file "<dir>/<seconds>": <reason>.", the package built in
// the temporary directory.
bool NamesAPackageIn(const std::string& err, const std::string& dir, const std::string& reason)
{
    auto escape = [](const std::string& s) {
        return std::regex_replace(s, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    };
    return std::regex_match(err, std::regex("ERROR: Cannot write the file \"" + escape(dir) + "/[0-9]+\": " +
                                            escape(reason) + "\\.\n"));
}

class CliFaultTest : public ::testing::Test {
protected:
    CliFaultTest()
    {
        std::filesystem::create_directories(m_home.Path() / "tmp");
        std::filesystem::create_directories(m_home.Path() / "out");
        EXPECT_TRUE(WriteFileBytes(Song(), DrillSong()));
    }
    std::string Home() const { return m_home.Path().string(); }
    std::string Song() const { return m_home / "drill.txt"; }
    std::string Temp() const { return m_home / "tmp"; }
    std::string Out(const std::string& name) const { return m_home / ("out/" + name); }
    CliResult Run(const std::vector<std::string>& args, std::optional<std::uint64_t> limit = std::nullopt)
    {
        return RunCliIn(Home(), args, limit);
    }
    // The profile that post reads, with `temp` as its temporary directory.
    void WriteProfile(const std::string& temp)
    {
        std::filesystem::path dir = m_home.Path() / "config" / "Zorvat Zavi 1.0";
        std::filesystem::create_directories(dir);
        EXPECT_TRUE(WriteFileBytes((dir / "ZorvatTone.ini").string(),
                                   "[IDENTITY]\nNICKNAME=nick\nEMAIL=nick@example.net\nPASSWD=pw\n\n"
                                   "[SYSTEM]\nEMAIL=gallery.invalid\nTEMP=" +
                                       temp + "\n"));
    }
    bool HasPost() { return Run({"post", "--help"}).exitCode == 0; }
    // A post that never gets as far as the network: nothing listens on port 1.
    CliResult Post(std::optional<std::uint64_t> limit = std::nullopt)
    {
        return Run({"post", "--name", "Drill", "--category", "others", "--host", "127.0.0.1:1", Song()}, limit);
    }
    // The sizes of the drill song's preview and hex, from a run on a sound disk.
    DrillSizes Measure()
    {
        DrillSizes sizes;
        CliResult pdu = Run({"pdu", "--temp", Temp(), Song()});
        EXPECT_EQ(pdu.exitCode, 0) << pdu.err;
        sizes.hex = pdu.out.size() - 1;
        sizes.midi = std::filesystem::file_size(Temp() + "/zorvat.mid");
        std::filesystem::remove(Temp() + "/zorvat.mid");
        return sizes;
    }

    CScratchDir m_home;
};

class CliBrokenTempTest : public CliFaultTest, public ::testing::WithParamInterface<DirFault> {};
class CliBrokenOutputTest : public CliFaultTest, public ::testing::WithParamInterface<DirFault> {};

} // namespace

TEST_P(CliBrokenTempTest, EveryRingtoneCommandNamesThePreviewAndKeepsEveryFile)
{
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : kEarlierFiles);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    const FileMap before = dir.Files();
    const FileMap outputs = {{"p.mid", "an earlier preview"}, {"pkg", "an earlier package"}};
    for (const auto& [name, bytes] : outputs)
        ASSERT_TRUE(WriteFileBytes(Out(name), bytes));
    const std::string expected = StopMessage(dir.File("zorvat.mid"), dir.Reason());

    const std::vector<std::vector<std::string>> commands = {
        {"pdu", "--temp", dir.Path(), Song()},
        {"preview", "--temp", dir.Path(), Song(), "-o", Out("p.mid")},
        {"package", "--temp", dir.Path(), Song(), "-o", Out("pkg")},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        CliResult r = Run(command, LimitOf(dir));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, expected);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(dir.Files(), before);
        EXPECT_EQ(FilesIn(m_home / "out"), outputs);
    }
    if (!HasPost())
        return;
    WriteProfile(dir.Path());
    CliResult r = Post(LimitOf(dir));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "") << "no upload step began";
    EXPECT_EQ(dir.Files(), before);
}

INSTANTIATE_TEST_SUITE_P(Faults, CliBrokenTempTest, kEveryDirFault, DirFaultCaseName);

TEST_F(CliFaultTest, APackageThatDoesNotFitTheTemporaryDirectoryLeavesOnlyWhatWasThere)
{
    const DrillSizes sizes = Measure();
    // Room for the preview and the hex text, none for the package.
    CFaultyDir dir(DirFault::kFull, kEarlierFiles, 2, sizes.Package() - 1);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    ASSERT_TRUE(WriteFileBytes(Out("pkg"), "an earlier package"));

    CliResult r = Run({"package", "--temp", dir.Path(), Song(), "-o", Out("pkg")}, LimitOf(dir));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(NamesAPackageIn(r.err, dir.Path(), dir.Reason())) << r.err;
    EXPECT_EQ(dir.Files(), kEarlierFiles);
    EXPECT_EQ(FilesIn(m_home / "out"), (FileMap{{"pkg", "an earlier package"}}));

    if (!HasPost())
        return;
    WriteProfile(dir.Path());
    r = Post(LimitOf(dir));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(NamesAPackageIn(r.err, dir.Path(), dir.Reason())) << r.err;
    EXPECT_EQ(dir.Files(), kEarlierFiles);
}

TEST_P(CliBrokenOutputTest, AnOutputThatCannotBeWrittenKeepsTheOneThatWasThere)
{
    // A package to unpack, from a run on a sound disk.
    ASSERT_EQ(Run({"package", "--temp", Temp(), Song(), "-o", Out("source.pkg")}).exitCode, 0);
    const FileMap old = {{"p.mid", "an earlier preview"},
                         {"pkg", "an earlier package"},
                         {"copy.mid", "an earlier copy"},
                         {"zorvat.mid", "an earlier part"},
                         {"zorvat.pdu", "an earlier hex"}};
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : old);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    const std::string reason = dir.Reason();
    const struct {
        std::vector<std::string> args;
        std::string err;
        bool bLimitCanDoIt; // a file-size limit would stop the same bytes in TEMP first
    } cases[] = {
        {{"preview", "--temp", Temp(), Song(), "-o", dir.File("p.mid")},
         "zorvattone-cli: cannot copy " + Temp() + "/zorvat.mid to " + dir.File("p.mid") + ": " + reason + "\n",
         false},
        {{"package", "--temp", Temp(), Song(), "-o", dir.File("pkg")}, StopMessage(dir.File("pkg"), reason), false},
        {{"copy", kDemo, dir.File("copy.mid")},
         "zorvattone-cli: cannot " + std::string(GetParam() == DirFault::kFull ? "write " : "create ") +
             dir.File("copy.mid") + ": " + reason + "\n",
         true},
        {{"unpack", Out("source.pkg"), "-d", dir.Path()},
         "zorvattone-cli: cannot write " + dir.File("zorvat.mid") + ": " + reason + "\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        if (dir.IsLimited() && !c.bLimitCanDoIt)
            continue;
        CliResult r = Run(c.args, LimitOf(dir));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(dir.Files(), GetParam() == DirFault::kMissing ? FileMap{} : old);
        EXPECT_FALSE(dir.Exists() != (GetParam() != DirFault::kMissing));
    }
    // The preview stays in TEMP, as Listen leaves it; nothing else does.
    std::filesystem::remove(Temp() + "/zorvat.mid");
    EXPECT_TRUE(std::filesystem::is_empty(Temp()));
}

INSTANTIATE_TEST_SUITE_P(Faults, CliBrokenOutputTest, kEveryDirFault, DirFaultCaseName);

TEST_F(CliFaultTest, WritesCutShortPartWayFailAndNeverReplaceAGoodFile)
{
    const DrillSizes sizes = Measure();
    const FileMap old = {
        {"p.mid", "an earlier preview"}, {"pkg", "an earlier package"}, {"copy.mid", "an earlier copy"}};
    for (const auto& [name, bytes] : old)
        ASSERT_TRUE(WriteFileBytes(Out(name), bytes));
    const std::string tooLarge = std::strerror(EFBIG);
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::uint64_t limit;
        std::string err; // empty: the package built in TEMP
    } cases[] = {
        {"the preview stops half-way", {"preview", "--temp", Temp(), Song(), "-o", Out("p.mid")}, sizes.midi / 2,
         StopMessage(Temp() + "/zorvat.mid", tooLarge)},
        {"the package stops half-way", {"package", "--temp", Temp(), Song(), "-o", Out("pkg")}, sizes.midi + 1, ""},
        {"the copy stops half-way",
         {"copy", kDemo, Out("copy.mid")},
         std::filesystem::file_size(kDemo) / 2,
         "zorvattone-cli: cannot write " + Out("copy.mid") + ": " + tooLarge + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CliResult r = Run(c.args, c.limit);
        EXPECT_EQ(r.exitCode, 1);
        if (c.err.empty())
            EXPECT_TRUE(NamesAPackageIn(r.err, Temp(), tooLarge)) << r.err;
        else
            EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(FilesIn(m_home / "out"), old);
        EXPECT_TRUE(std::filesystem::is_empty(Temp()));
    }
}

TEST_F(CliFaultTest, CopyToADeviceWritesItInPlaceAndReportsAFullOne)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CliResult r = Run({"copy", kDemo, "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: cannot write /dev/full: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full")) << "the device node stays";
    EXPECT_FALSE(std::filesystem::exists("/dev/full.part"));

    r = Run({"copy", kDemo, "/dev/stdout"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, SlurpFile(kDemo));
}
