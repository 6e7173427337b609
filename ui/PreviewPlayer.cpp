#include "ui/PreviewPlayer.h"

CPreviewPlayer::~CPreviewPlayer()
{
    Stop();
}

CProgramStartResult CPreviewPlayer::Start(const std::string& player, const std::string& previewPath)
{
    // Stopped first: two previews at once would play over each other.
    Stop();
    const CProgramStartResult started = m_programs.Start(player, {previewPath});
    if (started.m_result == ProgramStart::kStarted)
        m_nPid = started.m_nPid;
    return started;
}

void CPreviewPlayer::Stop()
{
    if (m_nPid == 0)
        return;
    // A player that has ended on its own is not an error: the starter sends nothing.
    (void)m_programs.Stop(m_nPid);
    m_nPid = 0;
}
