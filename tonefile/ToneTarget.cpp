#include "tonefile/ToneTarget.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace {

constexpr std::uint16_t kTicksPerQuarter = 96;
constexpr int kLowestNote = 48;  // c4: the note list holds octaves 4-7
constexpr int kHighestNote = 95; // b7
constexpr std::int32_t kFastestTempo = 900; // the fastest a ringing-tone message says
constexpr double kEscPulseLimit = 255;
constexpr double kEscRestLimit = 255;

constexpr RtttlDotPlace kAfter = RtttlDotPlace::AfterOctave;
constexpr RtttlDotPlace kBefore = RtttlDotPlace::BeforeOctave;

// The sources are the devices' own firmware, configurators and documentation.
constexpr std::array<ToneTarget, 11> kTargets = {{
    {"flipper", "Flipper Zero music player", TargetForm::FlipperMusic, "fmf", TargetForm::Rtttl, "rtttl", kLowestNote,
     kHighestNote, 0, 0, 0, kAfter, 1, kFastestTempo,
     "a reader from the Flipper Music Format's description (scripts/check-targets)",
     "flipperdevices/flipperzero-firmware lib/music_worker/music_worker.c: Filetype/Version/BPM/Duration/Octave/"
     "Notes, notes [length]LETTER[#][octave][dots], dots after the octave, one bad note refuses the file"},
    {"esphome", "ESPHome and Home Assistant rtttl buzzers and speakers", TargetForm::Rtttl, "rtttl", TargetForm::Rtttl,
     "", kLowestNote, kHighestNote, 0, 0, 0, kAfter, 4, kFastestTempo,
     "a reader after ESPHome's parser (scripts/check-targets)",
     "esphome/esphome components/rtttl/rtttl.cpp: octaves 4-7 or playback stops, d= 1-32, b= at least 4, "
     "the dot after the octave since 2026.2 (PR 13722)"},
    {"meshtastic", "Meshtastic radios' external notification", TargetForm::Rtttl, "rtttl", TargetForm::Rtttl, "",
     kLowestNote, kHighestNote, 0, 229, 0, kAfter, 1, kFastestTempo, "a reader after NonBlockingRTTTL: d, o, b in order, 229 characters (scripts/check-targets)",
     "meshtastic/firmware src/mesh/generated/meshtastic/rtttl.pb.h: char ringtone[231] (229 characters on "
     "firmware before Oct 2024); NonBlockingRTTTL 1.4.0 reads d, o, b in this order, octaves 4-7"},
    {"bluejay", "Bluejay ESC start-up melody", TargetForm::Rtttl, "rtttl", TargetForm::EscMelody, "bin", kLowestNote, 86,
     0, 0, 62, kAfter, 1, kFastestTempo, "npm bluejay-rtttl-parse (the configurators' converter): the same pairs as the .bin",
     "bird-sanctuary/bluejay src/Modules/Fx.asm play_beep_melody: 128 bytes at EEPROM 0x70, a 4-byte header and at "
     "most 62 pairs; stylesuxx/esc-configurator with bluejay-rtttl-parse 2.0.2: pitches D#3-D7"},
    {"am32", "AM32 ESC start-up tune", TargetForm::Rtttl, "rtttl", TargetForm::EscMelody, "bin", kLowestNote, 86, 0, 0,
     62, kAfter, 1, kFastestTempo, "npm bluejay-rtttl-parse (the configurators' converter): the same pairs as the .bin",
     "am32-firmware/AM32 Inc/eeprom.h tune[128] at EEPROM 0x30, Src/sounds.c playBlueJayTune: Bluejay's block"},
    {"expresslrs", "ExpressLRS 3.x transmitter buzzer", TargetForm::Rtttl, "rtttl", TargetForm::ToneHeader, "h",
     kLowestNote, kHighestNote, 32, 0, 0, kAfter, 1, kFastestTempo, "a reader after upy-rtttl, 32 tones; the header compiled (scripts/check-targets)",
     "ExpressLRS/ExpressLRS 3.6 src/lib/OPTIONS/options.h buzzer_melody[32][2]; src/python/melodyparser.py"},
    {"arduino", "Arduino and ESP buzzers (AnyRtttl, NonBlockingRTTTL, tone())", TargetForm::Rtttl, "rtttl",
     TargetForm::ToneHeader, "h", kLowestNote, kHighestNote, 0, 0, 0, kAfter, 1, kFastestTempo,
     "a reader after AnyRtttl; the header compiled (scripts/check-targets)",
     "docs.arduino.cc tone(): Hz from 31, length in ms; end2endzone/AnyRtttl: octaves 4-7, the dot either side"},
    {"circuitpython", "CircuitPython adafruit_rtttl", TargetForm::Rtttl, "rtttl", TargetForm::Rtttl, "", kLowestNote, 85,
     0, 0, 0, kBefore, 1, kFastestTempo, "npm rtttl-parse (it takes the dot before the octave, as adafruit_rtttl)",
     "adafruit/Adafruit_CircuitPython_RTTTL adafruit_rtttl.py: the octave is the token's last character, pitches "
     "4c-7c#, a trailing comma raises"},
    {"nokia3310", "Nokia 3310 and phones of its age", TargetForm::Ott, "ott", TargetForm::Rtttl, "", kLowestNote,
     kHighestNote, 63, 0, 0, kAfter, 25, kFastestTempo, "gnokii --ringtoneconvert",
     "Smart Messaging 3.0 ringing tone, one message of 130 octets; the 3310's composer keeps 50 notes, a received "
     "tone about 63"},
    {"nokia6233", "Nokia 6233 and later Series 40 phones", TargetForm::Ott, "ott", TargetForm::Rtttl, "", kLowestNote,
     kHighestNote, 80, 0, 0, kAfter, 25, kFastestTempo, "gnokii --ringtoneconvert",
     "Smart Messaging 3.0 ringing tone, one message of 130 octets; about 80 notes (no published figure)"},
    {"rtttl", "any RTTTL player", TargetForm::Rtttl, "rtttl", TargetForm::Rtttl, "", kLowestNote, kHighestNote, 0, 0,
     0, kAfter, 1, kFastestTempo, "a reader of the RTTTL grammar, dots after the octave (scripts/check-targets)",
     "Nokia's RTTTL description (NAME:d=,o=,b=:notes; the dot after the octave)"},
}};

