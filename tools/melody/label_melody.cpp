// Labels the tune channel of every MIDI file of public collections, from what the
// files themselves say, for tools/melody/melody-truth-collections.tsv: no one listens.
//
// usage: label_melody CORPUS_DIR SOURCE:FOLDER:RULE...
//
// For each MIDI file under CORPUS_DIR/FOLDER (sorted by path) it prints one truth row
// (file, tune channels, how, source) as tools/melody/MelodyTraining reads them; a file left
// out gets "-" and the reason. RULE says where the collection marks its tune:
//   words  the sung syllables of a karaoke file (lyric events, or the text events
//          of a .kar file): the channel whose note onsets meet them; failing that,
//          a track named as the voice (as `names`, without Lead, Tune or Theme); a
//          file that marks both and names another channel than the syllables meet
//          is left out
//   names  the one channel whose track is named Melody, Vocal, Voice, Vox, Singer,
//          Soprano (or, when none is, Lead, Tune, Theme without an instrument's
//          or a synthesizer's name); a name of backing or harmony voices, of a
//          second, third or low part, or of a synthesizer's voice ("Syn Voice",
//          "Lead 6 (voice)"), does not count; a soprano that lies below the
//          alto is a swapped name, and its file is left out
//   first  the channel of the first track that has notes: collections that write
//          the tune first and its accompaniment after it
// A tune must sound through the song (in 4 of its 16 parts at least); channels
// that play it along, note for note or in octaves, are tune channels too. A file
// found again (the same bytes) in any folder is labelled once.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "melody/SameLine.h"
#include "song/MidiChannels.h"
#include "song/MidiEvent.h"
#include "song/MidiMetaEvent.h"
#include "song/MidiSong.h"
#include "song/MidiTrack.h"
#include "song/MidiTrackList.h"
#include "song/SongFile.h"
#include "song/SongNotes.h"
#include "tools/melody/MelodyTraining.h"

namespace {

namespace fs = std::filesystem;

// Fewer syllables than this say too little of where the voice is.
constexpr std::size_t kFewestSyllables = 24;
// A syllable meets a note that starts within a thirty-second of it.
constexpr double kSyllableToleranceQuarters = 1.0 / 8;
// How well the sung channel must meet the syllables (F-measure of syllables and onsets).
constexpr double kFewestWordsF = 0.7;
// Another line that meets the syllables within this much of the best (a duet's
// second voice in thirds, struck with the sung one) leaves the syllables unsure
// which of the two is sung.
constexpr double kAlikeWordsF = 0.05;
// A track named as the tune that strikes one note alone less often than this plays chords.
constexpr double kFewestSingleShare = 0.6;
// A tune sounds through the song: a labelled channel that strikes notes in fewer
// of its sixteen parts is a track named for something else (a sampled voice, a
// short vocal break).
constexpr int kSongParts = 16;
constexpr int kFewestTuneParts = 4;
// A tune of fewer notes is no tune to find.
constexpr std::size_t kFewestTuneNotes = 16;

struct Label {
    std::vector<int> channels; // 0-15, the best first; empty when left out
    std::string how;
};

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The words of a track name, lower-cased: "Lead Vocal 1" -> lead, vocal, 1.
std::set<std::string> WordsOf(const std::string& name)
{
    std::set<std::string> words;
    std::string word;
    for (const char c : Lowered(name) + " ") {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += c;
        } else if (!word.empty()) {
            words.insert(word);
            word.clear();
        }
    }
    return words;
}

bool HasWord(const std::set<std::string>& words, std::initializer_list<const char*> wanted)
{
    return std::any_of(wanted.begin(), wanted.end(), [&](const char* w) { return words.count(w) > 0; });
}

// Names and reasons go into a tab-separated table and a terminal: printable ASCII only.
std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
}

std::string ShortName(const std::string& name)
{
    const std::string shown = Printable(name);
    return shown.size() > 40 ? shown.substr(0, 40) + "..." : shown;
}

