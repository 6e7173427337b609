#include <QTest>
#include <gtest/gtest.h>

#include "engine/sequencer/PrepareResult.h"
#include "tests/support/ViewFixture.h"

namespace {

namespace Form = ControlId::Form;

// The controls that the form's states switch, in this order.
struct Enabled {
    bool open, play, stop, mute, rtttl, list, listen, post;
    friend bool operator==(const Enabled&, const Enabled&) = default;
};

std::ostream& operator<<(std::ostream& os, const Enabled& e)
{
    return os << "open " << e.open << ", play " << e.play << ", stop " << e.stop << ", mute " << e.mute
              << ", rtttl " << e.rtttl << ", list " << e.list << ", listen " << e.listen << ", post " << e.post;
}

// The ringtone box takes a typed or pasted ringtone whenever nothing plays.
constexpr Enabled kNoSong{true, false, false, false, true, true, true, true};
constexpr Enabled kLoaded{true, true, false, true, true, true, true, true};
constexpr Enabled kPlaying{false, false, true, true, false, false, false, false};
constexpr Enabled kStopped{true, true, false, true, true, true, true, true};

class ZorvatToneViewTest : public ViewTest {
protected:
    Enabled State()
    {
        return {Button(Form::kOpenMidi)->isEnabled(), Button(Form::kPlay)->isEnabled(),
                Button(Form::kStop)->isEnabled(),     Button(Form::kMute)->isEnabled(),
                Rtttl()->isEnabled(),                 Find<QComboBox>(Form::kInstrument)->isEnabled(),
                Button(Form::kListen)->isEnabled(),   Button(Form::kPost)->isEnabled()};
    }
    void ExpectAlwaysEnabled()
    {
        EXPECT_TRUE(Slider()->isEnabled());
        for (int c = 0; c < CZorvatToneView::kChannels; ++c)
            EXPECT_TRUE(ChannelBox(c)->isEnabled()) << "channel " << c + 1;
    }
    bool SentNoteOn(int channel, int note)
    {
        for (std::uint32_t packed : m_output.Packed())
            if ((packed & 0xFF) == static_cast<std::uint32_t>(0x90 | channel) && ((packed >> 8) & 0xFF) == static_cast<std::uint32_t>(note) &&
                ((packed >> 16) & 0xFF) != 0)
                return true;
        return false;
    }
};

} // namespace

