// Measures the melody finder and the faithful capture on real songs: the corpus
// that scripts/melody-corpus gathers, with the tune channels of
// tools/melody/melody-truth.tsv.
//
// usage: eval_melody CORPUS_DIR TRUTH_TSV... [--source SOURCE] [--training-share F] [--finder] [--verbose]
//
// The finder, leave one source out: for each source (the Debian package or the
// collection a song comes from) in turn, the weights are trained on the songs of
// all the other sources and the songs of that one are ranked with them, without
// track names. A hit when the best channel is a tune channel of the song; top 2
// when one of the first two is. The same figures on the songs with a second
// melody: another channel that is a line of its own (one note at a time, above the
// bass, at least a quarter as many notes as the tune). On those songs also as
// three lines (ThreeLineArrangement: the tune, the second melody and the rest as one
// accompaniment, programs forgotten, channels shuffled), the texture of a pop song
// arranged for one piano; "answering": the same with the line that plays most in
// the tune's rests as the second melody (AnsweringMelodyChannel); "played": the
// three lines as a musician plays them in (AsPlayed), off the grid. With --source
// only that source is trained and scored. With --training-share F each source's
// weights are trained on a share F (0..1) of the other sources' songs, the same
// songs on every run (by a hash of their paths): how the figures grow with the
// songs the model learns from.
// Beside it the shipped weights (trained on every source, so not a fair figure)
// and two baselines that know nothing of tunes: the channel with the most notes
// and the channel with the highest mean pitch (channel 10 left out of both).
//
// The capture: 20 seconds of the tune channel from its first note, as the
// faithful capture writes them (A) and as a recording from the position slider
// writes them (B), each read back as the converter reads RTTTL. Both are compared
// with the top voice of the channel's notes: onsets in quarter notes, matched
// within a sixteenth, scored by F-measure; of the matched notes, the share with
// the right pitch class. B's text has no fixed start, so it is also scored at the
// start shift that suits it best.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/OfflineRecorder.h"
#include "melody/MelodyFinder.h"
#include "ringtone/RtttlReader.h"
#include "ringtone/SmartMessaging.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "song/SongNotes.h"
#include "tools/melody/MelodyTraining.h"