// The ticks of the sung syllables: lyric events, or else the text events of a
// karaoke file (those starting with '@' are its header: title, language, credits).
std::vector<std::uint64_t> SyllableTicks(const CMidiSong& song)
{
    std::vector<std::uint64_t> lyrics;
    std::vector<std::uint64_t> texts;
    for (const CMidiTrack* track = song.GetTrackList().GetFirstTrack(); track; track = track->m_pNext) {
        std::uint64_t tick = 0;
        for (const CMidiEvent* e = track->GetFirstEvent(); e; e = e->GetNext()) {
            tick += e->GetDelta();
            if (e->GetStatus() != 0xFF)
                continue;
            const auto* meta = static_cast<const CMidiMetaEvent*>(e);
            const std::string text = meta->GetText();
            const bool blank = text.find_first_not_of(" \t\r\n/\\") == std::string::npos;
            if (meta->m_byMetaType == MidiMeta::kLyric && !blank)
                lyrics.push_back(tick);
            else if (meta->m_byMetaType == MidiMeta::kText && !blank && text[0] != '@')
                texts.push_back(tick);
        }
    }
    std::vector<std::uint64_t>& ticks = lyrics.size() >= kFewestSyllables ? lyrics : texts;
    std::sort(ticks.begin(), ticks.end());
    ticks.erase(std::unique(ticks.begin(), ticks.end()), ticks.end());
    return ticks;
}

std::array<std::vector<std::uint64_t>, kMidiChannels> OnsetsByChannel(const CSongNotes& notes)
{
    std::array<std::vector<std::uint64_t>, kMidiChannels> onsets;
    for (const SongNote& n : notes.Notes()) {
        std::vector<std::uint64_t>& own = onsets[n.byChannel];
        if (own.empty() || own.back() != n.qwStart)
            own.push_back(n.qwStart);
    }
    return onsets;
}

// The syllables matched one to one with the onsets, in time order, within the
// tolerance: how many meet one.
std::size_t CountMet(const std::vector<std::uint64_t>& syllables, const std::vector<std::uint64_t>& onsets,
                     std::uint64_t tolerance)
{
    std::size_t next = 0;
    std::size_t met = 0;
    for (const std::uint64_t tick : syllables) {
        while (next < onsets.size() && onsets[next] + tolerance < tick)
            ++next;
        if (next < onsets.size() && onsets[next] <= tick + tolerance) {
            ++met;
            ++next;
        }
    }
    return met;
}

// How well a channel's onsets meet the syllables.
double MeetF(const std::vector<std::uint64_t>& syllables, const std::vector<std::uint64_t>& onsets,
             std::uint64_t tolerance)
{
    const std::size_t met = CountMet(syllables, onsets, tolerance);
    if (met == 0)
        return 0;
    const double recall = static_cast<double>(met) / static_cast<double>(syllables.size());
    const double precision = static_cast<double>(met) / static_cast<double>(onsets.size());
    return 2 * recall * precision / (recall + precision);
}

Label LabelByWords(const CSongNotes& notes, const std::vector<std::uint64_t>& syllables)
{
    const auto onsets = OnsetsByChannel(notes);
    const auto tolerance = static_cast<std::uint64_t>(notes.Division() * kSyllableToleranceQuarters);
    std::array<double, kMidiChannels> f{};
    int best = -1;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (c == kPercussionChannel || onsets[c].empty())
            continue;
        f[c] = MeetF(syllables, onsets[c], tolerance);
        if (best < 0 || f[c] > f[best])
            best = c;
    }
    char how[160];
    if (best < 0 || f[best] < kFewestWordsF) {
        std::snprintf(how, sizeof how, "words: no channel meets the %zu syllables (best F %.2f)", syllables.size(),
                      best < 0 ? 0.0 : f[best]);
        return Label{{}, how};
    }
    // A channel that plays the sung line along is the same tune (AddDoublings takes it).
    const std::array<bool, kMidiChannels> along = ChannelsPlayingAlong(notes, best);
    for (int c = 0; c < kMidiChannels; ++c)
        if (c != best && !along[static_cast<std::size_t>(c)] && f[c] >= f[best] - kAlikeWordsF) {
            std::snprintf(how, sizeof how, "words: channels %d and %d meet the %zu syllables alike (F %.2f, %.2f)",
                          best + 1, c + 1, syllables.size(), f[best], f[c]);
            return Label{{}, how};
        }
    Label label{{best}, ""};
    std::snprintf(how, sizeof how, "words: %zu syllables, F %.2f", syllables.size(), f[best]);
    label.how = how;
    return label;
}

// Of each onset of the channel, whether one note alone is struck: a voice sings one at a time.
double SingleNoteShare(const CSongNotes& notes, int channel)
{
    std::size_t onsets = 0;
    std::size_t single = 0;
    const SongNote* last = nullptr;
    bool alone = false;
    for (const SongNote& n : notes.Notes()) {
        if (n.byChannel != channel)
            continue;
        if (last && last->qwStart == n.qwStart) {
            alone = false;
            continue;
        }
        single += alone ? 1 : 0;
        ++onsets;
        alone = true;
        last = &n;
    }
    single += alone ? 1 : 0;
    return onsets ? static_cast<double>(single) / static_cast<double>(onsets) : 0;
}

