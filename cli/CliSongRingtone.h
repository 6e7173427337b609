#pragma once
// "ringtone" as zorvattone-cli-audio runs it: the options, the plan, the rendering
// with its progress on a terminal, the output file.

#include <string>
#include <vector>

// kExitOk, kExitUsage or kExitFailed after the message.
[[nodiscard]] int RunSongRingtone(const std::vector<std::string>& args);
