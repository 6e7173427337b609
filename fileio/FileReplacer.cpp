#include "fileio/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

namespace {

// Names tried beside the target: "<target>.part", then "<target>.part-1" and on.
constexpr int kPartNames = 100;
// Links followed to the target before giving up, as the system's own ELOOP limit.
constexpr int kMaxLinks = 40;

std::string SystemText(int err)
{
    return std::generic_category().message(err);
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name at the end of the chain of symbolic links that starts at `path`, whether
// or not a file is there yet; `path` itself when it is no link. False with errno set.
bool FollowLinks(const std::string& path, std::string& target)
{
    target = path;
    std::vector<char> link(PATH_MAX);
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0)
            return errno == ENOENT; // nothing there yet: the file to create
        if (!S_ISLNK(st.st_mode))
            return true;
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) == link.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::string next(link.data(), static_cast<std::size_t>(n));
        target = next.front() == '/' ? next : DirectoryOf(target) + "/" + next;
    }
    errno = ELOOP;
    return false;
}

// Makes a rename in `dir` survive a power cut. A failure costs at most the old
// contents coming back after one, so it is not reported.
void SyncDirectory(const std::string& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

CFileReplacer::~CFileReplacer()
{
    Abandon();
}

bool CFileReplacer::Fail(FileError& error, FileFault fault, const std::string& reason)
{
    error = {m_strPath, reason, fault};
    return false;
}

bool CFileReplacer::Open(const std::string& path, FileError& error, const std::string& inputPath)
{
    Abandon();
    m_strPath = path;
    m_strTarget.clear();
    m_strWritePath.clear();
    m_writeError = {};
    m_bInPlace = false;

    struct stat st {};
    const bool bExists = ::stat(path.c_str(), &st) == 0;
    if (!bExists && errno != ENOENT)
        return Fail(error, FileFault::kCreate, SystemText(errno));
    if (bExists && S_ISDIR(st.st_mode))
        return Fail(error, FileFault::kDirectory, "is a directory");
    if (bExists && !S_ISREG(st.st_mode)) {
        m_fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0)
            return Fail(error, FileFault::kCreate, SystemText(errno));
        m_bInPlace = true;
        m_strWritePath = path;
        return true;
    }
    if (bExists && !inputPath.empty()) {
        struct stat input {};
        if (::stat(inputPath.c_str(), &input) == 0 && input.st_dev == st.st_dev && input.st_ino == st.st_ino)
            return Fail(error, FileFault::kSameFile, "is the same file as " + inputPath);
    }
    if (!FollowLinks(path, m_strTarget))
        return Fail(error, FileFault::kCreate, SystemText(errno));

    // O_EXCL with O_NOFOLLOW: a name that is taken, by a stale part file, a link planted
    // to redirect the write or anything else, is left alone and the next one tried.
    std::string name;
    for (int n = 0; n < kPartNames && m_fd < 0; ++n) {
        name = m_strTarget + (n == 0 ? ".part" : ".part-" + std::to_string(n));
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_fd < 0 && errno != EEXIST)
            return Fail(error, FileFault::kCreate, SystemText(errno));
    }
    if (m_fd < 0)
        return Fail(error, FileFault::kCreate,
                    "every name from " + m_strTarget + ".part to " + name + " beside it is taken");
    struct stat part {};
    if (::fstat(m_fd, &part) != 0) {
        const int err = errno;
        ::close(m_fd);
        m_fd = -1;
        ::unlink(name.c_str());
        return Fail(error, FileFault::kCreate, SystemText(err));
    }
    m_partDevice = part.st_dev;
    m_partInode = part.st_ino;
    m_strWritePath = name;
    if (bExists)
        (void)::fchmod(m_fd, st.st_mode & 0777);
    return true;
}

bool CFileReplacer::Write(const void* data, std::size_t size)
{
    if (m_fd < 0 || m_writeError.fault != FileFault::kNone)
        return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_writeError = {m_strPath, SystemText(n < 0 ? errno : EIO), FileFault::kWrite};
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CFileReplacer::IsOwnPart() const
{
    struct stat st {};
    return !m_bInPlace && !m_strWritePath.empty() && ::lstat(m_strWritePath.c_str(), &st) == 0 &&
           st.st_dev == m_partDevice && st.st_ino == m_partInode;
}

void CFileReplacer::RemovePart()
{
    if (IsOwnPart())
        ::unlink(m_strWritePath.c_str());
    m_strWritePath.clear();
}

bool CFileReplacer::Commit(FileError& error)
{
    if (m_fd < 0)
        return Fail(error, FileFault::kWrite, SystemText(EBADF));
    if (m_writeError.fault != FileFault::kNone) {
        error = m_writeError;
        Abandon();
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (m_bInPlace) {
        m_bInPlace = false;
        return ::close(fd) == 0 || Fail(error, FileFault::kWrite, SystemText(errno));
    }
    // A writer that opened the file by name may have put another in its place, which
    // must not take the target's name.
    if (!IsOwnPart()) {
        ::close(fd);
        m_strWritePath.clear();
        return Fail(error, FileFault::kWrite, "the file written beside it was replaced while it was written");
    }
    // Without the sync the rename can reach the disk before the data does, and a power
    // cut would leave the target empty.
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        RemovePart();
        return Fail(error, FileFault::kWrite, SystemText(err));
    }
    if (::close(fd) != 0 || ::rename(m_strWritePath.c_str(), m_strTarget.c_str()) != 0) {
        const int err = errno;
        RemovePart();
        return Fail(error, FileFault::kWrite, SystemText(err));
    }
    m_strWritePath.clear();
    SyncDirectory(DirectoryOf(m_strTarget));
    return true;
}

void CFileReplacer::Abandon()
{
    if (m_fd < 0)
        return;
    RemovePart();
    ::close(m_fd);
    m_fd = -1;
    m_bInPlace = false;
}

bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size, FileError& error,
                     const std::string& inputPath)
{
    CFileReplacer file;
    if (!file.Open(path, error, inputPath))
        return false;
    (void)file.Write(data, size); // a failure is Commit's to report
    return file.Commit(error);
}
