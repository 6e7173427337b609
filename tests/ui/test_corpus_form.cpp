// The damaged files of tests/corpus opened through the form, as a user opens them:
// the form shows what could be read and plays it, or says why it cannot.

#include <malloc.h>

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "tests/support/ViewFixture.h"
#include "ui/Captions.h"

namespace {

namespace Form = ControlId::Form;

constexpr char kNoTracks[] = "The MIDI file has no tracks.";
constexpr char kBadDivision[] = "The MIDI file's timing is not supported (fewer than 8 ticks per quarter note).";
constexpr char kTooManyTracks[] = "The MIDI file has more than 256 tracks.";
constexpr char kTooLong[] = "The MIDI file plays for more than 4 hours.";
constexpr char kPiano[] = "#01 PIANO/Electric Piano 2";
constexpr char kUnknown[] = "#01 Unknown";

// What the form makes of one damaged file that begins with "MThd".
struct FormCase {
    const char* file;
    const char* refusal;  // the stop message when nothing can be played, else nullptr
    const char* tracks;   // the tracks label of a playable song
    const char* channel1; // the first channel's label
    int seconds;          // the slider's maximum
    const char* recorded; // the notes the first three seconds of playing record
};

const FormCase kCases[] = {
    {"300-tracks/300-tracks.mid", kTooManyTracks, nullptr, kUnknown, 0, nullptr},
    {"data-byte-first/no-first-status.mid", nullptr, "Tracks: 1", kUnknown, 0, ""},
    {"division-0/division-0.mid", kBadDivision, nullptr, kUnknown, 0, nullptr},
    {"division-7/division-7.mid", kBadDivision, nullptr, kUnknown, 0, nullptr},
    {"length-beyond-file/header-length.mid", kNoTracks, nullptr, kUnknown, 0, nullptr},
    {"length-beyond-file/meta-length.mid", nullptr, "Tracks: 1", kUnknown, 0, ""},
    {"length-beyond-file/sysex-length.mid", nullptr, "Tracks: 1", kUnknown, 0, ""},
    {"length-beyond-file/track-length.mid", kNoTracks, nullptr, kUnknown, 0, nullptr},
    // The second track lost its note off: the first track's two notes remain.
    {"truncated-in-body/cut-in-note.mid", nullptr, "Tracks: 2", kPiano, 1, "4c5,4d5,"},
    {"truncated-in-body/cut-in-text.mid", nullptr, "Tracks: 1", kUnknown, 0, ""},
    {"truncated-in-delta/cut-in-two-byte-delta.mid", nullptr, "Tracks: 1", kPiano, 1, "4c5,4d5,"},
    {"truncated-in-header/cut-in-header.mid", kNoTracks, nullptr, kUnknown, 0, nullptr},
    {"truncated-in-status/cut-before-status.mid", nullptr, "Tracks: 1", kPiano, 1, "4c5,4d5,"},
    {"unknown-chunk/chunk-before-tracks.mid", kNoTracks, nullptr, kUnknown, 0, nullptr},
    {"unknown-chunk/chunk-between-tracks.mid", nullptr, "Tracks: 1", kPiano, 1, "4c5,4d5,"},
    {"varlen-0FFFFFFF/five-byte-varlen.mid", nullptr, "Tracks: 1", kUnknown, 0, ""},
    // Two waits of 0x0FFFFFFF ticks: 776 hours.
    {"varlen-0FFFFFFF/huge-deltas.mid", kTooLong, nullptr, kUnknown, 0, nullptr},
};

const char* const kNotMidi[] = {"not-midi/empty.mid", "not-midi/riff.mid"};

std::filesystem::path CorpusRoot()
{
    return std::filesystem::path(ZT_SOURCE_DIR) / "tests/corpus";
}

class CorpusFormTest : public ViewTest {
protected:
    std::string CorpusFile(const char* name) const { return (CorpusRoot() / name).string(); }