// A word that starts so (back, backing, backgroung...): the backing voices.
bool HasBackingWord(const std::set<std::string>& words)
{
    return std::any_of(words.begin(), words.end(), [](const std::string& w) { return w.rfind("back", 0) == 0; });
}

// A synthesizer's voice named as its program is ("Syn Voice", the General MIDI
// "Lead 6 (voice)"): a sound, not a singer.
bool IsSynthesizerVoice(const std::set<std::string>& words)
{
    if (!HasWord(words, {"voice", "vox"}))
        return false;
    return HasWord(words, {"syn", "synvox"}) || (HasWord(words, {"lead"}) && HasWord(words, {"6"}));
}

// "Lead" names a role beside other words ("Lead 1", "Square Lead"); "tune" and
// "theme" only alone or numbered: beside other words they are the piece's title
// ("Hyrule Castle Theme", "Theme of Ryu", "Town Tune"), which the first track
// often carries whatever it plays. A name that credits someone ("Theme by:",
// "my e-mail:") names no role.
bool IsWeakRoleName(const std::set<std::string>& words)
{
    if (HasWord(words, {"by", "mail", "email", "copyright", "www", "http", "com", "sequenced"}))
        return false;
    if (HasWord(words, {"lead"}))
        return true;
    const auto isNumber = [](const std::string& w) {
        return std::all_of(w.begin(), w.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    };
    const bool numbered = std::all_of(words.begin(), words.end(), [&](const std::string& w) {
        return w == "tune" || w == "theme" || isNumber(w);
    });
    return HasWord(words, {"tune", "theme"}) && numbered;
}

// An instrument beside "Lead" makes it that instrument's part ("Lead Banjo"), and
// a synthesizer's sound ("Synthesised Lead 7", General MIDI's "Lead 1 (square)"
// to "Lead 8 (bass+lead)", which sequencers often write as the track's name)
// names no role either.
bool IsInstrumentName(const std::set<std::string>& words)
{
    const bool synthesizer =
        std::any_of(words.begin(), words.end(), [](const std::string& w) { return w.rfind("synth", 0) == 0; });
    const bool generalMidiLead = HasWord(words, {"lead"}) && HasWord(words, {"1", "2", "3", "4", "5", "6", "7", "8"});
    return synthesizer || generalMidiLead ||
           HasWord(words, {"string", "gtr", "piano", "organ", "brass", "trumpet", "flute", "violin", "keys", "horn",
                           "clarinet", "oboe", "whistle", "harmonica", "accordion", "bell", "bells", "banjo",
                           "mandolin", "fiddle", "harp", "trombone", "tuba", "cello", "viola", "bassoon", "piccolo",
                           "recorder", "ocarina", "pipe", "pipes", "bagpipe", "bagpipes", "sitar", "marimba",
                           "xylophone", "vibes", "vibraphone", "glockenspiel", "harpsichord"});
}

// A plain "lead", "tune" or "theme" counts only where `weakNames` allows it (a
// sung song's lead is as often an instrument's), and never beside an instrument's name.
Label LabelByNames(const CSongNotes& notes, const std::array<bool, kMidiChannels>& sounds, bool weakNames)
{
    std::vector<int> strong;
    std::vector<int> weak;
    std::string named;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (c == kPercussionChannel || !sounds[c])
            continue;
        const std::set<std::string> words = WordsOf(notes.TrackNames(c));
        // Backing voices, other parts, the General MIDI voices of a synthesizer
        // (Voice Oohs, Space Voice), instruments named after a voice's range (a
        // soprano sax) and a lead or solo that answers the voice (a lead guitar).
        if (HasBackingWord(words) || IsSynthesizerVoice(words) ||
            HasWord(words, {"harmony", "harmonies", "har", "harm", "bg", "bgv", "bgvs", "bkg", "doo", "choir",
                            "chorus", "oohs", "aahs", "ooh", "aah", "pad", "space", "synth", "synths", "sample", "samples",
                            "sfx", "fx", "effects", "double", "doubled",
                            "2nd", "second", "2", "3", "ii", "3rd", "third", "lo", "low", "alto", "tenor", "bass",
                            "drum", "drums", "accomp", "chord", "chords", "sax", "guitar", "strings", "solo"}))
            continue;
        if (HasWord(words, {"melody", "melodie", "melodia", "vocal", "vocals", "voice", "vox", "singer", "vocalist",
                            "soprano", "lyric", "lyrics", "canto"}))
            strong.push_back(c);
        else if (weakNames && IsWeakRoleName(words) &&
                 !IsInstrumentName(words))
            weak.push_back(c);
        else
            continue;
        named += (named.empty() ? "" : ", ") + std::to_string(c + 1) + " " + ShortName(notes.TrackNames(c));
    }
    const std::vector<int>& chosen = strong.empty() ? weak : strong;
    if (chosen.empty())
        return Label{{}, "no sung syllables and no track named as the tune"};
    if (chosen.size() > 1)
        return Label{{}, "several tracks named as the tune: " + named};
    // A hymn's soprano staff may carry the alto too; any other tune is one note at a time.
    const bool soprano = HasWord(WordsOf(notes.TrackNames(chosen[0])), {"soprano"});
    if (!soprano && SingleNoteShare(notes, chosen[0]) < kFewestSingleShare)
        return Label{{}, "the track named as the tune plays chords: " + named};
    // The soprano is the highest voice: a file whose soprano lies below its alto has
    // its voices' names swapped, and says nothing sure of the tune.
    const std::array<double, CSongNotes::kChannels> mean = ChannelMeanPitches(notes);
    if (soprano)
        for (int c = 0; c < kMidiChannels; ++c) {
            const std::set<std::string> words = WordsOf(notes.TrackNames(c));
            if (c != chosen[0] && sounds[c] && HasWord(words, {"alto"}) && !HasWord(words, {"sax"}) &&
                mean[c] > mean[chosen[0]])
                return Label{{}, "the track named soprano lies below the one named alto: " + named};
        }
    return Label{chosen, "track name: " + named};
}

