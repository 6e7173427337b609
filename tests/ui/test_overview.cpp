#include <QCheckBox>
#include <QLineEdit>
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
    // The runner-up scores more than two fifths of the first: close, so marked;
    // channel 3 plays the first's line along, so it is never the runner-up.
    model.SetSong(notes, {{1, 0.5, ""}, {2, 0.4, "", true}, {0, 0.3, ""}, {9, 0.0, ""}}, 40);
    ASSERT_EQ(model.Lanes().size(), 3u);
    EXPECT_EQ(model.Lanes()[0].nChannel, 0);
    EXPECT_EQ(model.Lanes()[2].nChannel, 9);
    EXPECT_EQ(model.MarkOf(1), OverviewMark::kSuggested);
    EXPECT_EQ(model.MarkOf(0), OverviewMark::kRunnerUp);
    EXPECT_EQ(model.MarkOf(2), OverviewMark::kAlong);
    EXPECT_EQ(model.MarkOf(9), OverviewMark::kDrums);
    // The tune's first onset at second 10 of 40 falls in the bin a quarter along.
    const std::vector<std::uint32_t> tune = model.BinsInView(0, 512);
    const auto first = std::find_if(tune.begin(), tune.end(), [](std::uint32_t n) { return n > 0; });
    EXPECT_EQ(first - tune.begin(), 512 / 4);
    EXPECT_EQ(model.LaneText(1), "channel 2 \u266A, enabled");
    // Bars of two seconds to the tune's last, which ends at second 49.75.
    ASSERT_EQ(model.BarSeconds().size(), 25u);
    EXPECT_DOUBLE_EQ(model.BarSeconds()[5], 10.0);

    EXPECT_EQ(model.RangeEnd(), 40);
    model.SetRangeEnd(25);
    EXPECT_TRUE(model.EndsEarly());
    model.SetRangeStart(30); // past the end: the range opens to the song's end
    EXPECT_EQ(model.RangeEnd(), 40);
    model.SetRangeEnd(5); // before the start: held a bar after it
    EXPECT_EQ(model.RangeEnd(), 32);
    model.SetRangeStart(31); // less than a bar before the end: the range opens again
    EXPECT_EQ(model.RangeEnd(), 40);
    model.SetRangeStart(-3);
    EXPECT_EQ(model.RangeStart(), 0);
    model.SetRangeStartAtTick(21 * 480 + 240); // between seconds: the slider shows the one before
    EXPECT_EQ(model.RangeStart(), 10);
    EXPECT_EQ(model.RangeText(), "00:10.8 to 00:40.0 (29.2 s)");

    model.SetSong(notes, {{1, 0.9, ""}, {0, 0.1, ""}}, 40);
    EXPECT_EQ(model.MarkOf(0), OverviewMark::kNone) << "a far runner-up is not marked";
}

