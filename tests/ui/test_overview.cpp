#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "settings/ProfileKeys.h"
#include "song/MidiSong.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ViewFixture.h"
#include "ui/SongOverview.h"

namespace {

// A song of 80 beats, 40 s at 120 beats a minute: chords on channel 2 from the
// start, a tune on channel 1 from beat 20 (second 10) in phrases of seven eighths
// and an eighth rest, and a drum on channel 10 at beat 80.
std::vector<CTrackBytes> LateTune(std::uint32_t microsecondsPerQuarter = 500000)
{
    CTrackBytes tune, chords, drums;
    tune.Tempo(0, microsecondsPerQuarter);
    for (int i = 0; i < 140; ++i)
        tune.On(i == 0 ? 20 * 480 : (i % 7 == 0 ? 240 : 0), 0, 72 + i % 7).Off(240, 0, 72 + i % 7);
    for (int i = 0; i < 20; ++i)
        chords.On(0, 1, 48).Off(4 * 480, 1, 48);
    drums.On(40 * 480, 9, 36).Off(240, 9, 36);
    return {tune.End(), chords.End(), drums.End()};
}

TEST(SongOverviewModel, LanesMarksAndARangeThatStaysInOrder)
{
    CMidiSong song;
    LoadSong(song, 480, LateTune());
    const CSongNotes notes(song);
    CSongOverviewModel model;
    // The runner-up scores more than two fifths of the first: close, so marked.
    model.SetSong(notes, {{1, 0.5, ""}, {0, 0.3, ""}, {9, 0.0, ""}}, 40);
    ASSERT_EQ(model.Lanes().size(), 3u);
    EXPECT_EQ(model.Lanes()[0].nChannel, 0);
    EXPECT_EQ(model.Lanes()[2].nChannel, 9);
    EXPECT_EQ(model.MarkOf(1), OverviewMark::kSuggested);
    EXPECT_EQ(model.MarkOf(0), OverviewMark::kRunnerUp);
    EXPECT_EQ(model.MarkOf(9), OverviewMark::kDrums);
    // The tune's first onset at second 10 of 40 falls in the bin a quarter along.
    const std::vector<std::uint32_t>& tune = model.Lanes()[0].onsetsPerBin;
    const auto first = std::find_if(tune.begin(), tune.end(), [](std::uint32_t n) { return n > 0; });
    EXPECT_EQ(first - tune.begin(), CSongOverviewModel::kOverviewBins / 4);

    EXPECT_EQ(model.RangeEnd(), 40);
    model.SetRangeEnd(25);
    EXPECT_TRUE(model.EndsEarly());
    model.SetRangeStart(30); // past the end: the range opens to the song's end
    EXPECT_EQ(model.RangeEnd(), 40);
    model.SetRangeEnd(5); // before the start: held at it
    EXPECT_EQ(model.RangeEnd(), 30);
    model.SetRangeStart(-3);
    EXPECT_EQ(model.RangeStart(), 0);

    model.SetSong(notes, {{1, 0.9, ""}, {0, 0.1, ""}}, 40);
    EXPECT_EQ(model.MarkOf(0), OverviewMark::kNone) << "a far runner-up is not marked";
}

class OverviewTest : public ViewTest {
protected:
    void SetUp() override
    {
        const Bytes bytes = SmfBytes(480, LateTune());
        m_path = Write("late.mid", QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size())));
        ASSERT_TRUE(View().OpenMidiFile(m_path.toStdString()));
        m_pOverview = View().findChild<CSongOverview*>(QStringLiteral("songOverview"));
        ASSERT_NE(m_pOverview, nullptr);
    }

    QString m_path;
    CSongOverview* m_pOverview = nullptr;
};

