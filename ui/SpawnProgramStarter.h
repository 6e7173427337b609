#pragma once
// Starts programs with posix_spawn, in a session of their own, with the default
// signal dispositions and an empty signal mask. The caller never waits: a thread
// of its own reaps each child when it ends, so no zombie is left behind.

#include "ui/ProgramStarter.h"

class CSpawnProgramStarter final : public CProgramStarter {
public:
    CProgramStartResult Start(const std::string& program, const std::vector<std::string>& arguments) override;

    // The verdict on an errno value from a failed start.
    [[nodiscard]] static ProgramStart ClassifyError(int nError);
};
