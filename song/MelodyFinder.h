#pragma once
// Ranks the channels of a song by how likely each carries the tune, judged from
// the music: how often one note sounds alone, the register, pitch variety, the
// share of small steps, density, rhythm variety, how much of the song the channel
// covers and how often it is the top line, and the channel's program category.
// Channel 10 (General MIDI percussion) never carries it. Track names such as
// "Melody" or "Lead" may raise a score; the ranking works without any.

#include <string>
#include <vector>

class CSongNotes;

struct MelodyCandidate {
    int nChannel = 0;      // 0-15
    double dScore = 0;     // 0..1, higher is more likely the tune
    std::string strLabel;  // the channel label, "#04 PIPE/Flute"
};

struct MelodyFinderOptions {
    bool bUseTrackNames = true;
};

// Every channel that has notes, best first (ties: lower channel first); channel 10
// comes last with the score 0. Empty when the song has no notes.
[[nodiscard]] std::vector<MelodyCandidate> RankMelodyChannels(const CSongNotes& notes,
                                                              const MelodyFinderOptions& options = {});
