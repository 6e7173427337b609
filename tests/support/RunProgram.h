#pragma once
// Runs a program as users run it, without a shell, and captures what it printed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ProgramResult {
    int exitCode = -1; // -1: it did not start, or a signal ended it
    std::string out;
    std::string err;
};

struct ProgramOptions {
    // NAME=value settings that replace the test's own; the rest of its environment
    // is passed on.
    std::vector<std::string> env = {};
    // Fed to standard input, which is /dev/null without it.
    const std::string* stdinText = nullptr;
    // Every file the program writes limited to this many bytes (see CFileSizeLimit).
    // Standard output and error come through pipes, which no limit cuts.
    std::optional<std::uint64_t> fileSizeLimit = std::nullopt;
};

// argv[0] is a path, or a name looked up on the PATH.
ProgramResult RunProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// A program of this build tree, e.g. "zorvattone-cli".
std::string BuildProgram(const std::string& name);

// zorvattone-cli with `args`.
ProgramResult RunCli(const std::vector<std::string>& args, const ProgramOptions& options = {});