Label LabelFirstTrack(const CSongNotes& notes)
{
    // The track with notes of the lowest index, and the channel of its first note.
    const SongNote* first = nullptr;
    for (const SongNote& n : notes.Notes())
        if (n.byChannel != kPercussionChannel && (!first || n.wTrack < first->wTrack))
            first = &n;
    if (!first)
        return Label{{}, "no notes"};
    return Label{{first->byChannel}, "first track " + std::to_string(first->wTrack + 1)};
}

// Adds the channels that play the tune along, note for note or in octaves: any of them carries it.
void AddDoublings(const CSongNotes& notes, const std::array<bool, kMidiChannels>& sounds, Label& label)
{
    const std::array<bool, kMidiChannels> along = ChannelsPlayingAlong(notes, label.channels[0]);
    for (int c = 0; c < kMidiChannels; ++c) {
        if (c == kPercussionChannel || !sounds[c] ||
            std::find(label.channels.begin(), label.channels.end(), c) != label.channels.end())
            continue;
        if (along[static_cast<std::size_t>(c)])
            label.channels.push_back(c);
    }
}

// In how many of the song's sixteen parts (first note to last) the channel strikes a note.
int PartsPlayed(const CSongNotes& notes, int channel)
{
    std::uint64_t first = UINT64_MAX;
    std::uint64_t last = 0;
    for (const SongNote& n : notes.Notes())
        if (n.byChannel != kPercussionChannel) {
            first = std::min(first, n.qwStart);
            last = std::max(last, n.qwStart);
        }
    std::array<bool, kSongParts> played{};
    for (const SongNote& n : notes.Notes())
        if (n.byChannel == channel) {
            const double at = last > first ? static_cast<double>(n.qwStart - first) / static_cast<double>(last - first) : 0;
            played[std::min(kSongParts - 1, static_cast<int>(at * kSongParts))] = true;
        }
    return static_cast<int>(std::count(played.begin(), played.end(), true));
}

