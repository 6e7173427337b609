#pragma once
// The command-line face of CPrompt: every message goes to standard error as
// "CAPTION: text", with its detail (if any) on the next line; the truncation
// question (the only OK/Cancel question) is answered OK when the command was given
// --truncate and Cancel otherwise.

#include <cstdio>
#include <string>

#include "prompt/Prompt.h"

class CCliPrompt final : public CPrompt {
public:
    explicit CCliPrompt(bool bAnswerOk) : m_bAnswerOk(bAnswerOk) {}

    PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon,
                      PromptButtons buttons = PromptButtons::Ok, const std::string& detail = {}) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if (!detail.empty())
            std::fprintf(stderr, "%s\n", detail.c_str());
        if (buttons == PromptButtons::Ok)
            return PromptAnswer::Ok;
        if (!m_bAnswerOk)
            m_bDeclined = true;
        return m_bAnswerOk ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }

    // A question was answered Cancel.
    [[nodiscard]] bool Declined() const { return m_bDeclined; }

private:
    bool m_bAnswerOk;
    bool m_bDeclined = false;
};
