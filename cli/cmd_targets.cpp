// "targets": the devices export --target fits a tune to, with their limits, the
// reader that checks their files and where their rules come from.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "ringtone/RtttlWriter.h"
#include "tonefile/ToneTarget.h"

namespace {

const char* const kTargetsSummary = "list the devices export --target fits a tune to";
const char* const kTargetsUsage = "usage: zorvattone-cli targets [--sources]\n\n"
                                  "One line per device: its name for --target, its file, its range and budget.\n"
                                  "  --sources  also the reader that checks its files and where its rules come from\n";

std::string BudgetText(const ToneTarget& target)
{
    if (target.maxCharacters > 0)
        return std::to_string(target.maxCharacters) + " characters";
    if (target.maxEscItems > 0)
        return std::to_string(target.maxEscItems) + " pairs";
    if (target.maxNotes > 0)
        return std::to_string(target.maxNotes) + " notes";
    return "any length";
}

int RunTargets(const std::vector<std::string>& args)
{
    const bool bSources = args.size() == 1 && args[0] == "--sources";
    if (!args.empty() && !bSources)
        return CliUsageError("targets", "takes only --sources");
    for (const ToneTarget& target : ToneTargets()) {
        std::string files = std::string(".") + target.extension;
        if (*target.otherExtension && std::string(target.otherExtension) != target.extension)
            files += std::string(" or .") + target.otherExtension;
        std::printf("%-14s %-12s %s-%s, %s, the dot %s the octave  %s\n", target.name, files.c_str(),
                    RtttlPitchText(target.lowestPitch).c_str(), RtttlPitchText(target.highestPitch).c_str(),
                    BudgetText(target).c_str(), target.dotPlace == RtttlDotPlace::BeforeOctave ? "before" : "after",
                    target.device);
        if (bSources)
            std::printf("    checked by: %s\n    rules: %s\n", target.reader, target.source);
    }
    return kExitOk;
}

} // namespace

ZT_CLI_COMMAND("targets", kTargetsSummary, kTargetsUsage, &RunTargets);
