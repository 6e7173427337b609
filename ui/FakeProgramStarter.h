#pragma once
// A program starter for tests: records every start and answers with the result set
// for it (kStarted unless told otherwise). Starts nothing.

#include <string>
#include <vector>

#include "ui/ProgramStarter.h"

class CFakeProgramStarter final : public CProgramStarter {
public:
    struct Call {
        std::string program;
        std::vector<std::string> arguments;
    };

    void SetResult(ProgramStart result, int nError = 0) { m_result = {result, nError, 0}; }
    [[nodiscard]] const std::vector<Call>& Calls() const { return m_calls; }

    CProgramStartResult Start(const std::string& program, const std::vector<std::string>& arguments) override
    {
        m_calls.push_back({program, arguments});
        return m_result;
    }

private:
    CProgramStartResult m_result{ProgramStart::kStarted, 0, 4242};
    std::vector<Call> m_calls;
};