TEST_F(ZorvatToneViewTest, ShowsEveryControlWithItsCaptionBeforeASongIsOpened)
{
    const std::vector<std::pair<int, const char*>> buttons = {
        {Form::kOpenMidi, "Open MIDI"}, {Form::kPlay, "Play"},     {Form::kStop, "Stop"},
        {Form::kMute, "Mute On"},       {Form::kListen, "Listen"}, {Form::kPost, "Post to Zorvat Ringtone Gallery"}};
    for (const auto& [id, caption] : buttons)
        EXPECT_EQ(Button(id)->text(), caption) << id;
    EXPECT_EQ(LabelText(Form::kFormat), "MIDI Type:");
    EXPECT_EQ(LabelText(Form::kTracks), "Tracks:");
    EXPECT_EQ(LabelText(Form::kDivision), "Timestamp: ");
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:00 to 00:00");
    EXPECT_EQ(Elapsed(), "00:00");
    EXPECT_TRUE(Find<QLineEdit>(Form::kElapsed)->isReadOnly());
    EXPECT_EQ(Find<QLineEdit>(Form::kElapsed)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(Slider()->tickPosition(), QSlider::NoTicks);
    for (int c = 0; c < CZorvatToneView::kChannels; ++c) {
        EXPECT_EQ(Meter(c)->minimum(), 48);
        EXPECT_EQ(Meter(c)->maximum(), 95);
        EXPECT_TRUE(ChannelBox(c)->isChecked());
        EXPECT_EQ(ChannelBox(c)->text(), "");
    }
    EXPECT_EQ(State(), kNoSong);
    ExpectAlwaysEnabled();
}

TEST_F(ZorvatToneViewTest, TheHiddenControlsExistDisabledAndStayHidden)
{
    for (int id : {Form::kShowRttl, Form::kShowPdu, Form::kTestUpload}) {
        EXPECT_TRUE(Button(id)->isHidden()) << id;
        EXPECT_FALSE(Button(id)->isEnabled()) << id;
    }
    EXPECT_EQ(Button(Form::kShowRttl)->text(), "Show RTTL");
    EXPECT_EQ(Button(Form::kShowPdu)->text(), "Show PDU");
    EXPECT_EQ(Button(Form::kTestUpload)->text(), "x");
    EXPECT_EQ(Find<QCheckBox>(Form::kFullView)->text(), "Full View");
    EXPECT_TRUE(Find<QCheckBox>(Form::kFullView)->isHidden());
    OpenTune();
    View().OnPlay();
    View().OnStop();
    for (int id : {Form::kShowRttl, Form::kShowPdu, Form::kTestUpload})
        EXPECT_TRUE(Button(id)->isHidden()) << id;
    EXPECT_TRUE(Find<QCheckBox>(Form::kFullView)->isHidden());
}

// Stop hands the focus to the RTTTL box with the take, not on to "Mute On", where
// Space would uncheck every channel before the next take.
TEST_F(ZorvatToneViewTest, AfterStopTheFocusIsOnTheRingtone)
{
    OpenTune();
    QApplication::setActiveWindow(View().window());
    View().OnPlay();
    Button(Form::kStop)->setFocus();
    ASSERT_TRUE(Button(Form::kStop)->hasFocus());
    View().OnStop();
    EXPECT_TRUE(Rtttl()->hasFocus());
    EXPECT_FALSE(Button(Form::kMute)->hasFocus());
}

// A take that records nothing (no channel checked) leaves the box's ringtone and says
// so; a take that records notes replaces it, and Ctrl+Z brings it back.
TEST_F(ZorvatToneViewTest, NoTakeLosesTheRingtoneInTheBox)
{
    OpenTune();
    const QString kept = QStringLiteral("Kept:d=4,o=5,b=125:4c5,4e5,");
    Rtttl()->setPlainText(kept);
    Button(Form::kMute)->click();
    View().OnPlay();
    View().OnStop();
    EXPECT_EQ(Rtttl()->toPlainText(), kept);
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->caption, "Nothing Recorded");
    EXPECT_EQ(LastMessage()->detail.rfind("The RTTTL box keeps the ringtone it held.", 0), 0u) << LastMessage()->detail;

    Button(Form::kMute)->click();
    View().OnPlay();
    for (int s = 0; s < 3; ++s) {
        m_clock.Step(200);
        View().OnTimer();
    }
    View().OnStop();
    ASSERT_NE(Rtttl()->toPlainText(), kept);
    Rtttl()->undo();
    EXPECT_EQ(Rtttl()->toPlainText(), kept);
}

// A ringtone not yet exported or posted is not cleared by a new song without a question.
TEST_F(ZorvatToneViewTest, ANewSongAsksBeforeItClearsARingtoneNotExported)
{
    OpenTune();
    const QString typed = QStringLiteral("Typed:d=4,o=5,b=125:4c5,4e5,");
    Rtttl()->setPlainText(typed);
    m_prompt.QueueAnswer(PromptAnswer::Cancel);
    EXPECT_FALSE(OpenFile("other.mid", TuneBytes(30)));
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, CZorvatToneView::kClearRingtoneQuestion);
    EXPECT_EQ(Rtttl()->toPlainText(), typed);
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    View().NewDocument(); // answered Ok
    EXPECT_EQ(m_prompt.Entries().size(), 2u);
    EXPECT_EQ(State(), kNoSong);
    EXPECT_TRUE(Rtttl()->toPlainText().isEmpty());
    Rtttl()->undo();
    EXPECT_EQ(Rtttl()->toPlainText(), typed);
}

