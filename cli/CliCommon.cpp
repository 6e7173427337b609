// What every command of the tool shares: the command registry, the option
// parser and the messages.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "cli/CliCommand.h"
#include "fileio/ReadWholeFile.h"
#include "text/Text.h"

namespace {

std::vector<CliCommand>& Registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}

} // namespace

bool CCliRegistry::Add(const CliCommand& command)
{
    Registry().push_back(command);
    return true;
}

const std::vector<CliCommand>& CCliRegistry::All()
{
    return Registry();
}

const CliCommand* CCliRegistry::Find(const std::string& name)
{
    for (const CliCommand& c : Registry())
        if (name == c.name)
            return &c;
    return nullptr;
}

int CliUsageError(const char* command, const std::string& message)
{
    std::fprintf(stderr, "zorvattone-cli %s: %s\nRun 'zorvattone-cli %s --help' for its usage.\n", command,
                 ShownText(message, kShownMessageCharacters).c_str(), command);
    return kExitUsage;
}

int CliFailure(const std::string& message)
{
    std::fprintf(stderr, "zorvattone-cli: %s\n", ShownText(message, kShownMessageCharacters).c_str());
    return kExitFailed;
}

bool CliReadInput(const std::string& path, std::string& out, std::string& error)
{
    FileError read;
    const bool ok = path == "-" ? ReadStandardInput(kMaxRtttlBytes, out, read)
                                : ReadWholeFile(path, kMaxRtttlBytes, out, read);
    if (ok)
        return true;
    error = "cannot read " + read.strFile + ": " + read.strReason;
    if (read.fault == FileFault::kTooLarge)
        error += "; a ringtone's text is a few kilobytes";
    return false;
}

namespace {

// The folder of the running tool, where an installed or built helper program lies beside it.
std::string OwnFolder()
{
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return std::string();
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

} // namespace

int CliExecProgram(const char* program, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // What the tool printed so far must come out before the program's own output.
    std::fflush(stdout);
    const std::string beside = OwnFolder() + "/" + program;
    if (::access(beside.c_str(), X_OK) == 0)
        ::execv(beside.c_str(), argv.data());
    ::execvp(program, argv.data());
    return CliFailure(std::string("cannot start ") + program + ": " + std::strerror(errno));
}

void CliPrepareOutput()
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::isatty(STDOUT_FILENO) == 0)
        std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
}

int CliCommandProgramMain(int argc, char** argv, const char* usage, int (*run)(const std::vector<std::string>&))
{
    CliPrepareOutput();
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args)
        if (arg == "--help") {
            std::fputs(usage, stdout);
            return CliFinishOutput(kExitOk);
        }
    return CliFinishOutput(run(args));
}

int CliFinishOutput(int code)
{
    errno = 0;
    const bool bFlushed = std::fflush(stdout) == 0;
    if (bFlushed && std::ferror(stdout) == 0)
        return code;
    const int err = errno;
    std::fprintf(stderr, "zorvattone-cli: cannot write standard output: %s\n",
                 err != 0 ? std::strerror(err) : "the output was lost");
    return kExitFailed;
}
