// What every command of the tool shares: the command registry, the option
// parser and the messages.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "text/Text.h"
#include "cli/CliCommand.h"
#include "fileio/ReadWholeFile.h"

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

CCliArgs::CCliArgs(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                   std::vector<std::string> flagOptions,
                   std::vector<std::pair<std::string, std::string>> aliases)
{
    auto has = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        for (const auto& [shortName, longName] : aliases)
            if (arg == shortName)
                arg = longName;
        if (arg == "--") {
            m_positional.insert(m_positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg.rfind("--", 0) != 0) {
            if (arg.size() > 1 && arg[0] == '-') {
                m_strError = "unknown option " + arg;
                return;
            }
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (has(flagOptions, name) && !value) {
            m_flags.push_back(name);
        } else if (has(valueOptions, name)) {
            if (!value) {
                if (i + 1 >= args.size()) {
                    m_strError = "option " + name + " needs a value";
                    return;
                }
                value = args[++i];
            }
            m_values.emplace_back(name, *value);
        } else {
            m_strError = "unknown option " + arg;
            return;
        }
    }
}

bool CCliArgs::Flag(const std::string& name) const
{
    return std::find(m_flags.begin(), m_flags.end(), name) != m_flags.end();
}

std::optional<std::string> CCliArgs::Value(const std::string& name) const
{
    std::optional<std::string> last;
    for (const auto& [n, v] : m_values)
        if (n == name)
            last = v;
    return last;
}

std::vector<std::string> CCliArgs::Values(const std::string& name) const
{
    std::vector<std::string> all;
    for (const auto& [n, v] : m_values)
        if (n == name)
            all.push_back(v);
    return all;
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

bool CliParseInt(const std::string& text, long lo, long hi, long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
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
