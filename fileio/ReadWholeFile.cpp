#include "fileio/ReadWholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

constexpr std::size_t kBlock = 64 * 1024;

bool Fail(FileError& error, const std::string& file, FileFault fault, std::string reason)
{
    error = {file, std::move(reason), fault};
    return false;
}

bool FailSystem(FileError& error, const std::string& file, FileFault fault, int err)
{
    return Fail(error, file, fault, std::generic_category().message(err));
}

std::string TooLarge(std::uint64_t maxBytes)
{
    return "is larger than " + std::to_string(maxBytes) + " bytes";
}

// What makes `st` no file to read whole; kNone for a regular file within the limit.
FileFault Refusal(const struct stat& st, std::uint64_t maxBytes)
{
    if (S_ISDIR(st.st_mode))
        return FileFault::kDirectory;
    if (!S_ISREG(st.st_mode))
        return FileFault::kNotRegular;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return FileFault::kTooLarge;
    return FileFault::kNone;
}

bool Refuse(FileError& error, const std::string& file, FileFault fault, std::uint64_t maxBytes)
{
    switch (fault) {
    case FileFault::kDirectory:
        return Fail(error, file, fault, "is a directory");
    case FileFault::kNotRegular:
        return Fail(error, file, fault, "is not a regular file");
    default:
        return Fail(error, file, FileFault::kTooLarge, TooLarge(maxBytes));
    }
}

// Reads `fd` to its end, asking for no more than one byte past the limit, so that
// neither a file that grows nor an endless device can make it hold more. `expected`
// (the size of a regular file) sizes the buffer once.
template <class Bytes>
bool ReadAll(int fd, const std::string& file, std::uint64_t maxBytes, std::uint64_t expected, Bytes& out,
             FileError& error)
{
    out.clear();
    out.reserve(static_cast<std::size_t>(std::min(expected, maxBytes)));
    std::vector<char> block(kBlock);
    for (;;) {
        const std::uint64_t left = maxBytes - out.size();
        const std::size_t want = left >= kBlock ? kBlock : static_cast<std::size_t>(left) + 1;
        const ssize_t got = ::read(fd, block.data(), want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int err = errno;
            out.clear();
            return FailSystem(error, file, FileFault::kRead, err);
        }
        if (got == 0)
            return true;
        if (static_cast<std::uint64_t>(got) > left) {
            out.clear();
            return Fail(error, file, FileFault::kTooLarge, TooLarge(maxBytes));
        }
        out.insert(out.end(), block.data(), block.data() + got);
    }
}

// Opens `path` for reading into `fd` once it is known to be a regular file within
// the limit; false with the reason otherwise. `size` receives its size.
bool OpenChecked(const std::string& path, std::uint64_t maxBytes, int& fd, std::uint64_t& size, FileError& error)
{
    // The type is known before anything is opened: opening a FIFO would wait for a
    // writer, and opening some devices has effects of its own.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FailSystem(error, path, FileFault::kOpen, errno);
    if (FileFault fault = Refusal(st, maxBytes); fault != FileFault::kNone)
        return Refuse(error, path, fault, maxBytes);
    // Non-blocking and checked again once open, should the name have changed hands.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return FailSystem(error, path, FileFault::kOpen, errno);
    bool ok = true;
    if (::fstat(fd, &st) != 0)
        ok = FailSystem(error, path, FileFault::kOpen, errno);
    else if (FileFault fault = Refusal(st, maxBytes); fault != FileFault::kNone)
        ok = Refuse(error, path, fault, maxBytes);
    if (!ok) {
        ::close(fd);
        fd = -1;
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

template <class Bytes>
bool ReadFile(const std::string& path, std::uint64_t maxBytes, Bytes& out, FileError& error)
{
    out.clear();
    std::uint64_t size = 0;
    int fd = -1;
    if (!OpenChecked(path, maxBytes, fd, size, error))
        return false;
    const bool ok = ReadAll(fd, path, maxBytes, size, out, error);
    ::close(fd);
    return ok;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out,
                   FileError& error)
{
    return ReadFile(path, maxBytes, out, error);
}

bool ReadWholeFile(const std::string& path, std::uint64_t maxBytes, std::string& out, FileError& error)
{
    return ReadFile(path, maxBytes, out, error);
}

bool ReadStandardInput(std::uint64_t maxBytes, std::string& out, FileError& error)
{
    struct stat st {};
    std::uint64_t expected = 0;
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        expected = static_cast<std::uint64_t>(st.st_size);
    return ReadAll(STDIN_FILENO, kStandardInputName, maxBytes, expected, out, error);
}

FilePtr OpenFileToRead(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size, FileError& error)
{
    int fd = -1;
    if (!OpenChecked(path, maxBytes, fd, size, error))
        return nullptr;
    FilePtr file(::fdopen(fd, "rb"));
    if (!file) {
        const int err = errno;
        ::close(fd);
        FailSystem(error, path, FileFault::kOpen, err);
    }
    return file;
}
