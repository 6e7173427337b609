#pragma once
// What CMidiEngine::Prepare makes of a song.

enum class PrepareResult {
    kOk,
    kNoTracks,      // the song has no track
    kBadDivision,   // division below 8 ticks per quarter (0 included): no thirty-second length
    kTooManyTracks, // more than 256 tracks
    kTooLong,       // the song would play for more than CMidiEngine::kMaxSongSeconds
};

// A sentence for the user, empty for kOk.
[[nodiscard]] const char* PrepareResultText(PrepareResult result);
