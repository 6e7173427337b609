#pragma once
// A program starter for tests: records every start and stop and answers each start
// with the result set for it (kStarted unless told otherwise). Starts nothing: each
// start that succeeds hands out a process id of its own, 4242 first, one more for
// each start after it.

#include <algorithm>
#include <string>
#include <vector>

#include "ui/ProgramStarter.h"

class CFakeProgramStarter final : public CProgramStarter {
public:
    struct Call {
        std::string program;
        std::vector<std::string> arguments;
        long nPid = 0; // 0 when the start failed
    };

    void SetResult(ProgramStart result, int nError = 0)
    {
        m_result = result;
        m_nError = nError;
    }
    [[nodiscard]] const std::vector<Call>& Calls() const { return m_calls; }
    // The process ids handed to Stop, in order.
    [[nodiscard]] const std::vector<long>& Stops() const { return m_stops; }

    CProgramStartResult Start(const std::string& program, const std::vector<std::string>& arguments) override
    {
        const long nPid = m_result == ProgramStart::kStarted ? m_nNextPid++ : 0;
        m_calls.push_back({program, arguments, nPid});
        return {m_result, m_result == ProgramStart::kStarted ? 0 : m_nError, nPid};
    }

    // True for a process id this starter handed out that still runs.
    bool Stop(long nPid) override
    {
        const bool bRunning = IsRunning(nPid);
        m_stops.push_back(nPid);
        return bRunning;
    }
    // Handed out, and neither stopped nor ended.
    bool IsRunning(long nPid) override
    {
        return nPid != 0 && std::count(m_stops.begin(), m_stops.end(), nPid) == 0 &&
               std::count(m_ended.begin(), m_ended.end(), nPid) == 0 &&
               std::any_of(m_calls.begin(), m_calls.end(), [nPid](const Call& call) { return call.nPid == nPid; });
    }
    // The program started with `nPid` ends on its own.
    void End(long nPid) { m_ended.push_back(nPid); }

private:
    ProgramStart m_result = ProgramStart::kStarted;
    int m_nError = 0;
    long m_nNextPid = 4242;
    std::vector<Call> m_calls;
    std::vector<long> m_stops;
    std::vector<long> m_ended;
};