TEST(SongOverviewModel, ZoomKeepsItsAnchorAndTheRulerItsLabelsApart)
{
    CMidiSong song;
    LoadSong(song, 480, LateTune());
    CSongOverviewModel model;
    model.SetSong(CSongNotes(song), {}, 40);
    EXPECT_DOUBLE_EQ(model.ViewSeconds(), 40);
    model.ZoomIn(30);
    model.ZoomIn(30);
    EXPECT_DOUBLE_EQ(model.ViewSeconds(), 10);
    EXPECT_NEAR(model.ShareOf(30), 0.75, 1e-9) << "second 30 stays three quarters along";
    // Only the onsets in view are counted: the chords every 2 s from 24 to 32.
    const std::vector<std::uint32_t> chords = model.BinsInView(1, 10);
    EXPECT_EQ(std::count_if(chords.begin(), chords.end(), [](std::uint32_t n) { return n > 0; }), 5);
    model.ZoomIn(30);
    model.ZoomIn(30); // fewer than four seconds in view: no further
    EXPECT_EQ(model.Zoom(), 8);
    // The playhead leaving the view pages it on; the view never passes the song's end.
    model.SetPlayhead(39);
    EXPECT_DOUBLE_EQ(model.ViewStart(), 35);
    model.SetPlayhead(2);
    EXPECT_DOUBLE_EQ(model.ViewStart(), 2);
    for (int i = 0; i < 4; ++i)
        model.ZoomOut(2);
    EXPECT_EQ(model.Zoom(), 1);
    EXPECT_DOUBLE_EQ(model.ViewStart(), 0);

    EXPECT_EQ(CSongOverviewModel::RulerStep(12.0, 48), 5);
    EXPECT_EQ(CSongOverviewModel::RulerStep(0.5, 48), 120);
    EXPECT_EQ(ClockTenths(76.04), "01:16.0");
    EXPECT_EQ(ParseClock("75"), 75);
    EXPECT_EQ(ParseClock(" 1:15 "), 75);
    EXPECT_EQ(ParseClock("01:15.0"), 75);
    for (const char* bad : {"", "1:75", "1:15.5", "1:15x", ":15", "x", "-3", "1:", "1234567"})
        EXPECT_EQ(ParseClock(bad), std::nullopt) << bad;
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
    // The name says the lane under the cursor, so a screen reader hears it move.
    EXPECT_EQ(m_pOverview->accessibleName(), QString::fromUtf8("Song overview, channel 1 \u266A, enabled"));
    Slider()->setValue(5);
    EXPECT_EQ(m_pOverview->Model().RangeStart(), 5);
    QTest::keyClick(m_pOverview, Qt::Key_Right);
    EXPECT_EQ(Slider()->value(), 6);
    EXPECT_EQ(Elapsed(), "00:06");
    QTest::keyClick(m_pOverview, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(m_pOverview->Model().RangeEnd(), m_pOverview->Model().LengthSeconds() - 1);

    // Down to the second lane (channel 2), Enter: that channel alone, highlighted.
    QTest::keyClick(m_pOverview, Qt::Key_Down);
    EXPECT_TRUE(m_pOverview->accessibleName().startsWith("Song overview, channel 2"));
    QTest::keyClick(m_pOverview, Qt::Key_Return);
    for (int c = 0; c < CZorvatToneView::kChannels; ++c)
        EXPECT_EQ(ChannelBox(c)->isChecked(), c == 1) << c;
    EXPECT_TRUE(m_pOverview->Model().IsEnabled(1));
    EXPECT_FALSE(m_pOverview->Model().IsEnabled(0));
}

TEST_F(OverviewTest, TheRangeIsShownAndTypedAsMinutesAndSeconds)
{
    auto* pStart = View().findChild<QLineEdit*>(QStringLiteral("rangeStart"));
    auto* pEnd = View().findChild<QLineEdit*>(QStringLiteral("rangeEnd"));
    ASSERT_TRUE(pStart && pEnd);
    EXPECT_EQ(pStart->text(), "00:00.0");
    pStart->setText(QStringLiteral("0:12"));
    emit pStart->editingFinished();
    EXPECT_EQ(Slider()->value(), 12);
    pEnd->setText(QStringLiteral("13")); // less than a bar after the start: a bar
    emit pEnd->editingFinished();
    EXPECT_EQ(m_pOverview->Model().RangeEnd(), 14);
    EXPECT_EQ(pEnd->text(), "00:14.0");
    pEnd->setText(QStringLiteral("soon"));
    emit pEnd->editingFinished();
    EXPECT_EQ(pEnd->text(), "00:14.0") << "what is no time gives way to the range's own";
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
    m_pOverview->Model().SetRangeEnd(11); // less than a bar: held at one
    EXPECT_EQ(m_pOverview->Model().RangeEnd(), 12);
    pFit->setChecked(false);
    View().findChild<QPushButton*>(QStringLiteral("recordWithoutPlaying"))->click();
    const ProgramResult second = RunCli(
        {"record", m_path.toStdString(), "--channel", "1", "--from", "10", "--seconds", "2", "--faithful"});
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

    EXPECT_NEAR(m_pOverview->Model().RangeStartSeconds(), 17.14, 0.01);
    View().CheckChannelAlone(1);
    EXPECT_EQ(m_pOverview->Model().RangeStartSeconds(), 17.0) << "the tune's start was the other channel's";
    View().findChild<QPushButton*>(QStringLiteral("startAtTune"))->click();
    View().CheckChannelAlone(0);
    View().findChild<QPushButton*>(QStringLiteral("startAtTune"))->click();
    QTest::keyClick(Slider(), Qt::Key_Right);
    QTest::keyClick(Slider(), Qt::Key_Left);
    pRecordNow->click();
    const ProgramResult fromSecond = RunCli({"record", path.toStdString(), "--channel", "1", "--from", "17", "--faithful"});
    EXPECT_EQ(Rtttl()->toPlainText().toStdString() + "\n", fromSecond.out);
    EXPECT_NE(fromSecond.out, fromTune.out);
}

} // namespace
