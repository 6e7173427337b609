#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/CliCommand.h"

namespace {

void PrintOverview(std::FILE* out)
{
    std::fprintf(out, "usage: zorvattone-cli COMMAND [OPTIONS] [ARGS]\n\n"
                      "ZorvatTone's command-line tool: reads Standard MIDI Files and makes ringtones.\n\n"
                      "Commands:\n");
    std::vector<CliCommand> sorted = CCliRegistry::All();
    std::sort(sorted.begin(), sorted.end(),
              [](const CliCommand& a, const CliCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const CliCommand& c : sorted)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\nRun 'zorvattone-cli COMMAND --help' for the options of one command.\n"
                      "Exit codes: 0 success, 1 the job failed, 2 bad usage.\n");
}

} // namespace

static int Run(int argc, char** argv)
{
    if (argc < 2) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return kExitOk;
    }
    const CliCommand* command = CCliRegistry::Find(name);
    if (!command) {
        std::fprintf(stderr, "zorvattone-cli: unknown command '%s'\n\n", name.c_str());
        PrintOverview(stderr);
        return kExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::fputs(command->usage, stdout);
        return kExitOk;
    }
    return command->run(args);
}

int main(int argc, char** argv)
{
    CliPrepareOutput();
    return CliFinishOutput(Run(argc, argv));
}