namespace {

constexpr int kPercussion = 9;            // channel 10
constexpr double kCaptureSeconds = 20;
constexpr double kFitSeconds = 40;
// A ringtone that fits one message should still say something of the tune.
constexpr int kFewestFitNotes = 12;
constexpr double kOnsetTolerance = 0.25;  // quarters: a sixteenth note
// The ringtone is read with this many ticks per quarter: every RTTTL length with
// up to five dots is a whole number of them.
constexpr std::uint16_t kReadTicksPerQuarter = 384;

struct Onset {
    double quarters = 0; // from the start of the compared range
    int pitchClass = 0;  // 0 = c .. 11 = b
};

struct Score {
    double f = 0;
    double pitchShare = 0; // of the matched onsets; meaningless when matched == 0
    int matched = 0;
    int reference = 0;
    int ringtone = 0;
};

// The channel with the most notes, or with the highest mean pitch; -1 without notes.
int BusiestChannel(const CSongNotes& notes)
{
    std::array<int, 16> count{};
    for (const SongNote& n : notes.Notes())
        ++count[n.byChannel];
    count[kPercussion] = 0;
    const auto best = std::max_element(count.begin(), count.end());
    return *best == 0 ? -1 : static_cast<int>(best - count.begin());
}

int HighestChannel(const CSongNotes& notes)
{
    const std::array<double, CSongNotes::kChannels> mean = ChannelMeanPitches(notes);
    int best = -1;
    for (int c = 0; c < CSongNotes::kChannels; ++c) {
        if (c == kPercussion || mean[c] == 0)
            continue;
        if (best < 0 || mean[c] > mean[best])
            best = c;
    }
    return best;
}

// The top voice of one channel's notes starting in [fromTick, toTick): at each
// onset the highest note; a note that starts while a higher one sounds over more
// than half of it is not heard as part of the line.
std::vector<Onset> Skyline(const CSongNotes& notes, int channel, std::uint64_t fromTick, std::uint64_t toTick)
{
    std::vector<const SongNote*> own;
    for (const SongNote& n : notes.Notes())
        if (n.byChannel == channel)
            own.push_back(&n);
    std::vector<Onset> line;
    std::uint64_t lastStart = UINT64_MAX;
    for (const SongNote* n : own) {
        if (n->qwStart < fromTick || n->qwStart >= toTick || n->qwStart == lastStart)
            continue; // Notes() lists the highest of a chord first.
        lastStart = n->qwStart;
        const std::uint64_t length = n->qwEnd - n->qwStart;
        bool hidden = false;
        for (const SongNote* m : own) {
            if (m->qwStart >= n->qwStart)
                break;
            if (m->byPitch > n->byPitch && m->qwEnd > n->qwStart &&
                2 * (std::min(m->qwEnd, n->qwEnd) - n->qwStart) > length) {
                hidden = true;
                break;
            }
        }
        if (!hidden)
            line.push_back({static_cast<double>(n->qwStart - fromTick) / notes.Division(), n->byPitch % 12});
    }
    return line;
}

// Who plays the text: the preview reads each dot as half of the length so far
// (a double dot 2.25 times the plain length); a phone plays the Smart Messaging
// specifier (dotted 1.5, double dotted 1.75, three dots 2/3).
enum class Reading { kPreview, kPhone };

double PhoneLength(const RtttlNote& note)
{
    const double plain = 4.0 * kReadTicksPerQuarter / (32 >> note.wDuration);
    switch (note.dwDots) {
    case 1: return plain * 1.5;
    case 2: return plain * 1.75;
    case 3: return plain * 2 / 3;
    default: return plain;
    }
}

// The note onsets of an RTTTL text, read token by token with the conversion's
// grammar; pauses advance the time. `tokens` counts notes and pauses read. False
// when the header cannot be read.
bool ReadRingtone(const std::string& text, Reading reading, std::vector<Onset>& onsets, int& tokens,
                  int& unreadable)
{
    CRtttlReader reader(text, kReadTicksPerQuarter);
    std::string section;
    for (int i = 0; i < 4; ++i)
        if (!reader.NextSection(section))
            return false;
    double now = 0;
    while (reader.NextSection(section)) {
        RtttlNote note;
        if (!reader.ParseNote(section, note)) {
            ++unreadable;
            continue;
        }
        ++tokens;
        if (!note.IsPause())
            onsets.push_back({now, note.wNote % 12});
        const double ticks = reading == Reading::kPhone ? PhoneLength(note) : static_cast<double>(note.dwTicks);
        now += ticks / kReadTicksPerQuarter;
    }
    return true;
}

// Onsets matched one to one, greedily in time order, within the tolerance.
Score Compare(const std::vector<Onset>& reference, const std::vector<Onset>& ringtone)
{
    Score s;
    s.reference = static_cast<int>(reference.size());
    s.ringtone = static_cast<int>(ringtone.size());
    int samePitch = 0;
    std::size_t next = 0;
    for (const Onset& r : reference) {
        while (next < ringtone.size() && ringtone[next].quarters < r.quarters - kOnsetTolerance)
            ++next;
        if (next < ringtone.size() && ringtone[next].quarters <= r.quarters + kOnsetTolerance) {
            ++s.matched;
            if (ringtone[next].pitchClass == r.pitchClass)
                ++samePitch;
            ++next;
        }
    }
    const double precision = s.ringtone ? static_cast<double>(s.matched) / s.ringtone : 0;
    const double recall = s.reference ? static_cast<double>(s.matched) / s.reference : 0;
    s.f = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
    s.pitchShare = s.matched ? static_cast<double>(samePitch) / s.matched : 0;
    return s;
}

// Keeps the onsets in [from, from + length), moved to count from `from`. A
// thirty-second of slack at the end: the faithful capture may place a note that
// late.
std::vector<Onset> Window(const std::vector<Onset>& onsets, double from, double length)
{
    std::vector<Onset> kept;
    for (const Onset& o : onsets)
        if (o.quarters >= from - 1e-9 && o.quarters < from + length + 0.125)
            kept.push_back({o.quarters - from, o.pitchClass});
    return kept;
}

// The best score over start shifts of up to two bars either way, in
// thirty-seconds: how close the ringtone comes if its wrong start is forgiven.
Score CompareBestShift(const std::vector<Onset>& reference, const std::vector<Onset>& ringtone, double anchor,
                       double length, double& shift)
{
    Score best = Compare(reference, Window(ringtone, anchor, length));
    shift = 0;
    for (int step = 1; step <= 8 * 8; ++step) {
        for (const double s : {step / 8.0, -step / 8.0}) {
            const Score score = Compare(reference, Window(ringtone, anchor + s, length));
            if (score.f > best.f) {
                best = score;
                shift = s;
            }
        }
    }
    return best;
}

struct CaptureResult {
    Score a, b;
    Score aPhone;        // a as a phone plays it
    int doubleDotsA = 0; // tokens of A with two dots or more
    Score bShifted;      // b at its best start shift
    double shiftB = 0;   // quarters
    int tokensA = 0, tokensB = 0; // notes and pauses in the whole text
    std::string textA, textB;
    int unreadable = 0;
    bool ok = false;
    std::string error;
};

// A and B of one channel, 20 seconds from its first note.
CaptureResult MeasureCapture(const CMidiSong& song, const CSongNotes& notes, int channel)
{
    CaptureResult result;
    std::uint64_t start = UINT64_MAX;
    for (const SongNote& n : notes.Notes())
        if (n.byChannel == channel) {
            start = n.qwStart;
            break;
        }
    if (start == UINT64_MAX || notes.Division() == 0) {
        result.error = "the channel has no notes";
        return result;
    }
    const std::uint64_t end = notes.TickAfterSeconds(start, kCaptureSeconds);
    const double rangeQuarters = static_cast<double>(end - start) / notes.Division();
    const std::vector<Onset> reference = Skyline(notes, channel, start, end);

    FaithfulCaptureOptions faithful;
    faithful.bChannelOn.fill(false);
    faithful.bChannelOn[channel] = true;
    faithful.qwFromTick = start;
    faithful.qwToTick = end;
    result.textA = CaptureFaithful(notes, faithful).strRtttl;

    OfflineRecordOptions live;
    live.bChannelOn.fill(false);
    live.bChannelOn[channel] = true;
    live.uFromSecond = static_cast<std::uint32_t>(
        std::floor(static_cast<double>(start) * notes.LastTempo() / notes.Division() / 1e6));
    live.nSeconds = static_cast<std::int64_t>(kCaptureSeconds) + 1;
    COfflineRecorder recorder;
    OfflineRecording recording;
    if (!recorder.Record(song, live, recording)) {
        result.error = "the recording failed: " + recorder.LastError();
        return result;
    }
    result.textB = recording.strRtttl;

    std::vector<Onset> a, b, aPhone;
    int tokensPhone = 0;
    if (!ReadRingtone(result.textA, Reading::kPreview, a, result.tokensA, result.unreadable) ||
        !ReadRingtone(result.textA, Reading::kPhone, aPhone, tokensPhone, result.unreadable) ||
        !ReadRingtone(result.textB, Reading::kPreview, b, result.tokensB, result.unreadable)) {
        result.error = "a ringtone header does not read";
        return result;
    }
    // The faithful text starts at the range start. The recording's does not start
    // at the slider second: it writes nothing for the silence before the first
    // note it hears, or a pause as long as that note's own delta, and a tempo
    // change restarts it. Its first note stands for the tune's first note, and
    // since that can be wrong, B is also scored at its best start shift.
    result.a = Compare(reference, Window(a, 0, rangeQuarters));
    result.aPhone = Compare(reference, Window(aPhone, 0, rangeQuarters));
    for (std::size_t at = result.textA.find(".."); at != std::string::npos; at = result.textA.find("..", at + 2))
        ++result.doubleDotsA;
    const double firstB = b.empty() ? 0 : b.front().quarters;
    result.b = Compare(reference, Window(b, firstB, rangeQuarters));
    result.bShifted = CompareBestShift(reference, b, firstB, rangeQuarters, result.shiftB);
    result.ok = true;
    return result;
}

struct FitResult {
    bool fits = false;
    int notes = 0;
    bool cut = false; // ended before the 40 s did
};

// A capture of at most 40 seconds from the bar where the tune starts, ended on a
// phrase to fit one message, as `record --faithful --fit --from auto` makes it.
FitResult MeasureFit(const CSongNotes& notes, int channel)
{
    FaithfulCaptureOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[static_cast<std::size_t>(channel)] = true;
    options.qwFromTick = TuneStartTick(notes, options.bChannelOn);
    options.qwToTick = notes.TickAfterSeconds(options.qwFromTick, kFitSeconds);
    options.bFitOneMessage = true;
    const FaithfulCaptureResult capture = CaptureFaithful(notes, options);
    return FitResult{capture.nOctets <= kMaxRingtoneOctets, capture.nNotes, capture.bCutToFit};
}

struct Tally {
    int songs = 0;
    int finderHits = 0;
    int top2Hits = 0;
    int second = 0;       // songs with a second melody
    int secondHits = 0;
    int secondTop2 = 0;
    int runnerUpTop2 = 0; // the first or the runner-up (never a doubling of the first) is a tune channel
    int secondRunnerUpTop2 = 0;
    int threeLineHits = 0; // of the songs with a second melody, as three lines
    int threeLineAccompaniment = 0; // of their misses, those that took the accompaniment
    int answeringHits = 0; // as three lines with the answering line as the second melody
    int playedHits = 0;    // the three lines as played in
    int shippedHits = 0;
    int close = 0;          // the runner-up is close
    int runnerUpHits = 0;   // misses where the close runner-up is the tune
    int busiestHits = 0;
    int highestHits = 0;
    int captured = 0;
    int tokensA = 0, tokensB = 0;
    double fA = 0, fB = 0, fShifted = 0;
    double pitchA = 0, pitchB = 0, pitchShifted = 0;
    int pitchCountA = 0, pitchCountB = 0, pitchCountShifted = 0;
    double fPhone = 0, pitchPhone = 0;
    int pitchCountPhone = 0;
    int doubleDots = 0;
    int fitFits = 0, fitKeeps = 0, fitNotes = 0;
    int fitShort = 0; // fewer notes, all that the 40 s held
};

double Share(int hits, int of)
{
    return of ? 100.0 * hits / of : 0;
}

struct ThreeLineHits {
    bool threeLines = false;      // the tune first as three lines
    bool toAccompaniment = false; // a miss that took the accompaniment
    bool answering = false;       // the tune first with the answering line as the second melody
    bool played = false;          // the tune first in the three lines played in
};

// A song with a second melody ranked as three lines, in the three ways.
ThreeLineHits RankThreeLines(const CSongNotes& notes, const LoadedSong& song, const MelodyWeights& weights)
{
    MelodyFinderOptions options;
    options.bUseTrackNames = false;
    const std::vector<int>& tune = song.label.tuneChannels;
    const std::uint32_t seed = SeedOf(song.label.strPath);
    const auto first = [&](const CSongNotes& arranged) {
        const std::vector<MelodyCandidate> ranking = RankMelodyChannels(arranged, options, weights);
        return ranking.empty() ? -1 : ranking[0].nChannel;
    };
    const ThreeLines three = ThreeLineArrangement(notes, tune, song.nSecondMelody, seed);
    const ThreeLines answering =
        ThreeLineArrangement(notes, tune, AnsweringMelodyChannel(song.channels, song.pairs, tune), seed);
    const int took = first(three.notes);
    return ThreeLineHits{took == three.nTune, took == three.nAccompaniment, first(answering.notes) == answering.nTune,
                         first(AsPlayed(three.notes, PlayedSeedOf(song.label.strPath))) == three.nTune};
}

void PrintTally(const char* name, const Tally& t)
{
    std::printf("%-24s %5d %5d %6.1f%% %6.1f%% %6.1f%% %6.1f%% %6.1f%% %5d %5d   %5d %6.1f%% %6.1f%% %7.1f%% %8.1f%% "
                "%6.1f%%\n",
                name, t.songs, t.finderHits, Share(t.finderHits, t.songs), Share(t.top2Hits, t.songs),
                Share(t.shippedHits, t.songs), Share(t.busiestHits, t.songs), Share(t.highestHits, t.songs), t.close,
                t.runnerUpHits, t.second, Share(t.secondHits, t.second), Share(t.secondTop2, t.second),
                Share(t.threeLineHits, t.second), Share(t.answeringHits, t.second), Share(t.playedHits, t.second));
}

void PrintCaptureTally(const char* name, const Tally& t)
{
    const auto mean = [](double sum, int n) { return n ? sum / n : 0.0; };
    std::printf("%-9s songs %2d  A faithful: F %.3f pitch %.3f tokens %5.1f, as a phone plays it: F %.3f pitch "
                "%.3f, double dots %d   B recording: F %.3f pitch %.3f tokens %5.1f   B shifted: F %.3f pitch %.3f\n",
                name, t.captured, mean(t.fA, t.captured), mean(t.pitchA, t.pitchCountA), mean(t.tokensA, t.captured),
                mean(t.fPhone, t.captured), mean(t.pitchPhone, t.pitchCountPhone), t.doubleDots,
                mean(t.fB, t.captured), mean(t.pitchB, t.pitchCountB), mean(t.tokensB, t.captured),
                mean(t.fShifted, t.captured), mean(t.pitchShifted, t.pitchCountShifted));
    std::printf("%-9s 40 s --fit from the tune's bar: fits one message %d of %d, keeps %d notes or more %d of %d "
                "(%d hold fewer in all 40 s), notes %.1f on average\n",
                name, t.fitFits, t.captured, kFewestFitNotes, t.fitKeeps, t.captured, t.fitShort,
                mean(t.fitNotes, t.captured));
}

void PrintDemo()
{
    const std::string path = std::string(ZT_SOURCE_DIR) + "/data/demo.mid";
    CMidiSong song;
    SongFileError error;
    if (!LoadSongFile(path, song, error)) {
        std::printf("demo: %s\n", error.strMessage.c_str());
        return;
    }
    const CSongNotes notes(song);
    FaithfulCaptureOptions faithful;
    faithful.bChannelOn.fill(false);
    faithful.bChannelOn[0] = true;
    faithful.qwToTick = notes.TickAfterSeconds(0, kCaptureSeconds);
    OfflineRecordOptions live;
    live.bChannelOn.fill(false);
    live.bChannelOn[0] = true;
    live.nSeconds = static_cast<std::int64_t>(kCaptureSeconds);
    COfflineRecorder recorder;
    OfflineRecording recording;
    const bool recorded = recorder.Record(song, live, recording);
    std::printf("\ndemo song data/demo.mid, channel 1, 0-20 s\n");
    std::printf("A faithful:  %s\n", CaptureFaithful(notes, faithful).strRtttl.c_str());
    faithful.qwToTick = UINT64_MAX;
    faithful.bFitOneMessage = true;
    const FaithfulCaptureResult fit = CaptureFaithful(notes, faithful);
    std::printf("--fit:       %s (%d notes, %zu of %zu octets)\n", fit.strRtttl.c_str(), fit.nNotes, fit.nOctets,
                kMaxRingtoneOctets);
    std::printf("B recording: %s\n", recorded ? recording.strRtttl.c_str() : recorder.LastError().c_str());
}

// "0.5" as 0.5; anything that is not a number as NaN, which the usage check refuses.
double ParseShare(const char* text)
{
    char* end = nullptr;
    const double share = std::strtod(text, &end);
    return end != text && *end == '\0' ? share : std::nan("");
}

// Whether a song is among the share F of songs that --training-share keeps: the
// same songs on every run, and a larger share keeps every song a smaller one does.
bool InTrainingShare(const std::string& path, double share)
{
    return share >= 1 || static_cast<double>(SeedOf(path)) < share * 4294967296.0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string corpus, wanted;
    bool verbose = false;
    bool finderOnly = false;
    double trainingShare = 1;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose")
            verbose = true;
        else if (arg == "--finder")
            finderOnly = true;
        else if (arg == "--source" && i + 1 < argc)
            wanted = argv[++i];
        else if (arg == "--training-share" && i + 1 < argc)
            trainingShare = ParseShare(argv[++i]);
        else
            positional.push_back(arg);
    }
    if (positional.size() < 2 || !(trainingShare > 0 && trainingShare <= 1)) {
        std::fprintf(stderr, "usage: eval_melody CORPUS_DIR TRUTH_TSV... [--source SOURCE] [--training-share F "
                             "(above 0, at most 1)] [--finder] [--verbose]\n");
        return 2;
    }
    corpus = positional[0];

