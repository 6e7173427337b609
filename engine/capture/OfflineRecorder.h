#pragma once
// A recording without sound or waiting: the engine plays the song on a silent
// device and the manual clock, from a start second (chased first, as on Play) for
// a number of seconds of the live clock, and hands back what the capture wrote.
// The ticks are those a live recording of the same span runs, so the text is too.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sequencer/PrepareResult.h"
#include "ringtone/RingtoneNote.h"
#include "song/MidiChannels.h"

class CMidiSong;

struct OfflineRecordOptions {
    std::array<bool, kMidiChannels> bChannelOn{true, true, true, true, true, true, true, true,
                                               true, true, true, true, true, true, true, true}; // index = channel 0-15
    std::uint32_t uFromSecond = 0;
    // Seconds of the live clock to record; negative: until every track has ended.
    std::int64_t nSeconds = -1;
    std::string strToneName = "ZorvatTone";
};

struct OfflineRecording {
    std::string strRtttl;
    std::vector<RingtoneNote> notes;
    std::int32_t nTempo = 0;         // ringtone tempo, beats per minute
    std::uint32_t uSongSeconds = 0;  // the length Prepare found
    std::uint64_t qwTicks = 0;       // clock ticks run after the first
};

// What the player finds when it loads `song`, without a device: the channel labels
// and the length in seconds, or why it refuses the song (labels and seconds then
// left as they were).
[[nodiscard]] PrepareResult ScanAsThePlayer(const CMidiSong& song, std::array<std::string, kMidiChannels>& labels,
                                            std::uint32_t& seconds);

class COfflineRecorder {
public:
    // False when Prepare refuses the song (LastError says why).
    [[nodiscard]] bool Record(const CMidiSong& song, const OfflineRecordOptions& options, OfflineRecording& out);
    [[nodiscard]] const std::string& LastError() const { return m_strError; }
    [[nodiscard]] PrepareResult GetPrepareResult() const { return m_result; }

private:
    std::string m_strError;
    PrepareResult m_result = PrepareResult::kOk;
};
