#include "engine/capture/FaithfulCapture.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

#include "ringtone/RtttlNote.h"
#include "ringtone/RtttlWriter.h"
#include "ringtone/SmartMessaging.h"
#include "song/MidiMetaTypes.h"
#include "song/SongNotes.h"

namespace {

// Positions and lengths count in units of a 128th note (a quarter is 32): every
// length RTTTL can say, with up to two dots read as the converter reads them, is
// a whole number of units.
constexpr double kUnitsPerQuarter = 32;
// A 64th: notes struck this close together start together, and a position this
// close to its place needs no correction.
constexpr double kTolerance = 2;
constexpr double kSixteenth = 8;
constexpr double kTokenCost = 16;
// A silence longer than sixteen whole notes is shortened to that: a ringtone has no
// use for more, and a damaged file's huge gaps would otherwise become endless rests.
constexpr double kLongestSilence = 16 * 128;
constexpr int kLowestNote = 48;  // c4
constexpr int kHighestNote = 95; // b7

struct Length {
    int units;
    int rtttl; // 1, 2, 4, 8, 16 or 32
    int dots;  // 0 or 1
};

// Every length the text says, shortest first: plain and dotted only. A phone
// plays a double dot as 1.75 times the plain length and the preview as 2.25
// times, so the text never needs one; longer values take two tokens.
constexpr std::array<Length, 12> kLengths = {{
    {4, 32, 0},  {6, 32, 1},  {8, 16, 0},  {12, 16, 1}, {16, 8, 0},  {24, 8, 1},
    {32, 4, 0},  {48, 4, 1},  {64, 2, 0},  {96, 2, 1},  {128, 1, 0}, {192, 1, 1},
}};

// A second note of the same pitch says a length longer than any token, at the
// price of one onset more than the song has: it costs as much as a token more.
constexpr double kRestrikeCost = kTokenCost;
// A note this long or longer ends a phrase.
constexpr int kPhraseNoteUnits = 32;

struct VoiceNote {
    double start; // units from the range start
    double end;
    int pitch;
};

// The top voice of the enabled channels' notes that start inside the range.
std::vector<VoiceNote> TopVoice(const CSongNotes& notes, const FaithfulCaptureOptions& options)
{
    const double unitsPerTick = notes.Division() ? kUnitsPerQuarter / notes.Division() : 0;
    const auto units = [&](std::uint64_t tick) { return static_cast<double>(tick - options.qwFromTick) * unitsPerTick; };
    std::vector<VoiceNote> voice;
    double groupStart = -1;
    double heldEnd = 0; // where the last kept note would have ended on its own
    for (const SongNote& n : notes.Notes()) {
        if (n.qwStart < options.qwFromTick || n.qwStart >= options.qwToTick || !options.bChannelOn[n.byChannel & 15])
            continue;
        VoiceNote note{units(n.qwStart), units(std::min(n.qwEnd, options.qwToTick)), n.byPitch};
        // Of notes struck together the highest wins.
        if (!voice.empty() && note.start - groupStart < kTolerance) {
            if (note.pitch > voice.back().pitch) {
                voice.back().pitch = note.pitch;
                voice.back().end = note.end;
                heldEnd = note.end;
            }
            continue;
        }
        if (!voice.empty()) {
            VoiceNote& last = voice.back();
            // A lower note under a higher one that goes on sounding over most of it stays hidden.
            const double covered = heldEnd - note.start;
            if (last.pitch > note.pitch && covered > 0 && covered > (note.end - note.start) / 2)
                continue;
            last.end = std::min(last.end, note.start);
        }
        groupStart = note.start;
        heldEnd = note.end;
        voice.push_back(note);
    }
    return voice;
}

// Whole octaves that bring the most notes into octaves 4-7, the smallest such move first.
int BestOctaveShift(const std::vector<VoiceNote>& voice)
{
    int best = 0;
    std::size_t bestInside = 0;
    for (int shift : {0, 1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7, 8, -8}) {
        std::size_t inside = 0;
        for (const VoiceNote& n : voice) {
            const int p = n.pitch + 12 * shift;
            inside += (p >= kLowestNote && p <= kHighestNote) ? 1 : 0;
        }
        if (inside > bestInside) {
            best = shift;
            bestInside = inside;
        }
    }
    return best;
}

// One token of the text: a note, or a rest when pitch is -1.
struct Token {
    int pitch = -1;
    Length length{};
    double end = 0; // units from the range start where it ends