Label LabelSong(const CMidiSong& song, const std::string& rule)
{
    const CSongNotes notes(song);
    std::array<bool, kMidiChannels> sounds{};
    std::array<std::size_t, kMidiChannels> count{};
    for (const SongNote& n : notes.Notes()) {
        sounds[n.byChannel] = true;
        ++count[n.byChannel];
    }
    int pitched = 0;
    for (int c = 0; c < kMidiChannels; ++c)
        pitched += c != kPercussionChannel && sounds[c] ? 1 : 0;
    if (pitched < 2)
        return Label{{}, "one pitched channel or none: nothing to choose"};
    if (notes.Division() == 0)
        return Label{{}, "timed in SMPTE frames"};
    // The arrangements of a pop collection held back for independent checks name
    // their tracks so; whatever a folder holds, none of them is read here.
    std::set<std::string> names;
    for (int c = 0; c < kMidiChannels; ++c)
        if (sounds[c])
            names.insert(notes.TrackNames(c));
    if (names == std::set<std::string>{"MELODY", "BRIDGE", "PIANO"})
        return Label{{}, "laid out as a collection held back for independent checks"};

    Label label;
    Label named; // the words rule's track named as the voice
    if (rule == "words") {
        const std::vector<std::uint64_t> syllables = SyllableTicks(song);
        named = LabelByNames(notes, sounds, false);
        label = syllables.size() >= kFewestSyllables ? LabelByWords(notes, syllables) : named;
    } else if (rule == "names") {
        label = LabelByNames(notes, sounds, true);
    } else {
        label = LabelFirstTrack(notes);
    }
    if (label.channels.empty())
        return label;
    if (count[label.channels[0]] < kFewestTuneNotes)
        return Label{{}, "the tune has fewer than " + std::to_string(kFewestTuneNotes) + " notes"};
    if (const int parts = PartsPlayed(notes, label.channels[0]); parts < kFewestTuneParts)
        return Label{{}, "the tune plays in " + std::to_string(parts) + " of " + std::to_string(kSongParts) +
                             " parts of the song: " + label.how};
    AddDoublings(notes, sounds, label);
    // Where the file marks the voice twice, both marks must agree (a named track
    // that plays the sung line along agrees).
    if (!named.channels.empty() &&
        std::find(label.channels.begin(), label.channels.end(), named.channels[0]) == label.channels.end())
        return Label{{}, "the syllables meet channel " + std::to_string(label.channels[0] + 1) +
                             ", the track named as the tune is channel " + std::to_string(named.channels[0] + 1)};
    return label;
}

bool IsMidiName(const fs::path& path)
{
    const std::string ext = Lowered(path.extension().string());
    return ext == ".mid" || ext == ".midi" || ext == ".kar";
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}


} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: label_melody CORPUS_DIR SOURCE:FOLDER:RULE...\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    std::unordered_map<std::string, std::string> seen; // bytes -> first path
    int labelled = 0;
    int left = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::size_t a = arg.find(':');
        const std::size_t b = arg.rfind(':');
        const std::string rule = b == std::string::npos ? "" : arg.substr(b + 1);
        if (a == b || (rule != "words" && rule != "names" && rule != "first")) {
            std::fprintf(stderr, "label_melody: expected SOURCE:FOLDER:RULE (words, names or first): %s\n",
                         arg.c_str());
            return 2;
        }
        const std::string source = arg.substr(0, a);
        const std::string folder = arg.substr(a + 1, b - a - 1);
        std::vector<fs::path> files;
        std::error_code walkError;
        for (fs::recursive_directory_iterator it(corpus / folder, walkError), end; !walkError && it != end;
             it.increment(walkError))
            if (it->is_regular_file() && IsMidiName(it->path()))
                files.push_back(it->path());
        if (walkError) {
            std::fprintf(stderr, "label_melody: %s: %s\n", (corpus / folder).c_str(), walkError.message().c_str());
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const std::string relative = fs::relative(file, corpus).generic_string();
            if (relative.find('\t') != std::string::npos || relative.find('\n') != std::string::npos)
                continue; // no row can name it
            Label label;
            std::error_code sizeError;
            const bool readable = fs::file_size(file, sizeError) <= kMaxSongFileBytes && !sizeError;
            const std::string bytes = readable ? ReadAll(file) : std::string();
            if (!readable) {
                label.how = "cannot be read whole within the song size limit";
            } else if (const auto [first, fresh] = seen.emplace(bytes, relative); !fresh) {
                label.how = "the same file as " + first->second;
            } else {
                CMidiSong song;
                SongFileError error;
                const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
                if (!LoadSongBytes({data, bytes.size()}, relative, song, error))
                    label.how = "does not load: " + error.strMessage;
                else
                    label = LabelSong(song, rule);
            }
            const bool kept = !label.channels.empty();
            (kept ? labelled : left) += 1;
            std::printf("%s\t%s\t%s\t%s\n", relative.c_str(), kept ? TruthChannelList(label.channels).c_str() : "-",
                        Printable(label.how).c_str(), source.c_str());
        }
    }
    std::fprintf(stderr, "label_melody: %d songs labelled, %d left out\n", labelled, left);
    return 0;
}
