#include "engine/sequencer/PrepareResult.h"

const char* PrepareResultText(PrepareResult result)
{
    switch (result) {
    case PrepareResult::kOk:
        return "";
    case PrepareResult::kNoTracks:
        return "The MIDI file has no tracks.";
    case PrepareResult::kBadDivision:
        return "The MIDI file's timing is not supported (fewer than 8 ticks per quarter note).";
    case PrepareResult::kTooManyTracks:
        return "The MIDI file has more than 256 tracks.";
    case PrepareResult::kTooLong:
        return "The MIDI file plays for more than 4 hours.";
    }
    return "";
}
