#pragma once
// Starts programs with posix_spawn, in a session of their own, with the default
// signal dispositions and an empty signal mask. The caller never waits: a thread
// of its own reaps each child when it ends, so no zombie is left behind.

#include <memory>

#include "ui/ProgramStarter.h"

class CSpawnProgramStarter final : public CProgramStarter {
public:
    CSpawnProgramStarter();
    ~CSpawnProgramStarter() override;

    CProgramStartResult Start(const std::string& program, const std::vector<std::string>& arguments) override;
    // SIGTERM to the process group the program leads (its session's first group),
    // only while the program runs and has not been reaped: its process id cannot
    // have passed to another process then.
    bool Stop(long nPid) override;
    [[nodiscard]] bool IsRunning(long nPid) override;

    // The verdict on an errno value from a failed start.
    [[nodiscard]] static ProgramStart ClassifyError(int nError);

private:
    struct CChildren;
    // With the children's lock held.
    [[nodiscard]] bool RunsLocked(long nPid) const;
    // Shared with the reaping threads, which may outlive the starter.
    std::shared_ptr<CChildren> m_pChildren;
};