RingtoneNote WithPitch(RingtoneNote note, int pitch)
{
    const RingtoneNote moved = MakeNote(pitch, NoteDurationCode(note), NoteSpecifierCode(note));
    note.dwNote = moved.dwNote;
    note.dwScale = moved.dwScale;
    return note;
}

std::string OctavesText(int octaves)
{
    const int n = std::abs(octaves);
    return std::to_string(n) + (n == 1 ? " octave " : " octaves ") + (octaves > 0 ? "up" : "down");
}

// The shift by whole octaves that leaves the fewest notes outside the range, the
// smallest move among equals.
int BestOctaveShift(const std::vector<RingtoneNote>& notes, int low, int high)
{
    int best = 0;
    std::size_t bestOutside = SIZE_MAX;
    for (int shift : {0, -1, 1, -2, 2, -3, 3}) {
        std::size_t outside = 0;
        for (const RingtoneNote& note : notes) {
            const int pitch = NotePitch(note);
            if (pitch >= 0 && (pitch + 12 * shift < low || pitch + 12 * shift > high))
                ++outside;
        }
        if (outside < bestOutside) {
            bestOutside = outside;
            best = shift;
        }
    }
    return best;
}

void MoveIntoRange(CTargetFit& fit, const ToneTarget& target)
{
    const int low = std::max(target.lowestPitch, kLowestNote);
    const int high = std::min(target.highestPitch, kHighestNote);
    fit.nOctaveShift = BestOctaveShift(fit.melody.notes, low, high);
    if (fit.nOctaveShift != 0)
        fit.changes.push_back({ToneLoss::Kind::Changed, "",
                               "the tune is moved " + OctavesText(fit.nOctaveShift) + " into what " + target.name +
                                   " plays (" + RtttlPitchText(low) + "-" + RtttlPitchText(high) + ")"});
    for (RingtoneNote& note : fit.melody.notes) {
        const int given = NotePitch(note);
        if (given < 0)
            continue;
        int pitch = given + 12 * fit.nOctaveShift;
        while (pitch < low)
            pitch += 12;
        while (pitch > high)
            pitch -= 12;
        if (pitch != given + 12 * fit.nOctaveShift)
            fit.changes.push_back({ToneLoss::Kind::Changed, RtttlTokenOf(note),
                                   "outside what " + std::string(target.name) + " plays: moved alone to " +
                                       RtttlPitchText(pitch)});
        note = WithPitch(note, pitch);
    }
}

