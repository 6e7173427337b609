// "post" runs as a program of its own, zorvattone-cli-post, which alone loads
// the HTTP library: the tool's other commands start without it.

#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/PostUsage.h"

namespace {

int RunPost(const std::vector<std::string>& args)
{
    return CliExecProgram(kPostProgram, args);
}

} // namespace

ZT_CLI_COMMAND("post", kPostSummary, kPostUsage, &RunPost);
