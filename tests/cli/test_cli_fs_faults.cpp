// File-system fault drills for the commands of zorvattone-cli that write: pdu,
// preview, package and post in a temporary directory that is missing, read-only or
// full; preview, package, copy and unpack with their output there; and writes cut
// short part-way by a file-size limit. Each failure is exit code 1 with a message
// naming the file; nothing half written stays and what was there survives.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/DrillSong.h"
#include "tests/support/FaultyDir.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemo = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";

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
        std::filesystem::create_directories(m_home.File("tmp"));
        std::filesystem::create_directories(m_home.File("out"));
        EXPECT_TRUE(WriteFile(Song(), DrillSong()));
    }
    std::string Song() const { return m_home.File("drill.txt"); }
    std::string Temp() const { return m_home.File("tmp"); }
    std::string Out(const std::string& name) const { return m_home.File("out/" + name); }
    // The tool with its home here and, when `limit` is set, every file it writes
    // limited to that many bytes.
    ProgramResult Run(const std::vector<std::string>& args, std::optional<std::uint64_t> limit = std::nullopt)
    {
        return RunCli(args, {.env = {"HOME=" + m_home.Path(), "XDG_CONFIG_HOME=" + m_home.File("config")},
                             .fileSizeLimit = limit});
    }
    // The profile that post reads, with `temp` as its temporary directory.
    void WriteProfile(const std::string& temp)
    {
        const std::string dir = m_home.File("config/Zorvat Zavi 1.0");
        std::filesystem::create_directories(dir);
        EXPECT_TRUE(WriteFile(dir + "/ZorvatTone.ini",
                              "[IDENTITY]\nNICKNAME=nick\nEMAIL=nick@example.net\nPASSWD=pw\n\n"
                              "[SYSTEM]\nEMAIL=gallery.invalid\nTEMP=" +
                                  temp + "\n"));
    }
    bool HasPost() { return Run({"post", "--help"}).exitCode == 0; }
    // A post that never gets as far as the network: nothing listens on port 1.
    ProgramResult Post(std::optional<std::uint64_t> limit = std::nullopt)
    {
        return Run({"post", "--name", "Drill", "--category", "others", "--host", "127.0.0.1:1", Song()}, limit);
    }
    // The sizes of the drill song's preview and hex, from a run on a sound disk.
    DrillSizes Measure()
    {
        DrillSizes sizes;
        ProgramResult pdu = Run({"pdu", "--temp", Temp(), Song()});
        EXPECT_EQ(pdu.exitCode, 0) << pdu.err;
        sizes.hex = pdu.out.size() - 1;
        sizes.midi = std::filesystem::file_size(Temp() + "/zorvat.mid");
        std::filesystem::remove(Temp() + "/zorvat.mid");
        return sizes;
    }

    CTempDir m_home;
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
        ASSERT_TRUE(WriteFile(Out(name), bytes));
    const std::string expected = StopMessage(dir.File("zorvat.mid"), dir.Reason());

    const std::vector<std::vector<std::string>> commands = {
        {"pdu", "--temp", dir.Path(), Song()},
        {"preview", "--temp", dir.Path(), Song(), "-o", Out("p.mid")},
        {"package", "--temp", dir.Path(), Song(), "-o", Out("pkg")},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        ProgramResult r = Run(command, LimitOf(dir));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, expected);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(dir.Files(), before);
        EXPECT_EQ(FilesIn(m_home.File("out")), outputs);
    }
    if (!HasPost())
        return;
    WriteProfile(dir.Path());
    ProgramResult r = Post(LimitOf(dir));
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
    ASSERT_TRUE(WriteFile(Out("pkg"), "an earlier package"));

    ProgramResult r = Run({"package", "--temp", dir.Path(), Song(), "-o", Out("pkg")}, LimitOf(dir));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(NamesAPackageIn(r.err, dir.Path(), dir.Reason())) << r.err;
    EXPECT_EQ(dir.Files(), kEarlierFiles);
    EXPECT_EQ(FilesIn(m_home.File("out")), (FileMap{{"pkg", "an earlier package"}}));

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
        ProgramResult r = Run(c.args, LimitOf(dir));
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
        ASSERT_TRUE(WriteFile(Out(name), bytes));
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
        ProgramResult r = Run(c.args, c.limit);
        EXPECT_EQ(r.exitCode, 1);
        if (c.err.empty())
            EXPECT_TRUE(NamesAPackageIn(r.err, Temp(), tooLarge)) << r.err;
        else
            EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(FilesIn(m_home.File("out")), old);
        EXPECT_TRUE(std::filesystem::is_empty(Temp()));
    }
}

TEST_F(CliFaultTest, CopyToADeviceWritesItInPlaceAndReportsAFullOne)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ProgramResult r = Run({"copy", kDemo, "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zorvattone-cli: cannot write /dev/full: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full")) << "the device node stays";
    EXPECT_FALSE(std::filesystem::exists("/dev/full.part"));

    r = Run({"copy", kDemo, "/dev/stdout"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ReadFile(kDemo));
}
