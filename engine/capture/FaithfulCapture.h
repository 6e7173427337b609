#pragma once
// The faithful capture: the notes of the enabled channels between two ticks of a
// song, as RTTTL text that keeps the song's rhythm.
//
// - One voice: where notes overlap or start together the highest sounding note
//   wins; a note ends where the next one begins if it has not ended before.
// - Lengths are measured in musical time and rounded to the nearest length RTTTL
//   can say, plain or dotted (1 to 32, never a double dot, which phones and the
//   preview play at different lengths), with the rounding error carried on, so
//   every note starts within a thirty-second of its place. A longer note is two
//   tokens: the note and a rest, or the note struck twice where it must sound on.
//   Rests are "p" tokens, several where one length cannot say them.
// - A tempo change inside the range does not restart the text; b= is the value of
//   the Smart Messaging tempo table nearest the tempo at the start of the range,
//   so the phone plays the tempo the preview plays.
// - Optionally the text ends early, on a phrase, where one message still holds it.
// - The line moves by whole octaves so that most notes lie in octaves 4-7; the
//   notes still outside are folded by octaves into that range.
// The text reads "NAME:d=4,o=5,b=BPM:" then tokens such as "4e.5," and "8p,".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "song/MidiChannels.h"

class CSongNotes;

struct FaithfulCaptureOptions {
    std::array<bool, kMidiChannels> bChannelOn{true, true, true, true, true, true, true, true,
                                               true, true, true, true, true, true, true, true}; // index = channel 0-15
    std::uint64_t qwFromTick = 0;
    std::uint64_t qwToTick = UINT64_MAX; // notes starting at or after this are left out
    std::string strToneName = "ZorvatTone";
    // End at the last phrase end (the note before a rest, a note of a quarter or
    // longer, a note that ends on a bar line of the song) at which the Smart
    // Messaging message of the text still fits in 130 octets; the longest text
    // that fits when no phrase ends inside it.
    bool bFitOneMessage = false;
};

struct FaithfulCaptureResult {
    std::string strRtttl;
    int nNotes = 0;          // note tokens written (rests not counted)
    int nOctaveShift = 0;    // whole octaves the line was moved by
    int nFolded = 0;         // notes folded into octaves 4-7 beyond that move
    std::int32_t nTempo = 0; // the b= value
    std::size_t nOctets = 0; // of the Smart Messaging message of the text (of its first 255 tokens)
    bool bCutToFit = false;  // bFitOneMessage ended the text before the range did
    std::uint64_t qwEndTick = 0; // where the text's last token ends (the range's start without one)
};

// Where a ringtone of the enabled channels' tune starts: the bar line at or before
// their first note. 0 when they have none.
[[nodiscard]] std::uint64_t TuneStartTick(const CSongNotes& notes, const std::array<bool, kMidiChannels>& channelOn);

[[nodiscard]] FaithfulCaptureResult CaptureFaithful(const CSongNotes& notes, const FaithfulCaptureOptions& options);