TEST_F(ZorvatToneViewTest, TheInstrumentListHoldsThe128NamesWithNoChoiceMade)
{
    QComboBox* pList = Find<QComboBox>(Form::kInstrument);
    ASSERT_EQ(pList->count(), 128);
    EXPECT_EQ(pList->itemText(0), "Acoustic Grand");
    EXPECT_EQ(pList->itemText(21), "Accoridan");
    EXPECT_EQ(pList->itemText(124), "Telephone Zavi");
    EXPECT_EQ(pList->itemText(127), "Gunshot");
    EXPECT_EQ(pList->currentIndex(), -1);
}

TEST_F(ZorvatToneViewTest, OpenMidiShowsTheFileDialogWithTheMidiFilters)
{
    Button(Form::kOpenMidi)->click();
    ASSERT_EQ(m_files.Requests().size(), 1u);
    const CFakeFileChooser::Request& r = m_files.Requests()[0];
    EXPECT_FALSE(r.bSave);
    EXPECT_EQ(r.pOwner, &View());
    EXPECT_TRUE(r.strFilter.contains("*.mid")) << r.strFilter.toStdString();
    EXPECT_TRUE(r.strFilter.contains("*.MID")) << r.strFilter.toStdString();
    EXPECT_TRUE(r.strFilter.contains("All Files")) << r.strFilter.toStdString();
    EXPECT_EQ(r.strDefaultSuffix, "mid");
    EXPECT_EQ(State(), kNoSong) << "a cancelled dialog changes nothing";
}

TEST_F(ZorvatToneViewTest, OpeningASongShowsItAndEnablesPlay)
{
    m_files.QueueAnswer(Write("tune.mid", TuneBytes()));
    Button(Form::kOpenMidi)->click();
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    EXPECT_EQ(LabelText(Form::kFormat), "MIDI Type: 1");
    EXPECT_EQ(LabelText(Form::kTracks), "Tracks: 3");
    EXPECT_EQ(LabelText(Form::kDivision), "Timestamp: 480");
    EXPECT_EQ(LabelText(Form::ChannelLabelId(0)), "#01 PIANO/Acoustic Grand");
    EXPECT_EQ(LabelText(Form::ChannelLabelId(1)), "#02 Unknown");
    EXPECT_EQ(LabelText(Form::ChannelLabelId(2)), "#03 STRINGS/Violin");
    EXPECT_EQ(LabelText(Form::ChannelLabelId(15)), "#16 SOUND EFFECTS/Gunshot");
    EXPECT_EQ(Slider()->minimum(), 0);
    EXPECT_EQ(Slider()->maximum(), 20);
    EXPECT_EQ(Slider()->value(), 0);
    EXPECT_EQ(View().GetFileTitle(), "tune");
    EXPECT_EQ(View().GetEngine().GetToneName(), "tune");
    EXPECT_EQ(State(), kLoaded);
    ExpectAlwaysEnabled();
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(ZorvatToneViewTest, AFileThatIsNotMidiChangesNothingAndSaysNothing)
{
    OpenTune();
    View().OnPlay();
    View().OnStop();
    m_prompt.Clear();
    const QString rtttl = Rtttl()->toPlainText();
    m_files.QueueAnswer(Write("notes.mid", QByteArray("RIFF0000RMID")));
    Button(Form::kOpenMidi)->click();
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    EXPECT_EQ(LabelText(Form::kTracks), "Tracks: 3");
    EXPECT_EQ(Rtttl()->toPlainText(), rtttl);
    EXPECT_EQ(State(), kStopped);
    EXPECT_EQ(m_doc.GetTitle(), "tune");
    EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 3);
}

TEST_F(ZorvatToneViewTest, AFileThatCannotBeReadGetsTheFrameworksMessage)
{
    OpenTune();
    m_files.QueueAnswer(m_dir.filePath("gone.mid"));
    Button(Form::kOpenMidi)->click();
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Failed to open document.");
    EXPECT_NE(LastMessage()->detail.find(m_dir.filePath("gone.mid").toStdString()), std::string::npos)
        << "the reason names the file: " << LastMessage()->detail;
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
    EXPECT_EQ(State(), kLoaded);
}

