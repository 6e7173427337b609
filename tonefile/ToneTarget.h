#pragma once
// The devices people play short tunes on today, one row each: what file each takes,
// its limits, which independent reader checks the files written for it, and where its
// rules come from. Fitting moves a tune into a device's limits, saying each change.
// Plain C++.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tonefile/RtttlFile.h"
#include "tonefile/ToneMelody.h"

// The form of a device's file.
enum class TargetForm {
    Rtttl,         // RTTTL text in the device's dialect
    FlipperMusic,  // the Flipper Music Format (.fmf)
    EscMelody,     // the 128-byte EEPROM melody block of Bluejay and AM32 (.bin)
    ToneHeader,    // a C header of frequency and length pairs for Arduino's tone() (.h)
    Ott,           // the Smart Messaging ringing tone, one message
};

struct ToneTarget {
    const char* name;         // as --target takes it
    const char* device;       // who plays it
    TargetForm form;          // what `extension` gives
    const char* extension;    // without the dot
    // A second file the device's users also take, named by its extension ("" none):
    // the ESC configurators paste RTTTL, and the ESC takes the block; Arduino
    // sketches play RTTTL with a library or pairs with tone().
    TargetForm otherForm;
    const char* otherExtension;
    int lowestPitch;          // note numbers as the note list's (c5 = 60, a4 = 57 sounds 440 Hz)
    int highestPitch;
    std::size_t maxNotes;      // notes and rests kept; 0: no limit
    std::size_t maxCharacters; // of the whole RTTTL text; 0: no limit
    std::size_t maxEscItems;   // pitch and length pairs of the EEPROM block; 0: not a limit
    RtttlDotPlace dotPlace;   // where a dot stands after an octave digit
    std::int32_t lowestTempo;
    std::int32_t highestTempo;
    const char* reader;       // the independent reader that checks the files
    const char* source;       // where the rules come from
};

// Every device, in the order the program lists them.
[[nodiscard]] std::span<const ToneTarget> ToneTargets();
// The device of that name, letter case aside; nullptr for none.
[[nodiscard]] const ToneTarget* ToneTargetNamed(std::string_view name);

// A tune fitted to a device.
struct CTargetFit {
    CToneMelody melody;
    std::vector<ToneLoss> changes; // one line each; none when the tune fits as it is
    int nOctaveShift = 0;          // the whole tune moved by this many octaves
    double dSeconds = 0;           // how long the fitted tune plays
};

// Fits `melody` to `target`: lengths the device can say (single dots), the whole tune
// moved by octaves into its range keeping its contour (a note still outside moves
// alone), the end at the last phrase end within its budget (notes, characters or
// EEPROM pairs), the tempo within its range.
[[nodiscard]] CTargetFit FitToTarget(const CToneMelody& melody, const ToneTarget& target);

// How long `melody` plays, in seconds.
[[nodiscard]] double ToneSeconds(const CToneMelody& melody);

// The frequency a device plays the note number at (a4 = 57 at 440 Hz).
[[nodiscard]] double PitchHertz(int pitch);

// A note as the ESC configurators convert it (npm bluejay-rtttl-parse): its length in
// ms, its frequency to 0.1 Hz from c4 = 261.63 Hz, the wait that sets the pitch (the
// ESC plays 1..255) and the pulses that last its length. A rest has its length only.
struct CEscNote {
    double dMilliseconds = 0;
    double dHertz = 0; // 0 for a rest
    long nWait = 0;
    long nPulses = 0;
};
// `tempo` in beats a minute, > 0 (PlayedTempo).
[[nodiscard]] CEscNote EscNoteOf(const RingtoneNote& note, std::int32_t tempo);
// How long the ESC plays a fitted tune: each note's pulses at the frequency its wait
// gives, which differs a little from the note's.
[[nodiscard]] double EscSeconds(const CToneMelody& melody);

// Pitch and length pairs of the EEPROM block that `melody` takes (as the ESC
// configurators convert RTTTL: notes as pulse counts of at most 255 each, rests as
// milliseconds of at most 255 each); `playable` is false when a note is outside the
// pitches the ESC can play.
[[nodiscard]] std::size_t EscItemsOf(const CToneMelody& melody, bool& playable);
