#pragma once
// What the melody finder knows of each channel of a song: a fixed list of numbers
// measured from the notes and the loudness and the pan the mix gives them (never
// from track names or programs, which a song's author may set to anything), some of
// them as they stand and some relative to the song's other channels, so that a
// channel is judged against its neighbours rather than against one composer's
// habits. The finder's model (melody/MelodyModel.inc) weighs them;
// tools/melody/train_melody learns the weights from labelled songs.

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

class CSongNotes;

enum class MelodyDescriptor : std::size_t {
    SingleShare,       // onsets where one note alone is struck
    OverlapShare,      // top-line notes still sounding when the next starts
    MeanPitch,         // of the top line, in octaves from middle C
    PitchOutside,      // octaves the mean pitch lies outside e4..c6
    PitchRange,        // top line, in octaves (at most 4)
    PitchSpread,       // standard deviation of the top line, in octaves
    DistinctPitches,   // in dozens (at most 4)
    StepShare,         // top-line moves of 1 or 2 semitones
    LeapShare,         // moves of more than 7 semitones
    RepeatShare,       // the same pitch again
    MeanMove,          // mean top-line move, in octaves (at most 1)
    Density,           // log2 of onsets per second (from 1/8)
    DensityOutside,    // how far onsets per second lie outside 1..7, in halves of 2
    RhythmVariety,     // entropy of the gaps between onsets, in bits (at most 3)
    MeanLength,        // log2 of the top line's mean sounding length in quarters, -3..3
    Coverage,          // share of the song's span in which the channel sounds
    OnsetShare,        // onsets against those of the busiest channel
    FewOnsets,         // how far the onset share falls below a quarter
    TopShare,          // onsets at which no other channel sounds higher
    Chords,            // mean notes struck together, less one (at most 3)
    Loudness,          // mean velocity times the channel's volume (as loud as the mix sets it), 0..1
    OffCentre,         // how far the mix pans its notes from the middle, where the voice sits, 0..1
    // What tells a sung line from an instrument's second melody: a voice sings
    // phrases of several notes between breaths, never very fast, within a singer's
    // range, through verse and chorus; a second melody plays short fills and runs,
    // opens the song and answers where the voice rests.
    PartShare,         // of 48 equal parts of the song, those in which the channel strikes a note
    LateStart,         // where its first note lies in the song, 0..1
    PhraseNotes,       // log2 of the mean notes of a phrase (phrases end at a breath), 0..6
    PhraseSeconds,     // log2 of a phrase's mean length in seconds, -3..4
    HeldEnds,          // phrases of three notes or more whose last note is held (twice their mean step)
    OffBeatShare,      // onsets off the eighth-note grid: a singer's syncopation
    FastShare,         // top-line notes following the last within 0.11 s
    VoiceRange,        // top-line notes within d3..a5, a singer's range
    AnswerShare,       // onsets at which no other melodic line (mostly single notes, above the bass) sounds
    // A riff or an arpeggio repeats a short figure bar after bar; a tune repeats
    // at the scale of verse and chorus.
    Ostinato,          // top-line onsets struck at the same pitch a half bar or a bar (2 or 4 quarters) before
    FigureVariety,     // distinct runs of four moves among the top line's runs of four
    // The same measures relative to the song: 0 for the lowest channel, 1 for the
    // highest, 0.5 when all channels are alike.
    RelMeanPitch,
    RelSingleShare,
    RelStepShare,
    RelDensity,
    RelRhythmVariety,
    RelMeanLength,
    RelCoverage,
    RelTopShare,
    RelLoudness,
    RelDistinctPitches,
    RelPartShare,
    RelPhraseNotes,
    RelLeapShare,
    RelFastShare,
    RelAnswerShare,
    RelVoiceRange,
    RelHeldEnds,
    RelOffBeatShare,
    RelOstinato,
    HighestLine,       // 1 for the channel with the highest mean pitch
    // Beside its rival: the other channel that the model's first, linear look
    // (MelodyWeights::firstLook) ranks highest. A second melody answers where the
    // voice rests, opens the song and leaps; the voice lasts through more of it and
    // moves by steps. The Vs measures are this channel's less the rival's. All 0
    // for a channel alone.
    RivalLead,         // the first look's strength less the rival's, -8..8
    RivalInRests,      // the rival's onsets struck while this channel rests between phrases
    InRivalRests,      // this channel's onsets struck while the rival rests
    SameOnsets,        // this channel's onsets struck with one of the rival's
    OwnParts,          // of the 48 parts, those where this channel plays and the rival does not
    RivalOwnParts,     // those where the rival plays and this channel does not
    VsStepShare,       // steps and repeated notes
    VsLeapShare,
    VsVoiceRange,
    VsFastShare,
    VsPhraseNotes,
    VsMeanPitch,
    VsDensity,
    VsLateStart,
    VsHeldEnds,
    VsOffBeatShare,
    VsSingleShare,
    VsMeanLength,
    VsRhythmVariety,
    VsOstinato,
    VsFigureVariety,
    Count
};

constexpr std::size_t kMelodyDescriptorCount = static_cast<std::size_t>(MelodyDescriptor::Count);

// The descriptor names as the model table and the trainer write them, in order.
[[nodiscard]] std::string_view MelodyDescriptorName(MelodyDescriptor descriptor);

struct MelodyChannelDescriptors {
    int nChannel = 0; // 0-15, never 9 (percussion)
    std::array<double, kMelodyDescriptorCount> dValues{};

    [[nodiscard]] double operator[](MelodyDescriptor d) const { return dValues[static_cast<std::size_t>(d)]; }
    double& operator[](MelodyDescriptor d) { return dValues[static_cast<std::size_t>(d)]; }
};

// How one channel's line sits beside another's, for the rival descriptors.
struct MelodyPairMeasures {
    double dInOtherRests = 0; // share of this channel's onsets struck while the other rests between phrases
    double dSameOnsets = 0;   // share of this channel's onsets struck with one of the other's
    double dOwnParts = 0;     // share of the 48 parts where this channel plays and the other does not
};

struct MelodySongDescriptors {
    std::vector<MelodyChannelDescriptors> channels;
    std::vector<MelodyPairMeasures> pairs; // channel i beside channel j at i * channels.size() + j
};

// One entry per channel that has notes, channel 10 left out, in channel order;
// the rival descriptors are 0 until AddRivalDescriptors fills them.
[[nodiscard]] MelodySongDescriptors DescribeMelodySong(const CSongNotes& notes);
[[nodiscard]] std::vector<MelodyChannelDescriptors> DescribeMelodyChannels(const CSongNotes& notes);

// Fills the rival descriptors: each channel's rival is the other channel with the
// highest sum of firstLook weights times descriptors. `pairs` may be empty (then
// only the Vs measures and RivalLead are filled).
void AddRivalDescriptors(std::vector<MelodyChannelDescriptors>& channels, const std::vector<MelodyPairMeasures>& pairs,
                         const std::array<double, kMelodyDescriptorCount>& firstLook);