TEST_F(ZorvatToneViewTest, ASongTheEngineRefusesIsExplainedAndLeavesTheOpenSong)
{
    OpenTune();
    CTrackBytes track;
    track.On(0, 0, 60).Off(4, 0, 60).End();
    EXPECT_FALSE(OpenFile("coarse.mid", ToQByteArray(SmfBytes(7, {track}, 0))));
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, PrepareResultText(PrepareResult::kBadDivision));
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    EXPECT_EQ(State(), kLoaded);
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta) - tune");
}

TEST_F(ZorvatToneViewTest, ANewDocumentReturnsToTheNoSongState)
{
    OpenTune();
    View().NewDocument();
    EXPECT_EQ(State(), kNoSong);
    EXPECT_EQ(View().windowTitle(), "Zorvat Zavi 0.99 (Beta)");
    EXPECT_EQ(LabelText(Form::kTracks), "Tracks:");
    EXPECT_EQ(LabelText(Form::ChannelLabelId(0)), "#01 Unknown");
    EXPECT_EQ(Slider()->maximum(), 0);
    EXPECT_EQ(View().GetEngine().GetToneName(), "ZorvatTone");
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(ZorvatToneViewTest, PlayOpensTheDeviceAndRecords)
{
    OpenTune();
    Button(Form::kPlay)->click();
    EXPECT_TRUE(View().IsPlaying());
    EXPECT_TRUE(m_output.IsDeviceOpen(0));
    EXPECT_TRUE(View().GetEngine().IsClockRunning());
    EXPECT_EQ(LabelText(Form::kRecordTime), "Recording...");
    EXPECT_EQ(State(), kPlaying);
    ExpectAlwaysEnabled();
    ASSERT_FALSE(m_output.Packed().empty());
    EXPECT_EQ(m_output.Packed().front(), 0xFFu) << "a System Reset first";
    EXPECT_TRUE(SentNoteOn(0, 60)) << "the notes at the start play at once";
}

TEST_F(ZorvatToneViewTest, StopShowsTheRecordingAndItsTimes)
{
    OpenTune();
    View().OnPlay();
    Steps(400);
    Seconds(3);
    EXPECT_EQ(Slider()->value(), 3);
    EXPECT_EQ(Elapsed(), "00:03");
    Button(Form::kStop)->click();
    EXPECT_FALSE(View().IsPlaying());
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Ringtone's RTTTL generated.\r\nRecord Time: from 00:00 to 00:03");
    EXPECT_EQ(LastMessage()->caption, "RTTTL Generated");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Information);
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:00 to 00:03");
    EXPECT_EQ(Slider()->value(), 0);
    EXPECT_EQ(Elapsed(), "00:00");
    const QString text = Rtttl()->toPlainText();
    EXPECT_TRUE(text.startsWith("tune:d=4,o=5,b=120:4c5,4e5,")) << text.toStdString();
    EXPECT_EQ(text.toStdString(), View().GetEngine().GetRtttl());
    for (int c = 0; c < CZorvatToneView::kChannels; ++c)
        EXPECT_EQ(Meter(c)->value(), 48) << "channel " << c + 1;
    EXPECT_EQ(State(), kStopped);
    ExpectAlwaysEnabled();
}

TEST_F(ZorvatToneViewTest, ASecondRecordingStartsAtTheSliderAndReplacesTheText)
{
    OpenTune();
    View().OnPlay();
    Steps(200);
    Seconds(2);
    View().OnStop();
    Slider()->setValue(5);
    View().OnPlay();
    EXPECT_EQ(View().GetRecordStart(), 5);
    EXPECT_EQ(State(), kPlaying);
    Steps(200);
    Seconds(1);
    View().OnStop();
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:05 to 00:06");
    EXPECT_EQ(LastMessage()->text, "Ringtone's RTTTL generated.\r\nRecord Time: from 00:05 to 00:06");
    EXPECT_TRUE(Rtttl()->toPlainText().startsWith("tune:d=4,o=5,b=120:"));
    EXPECT_EQ(Rtttl()->toPlainText().toStdString(), View().GetEngine().GetRtttl());
    EXPECT_EQ(State(), kStopped);
}