// What a prefix of the tune costs against the device's budget, and the budget.
std::size_t CostOf(const CToneMelody& melody, const ToneTarget& target)
{
    if (target.maxCharacters > 0) {
        std::vector<ToneLoss> ignored;
        return WriteRtttlText(melody, ignored, target.dotPlace).size();
    }
    if (target.maxEscItems > 0) {
        bool playable = true;
        return EscItemsOf(melody, playable);
    }
    return melody.notes.size();
}

std::size_t BudgetOf(const ToneTarget& target)
{
    if (target.maxCharacters > 0)
        return target.maxCharacters;
    if (target.maxEscItems > 0)
        return target.maxEscItems;
    return target.maxNotes > 0 ? target.maxNotes : SIZE_MAX;
}

// A note after which a phrase may end: the last, one before a rest, one of a quarter
// or longer (as the one-message fit ends a recording).
bool EndsAPhrase(const std::vector<RingtoneNote>& notes, std::size_t i)
{
    if (NotePitch(notes[i]) < 0)
        return false;
    return i + 1 == notes.size() || NotePitch(notes[i + 1]) < 0 ||
           NoteTicks(notes[i], kTicksPerQuarter) >= kTicksPerQuarter;
}

void EndWithinBudget(CTargetFit& fit, const ToneTarget& target)
{
    const std::size_t budget = BudgetOf(target);
    if (budget == SIZE_MAX || CostOf(fit.melody, target) <= budget)
        return;
    std::vector<RingtoneNote>& notes = fit.melody.notes;
    CToneMelody prefix = fit.melody;
    std::size_t fits = 0; // the longest prefix within the budget
    for (std::size_t n = 1; n <= notes.size(); ++n) {
        prefix.notes.assign(notes.begin(), notes.begin() + static_cast<std::ptrdiff_t>(n));
        if (CostOf(prefix, target) > budget)
            break;
        fits = n;
    }
    std::size_t keep = fits;
    while (keep > 0 && !EndsAPhrase(notes, keep - 1))
        --keep;
    if (keep == 0)
        keep = fits;
    const std::size_t cut = notes.size() - keep;
    const std::string unit = target.maxCharacters > 0 ? " characters"
                             : target.maxEscItems > 0 ? " pitch and length pairs"
                                                      : " notes";
    fit.changes.push_back({ToneLoss::Kind::Cut, "",
                           std::string(target.name) + " keeps at most " + std::to_string(budget) + unit +
                               ": the tune ends at the phrase end after note " + std::to_string(keep) + " (" +
                               std::to_string(cut) + " of " + std::to_string(notes.size()) + " left out)"});
    notes.resize(keep);
}

} // namespace

std::span<const ToneTarget> ToneTargets()
{
    return kTargets;
}