TEST_F(OverviewTest, TheRangeStartIsTheSliderAndALaneChecksItsChannelAlone)
{
    EXPECT_EQ(m_pOverview->accessibleName(), "Song overview");
    Slider()->setValue(5);
    EXPECT_EQ(m_pOverview->Model().RangeStart(), 5);
    QTest::keyClick(m_pOverview, Qt::Key_Right);
    EXPECT_EQ(Slider()->value(), 6);
    EXPECT_EQ(Elapsed(), "00:06");
    QTest::keyClick(m_pOverview, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(m_pOverview->Model().RangeEnd(), m_pOverview->Model().LengthSeconds() - 1);

    // Down to the second lane (channel 2), Enter: that channel alone, highlighted.
    QTest::keyClick(m_pOverview, Qt::Key_Down);
    QTest::keyClick(m_pOverview, Qt::Key_Return);
    for (int c = 0; c < CZorvatToneView::kChannels; ++c)
        EXPECT_EQ(ChannelBox(c)->isChecked(), c == 1) << c;
    EXPECT_TRUE(m_pOverview->Model().IsEnabled(1));
    EXPECT_FALSE(m_pOverview->Model().IsEnabled(0));
}

TEST_F(OverviewTest, FitAndTheTuneStartGiveTheCommandLinesText)
{
    View().CheckChannelAlone(0);
    View().findChild<QCheckBox*>(QStringLiteral("keepRhythm"))->setChecked(true);
    auto* pFit = View().findChild<QCheckBox*>(QStringLiteral("fitOneMessage"));
    ASSERT_TRUE(pFit->isEnabled());
    pFit->setChecked(true);
    EXPECT_EQ(m_settings.GetString(kProfileOptions, kProfileFitOneMessage), "1");
    View().findChild<QPushButton*>(QStringLiteral("startAtTune"))->click();
    EXPECT_EQ(Slider()->value(), 10);
    View().findChild<QPushButton*>(QStringLiteral("recordWithoutPlaying"))->click();

    const ProgramResult cli =
        RunCli({"record", m_path.toStdString(), "--channel", "1", "--from", "auto", "--faithful", "--fit"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", cli.out);

    // A range that ends early ends the recording there too.
    m_pOverview->Model().SetRangeEnd(11);
    pFit->setChecked(false);
    View().findChild<QPushButton*>(QStringLiteral("recordWithoutPlaying"))->click();
    const ProgramResult second = RunCli(
        {"record", m_path.toStdString(), "--channel", "1", "--from", "10", "--seconds", "1", "--faithful"});
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", second.out);
}

// At 70 beats a minute the tune's bar lies at 17.14 s: the recording starts there to
// the tick, as --from auto does, until the start is moved by hand.
TEST_F(OverviewTest, TheTuneStartIsTheBarsExactTimeUntilTheStartIsMoved)
{
    const Bytes bytes = SmfBytes(480, LateTune(857143));
    const QString path = Write("slow.mid", QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size())));
    ASSERT_TRUE(View().OpenMidiFile(path.toStdString()));
    View().CheckChannelAlone(0);
    View().findChild<QCheckBox*>(QStringLiteral("keepRhythm"))->setChecked(true);
    View().findChild<QPushButton*>(QStringLiteral("startAtTune"))->click();
    EXPECT_EQ(Slider()->value(), 17);
    auto* pRecordNow = View().findChild<QPushButton*>(QStringLiteral("recordWithoutPlaying"));
    pRecordNow->click();
    const ProgramResult fromTune = RunCli({"record", path.toStdString(), "--channel", "1", "--from", "auto", "--faithful"});
    ASSERT_EQ(fromTune.exitCode, 0) << fromTune.err;
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", fromTune.out);

    QTest::keyClick(Slider(), Qt::Key_Right);
    QTest::keyClick(Slider(), Qt::Key_Left);
    pRecordNow->click();
    const ProgramResult fromSecond = RunCli({"record", path.toStdString(), "--channel", "1", "--from", "17", "--faithful"});
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", fromSecond.out);
    EXPECT_NE(fromSecond.out, fromTune.out);
}

} // namespace