    // Plays from the start for up to three seconds of the clock, as the form's timer
    // would, and stops if the song has not ended by then.
    void PlayThreeSeconds()
    {
        Button(Form::kPlay)->click();
        ASSERT_TRUE(View().IsPlaying());
        for (int second = 0; second < 3 && View().IsPlaying(); ++second) {
            Steps(200);
            View().OnTimer();
        }
        if (View().IsPlaying())
            View().OnStop();
    }
};

} // namespace

TEST_F(CorpusFormTest, EveryCorpusFileHasARowHere)
{
    std::set<std::string> listed;
    for (const FormCase& c : kCases)
        listed.insert(c.file);
    for (const char* name : kNotMidi)
        listed.insert(name);
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusRoot()))
        if (entry.path().extension() == ".mid")
            found.insert(entry.path().lexically_relative(CorpusRoot()).generic_string());
    EXPECT_EQ(found, listed);
}

TEST_F(CorpusFormTest, EachDamagedSongShowsWhatWasReadAndPlaysItOrSaysWhyNot)
{
    for (const FormCase& c : kCases) {
        SCOPED_TRACE(c.file);
        View().NewDocument();
        m_prompt.Clear();
        const std::string path = CorpusFile(c.file);
        const std::size_t before = mallinfo2().uordblks;
        // A song the engine refuses leaves the form as it was, title and all.
        EXPECT_EQ(View().OpenMidiFile(path), c.refusal == nullptr);
        const std::size_t after = mallinfo2().uordblks;
        const std::size_t used = after > before ? after - before : 0;
        EXPECT_LT(used, 64 * std::filesystem::file_size(path) + 256 * 1024) << "took " << used << " bytes";

        EXPECT_EQ(View().windowTitle().toStdString(),
                  std::string(kMainCaption) +
                      (c.refusal ? std::string() : " - " + std::filesystem::path(path).stem().string()));
        EXPECT_EQ(LabelText(Form::ChannelLabelId(0)).toStdString(), c.channel1);
        EXPECT_EQ(Slider()->maximum(), c.seconds);
        if (c.refusal) {
            ASSERT_EQ(m_prompt.Entries().size(), 1u);
            EXPECT_EQ(LastMessage()->text, c.refusal);
            EXPECT_EQ(LastMessage()->caption, kAppTitle);
            EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
            EXPECT_FALSE(View().HasSong());
            EXPECT_FALSE(Button(Form::kPlay)->isEnabled()) << "Play stays off for a song the engine refuses";
            EXPECT_EQ(LabelText(Form::kTracks), "Tracks:");
            continue;
        }
        EXPECT_TRUE(m_prompt.Entries().empty());
        EXPECT_TRUE(View().HasSong());
        EXPECT_EQ(LabelText(Form::kTracks).toStdString(), c.tracks);
        PlayThreeSeconds();
        EXPECT_FALSE(View().IsPlaying());
        EXPECT_EQ(Rtttl()->toPlainText().toStdString(),
                  std::filesystem::path(path).stem().string() + ":d=4,o=5,b=120:" + c.recorded);
        ASSERT_NE(LastMessage(), nullptr);
        EXPECT_EQ(LastMessage()->caption, std::string(c.recorded).empty() ? "Nothing Recorded" : "RTTTL Generated");
    }
}

TEST_F(CorpusFormTest, AFileThatIsNotMidiLeavesTheOpenSongAsItWas)
{
    ASSERT_TRUE(View().OpenMidiFile(CorpusFile("unknown-chunk/chunk-between-tracks.mid")));
    for (const char* name : kNotMidi) {
        SCOPED_TRACE(name);
        m_prompt.Clear();
        EXPECT_FALSE(View().OpenMidiFile(CorpusFile(name)));
        EXPECT_TRUE(m_prompt.Entries().empty()) << "the form refuses these without a word";
        EXPECT_EQ(View().windowTitle().toStdString(), std::string(kMainCaption) + " - chunk-between-tracks");
        EXPECT_EQ(LabelText(Form::ChannelLabelId(0)), kPiano);
        EXPECT_TRUE(Button(Form::kPlay)->isEnabled());
    }
}
