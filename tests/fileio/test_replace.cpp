// CFileReplacer and ReplaceFileWith: whole or not at all, through links, in place on
// devices, never through a name that was taken. Writing over the file being read is
// drilled through the commands that read and write (tests/cli).

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "fileio/FileReplacer.h"
#include "tests/support/FaultyDir.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

bool Replace(const std::string& path, const std::string& bytes, FileError& error)
{
    return ReplaceFileWith(path, bytes.data(), bytes.size(), error);
}

class ReplaceFileTest : public ::testing::TestWithParam<DirFault> {};

} // namespace

TEST_P(ReplaceFileTest, AFailedWriteKeepsTheOldFileWholeAndLeavesNoPart)
{
    const std::string fresh(6000, 'n'); // more than one write of a buffered stream
    const std::string small = "new";
    const FileMap old = {{"out", "the good old contents"}};
    CFaultyDir dir(GetParam(), GetParam() == DirFault::kMissing ? FileMap{} : old, 0, 2);
    if (!dir.Ready())
        GTEST_SKIP() << dir.Why();
    for (const std::string* bytes : {&fresh, &small}) {
        SCOPED_TRACE(bytes->size());
        FileError error;
        bool ok = true;
        {
            const auto armed = dir.Arm();
            ok = Replace(dir.File("out"), *bytes, error);
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(error.strFile, dir.File("out"));
        EXPECT_EQ(error.strReason, dir.Reason());
        EXPECT_EQ(error.fault, GetParam() == DirFault::kFull ? FileFault::kWrite : FileFault::kCreate);
        EXPECT_EQ(dir.Files(), GetParam() == DirFault::kMissing ? FileMap{} : old);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ReplaceFileTest, kEveryDirFault, DirFaultCaseName);

TEST(ReplaceFileWith, PutsTheNewBytesInPlaceAndAPartWayFailureKeepsTheOld)
{
    CTempDir dir;
    const std::string path = dir.File("out");
    ASSERT_TRUE(WriteFile(path, "old"));
    ::chmod(path.c_str(), 0640);
    FileError error;
    const std::string fresh(10000, 'n');
    {
        CFileSizeLimit limit(5000);
        ASSERT_TRUE(limit.IsSet());
        EXPECT_FALSE(Replace(path, fresh, error));
    }
    EXPECT_EQ(error.strReason, std::strerror(EFBIG));
    EXPECT_EQ(FilesIn(dir.Path()), (FileMap{{"out", "old"}}));

    EXPECT_TRUE(Replace(path, fresh, error));
    EXPECT_EQ(FilesIn(dir.Path()), (FileMap{{"out", fresh}}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the permissions carry over";
}

TEST(ReplaceFileWith, ALinkIsWrittenThroughAndADeviceAsItIs)
{
    CTempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("target"), "old"));
    std::filesystem::create_symlink("target", dir.File("link"));
    std::filesystem::create_symlink(dir.File("made-through-link"), dir.File("dangling"));
    FileError error;
    EXPECT_TRUE(Replace(dir.File("link"), "new", error)) << error.strReason;
    EXPECT_TRUE(Replace(dir.File("dangling"), "made", error)) << error.strReason;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling")));
    EXPECT_EQ(FilesIn(dir.Path()), (FileMap{{"dangling", "made"},
                                            {"link", "new"},
                                            {"made-through-link", "made"},
                                            {"target", "new"}}));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"dangling", "link", "made-through-link", "target"}));

    EXPECT_FALSE(Replace(dir.Path(), "new", error));
    EXPECT_EQ(error.fault, FileFault::kDirectory);
    EXPECT_EQ(error.strReason, "is a directory");

    if (!Exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(Replace("/dev/full", "new", error));
    EXPECT_EQ(error.strReason, std::strerror(ENOSPC));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full")) << "the device node stays";
    EXPECT_FALSE(Exists("/dev/full.part"));
    std::filesystem::create_symlink("/dev/full", dir.File("full"));
    EXPECT_FALSE(Replace(dir.File("full"), "new", error));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("full")));
}

TEST(ReplaceFileWith, ANameTakenBesideTheTargetIsNeitherFollowedNorReusedNorRemoved)
{
    const struct {
        const char* name;
        std::function<void(const CTempDir&)> take; // puts something at "out.part"
    } cases[] = {
        {"a stale part file", [](const CTempDir& d) { WriteFile(d.File("out.part"), "stale"); }},
        {"a link planted to redirect the write",
         [](const CTempDir& d) { std::filesystem::create_symlink(d.File("victim"), d.File("out.part")); }},
        {"a link to nothing, which would create a file elsewhere",
         [](const CTempDir& d) { std::filesystem::create_symlink(d.File("elsewhere"), d.File("out.part")); }},
        {"a directory", [](const CTempDir& d) { std::filesystem::create_directory(d.File("out.part")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempDir dir;
        ASSERT_TRUE(WriteFile(dir.File("out"), "old"));
        ASSERT_TRUE(WriteFile(dir.File("victim"), "keep me"));
        c.take(dir);
        WriteFile(dir.File("out.part-1"), "also taken");
        const FileMap before = FilesIn(dir.Path());
        const std::vector<std::string> names = Listing(dir.Path());
        FileError error;
        ASSERT_TRUE(Replace(dir.File("out"), "new", error)) << error.strReason;
        FileMap expected = before;
        expected["out"] = "new";
        EXPECT_EQ(FilesIn(dir.Path()), expected);
        EXPECT_EQ(Listing(dir.Path()), names) << "nothing left behind, nothing removed";
    }
}

// The gallery's renderer writes the new file by name; another file put in its place
// must not take the target's name, and an unfinished one goes with the replacer.
TEST(FileReplacer, ANewFileSwappedWhileWrittenIsRefusedAndAnAbandonedOneRemoved)
{
    CTempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("out.wav"), "old"));
    FileError error;
    {
        CFileReplacer file;
        ASSERT_TRUE(file.Open(dir.File("out.wav"), error));
        ASSERT_TRUE(WriteFile(dir.File("other"), "swapped in"));
        std::filesystem::rename(dir.File("other"), file.WritePath());
        EXPECT_FALSE(file.Commit(error));
        EXPECT_EQ(error.fault, FileFault::kWrite);
        ASSERT_TRUE(file.Open(dir.File("new.wav"), error));
        ASSERT_TRUE(file.Write("half", 4));
    }
    EXPECT_EQ(FilesIn(dir.Path()), (FileMap{{"out.wav", "old"}, {"out.wav.part", "swapped in"}}));
}
