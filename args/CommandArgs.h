#pragma once
// The command lines of the programs: one parser of options and one of numbers, so
// that every program takes "--name VALUE", "--name=VALUE" and its numbers alike.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The exit codes of every program: 0 success, 1 a job that failed (message on
// stderr), 2 bad usage.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The options of a program or of one of its commands: "--name VALUE", "--name=VALUE"
// and flags "--flag". Anything not starting with "-" (and "-" alone, standard input)
// is positional.
class CCommandArgs {
public:
    // valueOptions take a value; flagOptions do not. Short forms map to long ones
    // through aliases, e.g. {"-o", "--output"}.
    CCommandArgs(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
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

// A whole decimal number within [lo, hi], nothing before or after it; false for
// anything else.
[[nodiscard]] bool ParseWholeNumber(std::string_view text, long lo, long hi, long& out);