    std::vector<LabelledSong> songs;
    std::vector<LoadedSong> loaded;
    int excluded = 0;
    std::string readError;
    bool read = true;
    for (std::size_t i = 1; i < positional.size() && read; ++i)
        read = ReadMelodyTruth(positional[i], songs, excluded, readError);
    if (!read || !LoadLabelledSongs(corpus, songs, loaded, readError)) {
        std::fprintf(stderr, "eval_melody: %s\n", readError.c_str());
        return 1;
    }
    // For each source, the weights learned without any of its songs.
    // The sources are trained on two threads, each writing only its own entries.
    std::map<std::string, MelodyWeights> heldOutWeights;
    for (const LabelledSong& s : songs)
        if (wanted.empty() || s.strSource == wanted)
            heldOutWeights[s.strSource];
    std::vector<std::pair<const std::string, MelodyWeights>*> folds;
    for (auto& fold : heldOutWeights)
        folds.push_back(&fold);
    const auto trainFolds = [&](std::size_t first) {
        for (std::size_t i = first; i < folds.size(); i += 2) {
            const std::string& source = folds[i]->first;
            folds[i]->second = TrainOn(loaded, [&](const LoadedSong& l) {
                return l.label.strSource != source && InTrainingShare(l.label.strPath, trainingShare);
            });
        }
    };
    std::thread second(trainFolds, 1);
    trainFolds(0);
    second.join();