TEST_F(ZorvatToneViewTest, TheRecordTimeOfAStartAtSecond75ReadsOneMinuteFifteen)
{
    OpenTune(100);
    Slider()->setValue(75);
    View().OnPlay();
    Seconds(2);
    View().OnStop();
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 01:15 to 01:17");
    // The clock never ticked, so nothing was heard; Stop says so, and keeps the start.
    EXPECT_EQ(LastMessage()->text, "No note of the checked channels sounded from 01:15 to 01:17.");
    EXPECT_EQ(LastMessage()->caption, "Nothing Recorded");
    EXPECT_EQ(Slider()->value(), 75);
    EXPECT_EQ(Elapsed(), "01:15");
}

TEST_F(ZorvatToneViewTest, PlaybackEndsWhenTheSliderReachesTheSongLength)
{
    OpenTune(20);
    View().OnPlay();
    Seconds(19);
    EXPECT_TRUE(View().IsPlaying());
    EXPECT_EQ(Elapsed(), "00:19");
    Seconds(1);
    EXPECT_FALSE(View().IsPlaying());
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:00 to 00:20");
}

TEST_F(ZorvatToneViewTest, ASongShorterThanASecondStopsAtTheFirstTimer)
{
    CTrackBytes track;
    track.Tempo(0, 500000).On(0, 0, 60).Off(240, 0, 60).End(240);
    ASSERT_TRUE(OpenFile("blip.mid", ToQByteArray(SmfBytes(480, {track}, 0))));
    EXPECT_EQ(Slider()->maximum(), 0);
    View().OnPlay();
    Seconds(1);
    EXPECT_FALSE(View().IsPlaying());
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:00 to 00:00");
}

TEST_F(ZorvatToneViewTest, MetersShowTheLastPitchOfEachEnabledChannel)
{
    OpenTune();
    View().OnPlay();
    View().OnMeterTimer();
    EXPECT_EQ(Meter(0)->value(), 60);
    EXPECT_EQ(Meter(2)->value(), 48);
    Steps(101);
    View().OnMeterTimer();
    EXPECT_EQ(Meter(0)->value(), 64);
    EXPECT_EQ(Meter(2)->value(), 79);
    EXPECT_EQ(Meter(1)->value(), 48) << "a silent channel stays empty";
}

TEST_F(ZorvatToneViewTest, UncheckingAChannelWhilePlayingSilencesItEmptiesItsMeterAndDropsItsNotes)
{
    OpenTune();
    View().OnPlay();
    Steps(101);
    View().OnMeterTimer();
    ASSERT_EQ(Meter(2)->value(), 79);
    QTest::mouseClick(ChannelBox(2), Qt::LeftButton);
    EXPECT_FALSE(ChannelBox(2)->isChecked());
    EXPECT_FALSE(View().GetEngine().IsChannelOn(2));
    EXPECT_EQ(Meter(2)->value(), 48);
    m_output.ClearMessages();
    Steps(2000);
    View().OnMeterTimer();
    EXPECT_EQ(Meter(2)->value(), 48);
    EXPECT_FALSE(SentNoteOn(2, 79));
    EXPECT_TRUE(SentNoteOn(0, 60));
    View().OnStop();
    // Everything captured after the first g6 comes from channel 1 alone.
    const QString text = Rtttl()->toPlainText();
    const QString tail = text.mid(text.indexOf("g6") + 2);
    EXPECT_FALSE(tail.contains("g6")) << text.toStdString();
    EXPECT_TRUE(tail.contains("c5")) << text.toStdString();
}

TEST_F(ZorvatToneViewTest, AChannelUncheckedBeforePlayNeverReachesTheText)
{
    OpenTune();
    QTest::mouseClick(ChannelBox(2), Qt::LeftButton);
    View().OnPlay();
    Steps(2000);
    View().OnStop();
    EXPECT_FALSE(Rtttl()->toPlainText().contains("g6"));
    EXPECT_TRUE(Rtttl()->toPlainText().contains("e5"));
}

