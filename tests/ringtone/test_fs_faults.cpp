// File-system fault drills for the files the conversion writes: a temporary
// directory that is missing, read-only or on a full disk, and writes that fail
// part-way. Every failure is a stop message naming the file; nothing half written
// stays, and what was there before survives.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "ConverterFixture.h"
#include "tests/support/DrillSong.h"
#include "tests/support/FaultyDir.h"

namespace {

class FsFaultTest : public ConverterTest {
protected:
    // Runs the drill song with `dir` as TEMP, the fault in force.
    bool Convert(const CFaultyDir& dir, const std::string& outputPath)
    {
        m_settings.SetString(kProfileSystem, kProfileTempDir, dir.Path());
        const auto armed = dir.Arm();
        return Run(DrillSong(), outputPath);
    }
    void ExpectOneStop(const std::string& file, const std::string& reason)
    {
        ASSERT_EQ(m_prompt.Entries().size(), 1u);
        EXPECT_EQ(LastMessage().text, "Cannot write the file \"" + file + "\": " + reason + ".");
        EXPECT_EQ(LastMessage().caption, "ERROR");
        EXPECT_EQ(LastMessage().icon, PromptIcon::Stop);
        EXPECT_EQ(m_text, DrillSong()) << "the caller's text stays as it was";
        EXPECT_TRUE(m_post.m_calls.empty());
    }
};

class BrokenTempTest : public FsFaultTest, public ::testing::WithParamInterface<DirFault> {};

} // namespace

TEST_P(BrokenTempTest, ListenAndPostNameThePreviewAndLeaveTheDirectoryAsItWas)
{
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : kEarlierFiles);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    const FileMap before = dir.Files();
    for (const char* command : {"Listen", "Post"}) {
        SCOPED_TRACE(command);
        m_prompt.Clear();
        const std::string package = std::string(command) == "Post" ? dir.File("1700000001") : "";
        EXPECT_FALSE(Convert(dir, package));
        ExpectOneStop(dir.File("zorvat.mid"), dir.Reason());
        EXPECT_EQ(dir.Files(), before);
        EXPECT_EQ(dir.Exists(), GetParam() != DirFault::kMissing) << "no directory is made";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenTempTest, kEveryDirFault, DirFaultCaseName);

TEST_F(FsFaultTest, APackageThatDoesNotFitLeavesNoFileAndTheEarlierOnesIntact)
{
    const DrillSizes sizes = MeasureDrill();
    // A page for the preview and one for the hex; the package would need a third.
    CFaultyDir dir(DirFault::kFull, kEarlierFiles, 2, sizes.Package() - 1);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    const std::string package = dir.File("1700000001");
    EXPECT_FALSE(Convert(dir, package));
    ExpectOneStop(package, dir.Reason());
    EXPECT_EQ(dir.Files(), kEarlierFiles) << "no package, zorvat.mid, zorvat.pdu or .tmp";
}

TEST_F(FsFaultTest, AHexFileThatDoesNotFitTakesThePreviewWithIt)
{
    CFaultyDir dir(DirFault::kFull, kEarlierFiles, 1);
    if (!dir.Ready() || dir.IsLimited())
        GTEST_SKIP() << "a file-size limit cannot pass the preview and stop the shorter hex";
    EXPECT_FALSE(Convert(dir, dir.File("1700000001")));
    ExpectOneStop(dir.File("zorvat.pdu"), dir.Reason());
    EXPECT_EQ(dir.Files(), kEarlierFiles);
}

TEST_F(FsFaultTest, WritesThatStopPartWayAreFailuresAndLeaveNothingShort)
{
    // A file-size limit: the write stores what fits, then fails with EFBIG.
    const DrillSizes sizes = MeasureDrill();
    const struct {
        const char* name;
        std::uint64_t limit;
        const char* failing; // empty: the package
    } cases[] = {
        {"the preview stops half-way", sizes.midi / 2, "zorvat.mid"},
        {"the package stops a byte short", sizes.Package() - 1, ""},
        {"the package stops half-way", sizes.midi + 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompt.Clear();
        CTempDir dir;
        for (const auto& [name, bytes] : kEarlierFiles)
            ASSERT_TRUE(WriteFile(dir.File(name), bytes));
        m_settings.SetString(kProfileSystem, kProfileTempDir, dir.Path());
        const std::string package = dir.File("1700000001");
        bool ok = true;
        {
            CFileSizeLimit limit(c.limit);
            ASSERT_TRUE(limit.IsSet());
            ok = Run(DrillSong(), package);
        }
        EXPECT_FALSE(ok);
        ExpectOneStop(*c.failing ? dir.File(c.failing) : package, std::strerror(EFBIG));
        EXPECT_EQ(FilesIn(dir.Path()), kEarlierFiles);
    }
}