const ToneTarget* ToneTargetNamed(std::string_view name)
{
    for (const ToneTarget& target : kTargets) {
        const std::string_view own = target.name;
        if (own.size() == name.size() && std::equal(own.begin(), own.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return &target;
    }
    return nullptr;
}

double PitchHertz(int pitch)
{
    return 440.0 * std::pow(2.0, (pitch - 57) / 12.0);
}

CEscNote EscNoteOf(const RingtoneNote& note, std::int32_t tempo)
{
    // The configurators' arithmetic, step for step, so that the block is theirs.
    static const double kTwelfthRoot = std::pow(2.0, 1.0 / 12);
    constexpr double kC4 = 261.63;
    const double beat = 60000.0 / tempo;
    const unsigned specifier = NoteSpecifierCode(note);
    const double factor = specifier == 1 ? 1.5 : specifier == 2 ? 1.75 : specifier == 3 ? 2.0 / 3 : 1;
    CEscNote esc;
    esc.dMilliseconds = beat * 4 / kRtttlLengths[NoteDurationCode(note)] * factor;
    const int pitch = NotePitch(note);
    if (pitch < 0)
        return esc;
    esc.dHertz = std::round(kC4 * std::pow(kTwelfthRoot, pitch - 48) * 1e1) / 1e1;
    esc.nWait = std::lround(1000000 / (esc.dHertz * 24.72) - 399.3 / 24.72);
    esc.nPulses = std::lround(esc.dMilliseconds / (1000 / esc.dHertz));
    return esc;
}

double EscSeconds(const CToneMelody& melody)
{
    double ms = 0;
    for (const RingtoneNote& note : melody.notes) {
        const CEscNote esc = EscNoteOf(note, PlayedTempo(melody));
        ms += esc.dHertz == 0 ? std::round(esc.dMilliseconds)
                              : static_cast<double>(esc.nPulses) / (1e6 / (24.72 * static_cast<double>(esc.nWait) + 399.3)) * 1000;
    }
    return ms / 1000;
}

double ToneSeconds(const CToneMelody& melody)
{
    double ms = 0;
    for (const RingtoneNote& note : melody.notes)
        ms += NoteMilliseconds(note, PlayedTempo(melody));
    return ms / 1000;
}

std::size_t EscItemsOf(const CToneMelody& melody, bool& playable)
{
    playable = true;
    std::size_t items = 0;
    for (const RingtoneNote& note : melody.notes) {
        const CEscNote esc = EscNoteOf(note, PlayedTempo(melody));
        if (esc.dHertz == 0) {
            items += static_cast<std::size_t>(std::max(1.0, std::ceil(std::round(esc.dMilliseconds) / kEscRestLimit)));
            continue;
        }
        if (esc.nWait < 1 || esc.nWait > 255)
            playable = false;
        items += static_cast<std::size_t>(std::max(1.0, std::ceil(static_cast<double>(esc.nPulses) / kEscPulseLimit)));
    }
    return items;
}

CTargetFit FitToTarget(const CToneMelody& melody, const ToneTarget& target)
{
    CTargetFit fit;
    fit.melody.strName = melody.strName;
    fit.melody.nTempo = PlayedTempo(melody); // what the reader said it plays at
    for (const RingtoneNote& note : melody.notes) {
        const std::vector<RingtoneNote> said = SayableNotes(note, target.name, fit.changes);
        fit.melody.notes.insert(fit.melody.notes.end(), said.begin(), said.end());
    }
    if (fit.melody.nTempo < target.lowestTempo || fit.melody.nTempo > target.highestTempo) {
        const std::int32_t tempo = std::clamp(fit.melody.nTempo, target.lowestTempo, target.highestTempo);
        fit.changes.push_back({ToneLoss::Kind::Changed, "b=" + std::to_string(fit.melody.nTempo),
                               std::string(target.name) + " plays " + std::to_string(target.lowestTempo) + "-" +
                                   std::to_string(target.highestTempo) + " beats a minute: b=" + std::to_string(tempo)});
        fit.melody.nTempo = tempo;
    }
    MoveIntoRange(fit, target);
    EndWithinBudget(fit, target);
    fit.dSeconds = target.maxEscItems > 0 ? EscSeconds(fit.melody) : ToneSeconds(fit.melody);
    return fit;
}
