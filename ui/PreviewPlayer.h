#pragma once
// The media player that plays Listen's preview, one at a time: starting a preview
// ends the player this object started before, and the object ends its player when
// it is destroyed (the program closes). Programs started through the same starter
// by others (the desktop's file opener) are never ended.

#include <string>

#include "ui/ProgramStarter.h"

class CPreviewPlayer {
public:
    // `programs` is borrowed for the object's life.
    explicit CPreviewPlayer(CProgramStarter& programs) : m_programs(programs) {}
    ~CPreviewPlayer();
    CPreviewPlayer(const CPreviewPlayer&) = delete;
    CPreviewPlayer& operator=(const CPreviewPlayer&) = delete;

    // Ends the player started before, if it still runs, then starts `player` with
    // `previewPath` as its one argument. What the starter answered: the caller tells
    // the user why a player did not start.
    CProgramStartResult Start(const std::string& player, const std::string& previewPath);
    // Ends the last player started, if it still runs; after it there is none to end.
    void Stop();
    // The last player started still plays.
    [[nodiscard]] bool IsPlaying() const { return m_nPid != 0 && m_programs.IsRunning(m_nPid); }

private:
    CProgramStarter& m_programs;
    long m_nPid = 0; // the last player started and not yet stopped; 0 for none
};