    [[nodiscard]] bool IsRest() const { return pitch < 0; }
};

// The sayable length nearest to `target` (the plainer of two as near) that ends no
// more than the tolerance past it; -1 when even a thirty-second would end later.
int LengthIndexFor(double target)
{
    int best = -1;
    for (int i = 0; i < static_cast<int>(kLengths.size()); ++i) {
        const Length& length = kLengths[static_cast<std::size_t>(i)];
        if (length.units > target + kTolerance)
            break;
        if (best < 0)
            best = i;
        const Length& chosen = kLengths[static_cast<std::size_t>(best)];
        const double miss = std::abs(length.units - target);
        const double chosenMiss = std::abs(chosen.units - target);
        if (miss < chosenMiss || (miss == chosenMiss && length.dots < chosen.dots))
            best = i;
    }
    return best;
}

// Lays tokens end to end. `origin` is where the first token starts, in units from
// the range start; `written` how many units the tokens so far take.
class CTokenLine {
public:
    explicit CTokenLine(double origin) : m_origin(origin) {}

    void Add(int pitch, const Length& length)
    {
        m_written += length.units;
        m_tokens.push_back(Token{pitch, length, At()});
    }
    // Rests up to `target`, as few tokens as the lengths allow. A silence shortened
    // to the longest moves the origin, and so every later note, by what it lost.
    void RestsUntil(double target)
    {
        if (const double excess = target - m_origin - static_cast<double>(m_written) - kLongestSilence; excess > 0)
            m_origin += excess;
        while (target - At() >= kTolerance) {
            const int i = LengthIndexFor(target - At());
            Add(-1, kLengths[static_cast<std::size_t>(std::max(i, 0))]);
        }
    }
    // Where the next token starts, in units from the range start.
    [[nodiscard]] double At() const { return m_origin + static_cast<double>(m_written); }
    [[nodiscard]] std::vector<Token>& Tokens() { return m_tokens; }

private:
    std::vector<Token> m_tokens;
    double m_origin;
    long m_written = 0;
};

// A note played shorter than its place is written at its full value when only a
// short silence follows it: a sixteenth, or less than half the time to the next note.
bool EndsAtNextNote(const std::vector<VoiceNote>& voice, std::size_t i)
{
    const double next = voice[i + 1].start;
    const double gap = next - voice[i].end;
    return gap <= kSixteenth || gap < (next - voice[i].start) / 2;
}

struct NoteStep {
    int note = -1;          // index into kLengths, -1 for none
    int after = -1;         // a second token after the note, -1 for none
    bool bAfterIsNote = false; // the second token strikes the note again (a tie RTTTL cannot say)
};

// The note's length, and at most one token after it, that together fill `slot`
// within the tolerance, the note as near `wanted` as may be: a token saved
// counts as much as an eighth of length (a ringtone holds some 70 tokens, and a
// short note written at the length of its place loses little), a dot as little.
// The token after is a rest, or the same note again where the note sounds
// longer than any token says (a tie RTTTL cannot say). note -1 when no pair
// fills it.
NoteStep PlanNote(double slot, double wanted, bool restAllowed)
{
    NoteStep best;
    double bestCost = 0;
    const auto consider = [&](int note, int after, bool again) {
        const Length& n = kLengths[static_cast<std::size_t>(note)];
        const Length none{0, 0, 0};
        const Length& a = after < 0 ? none : kLengths[static_cast<std::size_t>(after)];
        const double sounding = n.units + (again ? a.units : 0);
        // A note may grow into a silence, but shrinks by a quarter of its length at most.
        if (std::abs(n.units + a.units - slot) >= kTolerance || sounding < 0.75 * wanted - kTolerance)
            return;
        const double cost = (after < 0 ? 1 : 2) * kTokenCost + (again ? kRestrikeCost : 0) +
                            std::abs(sounding - wanted) + 0.5 * (n.dots + a.dots);
        if (best.note < 0 || cost < bestCost) {
            best = {note, after, again};
            bestCost = cost;
        }
    };
    const bool tied = wanted > kLengths.back().units + kTolerance;
    const int count = static_cast<int>(kLengths.size());
    for (int note = 0; note < count; ++note) {
        consider(note, -1, false);
        for (int after = 0; after < count; ++after) {
            if (restAllowed)
                consider(note, after, false);
            if (tied)
                consider(note, after, true);
        }
    }
    return best;
}

std::string TokenText(const Token& token)
{
    std::string text;
    AppendRtttlToken(text, token.length.rtttl, token.IsRest() ? kRtttlRestPitch : token.pitch, token.length.dots);
    return text += ',';
}

// The token as the converter reads it, turned into the message's record.
RingtoneNote RecordOf(const Token& token)
{
    RtttlNote note;
    note.wDuration = static_cast<std::uint16_t>(5 - std::countr_zero(static_cast<unsigned>(token.length.rtttl)));
    note.dwDots = static_cast<std::uint32_t>(token.length.dots);
    note.wNote = token.IsRest() ? kRtttlPause : static_cast<std::uint16_t>(token.pitch);
    note.wScale = token.IsRest() ? 0 : static_cast<std::uint16_t>(token.pitch / 12 - 4);
    return RingtoneNoteOf(note);
}

std::size_t OctetsOf(const std::string& name, std::int32_t tempo, const std::vector<RingtoneNote>& records,
                     std::size_t count)
{
    return BuildRingtoneMessage(name, tempo, static_cast<std::int32_t>(count), records.data()).size();
}

// Whether the text may end after token k: the note before a rest, a note of a
// quarter or longer, or a note that ends on a bar line of the song.
bool EndsPhrase(const std::vector<Token>& tokens, std::size_t k, const std::function<bool(double)>& atBarLine)
{
    const Token& token = tokens[k];
    if (token.IsRest())
        return false;
    return (k + 1 < tokens.size() && tokens[k + 1].IsRest()) || token.length.units >= kPhraseNoteUnits ||
           atBarLine(token.end);
}

// How many tokens to keep so that the message fits one message and the text ends
// on a phrase; the longest prefix that fits, without its trailing rests, when no
// phrase ends inside it.
std::size_t TokensThatFit(const std::vector<Token>& tokens, const std::vector<RingtoneNote>& records,
                          const std::string& name, std::int32_t tempo, const std::function<bool(double)>& atBarLine)
{
    // The message grows with every token, so the longest prefix that fits is found
    // by halving; no more than a ringtone's notes can fit.
    std::size_t lo = 0;
    std::size_t hi = std::min<std::size_t>(tokens.size(), kMaxRingtoneNotes);
    if (OctetsOf(name, tempo, records, hi) <= kMaxRingtoneOctets && hi == tokens.size())
        return hi;
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (OctetsOf(name, tempo, records, mid) <= kMaxRingtoneOctets)
            lo = mid;
        else
            hi = mid - 1;
    }
    for (std::size_t keep = lo; keep > 0; --keep)
        if (EndsPhrase(tokens, keep - 1, atBarLine))
            return keep;
    while (lo > 0 && tokens[lo - 1].IsRest())
        --lo;
    return lo;
}

} // namespace