TEST_F(ZorvatToneViewTest, MutePressedTwiceLeavesEveryChannelOn)
{
    OpenTune();
    Button(Form::kMute)->click();
    EXPECT_EQ(Button(Form::kMute)->text(), "Mute Off");
    for (int c = 0; c < CZorvatToneView::kChannels; ++c) {
        EXPECT_FALSE(ChannelBox(c)->isChecked());
        EXPECT_FALSE(View().GetEngine().IsChannelOn(c));
    }
    Button(Form::kMute)->click();
    EXPECT_EQ(Button(Form::kMute)->text(), "Mute On");
    for (int c = 0; c < CZorvatToneView::kChannels; ++c) {
        EXPECT_TRUE(ChannelBox(c)->isChecked());
        EXPECT_TRUE(View().GetEngine().IsChannelOn(c));
    }
}

TEST_F(ZorvatToneViewTest, MuteKeepsWhatTheUserTypedIntoTheRtttlBox)
{
    OpenTune();
    View().OnPlay();
    View().OnStop();
    Rtttl()->setPlainText("mine:d=4,o=5,b=100:c,");
    Button(Form::kMute)->click();
    EXPECT_EQ(Rtttl()->toPlainText(), "mine:d=4,o=5,b=100:c,");
}

TEST_F(ZorvatToneViewTest, DraggingTheSliderStopsTheSoundAndTheDropStartsANewRecordingThere)
{
    OpenTune();
    View().OnPlay();
    Seconds(2);
    Slider()->setSliderDown(true);
    EXPECT_TRUE(View().IsPlaying()) << "still playing while the thumb is held";
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    EXPECT_FALSE(View().GetEngine().IsClockRunning());
    Slider()->setSliderPosition(10);
    EXPECT_EQ(Elapsed(), "00:10");
    EXPECT_EQ(State(), kPlaying);
    m_output.ClearMessages();
    Slider()->setSliderDown(false);
    EXPECT_TRUE(View().IsPlaying());
    EXPECT_EQ(View().GetRecordStart(), 10);
    EXPECT_TRUE(m_output.IsDeviceOpen(0));
    EXPECT_TRUE(View().GetEngine().IsClockRunning());
    EXPECT_EQ(LabelText(Form::kRecordTime), "Recording...");
    EXPECT_TRUE(m_prompt.Entries().empty()) << "a drop is no Stop";
    Steps(10);
    Seconds(1);
    View().OnStop();
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:10 to 00:11");
}

TEST_F(ZorvatToneViewTest, TheKeysStepTheStartAndTheTimeBoxFollows)
{
    OpenTune();
    const std::vector<std::pair<Qt::Key, const char*>> keys = {
        {Qt::Key_Right, "00:01"}, {Qt::Key_PageUp, "00:11"}, {Qt::Key_Left, "00:10"},
        {Qt::Key_End, "00:20"},   {Qt::Key_Home, "00:00"},
    };
    for (const auto& [key, elapsed] : keys) {
        QTest::keyClick(Slider(), key);
        EXPECT_EQ(Elapsed(), elapsed) << key;
    }
    EXPECT_FALSE(View().IsPlaying());
    // Playing hands the focus to Stop, so a second Space stops instead of unchecking channels.
    Slider()->setValue(3);
    View().OnPlay();
    EXPECT_EQ(View().focusWidget(), Button(Form::kStop));
    EXPECT_EQ(Button(Form::kPlay)->shortcut(), QKeySequence(Qt::Key_F5));
}

TEST_F(ZorvatToneViewTest, DraggingWhileStoppedOnlyMovesTheElapsedTime)
{
    OpenTune();
    Slider()->setSliderDown(true);
    Slider()->setSliderPosition(7);
    Slider()->setSliderDown(false);
    EXPECT_EQ(Elapsed(), "00:07");
    EXPECT_FALSE(View().IsPlaying());
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    EXPECT_EQ(State(), kLoaded);
}

