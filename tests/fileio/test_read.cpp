// ReadWholeFile: what it refuses before reading, and the limit while it reads.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/ReadWholeFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

TEST(ReadWholeFile, RefusesWhatIsNoFileToReadWholeAndNamesIt)
{
    CTempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_directory_symlink(dir.File("sub"), dir.File("link"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    ASSERT_TRUE(WriteFile(dir.File("big"), std::string(11, 'b')));
    ASSERT_TRUE(WriteFile(dir.File("secret"), "x"));
    ::chmod(dir.File("secret").c_str(), 0);
    const int fd = ::open(dir.File("secret").c_str(), O_RDONLY);
    const bool bRootReadsAnything = fd >= 0;
    if (fd >= 0)
        ::close(fd);
    const struct {
        const char* name;
        std::string path;
        FileFault fault;
        std::string reason;
    } cases[] = {
        {"a directory", dir.Path(), FileFault::kDirectory, "is a directory"},
        {"a link to a directory", dir.File("link"), FileFault::kDirectory, "is a directory"},
        {"a FIFO, which would wait for a writer", dir.File("fifo"), FileFault::kNotRegular, "is not a regular file"},
        {"an endless device", "/dev/zero", FileFault::kNotRegular, "is not a regular file"},
        {"a missing file", dir.File("missing"), FileFault::kOpen, std::strerror(ENOENT)},
        {"a file nobody may read", bRootReadsAnything ? "" : dir.File("secret"), FileFault::kOpen,
         std::strerror(EACCES)},
        {"a file one byte over the limit", dir.File("big"), FileFault::kTooLarge, "is larger than 10 bytes"},
        // Its size says 0; what comes out is over a kilobyte.
        {"a file longer than its size", "/proc/self/status", FileFault::kTooLarge, "is larger than 10 bytes"},
        // Reading address 0 of the process's own memory fails, even for root.
        {"a file whose read fails", "/proc/self/mem", FileFault::kRead, std::strerror(EIO)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path.empty()) {
            std::printf("[  NOTE    ] not checked: %s (root reads anything)\n", c.name);
            continue;
        }
        std::vector<std::uint8_t> out = {1, 2, 3};
        FileError error;
        EXPECT_FALSE(ReadWholeFile(c.path, 10, out, error));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(error.strFile, c.path);
        EXPECT_EQ(error.fault, c.fault);
        EXPECT_EQ(error.strReason, c.reason);
    }
}

TEST(ReadWholeFile, ReadsAFileOfExactlyTheLimitThroughALink)
{
    CTempDir dir;
    const std::string bytes = std::string(70000, 'a') + "end"; // more than one block
    ASSERT_TRUE(WriteFile(dir.File("file"), bytes));
    std::filesystem::create_symlink(dir.File("file"), dir.File("link"));
    FileError error;
    std::string text;
    EXPECT_TRUE(ReadWholeFile(dir.File("link"), bytes.size(), text, error)) << error.strReason;
    EXPECT_EQ(text, bytes);
}
