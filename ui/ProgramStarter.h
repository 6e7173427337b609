#pragma once
// Starts an outside program (the media player, the desktop's file opener) without
// a shell and without waiting for it, and can end one it started. The program's
// starter spawns it, tests use CFakeProgramStarter.

#include <string>
#include <vector>

enum class ProgramStart {
    kStarted,
    kInvalidProgram, // missing, not a file, not executable, or its interpreter is missing
    kOutOfMemory,
    kFailed,         // any other reason; m_nError says which
};

struct CProgramStartResult {
    ProgramStart m_result = ProgramStart::kFailed;
    int m_nError = 0; // the errno value when not started
    long m_nPid = 0;  // the process id when started
};

class CProgramStarter {
public:
    CProgramStarter() = default;
    CProgramStarter(const CProgramStarter&) = delete;
    CProgramStarter& operator=(const CProgramStarter&) = delete;
    virtual ~CProgramStarter() = default;

    // Starts `program` (a path, or a bare name looked up in PATH) with `arguments`
    // as its argument list, each passed as it is (no shell, no word splitting).
    virtual CProgramStartResult Start(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Asks the program that Start returned `nPid` for to end (SIGTERM), together with
    // the processes it started itself. True when the request went out; false, with
    // nothing sent, when `nPid` is not a program this starter started or that program
    // has already ended.
    virtual bool Stop(long nPid) = 0;
    // True while the program that Start returned `nPid` for runs.
    [[nodiscard]] virtual bool IsRunning(long nPid) = 0;
};
