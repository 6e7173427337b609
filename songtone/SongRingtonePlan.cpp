#include "songtone/SongRingtonePlan.h"

#include <algorithm>
#include <array>

#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/RecordingPlan.h"

namespace {

bool Sounds(std::uint16_t channels, const SongNote& note)
{
    return (channels & (1u << note.byChannel)) != 0;
}

// The tick the request asks to start from, before snapping.
bool AskedStart(const CSongNotes& notes, const SongRingtoneRequest& request, std::uint64_t& tick, std::string& error)
{
    if (request.fromSecond) {
        tick = notes.TickAtSliderSecond(*request.fromSecond);
        return true;
    }
    std::array<bool, kMidiChannels> tune{};
    if (!ChooseTuneChannel(notes, tune, error))
        return false;
    tick = TuneStartTick(notes, tune);
    return true;
}

} // namespace

bool PlanSongRingtone(const CSongNotes& notes, const SongRingtoneRequest& request, SongRingtoneRange& range,
                      std::string& error)
{
    std::uint64_t asked = 0;
    if (!AskedStart(notes, request, asked, error))
        return false;
    const std::uint64_t bar = notes.BarStartAtOrBefore(asked);
    // The first sound at or after the bar line: a note sounding across it starts there.
    std::optional<std::uint64_t> first;
    for (const SongNote& note : notes.Notes()) {
        if (!Sounds(request.wChannels, note) || note.qwEnd <= bar)
            continue;
        const std::uint64_t at = std::max(note.qwStart, bar);
        if (!first || at < *first)
            first = at;
    }
    if (!first) {
        error = "no note of the channels sounds from there on";
        return false;
    }
    range = {};
    range.qwStartTick = *first;
    range.bStartsOnBarLine = *first == bar;
    const double start = notes.SecondsAt(range.qwStartTick);
    const std::uint64_t limit = notes.TickAfterSeconds(range.qwStartTick, request.dMaxSeconds);
    if (limit >= notes.EndTick()) {
        // The song ends first: all of it, and its last notes ringing out.
        range.qwEndTick = notes.EndTick();
        range.dSeconds = std::min(request.dMaxSeconds,
                                  notes.SecondsAt(range.qwEndTick) - start + kSongRingtoneRingOutSeconds);
        return true;
    }
    const std::uint64_t barEnd = notes.BarStartAtOrBefore(limit);
    // A bar line in the second half of the length; else the limit itself.
    range.bEndsOnBarLine = barEnd > range.qwStartTick && notes.SecondsAt(barEnd) - start >= request.dMaxSeconds / 2;
    range.qwEndTick = range.bEndsOnBarLine ? barEnd : limit;
    range.dSeconds = std::min(request.dMaxSeconds, notes.SecondsAt(range.qwEndTick) - start);
    return true;
}
