#include "upload/PostOpenHandler.h"

#include <utility>

CPostOpenHandler::CPostOpenHandler(const CSettingsStore& settings, CPrompt& prompt, RunFunction run)
    : m_settings(settings), m_prompt(prompt), m_run(std::move(run))
{
}

bool CPostOpenHandler::OpenPost(const std::string& packagePath, const std::string&)
{
    CPostController controller;
    if (!controller.Open(packagePath, m_settings, m_prompt))
        return false;
    if (m_run)
        m_run(controller);
    return true;
}
