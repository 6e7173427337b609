#include "engine/FaithfulCapture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "ringtone/RtttlNote.h"
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
    int dots;
};

// Every sayable length, shortest first. A dot adds half of the length so far.
constexpr std::array<Length, 18> kLengths = {{
    {4, 32, 0},   {6, 32, 1},   {8, 16, 0},   {9, 32, 2},   {12, 16, 1},  {16, 8, 0},
    {18, 16, 2},  {24, 8, 1},   {32, 4, 0},   {36, 8, 2},   {48, 4, 1},   {64, 2, 0},
    {72, 4, 2},   {96, 2, 1},   {128, 1, 0},  {144, 2, 2},  {192, 1, 1},  {288, 1, 2},
}};


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

class CRtttlWriter {
public:
    explicit CRtttlWriter(std::string& text) : m_text(text) {}

    // The sayable length nearest to `target` (the plainer of two as near) that ends
    // no more than the tolerance past it; -1 when even a thirty-second would end
    // later than that.
    [[nodiscard]] static int LengthIndexFor(double target)
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

    void Note(int pitch, const Length& length)
    {
        m_text += std::to_string(length.rtttl);
        m_text += kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)];
        m_text.append(static_cast<std::size_t>(length.dots), '.');
        m_text += std::to_string(pitch / 12);
        m_text += ',';
    }
    void Rest(const Length& length)
    {
        m_text += std::to_string(length.rtttl);
        m_text += 'p';
        m_text.append(static_cast<std::size_t>(length.dots), '.');
        m_text += ',';
    }
    // Rests from `written` up to `target`, as few tokens as the lengths allow.
    // A silence shortened to the longest moves `origin`, and so every later note,
    // by what it lost.
    void RestsUntil(double target, long& written, double& origin)
    {
        if (const double excess = target - static_cast<double>(written) - kLongestSilence; excess > 0) {
            origin += excess;
            target -= excess;
        }
        while (target - static_cast<double>(written) >= kTolerance) {
            const int i = LengthIndexFor(target - static_cast<double>(written));
            const Length& length = kLengths[static_cast<std::size_t>(std::max(i, 0))];
            Rest(length);
            written += length.units;
        }
    }

private:
    std::string& m_text;
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
    int note = -1; // index into kLengths, -1 for none
    int rest = -1; // a rest after the note, -1 for none
};

// The note's length, and at most one rest after it, that together fill `slot`
// within the tolerance, the note as near `wanted` as may be: a token saved counts
// as much as an eighth of length (a ringtone holds some 70 tokens, and a short
// note written at the length of its place loses little), a dot as little.
// note -1 when no pair fills it.
NoteStep PlanNote(double slot, double wanted, bool restAllowed)
{
    NoteStep best;
    double bestCost = 0;
    const auto consider = [&](int note, int rest) {
        const Length& n = kLengths[static_cast<std::size_t>(note)];
        const int restUnits = rest < 0 ? 0 : kLengths[static_cast<std::size_t>(rest)].units;
        const int restDots = rest < 0 ? 0 : kLengths[static_cast<std::size_t>(rest)].dots;
        // A note may grow into a silence, but shrinks by a quarter of its length at most.
        if (std::abs(n.units + restUnits - slot) >= kTolerance || n.units < 0.75 * wanted - kTolerance)
            return;
        const double cost = (rest < 0 ? 1 : 2) * kTokenCost + std::abs(n.units - wanted) + 0.5 * (n.dots + restDots);
        if (best.note < 0 || cost < bestCost) {
            best = {note, rest};
            bestCost = cost;
        }
    };
    const int count = static_cast<int>(kLengths.size());
    for (int note = 0; note < count; ++note) {
        consider(note, -1);
        for (int rest = 0; restAllowed && rest < count; ++rest)
            consider(note, rest);
    }
    return best;
}

} // namespace

FaithfulCaptureResult CaptureFaithful(const CSongNotes& notes, const FaithfulCaptureOptions& options)
{
    FaithfulCaptureResult result;
    const std::uint32_t tempo = notes.TempoAt(options.qwFromTick);
    result.strRtttl = options.strToneName + ":d=4,o=5,b=" + std::to_string(60000000u / tempo) + ":";
    std::vector<VoiceNote> voice = TopVoice(notes, options);
    if (voice.empty())
        return result;

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
    CRtttlWriter writer(result.strRtttl);
    double origin = voice.front().start;
    long written = 0;
    for (std::size_t i = 0; i < voice.size(); ++i) {
        writer.RestsUntil(voice[i].start - origin, written, origin);
        const bool last = i + 1 == voice.size();
        const double at = origin + static_cast<double>(written);
        const double own = voice[i].end - at;
        const double slot = last ? own : voice[i + 1].start - at;
        const double wanted = (last || EndsAtNextNote(voice, i)) ? slot : own;
        NoteStep step = PlanNote(slot, wanted, !last);
        if (step.note < 0) {
            // A slot two tokens cannot fill: the note as near its length as the slot
            // allows, and the rests before the next note make up the rest.
            step.note = CRtttlWriter::LengthIndexFor(std::min(wanted, slot));
            if (step.note < 0)
                continue; // too close to the next note to be heard as one of its own
        }
        const Length& length = kLengths[static_cast<std::size_t>(step.note)];
        writer.Note(voice[i].pitch, length);
        written += length.units;
        ++result.nNotes;
        if (step.rest >= 0) {
            writer.Rest(kLengths[static_cast<std::size_t>(step.rest)]);
            written += kLengths[static_cast<std::size_t>(step.rest)].units;
        }
    }
    return result;
}
