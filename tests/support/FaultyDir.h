#pragma once
// Directories that refuse writes, for the file-system fault drills: one that is
// missing, one on a read-only file system and one on a full file system.
//
// The read-only and full ones are small tmpfs mounts in a mount namespace of the
// test process's own, entered once and made private: no mount is seen outside the
// test, and a test that crashes takes its mounts with it. Programs the test starts
// inherit the namespace. Where mounting is not permitted, a full disk is imitated by
// a file-size limit (RLIMIT_FSIZE with SIGXFSZ ignored: a write past the limit
// stores what fits, then fails with EFBIG) for as long as the drill is armed; a
// read-only directory cannot be imitated for root, and those drills skip.
// ZT_TEST_NO_MOUNT=1 in the environment takes the path without mounts.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

// A directory's regular files: name, contents.
using FileMap = std::map<std::string, std::string>;

inline FileMap FilesIn(const std::string& dir)
{
    FileMap files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadFile(entry.path().string());
    return files;
}

// Enters the test's own mount namespace on the first call. False, with the reason,
// where the system does not permit it.
inline bool EnterOwnMountNamespace(std::string& why)
{
    static const std::string s_failure = []() -> std::string {
        if (const char* off = std::getenv("ZT_TEST_NO_MOUNT"); off && std::string(off) == "1")
            return "ZT_TEST_NO_MOUNT=1";
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("no mount namespace of its own: ") + std::strerror(errno);
        // Shared mounts would carry every mount made here back to the namespace the
        // test came from.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("cannot make the mounts private: ") + std::strerror(errno);
        return {};
    }();
    why = s_failure;
    return s_failure.empty();
}

enum class DirFault { kMissing, kReadOnly, kFull };

inline const char* DirFaultName(DirFault fault)
{
    switch (fault) {
    case DirFault::kMissing:
        return "missing";
    case DirFault::kReadOnly:
        return "read-only";
    case DirFault::kFull:
        return "full";
    }
    return "";
}

// How GoogleTest shows a parameter.
inline void PrintTo(DirFault fault, std::ostream* out)
{
    *out << DirFaultName(fault);
}

// Every fault, for INSTANTIATE_TEST_SUITE_P with DirFaultCaseName.
inline const auto kEveryDirFault = ::testing::Values(DirFault::kMissing, DirFault::kReadOnly, DirFault::kFull);

