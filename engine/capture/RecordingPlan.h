#pragma once
// One recording of a song made without playing it, as the desktop records without
// playing (or keeps the rhythm after a live recording) and as the tool's record
// does: which channels, from where and for how long, and how. Both call this, so
// they cannot differ.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ringtone/RingtoneNote.h"
#include "song/MidiChannels.h"

class CMidiSong;
class CSongNotes;

struct RecordingPlan {
    std::array<bool, kMidiChannels> bChannelOn{true, true, true, true, true, true, true, true,
                                               true, true, true, true, true, true, true, true}; // index = channel 0-15
    std::uint32_t uFromSecond = 0; // the slider's second where it starts
    bool bFromTune = false;        // start instead at the bar of the enabled channels' first note
    std::int64_t nSeconds = -1;    // seconds of the live clock to record; negative: to the song's end
    std::string strToneName = "ZorvatTone";
    // Keep the song's rhythm (the faithful capture), else record as the player does.
    bool bKeepRhythm = false;
    // With bKeepRhythm: end on a phrase at which the text still fits one message.
    bool bFitOneMessage = false;
};

struct RecordingOutcome {
    std::string strRtttl;
    std::uint32_t uFromSecond = 0; // the slider's second it started at (bFromTune finds it)
    // Kept rhythm: the notes written, the message's octets, whether it ended early to fit.
    int nNotes = 0;
    std::size_t nOctets = 0;
    bool bCutToFit = false;
    std::uint64_t qwEndTick = 0; // where the text ends
    // Recorded as the player does: its ringtone records and their tempo.
    std::vector<RingtoneNote> notes;
    std::int32_t nTempo = 0;
};

// Turns on only the channel the melody finder ranks first. False when only the
// percussion channel has notes, so that none carries a tune, with the reason.
[[nodiscard]] bool ChooseTuneChannel(const CSongNotes& notes, std::array<bool, kMidiChannels>& channelOn,
                                     std::string& error);

// Records `song` (whose notes are `notes`) as `plan` says. False with the reason when
// the player refuses the song.
[[nodiscard]] bool RecordByPlan(const CMidiSong& song, const CSongNotes& notes, const RecordingPlan& plan,
                                RecordingOutcome& out, std::string& error);