    std::map<std::string, Tally> bySource;
    Tally all;
    std::vector<std::string> misses;
    std::vector<std::pair<double, bool>> runnerUpRatios; // the runner-up's score over the first's, and a hit
    std::vector<std::string> captureLines;
    for (std::size_t index = 0; index < songs.size(); ++index) {
        const LabelledSong& entry = songs[index];
        if (!wanted.empty() && entry.strSource != wanted)
            continue;
        CMidiSong song;
        SongFileError error;
        if (!LoadSongFile(corpus + "/" + entry.strPath, song, error)) {
            std::fprintf(stderr, "eval_melody: %s\n", error.strMessage.c_str());
            return 1;
        }
        const CSongNotes notes(song);
        MelodyFinderOptions options;
        options.bUseTrackNames = false;
        const std::vector<MelodyCandidate> ranking =
            RankMelodyChannels(notes, options, heldOutWeights[entry.strSource]);
        const bool hit = !ranking.empty() && IsTuneChannel(entry.tuneChannels, ranking[0].nChannel);
        const bool top2 = hit || (ranking.size() > 1 && IsTuneChannel(entry.tuneChannels, ranking[1].nChannel));
        const MelodyCandidate* runnerUp = MelodyRunnerUp(ranking);
        const bool runnerUpIsTune = runnerUp && IsTuneChannel(entry.tuneChannels, runnerUp->nChannel);
        const bool second = loaded[index].nSecondMelody >= 0;
        const ThreeLineHits lines =
            second ? RankThreeLines(notes, loaded[index], heldOutWeights[entry.strSource]) : ThreeLineHits{};
        if (second && !lines.threeLines && verbose)
            std::printf("3-line MISS %-45s took the %s\n", entry.strPath.c_str(),
                        lines.toAccompaniment ? "accompaniment" : "second melody");
        const std::vector<MelodyCandidate> shipped = RankMelodyChannels(notes, options);
        const bool shippedHit = !shipped.empty() && IsTuneChannel(entry.tuneChannels, shipped[0].nChannel);
        const bool close = MelodyRunnerUpIsClose(ranking);
        if (runnerUp)
            runnerUpRatios.emplace_back(runnerUp->dScore / ranking[0].dScore, hit);
        const int busiest = BusiestChannel(notes);
        const int highest = HighestChannel(notes);

        for (Tally* t : {&bySource[entry.strSource], &all}) {
            ++t->songs;
            t->finderHits += hit;
            t->top2Hits += top2;
            t->second += second;
            t->secondHits += second && hit;
            t->secondTop2 += second && top2;
            t->runnerUpTop2 += hit || runnerUpIsTune;
            t->secondRunnerUpTop2 += second && (hit || runnerUpIsTune);
            t->threeLineHits += lines.threeLines;
            t->answeringHits += lines.answering;
            t->playedHits += lines.played;
            t->threeLineAccompaniment += lines.toAccompaniment;
            t->shippedHits += shippedHit;
            t->close += close;
            t->runnerUpHits += !hit && close && runnerUpIsTune;
            t->busiestHits += IsTuneChannel(entry.tuneChannels, busiest);
            t->highestHits += IsTuneChannel(entry.tuneChannels, highest);
        }

        std::string top;
        for (std::size_t i = 0; i < ranking.size() && i < 3; ++i) {
            char item[64];
            std::snprintf(item, sizeof item, "%s%d %.2f", i ? ", " : "", ranking[i].nChannel + 1, ranking[i].dScore);
            top += item;
        }
        char line[512];
        std::snprintf(line, sizeof line, "%-4s %-5s %-6s %-45s truth %-8s top %-30s busiest %d highest %d",
                      hit ? "hit" : "MISS", close ? "close" : "", second ? "second" : "", entry.strPath.c_str(),
                      TruthChannelList(entry.tuneChannels).c_str(), top.c_str(), busiest + 1, highest + 1);
        if (verbose)
            std::printf("%s\n", line);
        if (!hit)
            misses.push_back(line);

        if (finderOnly)
            continue;
        const CaptureResult capture = MeasureCapture(song, notes, entry.tuneChannels[0]);
        if (!capture.ok) {
            captureLines.push_back(entry.strPath + ": " + capture.error);
            continue;
        }
        const FitResult fit = MeasureFit(notes, entry.tuneChannels[0]);
        for (Tally* t : {&bySource[entry.strSource], &all}) {
            ++t->captured;
            t->fPhone += capture.aPhone.f;
            if (capture.aPhone.matched) {
                t->pitchPhone += capture.aPhone.pitchShare;
                ++t->pitchCountPhone;
            }
            t->doubleDots += capture.doubleDotsA;
            t->fitFits += fit.fits;
            t->fitKeeps += fit.notes >= kFewestFitNotes;
            t->fitShort += fit.notes < kFewestFitNotes && !fit.cut;
            t->fitNotes += fit.notes;
            t->fA += capture.a.f;
            t->fB += capture.b.f;
            t->fShifted += capture.bShifted.f;
            t->tokensA += capture.tokensA;
            t->tokensB += capture.tokensB;
            if (capture.a.matched) {
                t->pitchA += capture.a.pitchShare;
                ++t->pitchCountA;
            }
            if (capture.b.matched) {
                t->pitchB += capture.b.pitchShare;
                ++t->pitchCountB;
            }
            if (capture.bShifted.matched) {
                t->pitchShifted += capture.bShifted.pitchShare;
                ++t->pitchCountShifted;
            }
        }
        char row[512];
        std::snprintf(row, sizeof row,
                      "%-45s ch %2d ref %3d  A: F %.2f pitch %.2f notes %3d tokens %3d  B: F %.2f pitch %.2f "
                      "notes %3d tokens %3d  B shifted %+5.2f: F %.2f pitch %.2f  fit: %d notes%s%s",
                      entry.strPath.c_str(), entry.tuneChannels[0] + 1, capture.a.reference, capture.a.f,
                      capture.a.pitchShare, capture.a.ringtone, capture.tokensA, capture.b.f, capture.b.pitchShare,
                      capture.b.ringtone, capture.tokensB, capture.shiftB, capture.bShifted.f,
                      capture.bShifted.pitchShare, fit.notes, fit.fits ? (fit.cut ? " cut" : "") : " (too long)",
                      capture.unreadable ? "  (unreadable tokens)" : "");
        captureLines.push_back(row);
    }