TEST_F(ZorvatToneViewTest, TheEndKeyStopsPlayback)
{
    OpenTune();
    View().OnPlay();
    Steps(400);
    Seconds(2);
    QTest::keyClick(Slider(), Qt::Key_End);
    EXPECT_FALSE(View().IsPlaying());
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastMessage()->text, "Ringtone's RTTTL generated.\r\nRecord Time: from 00:00 to 00:20");
    EXPECT_EQ(State(), kStopped);
}

TEST_F(ZorvatToneViewTest, TheHomeKeyStopsWithTheMessageAndRestartsFromTheStart)
{
    OpenTune();
    Slider()->setValue(4);
    View().OnPlay();
    Steps(400);
    Seconds(2);
    QTest::keyClick(Slider(), Qt::Key_Home);
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->caption, "RTTTL Generated");
    EXPECT_TRUE(View().IsPlaying());
    EXPECT_EQ(View().GetRecordStart(), 0);
    EXPECT_EQ(Slider()->value(), 0);
    EXPECT_TRUE(m_output.IsDeviceOpen(0));
    EXPECT_EQ(State(), kPlaying);
}

TEST_F(ZorvatToneViewTest, HomeAndEndWhileStoppedSayNothing)
{
    OpenTune();
    QTest::keyClick(Slider(), Qt::Key_End);
    QTest::keyClick(Slider(), Qt::Key_Home);
    EXPECT_TRUE(m_prompt.Entries().empty());
    EXPECT_FALSE(View().IsPlaying());
}

TEST_F(ZorvatToneViewTest, WithoutASynthesizerPlaySaysTheDeviceIsBusyAndChangesNothing)
{
    CFakeMidiOutput ports;
    ports.AddDevice("Software synthesizer", kModSoftwareSynth);
    ports.AddDevice("External port", kModMidiPort);
    CUiServices portsOnly{m_settings, m_prompt, m_files, m_modal, ports, m_clock, m_programs, m_http, kNeverMs, kNeverMs};
    CZorvatToneView view(portsOnly, m_doc);
    ASSERT_TRUE(view.OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    view.OnPlay();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "MIDI device busy !");
    EXPECT_EQ(LastMessage()->caption, "OPEN FAIL");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    EXPECT_EQ(LastMessage()->detail, "No synthesizer is among the MIDI outputs.");
    EXPECT_FALSE(view.IsPlaying());
    EXPECT_TRUE(view.findChild<QPushButton*>(ControlName(Form::kPlay))->isEnabled());
    EXPECT_FALSE(view.findChild<QPushButton*>(ControlName(Form::kStop))->isEnabled());
    EXPECT_EQ(view.findChild<QLabel*>(ControlName(Form::kRecordTime))->text(), "Rec Time: 00:00 to 00:00");
}

TEST_F(ZorvatToneViewTest, ASynthesizerThatDoesNotOpenGivesItsReasonBelowTheMessageAndOnStandardError)
{
    CFakeMidiOutput silent;
    silent.AddDevice("Built-in synthesizer", kModSynth, false);
    silent.SetLastError("no sound server answers and no sound card opens: start PipeWire or PulseAudio");
    CUiServices services{m_settings, m_prompt, m_files, m_modal, silent, m_clock, m_programs, m_http, kNeverMs, kNeverMs};
    CZorvatToneView view(services, m_doc);
    ASSERT_TRUE(view.OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    testing::internal::CaptureStderr();
    view.OnPlay();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(m_prompt.Entries().size(), 1u);
    EXPECT_EQ(LastMessage()->text, "MIDI device busy !");
    EXPECT_EQ(LastMessage()->caption, "OPEN FAIL");
    EXPECT_EQ(LastMessage()->icon, PromptIcon::Stop);
    EXPECT_EQ(LastMessage()->detail,
              "No sound server answers and no sound card opens: start PipeWire or PulseAudio.");
    EXPECT_NE(err.find("zorvattone: no sound server answers and no sound card opens: start PipeWire or PulseAudio\n"),
              std::string::npos)
        << err;
    EXPECT_FALSE(view.IsPlaying());
}
