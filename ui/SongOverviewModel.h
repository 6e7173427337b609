#pragma once
// What the song overview shows, apart from how it is drawn: one lane per channel
// that has notes, with where its notes start over the song; which channel the
// melody finder suggests, and the runner-up when it comes close; which channels
// are enabled; and the recording range, whose start is the position slider's
// second. Plain C++, so that tests check it without painting.

#include <array>
#include <cstdint>
#include <vector>

#include "melody/MelodyFinder.h"
#include "song/MidiChannels.h"

class CSongNotes;

enum class OverviewMark {
    kNone,
    kSuggested, // the finder's first channel
    kRunnerUp,  // the second, when its score is close to the first's
    kDrums,     // channel 10, which General MIDI plays on drums
};

struct OverviewLane {
    int nChannel = 0; // 0-15
    // Note onsets counted in kOverviewBins equal spans of the song's length.
    std::vector<std::uint32_t> onsetsPerBin;
};

class CSongOverviewModel {
public:
    static constexpr int kChannels = kMidiChannels;
    // The resolution of the lanes: finer than any window draws them, and bounded
    // whatever the song holds.
    static constexpr int kOverviewBins = 512;

    // The lanes of `notes` over `lengthSeconds` seconds of the position slider, the
    // marks from `ranked` (as RankMelodyChannels gives it), every channel enabled,
    // and the range the whole song.
    void SetSong(const CSongNotes& notes, const std::vector<MelodyCandidate>& ranked, int lengthSeconds);
    // No song: no lanes, no marks, an empty range.
    void Clear();

    [[nodiscard]] const std::vector<OverviewLane>& Lanes() const { return m_lanes; }
    [[nodiscard]] OverviewMark MarkOf(int channel) const;
    [[nodiscard]] int LengthSeconds() const { return m_nLength; }

    void SetEnabled(const std::array<bool, kChannels>& enabled) { m_bEnabled = enabled; }
    [[nodiscard]] bool IsEnabled(int channel) const;

    // The range in whole seconds of the slider: 0 <= start <= end <= length.
    [[nodiscard]] int RangeStart() const { return m_nStart; }
    [[nodiscard]] int RangeEnd() const { return m_nEnd; }
    // Moves the start, clamped to the song; past the end, the end goes back to the song's end.
    void SetRangeStart(int second);
    // Moves the end, clamped between the start and the song's end.
    void SetRangeEnd(int second);
    // The range ends before the song does.
    [[nodiscard]] bool EndsEarly() const { return m_nEnd < m_nLength; }

private:
    std::vector<OverviewLane> m_lanes;
    std::array<OverviewMark, kChannels> m_marks{};
    std::array<bool, kChannels> m_bEnabled{};
    int m_nLength = 0;
    int m_nStart = 0;
    int m_nEnd = 0;
};