std::uint64_t TuneStartTick(const CSongNotes& notes, const std::array<bool, kMidiChannels>& channelOn)
{
    for (const SongNote& n : notes.Notes()) // in start order
        if (channelOn[n.byChannel & 15])
            return notes.BarStartAtOrBefore(n.qwStart);
    return 0;
}

FaithfulCaptureResult CaptureFaithful(const CSongNotes& notes, const FaithfulCaptureOptions& options)
{
    FaithfulCaptureResult result;
    result.nTempo = NearestTableTempo(double{MidiMeta::kMicrosecondsPerMinute} / notes.TempoAt(options.qwFromTick));
    result.strRtttl = RtttlHeader(options.strToneName, result.nTempo);
    result.qwEndTick = options.qwFromTick;
    std::vector<VoiceNote> voice = TopVoice(notes, options);
    if (voice.empty()) {
        result.nOctets = OctetsOf(options.strToneName, result.nTempo, {}, 0);
        return result;
    }

    result.nOctaveShift = BestOctaveShift(voice);
    for (VoiceNote& n : voice) {
        int p = n.pitch + 12 * result.nOctaveShift;
        if (p < kLowestNote || p > kHighestNote) {
            ++result.nFolded;
            while (p < kLowestNote)
                p += 12;
            while (p > kHighestNote)
                p -= 12;
        }
        n.pitch = p;
    }

    // The text starts with the first note; from there every position is written
    // in whole units and the rounding error is carried to the next token, so no
    // onset drifts by more than the tolerance.
    CTokenLine line(voice.front().start);
    for (std::size_t i = 0; i < voice.size(); ++i) {
        line.RestsUntil(voice[i].start);
        const bool last = i + 1 == voice.size();
        const double at = line.At();
        const double own = voice[i].end - at;
        const double slot = last ? own : voice[i + 1].start - at;
        const double wanted = (last || EndsAtNextNote(voice, i)) ? slot : own;
        NoteStep step = PlanNote(slot, wanted, !last);
        if (step.note < 0) {
            // A slot two tokens cannot fill: the note as near its length as the slot
            // allows, and the rests before the next note make up the rest.
            step.note = LengthIndexFor(std::min(wanted, slot));
            if (step.note < 0)
                continue; // too close to the next note to be heard as one of its own
        }
        line.Add(voice[i].pitch, kLengths[static_cast<std::size_t>(step.note)]);
        if (step.after >= 0)
            line.Add(step.bAfterIsNote ? voice[i].pitch : -1, kLengths[static_cast<std::size_t>(step.after)]);
    }

    std::vector<Token>& tokens = line.Tokens();
    std::vector<RingtoneNote> records;
    records.reserve(tokens.size());
    for (const Token& token : tokens)
        records.push_back(RecordOf(token));
    if (options.bFitOneMessage) {
        const double ticksPerUnit = notes.Division() / kUnitsPerQuarter;
        const auto atBarLine = [&](double units) {
            const auto tick = options.qwFromTick + static_cast<std::uint64_t>(std::llround(units * ticksPerUnit));
            return static_cast<double>(notes.DistanceToBarLine(tick)) <= kTolerance * ticksPerUnit;
        };
        const std::size_t keep = TokensThatFit(tokens, records, options.strToneName, result.nTempo, atBarLine);
        result.bCutToFit = keep < tokens.size();
        tokens.resize(keep);
        records.resize(keep);
    }
    for (const Token& token : tokens) {
        result.strRtttl += TokenText(token);
        result.nNotes += token.IsRest() ? 0 : 1;
    }
    if (!tokens.empty())
        result.qwEndTick = options.qwFromTick + static_cast<std::uint64_t>(std::llround(
                                                    tokens.back().end * notes.Division() / kUnitsPerQuarter));
    result.nOctets = OctetsOf(options.strToneName, result.nTempo, records, records.size());
    return result;
}
