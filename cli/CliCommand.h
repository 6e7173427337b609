#pragma once
// Subcommands of zorvattone-cli. Each cmd_*.cpp registers itself with
// ZT_CLI_COMMAND; main() dispatches on the first argument.
//
// Exit codes: 0 success, 1 a job that failed (message on stderr), 2 bad usage.

#include <optional>
#include <string>
#include <vector>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

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

// Options of one subcommand: "--name VALUE", "--name=VALUE" and flags "--flag".
// Anything not starting with "--" (and "-" alone, standard input) is positional.
class CCliArgs {
public:
    // valueOptions take a value; flagOptions do not. Short forms map to long ones
    // through aliases, e.g. {"-o", "--output"}.
    CCliArgs(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
             std::vector<std::string> flagOptions,
             std::vector<std::pair<std::string, std::string>> aliases = {});

    // False with a message for an unknown option or a missing value.
    [[nodiscard]] bool Ok() const { return m_strError.empty(); }
    [[nodiscard]] const std::string& Error() const { return m_strError; }

    [[nodiscard]] bool Flag(const std::string& name) const;
    [[nodiscard]] std::optional<std::string> Value(const std::string& name) const; // last given
    [[nodiscard]] std::vector<std::string> Values(const std::string& name) const;  // all, in order
    [[nodiscard]] const std::vector<std::string>& Positional() const { return m_positional; }

private:
    std::vector<std::pair<std::string, std::string>> m_values;
    std::vector<std::string> m_flags;
    std::vector<std::string> m_positional;
    std::string m_strError;
};

// Prints "zorvattone-cli CMD: message" on stderr and returns kExitUsage.
int CliUsageError(const char* command, const std::string& message);
// Prints "zorvattone-cli: message" on stderr and returns kExitFailed.
int CliFailure(const std::string& message);
// Parses a whole decimal number within [lo, hi]; false for anything else.
[[nodiscard]] bool CliParseInt(const std::string& text, long lo, long hi, long& out);
// Reads a whole file, or standard input for "-". False with a message on failure.
[[nodiscard]] bool CliReadInput(const std::string& path, std::string& out, std::string& error);