    std::printf("\nmelody finder, leave one source out (track names unused): the best channel is a tune\n"
                "channel; finder: weights trained on the other sources; top 2: one of the first two is;\n"
                "shipped: the shipped weights, trained on all; close: the runner-up is close; saved:\n"
                "misses whose close runner-up is the tune; 2nd: songs with a second melody, and the\n"
                "finder's figures on them. %d songs excluded\n",
                excluded);
    if (trainingShare < 1)
        std::printf("each source's weights trained on %.0f%% of the other sources' songs\n", 100 * trainingShare);
    std::printf("%-24s %5s %5s %7s %7s %7s %7s %7s %5s %5s   %5s %7s %7s %8s %9s %7s\n", "source", "songs", "hits",
                "finder", "top 2", "shipped", "busiest", "highest", "close", "saved", "2nd", "finder", "top 2",
                "3 lines", "answering", "played");
    for (const auto& [name, t] : bySource)
        PrintTally(name.c_str(), t);
    PrintTally("all", all);
    std::printf("3 lines: of %d misses, %d took the accompaniment, the others the second melody\n",
                all.second - all.threeLineHits, all.threeLineAccompaniment);
    std::printf("the first or the runner-up, which plays another line than the first: %.1f%%; on the songs with a "
                "second melody %.1f%%\n",
                Share(all.runnerUpTop2, all.songs), Share(all.secondRunnerUpTop2, all.second));
    double macro = 0;
    for (const auto& [name, t] : bySource)
        macro += Share(t.finderHits, t.songs);
    std::printf("mean over sources: %.1f%%\n", bySource.empty() ? 0.0 : macro / static_cast<double>(bySource.size()));
    // How the runner-up's closeness would warn at other ratios: of the songs with
    // a runner-up, how many it would mark, and how many of the misses among them.
    std::printf("runner-up at least R of the first: songs marked, misses marked (the program marks at %.2f)\n",
                kMelodyCloseRatio);
    for (const double ratio : {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}) {
        int marked = 0;
        int missesMarked = 0;
        int missCount = 0;
        for (const auto& [r, hit] : runnerUpRatios) {
            marked += r >= ratio ? 1 : 0;
            missesMarked += !hit && r >= ratio ? 1 : 0;
            missCount += hit ? 0 : 1;
        }
        std::printf("  R %.1f: %5.1f%% of %zu songs, %5.1f%% of %d misses\n", ratio,
                    Share(marked, static_cast<int>(runnerUpRatios.size())), runnerUpRatios.size(),
                    Share(missesMarked, missCount), missCount);
    }
    if (!verbose && !misses.empty()) {
        std::printf("misses:\n");
        for (const std::string& m : misses)
            std::printf("%s\n", m.c_str());
    }
    if (finderOnly)
        return 0;

    std::printf("\ncapture of 20 s of the tune channel from its first note, against its top voice\n"
                "(onset F-measure within a sixteenth; pitch: matched onsets with the right pitch class;\n"
                "B shifted: B at the start shift, up to two bars, that matches best)\n");
    if (verbose)
        for (const std::string& l : captureLines)
            std::printf("%s\n", l.c_str());
    for (const auto& [name, t] : bySource)
        PrintCaptureTally(name.c_str(), t);
    PrintCaptureTally("all", all);

    PrintDemo();
    return 0;
}
