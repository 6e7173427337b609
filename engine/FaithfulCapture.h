#pragma once
// The faithful capture: the notes of the enabled channels between two ticks of a
// song, as RTTTL text that keeps the song's rhythm.
//
// - One voice: where notes overlap or start together the highest sounding note
//   wins; a note ends where the next one begins if it has not ended before.
// - Lengths are measured in musical time and rounded to the nearest length RTTTL
//   can say (1 to 32, plain, dotted or double-dotted, read as the converter reads
//   them: each dot adds half of the length so far), with the rounding error
//   carried on, so every note starts within a thirty-second of its place. Rests
//   are "p" tokens, several where one length cannot say them.
// - A tempo change inside the range does not restart the text; b= is the tempo at
//   the start of the range.
// - The line moves by whole octaves so that most notes lie in octaves 4-7; the
//   notes still outside are folded by octaves into that range.
// The text reads "NAME:d=4,o=5,b=BPM:" then tokens such as "4e.5," and "8p,".

#include <array>
#include <cstdint>
#include <string>

class CSongNotes;

struct FaithfulCaptureOptions {
    std::array<bool, 16> bChannelOn{true, true, true, true, true, true, true, true,
                                    true, true, true, true, true, true, true, true}; // index = channel 0-15
    std::uint64_t qwFromTick = 0;
    std::uint64_t qwToTick = UINT64_MAX; // notes starting at or after this are left out
    std::string strToneName = "ZorvatTone";
};

struct FaithfulCaptureResult {
    std::string strRtttl;
    int nNotes = 0;          // note tokens written (rests not counted)
    int nOctaveShift = 0;    // whole octaves the line was moved by
    int nFolded = 0;         // notes folded into octaves 4-7 beyond that move
};

[[nodiscard]] FaithfulCaptureResult CaptureFaithful(const CSongNotes& notes, const FaithfulCaptureOptions& options);
