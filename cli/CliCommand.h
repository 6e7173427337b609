#pragma once
// Subcommands of zorvattone-cli. Each cmd_*.cpp registers itself with
// ZT_CLI_COMMAND; main() dispatches on the first argument.
//
// Exit codes: 0 success, 1 a job that failed (message on stderr), 2 bad usage.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "args/CommandArgs.h"

struct CliCommand {
    const char* name;
    const char* summary; // one line for the command list
    const char* usage;   // the whole --help text of the subcommand
    int (*run)(const std::vector<std::string>& args);
};

class CCliRegistry {
public:
    static bool Add(const CliCommand& command);
    static const std::vector<CliCommand>& All();
    static const CliCommand* Find(const std::string& name);
};

#define ZT_CLI_CONCAT2(a, b) a##b
#define ZT_CLI_CONCAT(a, b) ZT_CLI_CONCAT2(a, b)
#define ZT_CLI_COMMAND(...) \
    static const bool ZT_CLI_CONCAT(s_registered_, __LINE__) = CCliRegistry::Add(CliCommand{__VA_ARGS__})

// Prints "zorvattone-cli CMD: message" on stderr and returns kExitUsage.
int CliUsageError(const char* command, const std::string& message);
// Prints "zorvattone-cli: message" on stderr and returns kExitFailed.
int CliFailure(const std::string& message);
// The most RTTTL text a command reads: a ringtone of 255 notes is a few kilobytes.
inline constexpr std::uint64_t kMaxRtttlBytes = 64 * 1024;
// Reads a ringtone's RTTTL text whole from a regular file, or from standard input
// for "-", at most kMaxRtttlBytes. False with a message naming the file and the
// reason ("cannot read /tmp: is a directory").
[[nodiscard]] bool CliReadInput(const std::string& path, std::string& out, std::string& error);
// Standard output in blocks of 64 KiB when it is not a terminal, and a closed
// pipe made a failed write rather than the end of the process. Call first.
void CliPrepareOutput();
// Runs `program` in place of the tool with `args` (argv[0] is the program's name):
// the one beside the running tool, else the one on the PATH. Returns only when it
// cannot start, kExitFailed after the message.
[[nodiscard]] int CliExecProgram(const char* program, const std::vector<std::string>& args);
// Flushes standard output: `code`, or kExitFailed after a message on standard
// error when anything written to it was lost (a full disk, a closed pipe).
[[nodiscard]] int CliFinishOutput(int code);
// The main of a program that zorvattone-cli starts for one command: --help prints
// `usage`, anything else runs `run` on the arguments; output prepared and flushed.
[[nodiscard]] int CliCommandProgramMain(int argc, char** argv, const char* usage,
                                        int (*run)(const std::vector<std::string>&));
