#pragma once
// What the song overview shows, apart from how it is drawn: one lane per channel
// that has notes, with where its notes start over the song; which channel the
// melody finder suggests, and the runner-up when it comes close; which channels
// are enabled; the recording range, whose start is the position slider's second
// (or the tune's bar to the tick); the bar lines; the part of the song in view
// when zoomed; the playhead while playing and where the last fitted recording
// ended. Plain C++, so that tests check it without painting.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "melody/MelodyFinder.h"
#include "song/MidiChannels.h"

class CSongNotes;

enum class OverviewMark {
    kNone,
    kSuggested, // the finder's first channel
    kRunnerUp,  // the best other line, when its score is close to the first's
    kAlong,     // plays the first's line along, in unison or octaves: the same tune
    kDrums,     // channel 10, which General MIDI plays on drums
};

struct OverviewLane {
    int nChannel = 0; // 0-15
    // The seconds of the position slider at which its notes start, in order.
    std::vector<float> onsetSeconds;
};

class CSongOverviewModel {
public:
    static constexpr int kChannels = kMidiChannels;
    // More bar lines than this (a hostile file's tiny bars) are not drawn.
    static constexpr std::size_t kMostBarLines = 8192;
    static constexpr int kMostZoom = 64;
    // Zooming stops where the view would hold fewer seconds than this.
    static constexpr double kFewestSecondsInView = 4;

    // The lanes of `notes` over `lengthSeconds` seconds of the position slider, the
    // marks from `ranked` (as RankMelodyChannels gives it), every channel enabled,
    // the range the whole song and the whole song in view.
    void SetSong(const CSongNotes& notes, const std::vector<MelodyCandidate>& ranked, int lengthSeconds);
    // No song: no lanes, no marks, an empty range.
    void Clear();

    [[nodiscard]] const std::vector<OverviewLane>& Lanes() const { return m_lanes; }
    [[nodiscard]] OverviewMark MarkOf(int channel) const;
    [[nodiscard]] int LengthSeconds() const { return m_nLength; }
    // What a screen reader says of a lane: "channel 4 ♪?, enabled".
    [[nodiscard]] std::string LaneText(std::size_t lane) const;

    void SetEnabled(const std::array<bool, kChannels>& enabled) { m_bEnabled = enabled; }
    [[nodiscard]] bool IsEnabled(int channel) const;

    // The range in whole seconds of the slider: 0 <= start <= end <= length, and the
    // end at least a bar after the start where the song has room.
    [[nodiscard]] int RangeStart() const { return m_nStart; }
    [[nodiscard]] int RangeEnd() const { return m_nEnd; }
    // The start to the tenth: the tune's bar when SetRangeStartAtTick put it there.
    [[nodiscard]] double RangeStartSeconds() const { return m_dStart; }
    // Moves the start, clamped to the song; an end less than a bar after it goes
    // back to the song's end.
    void SetRangeStart(int second);
    // The start at a song tick, which may lie between seconds (the slider shows the
    // second before it).
    void SetRangeStartAtTick(std::uint64_t tick);
    // Moves the end, clamped between a bar after the start and the song's end.
    void SetRangeEnd(int second);
    // The range ends before the song does.
    [[nodiscard]] bool EndsEarly() const { return m_nEnd < m_nLength; }
    // Whole seconds of the bar in which the range starts (1 at least).
    [[nodiscard]] int MinimumSpan() const;
    // "00:17.1 to 01:16.0 (58.9 s)", and its length alone, "(58.9 s)".
    [[nodiscard]] std::string RangeText() const;
    [[nodiscard]] std::string RangeLengthText() const;

    // The seconds of the slider at which bars start, in order.
    [[nodiscard]] const std::vector<double>& BarSeconds() const { return m_barSeconds; }

    // The view: 1 shows the whole song, 2 half of it, and so on.
    [[nodiscard]] int Zoom() const { return m_nZoom; }
    [[nodiscard]] double ViewStart() const { return m_dViewStart; }
    [[nodiscard]] double ViewSeconds() const;
    // Doubles or halves the zoom, keeping `around` (seconds) where it was in view.
    void ZoomIn(double around);
    void ZoomOut(double around);
    // Scrolls the view just enough that `seconds` is in it.
    void KeepInView(double seconds);
    // Where `seconds` lies across the view, 0 at its left and 1 at its right; and back.
    [[nodiscard]] double ShareOf(double seconds) const;
    [[nodiscard]] double SecondsAtShare(double share) const;
    // Onsets of a lane counted in `bins` equal spans of the view.
    [[nodiscard]] std::vector<std::uint32_t> BinsInView(std::size_t lane, int bins) const;
    // The ruler's step in seconds: the shortest of 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10
    // min whose labels stand `minPixels` apart at `pixelsPerSecond`.
    [[nodiscard]] static int RulerStep(double pixelsPerSecond, int minPixels);

    // The position while playing, in seconds of the slider; none when stopped.
    void SetPlayhead(std::optional<int> second);
    [[nodiscard]] std::optional<int> Playhead() const { return m_playhead; }
    // Where the last recording fitted to one message ended, in seconds of the slider.
    void SetFitEndTick(std::optional<std::uint64_t> tick);
    [[nodiscard]] std::optional<double> FitEnd() const { return m_fitEnd; }

private:
    void KeepEndABarAfterStart();
    void ClampView();

    std::vector<OverviewLane> m_lanes;
    std::array<OverviewMark, kChannels> m_marks{};
    std::array<bool, kChannels> m_bEnabled{};
    std::vector<double> m_barSeconds;
    double m_dSecondsPerTick = 0;
    int m_nLength = 0;
    int m_nStart = 0;
    double m_dStart = 0;
    int m_nEnd = 0;
    int m_nZoom = 1;
    double m_dViewStart = 0;
    std::optional<int> m_playhead;
    std::optional<double> m_fitEnd;
};

// Seconds as "mm:ss.s".
[[nodiscard]] std::string ClockTenths(double seconds);
// A time typed as "75", "1:15", "01:15" or "01:15.0" (tenths of zero only: the range
// moves by whole seconds), in whole seconds; none for anything else.
[[nodiscard]] std::optional<int> ParseClock(const std::string& text);
