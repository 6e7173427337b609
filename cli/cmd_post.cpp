// "post" runs as a program of its own, zorvattone-cli-post, which alone loads
// the HTTP library: the tool's other commands start without it.

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/PostUsage.h"

namespace {

// The folder of the running tool, where an installed or built post program lies beside it.
std::string OwnFolder()
{
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return std::string();
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

int RunPost(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kPostProgram));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string beside = OwnFolder() + "/" + kPostProgram;
    if (::access(beside.c_str(), X_OK) == 0)
        ::execv(beside.c_str(), argv.data());
    ::execvp(kPostProgram, argv.data());
    return CliFailure(std::string("cannot start ") + kPostProgram + ": " + std::strerror(errno));
}

} // namespace

ZT_CLI_COMMAND("post", kPostSummary, kPostUsage, &RunPost);
