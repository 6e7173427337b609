#include "ui/SpawnProgramStarter.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

struct CSpawnProgramStarter::CChildren {
    std::mutex m_mutex;
    // Started and not yet reaped.
    std::set<pid_t> m_pids;
};

namespace {

// posix_spawn starts a script whose interpreter is missing with ENOENT, the same as
// a missing program; checking the path first tells the user about the path itself.
int CheckProgramPath(const std::string& program)
{
    struct stat info {};
    if (::stat(program.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? EISDIR : EACCES;
    if (::access(program.c_str(), X_OK) != 0)
        return errno;
    return 0;
}

class CSpawnAttributes {
public:
    CSpawnAttributes()
    {
        m_nError = ::posix_spawnattr_init(&m_attr);
        if (m_nError != 0)
            return;
        m_bInit = true;
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        // The player is not part of this program: it gets a session of its own (a
        // terminal's Ctrl+C for this program does not reach it), no inherited
        // blocked signals and default handlers.
        m_nError = ::posix_spawnattr_setsigmask(&m_attr, &none);
        if (m_nError == 0)
            m_nError = ::posix_spawnattr_setsigdefault(&m_attr, &all);
        if (m_nError == 0)
            m_nError = ::posix_spawnattr_setflags(
                &m_attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID));
    }
    ~CSpawnAttributes()
    {
        if (m_bInit)
            ::posix_spawnattr_destroy(&m_attr);
    }
    CSpawnAttributes(const CSpawnAttributes&) = delete;
    CSpawnAttributes& operator=(const CSpawnAttributes&) = delete;

    [[nodiscard]] int Error() const { return m_nError; }
    [[nodiscard]] const posix_spawnattr_t* Get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr{};
    bool m_bInit = false;
    int m_nError = 0;
};

// A template only because the list's type is private to the starter.
template <typename TChildren>
void ReapLater(std::shared_ptr<TChildren> pChildren, pid_t pid)
{
    std::thread([pChildren = std::move(pChildren), pid] {
        // First wait without reaping: until the pid leaves the list, the ended child
        // holds it as a zombie, so Stop can never signal a process that took it over.
        siginfo_t info{};
        while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
        }
        {
            std::lock_guard lock(pChildren->m_mutex);
            pChildren->m_pids.erase(pid);
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

CProgramStartResult Failure(int nError)
{
    return {CSpawnProgramStarter::ClassifyError(nError), nError, 0};
}

} // namespace

CSpawnProgramStarter::CSpawnProgramStarter() : m_pChildren(std::make_shared<CChildren>()) {}

CSpawnProgramStarter::~CSpawnProgramStarter() = default;

ProgramStart CSpawnProgramStarter::ClassifyError(int nError)
{
    switch (nError) {
    case ENOENT:
    case EACCES:
    case EPERM:
    case ENOEXEC:
    case ENOTDIR:
    case EISDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return ProgramStart::kInvalidProgram;
    case ENOMEM:
        return ProgramStart::kOutOfMemory;
    default:
        return ProgramStart::kFailed;
    }
}

CProgramStartResult CSpawnProgramStarter::Start(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty())
        return Failure(ENOENT);
    const bool bSearchPath = program.find('/') == std::string::npos;
    if (!bSearchPath) {
        if (int nError = CheckProgramPath(program); nError != 0)
            return Failure(nError);
    }
    std::vector<std::string> args;
    args.reserve(arguments.size() + 1);
    args.push_back(program);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    CSpawnAttributes attributes;
    if (attributes.Error() != 0)
        return Failure(attributes.Error());
    pid_t pid = 0;
    const int nError = bSearchPath
                           ? ::posix_spawnp(&pid, program.c_str(), nullptr, attributes.Get(), argv.data(), environ)
                           : ::posix_spawn(&pid, program.c_str(), nullptr, attributes.Get(), argv.data(), environ);
    if (nError != 0)
        return Failure(nError);
    {
        std::lock_guard lock(m_pChildren->m_mutex);
        m_pChildren->m_pids.insert(pid);
    }
    ReapLater(m_pChildren, pid);
    return {ProgramStart::kStarted, 0, static_cast<long>(pid)};
}

bool CSpawnProgramStarter::RunsLocked(long nPid) const
{
    const auto pid = static_cast<pid_t>(nPid);
    if (nPid <= 0 || static_cast<long>(pid) != nPid || !m_pChildren->m_pids.contains(pid))
        return false;
    // Ended, waiting to be reaped: no longer running.
    siginfo_t info{};
    return !(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0);
}

bool CSpawnProgramStarter::IsRunning(long nPid)
{
    std::lock_guard lock(m_pChildren->m_mutex);
    return RunsLocked(nPid);
}

bool CSpawnProgramStarter::Stop(long nPid)
{
    // Under the lock the reaper cannot free the pid for another process before the signal.
    std::lock_guard lock(m_pChildren->m_mutex);
    if (!RunsLocked(nPid))
        return false;
    const auto pid = static_cast<pid_t>(nPid);
    // The spawn made the program the leader of a new process group: a player that is
    // a script ends together with the program the script runs.
    return ::kill(-pid, SIGTERM) == 0;
}