// A parameterised test case's name: the fault's, with '_' for '-'.
inline std::string DirFaultCaseName(const ::testing::TestParamInfo<DirFault>& info)
{
    std::string name = DirFaultName(info.param);
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

class CFaultyDir {
public:
    // `seeds` are there before the fault (never for kMissing): files that must
    // survive a failed command. A full file system keeps room for `pagesLeft` pages
    // (a small file takes one page, so the first `pagesLeft` small files fit); without
    // mounts it becomes a plain directory under a limit of `limitBytes` per file
    // while armed.
    explicit CFaultyDir(DirFault fault, const FileMap& seeds = {}, std::size_t pagesLeft = 0,
                        std::uint64_t limitBytes = 0)
        : m_fault(fault), m_limitBytes(limitBytes)
    {
        if (m_scratch.Path().empty()) {
            m_strWhy = std::string("mkdtemp: ") + std::strerror(errno);
            return;
        }
        if (fault == DirFault::kMissing) {
            m_strPath = m_scratch.File("gone");
            m_bReady = true;
            return;
        }
        std::string why;
        if (EnterOwnMountNamespace(why))
            m_bReady = Mount(seeds) && Seed(seeds) && Break(pagesLeft);
        else if (fault == DirFault::kFull)
            m_bReady = Imitate(seeds);
        else
            m_strWhy = "a read-only directory needs a mount, and " + why;
    }
    ~CFaultyDir()
    {
        // Detached, so that a working directory still inside does not keep it; the
        // scratch directory goes after.
        if (m_bMounted)
            ::umount2(Mountpoint().c_str(), MNT_DETACH);
    }
    CFaultyDir(const CFaultyDir&) = delete;
    CFaultyDir& operator=(const CFaultyDir&) = delete;

    [[nodiscard]] bool Ready() const { return m_bReady; }
    [[nodiscard]] const std::string& Why() const { return m_strWhy; }
    // The directory to give the program.
    [[nodiscard]] const std::string& Path() const { return m_strPath; }
    [[nodiscard]] std::string File(const std::string& name) const { return m_strPath + "/" + name; }
    // A full disk imitated by a file-size limit.
    [[nodiscard]] bool IsLimited() const { return m_bLimited; }
    [[nodiscard]] std::uint64_t LimitBytes() const { return m_limitBytes; }
    // The system's words for the fault, as a message quotes them.
    [[nodiscard]] std::string Reason() const
    {
        switch (m_fault) {
        case DirFault::kMissing:
            return std::strerror(ENOENT);
        case DirFault::kReadOnly:
            return std::strerror(EROFS);
        case DirFault::kFull:
            return std::strerror(m_bLimited ? EFBIG : ENOSPC);
        }
        return {};
    }
    // What the directory holds now; empty when it does not exist.
    [[nodiscard]] FileMap Files() const { return FilesIn(m_strPath); }
    [[nodiscard]] bool Exists() const
    {
        std::error_code ec;
        return std::filesystem::exists(m_strPath, ec);
    }

    // The fault in force while alive: nothing to do for mounts, the file-size limit
    // otherwise.
    class CArmed {
    public:
        explicit CArmed(const CFaultyDir& dir)
        {
            if (dir.m_bLimited)
                m_limit.emplace(dir.m_limitBytes);
        }

    private:
        std::optional<CFileSizeLimit> m_limit;
    };
    [[nodiscard]] CArmed Arm() const { return CArmed(*this); }

private:
    std::string Mountpoint() const { return m_scratch.File("mnt"); }
    static std::size_t PageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

    bool Fail(const std::string& what)
    {
        m_strWhy = what + ": " + std::strerror(errno);
        return false;
    }
    bool Mount(const FileMap& seeds)
    {
        std::error_code ec;
        std::filesystem::create_directory(Mountpoint(), ec);
        // A few pages beyond the seeds, whatever their size: filling it takes no time.
        std::size_t pages = 16;
        for (const auto& [name, bytes] : seeds)
            pages += bytes.size() / PageSize() + 1;
        const std::string options = "size=" + std::to_string(pages * PageSize()) + ",mode=0755";
        if (::mount("tmpfs", Mountpoint().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            return Fail("mounting a tmpfs");
        m_bMounted = true;
        m_strPath = Mountpoint() + "/dir";
        std::filesystem::create_directory(m_strPath, ec);
        return !ec || Fail("creating the directory");
    }
    bool Seed(const FileMap& seeds)
    {
        for (const auto& [name, bytes] : seeds)
            if (!WriteFile(File(name), bytes))
                return Fail("writing " + name);
        return true;
    }
    bool Break(std::size_t pagesLeft)
    {
        if (m_fault == DirFault::kReadOnly) {
            if (::mount(nullptr, Mountpoint().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
                return Fail("remounting read-only");
            return true;
        }
        // The filler sits beside the directory, where the program never looks.
        const std::string filler = Mountpoint() + "/filler";
        int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            return Fail("creating the filler");
        const std::size_t page = PageSize();
        std::vector<char> block(page, 'f');
        std::uint64_t pages = 0;
        while (::write(fd, block.data(), page) == static_cast<ssize_t>(page))
            ++pages;
        bool ok = pages >= pagesLeft && ::ftruncate(fd, static_cast<off_t>((pages - pagesLeft) * page)) == 0;
        ::close(fd);
        return ok || Fail("filling the file system");
    }
    bool Imitate(const FileMap& seeds)
    {
        m_bLimited = true;
        m_strPath = m_scratch.File("dir");
        std::error_code ec;
        std::filesystem::create_directory(m_strPath, ec);
        return Seed(seeds);
    }

    CTempDir m_scratch;
    DirFault m_fault;
    std::uint64_t m_limitBytes;
    std::string m_strPath;
    std::string m_strWhy;
    bool m_bReady = false;
    bool m_bMounted = false;
    bool m_bLimited = false;
};
