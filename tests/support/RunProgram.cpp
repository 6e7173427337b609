#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

// Reads both pipes to their ends, so that neither can fill up while the other waits.
void Drain(int outFd, int errFd, ProgramResult& r)
{
    pollfd fds[] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? r.out : r.err).append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            ::close(fds[i].fd);
            fds[i].fd = -1;
            --open;
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0)
            ::close(p.fd);
}

bool SetsTheSameName(const std::string& a, const char* b)
{
    const std::size_t name = a.find('=');
    return name != std::string::npos && std::strncmp(a.c_str(), b, name + 1) == 0;
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const ProgramOptions& options)
{
    ProgramResult r;
    if (argv.empty())
        return r;

    std::vector<std::string> env = options.env;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& mine : options.env)
            replaced = replaced || SetsTheSameName(mine, *e);
        if (!replaced)
            env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);

    // Standard input from a file, so that no pipe can fill up before the program reads.
    std::optional<CTempDir> io;
    std::string input = "/dev/null";
    if (options.stdinText) {
        input = io.emplace().File("in");
        if (!WriteFile(input, *options.stdinText))
            return r;
    }

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return r;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return r;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    int rc = 0;
    {
        // The program inherits the limit and the ignored SIGXFSZ; the test writes
        // nothing while they are in force here.
        std::optional<CFileSizeLimit> limit;
        if (options.fileSizeLimit)
            limit.emplace(*options.fileSizeLimit);
        rc = ::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
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

std::string BuildProgram(const std::string& name)
{
    return std::string(ZT_BINARY_DIR) + "/bin/" + name;
}

ProgramResult RunCli(const std::vector<std::string>& args, const ProgramOptions& options)
{
    std::vector<std::string> argv = {BuildProgram("zorvattone-cli")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, options);
}
