#include <QAccessible>
#include <QFile>
#include <QGridLayout>
#include <QSet>
#include <gtest/gtest.h>

#include "engine/capture/FaithfulCapture.h"
#include "engine/capture/OfflineRecorder.h"
#include "melody/MelodyFinder.h"
#include "settings/IniSettingsStore.h"
#include "settings/ProfileKeys.h"
#include "song/SongNotes.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/ViewFixture.h"
#include "ui/RingtonePicture.h"

namespace {

namespace Form = ControlId::Form;

class AssistTest : public ViewTest {
protected:
    void OpenDemo()
    {
        QFile demo(QStringLiteral(ZT_SOURCE_DIR "/data/demo.mid"));
        ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
        ASSERT_TRUE(OpenFile("demo.mid", demo.readAll()));
    }
    template <typename W>
    W* Child(const char* name)
    {
        W* pWidget = View().findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(pWidget, nullptr) << name;
        return pWidget;
    }
    std::vector<bool> Checked()
    {
        std::vector<bool> checked;
        for (int c = 0; c < CZorvatToneView::kChannels; ++c)
            checked.push_back(ChannelBox(c)->isChecked());
        return checked;
    }
    std::string Faithful(std::uint64_t fromTick, std::uint64_t toTick)
    {
        FaithfulCaptureOptions options;
        options.bChannelOn.fill(false);
        options.bChannelOn[0] = true;
        options.qwFromTick = fromTick;
        options.qwToTick = toTick;
        options.strToneName = "demo";
        return CaptureFaithful(CSongNotes(m_doc.GetSong()), options).strRtttl;
    }
};

} // namespace

TEST_F(AssistTest, TheSuggestedChannelIsMarkedAndTakenWithOneClick)
{
    OpenDemo();
    EXPECT_EQ(View().GetSuggestedChannel(), 0);
    EXPECT_EQ(Checked(), std::vector<bool>(16, true)) << "opening a song still checks every channel";
    EXPECT_EQ(ChannelBox(0)->accessibleDescription(), "suggested melody");
    EXPECT_EQ(ChannelBox(1)->accessibleDescription(), "");
    Child<QPushButton>("takeSuggestion")->click();
    std::vector<bool> only(16, false);
    only[0] = true;
    EXPECT_EQ(Checked(), only);
    EXPECT_TRUE(View().GetEngine().IsChannelOn(0));
    EXPECT_FALSE(View().GetEngine().IsChannelOn(1));
}

TEST_F(AssistTest, RecordingWithoutPlayingGivesWhatTheCommandLineRecords)
{
    OpenDemo();
    Child<QPushButton>("takeSuggestion")->click();
    Slider()->setValue(2);
    Child<QPushButton>("recordWithoutPlaying")->click();
    OfflineRecordOptions options;
    options.bChannelOn.fill(false);
    options.bChannelOn[0] = true;
    options.uFromSecond = 2;
    options.strToneName = "demo";
    OfflineRecording recording;
    COfflineRecorder recorder;
    ASSERT_TRUE(recorder.Record(m_doc.GetSong(), options, recording));
    EXPECT_EQ(Rtttl()->toPlainText().toStdString(), recording.strRtttl);
    EXPECT_EQ(LabelText(Form::kRecordTime), QStringLiteral("Rec Time: 00:02 to 00:%1").arg(Slider()->maximum()));
    EXPECT_TRUE(Rtttl()->isEnabled());
    EXPECT_TRUE(m_output.Packed().empty()) << "no sound";

    Child<QCheckBox>("keepRhythm")->click();
    EXPECT_EQ(m_settings.GetString(kProfileOptions, kProfileKeepRhythm), "1");
    Child<QPushButton>("recordWithoutPlaying")->click();
    const CSongNotes notes(m_doc.GetSong());
    EXPECT_EQ(Rtttl()->toPlainText().toStdString(), Faithful(notes.TickAtSliderSecond(2), UINT64_MAX));
}

TEST_F(AssistTest, AKeepRhythmChoiceThatCannotBeRememberedIsSaidOnStandardErrorOnly)
{
    // Permissions do not stop root; a file where a folder should be stops everyone.
    const std::string profile = Write("not-a-folder", "x").toStdString() + "/ZorvatTone.ini";
    CIniSettingsStore store(profile);
    CUiServices services{store, m_prompt, m_files, m_modal, m_output, m_clock, m_programs, m_http, kNeverMs, kNeverMs};
    CZorvatToneView view(services, m_doc);
    auto* pKeepRhythm = view.findChild<QCheckBox*>(QStringLiteral("keepRhythm"));
    ASSERT_NE(pKeepRhythm, nullptr);
    ::testing::internal::CaptureStderr();
    pKeepRhythm->setChecked(true);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "zorvattone: cannot write the file \"" + profile + "\": Not a directory\n");
    EXPECT_TRUE(pKeepRhythm->isChecked());
    EXPECT_TRUE(m_prompt.Entries().empty());
}

TEST_F(AssistTest, StopKeepingTheRhythmWritesTheFaithfulCaptureOfThePlayedRange)
{
    m_settings.SetString(kProfileOptions, kProfileKeepRhythm, "1");
    OpenDemo();
    EXPECT_TRUE(Child<QCheckBox>("keepRhythm")->isChecked());
    Child<QPushButton>("takeSuggestion")->click();
    View().OnPlay();
    Steps(1600);
    Seconds(8);
    View().OnStop();
    EXPECT_EQ(LastMessage()->caption, "RTTTL Generated");
    EXPECT_EQ(LabelText(Form::kRecordTime), "Rec Time: 00:00 to 00:08");
    const CSongNotes notes(m_doc.GetSong());
    const std::string text = Rtttl()->toPlainText().toStdString();
    EXPECT_EQ(text, Faithful(0, notes.TickAfterSeconds(0, 8)));
    EXPECT_NE(text.find(",4e.5,8d5,2d5,"), std::string::npos) << text;
}

TEST_F(AssistTest, ThePictureFollowsTheTextAndTheLineUnderTheBoxReportsWhatListenLeftOut)
{
    m_settings.SetString(kProfileSystem, kProfileTempDir, m_dir.path().toStdString());
    m_settings.SetString(kProfileSystem, kProfileMediaPlayer, "player");
    OpenDemo();
    View().OnStop();
    Rtttl()->setPlainText(QStringLiteral("demo:d=4,o=5,b=120:8c5,4p,8c9,e5,"));
    const RingtoneSketch& sketch = Child<CRingtonePicture>("ringtonePicture")->Sketch();
    ASSERT_EQ(sketch.notes.size(), 3u);
    EXPECT_EQ(sketch.notes[2].nPitch, 64);
    EXPECT_EQ(sketch.notes[2].dwStart, 240u + 480u);
    ASSERT_EQ(sketch.dropped.size(), 1u);
    EXPECT_EQ(sketch.dropped[0].strToken, "8c9");

    QLabel* pDropped = Child<QLabel>("droppedTokens");
    Button(Form::kListen)->click();
    EXPECT_EQ(pDropped->text(), "1 note left out: 8c9 (octave 9)");
    // The line speaks of the text Listen rebuilt: an edit, or a new recording, takes it away.
    EXPECT_EQ(Rtttl()->toPlainText(), "demo:d=4,o=5,b=120:8c5,4p,e5,");
    Rtttl()->setPlainText(QStringLiteral("demo:d=4,o=5,b=120:8c5,4p,e5,8d5,"));
    EXPECT_EQ(pDropped->text(), "");
    Rtttl()->setPlainText(QStringLiteral("demo:d=4,o=5,b=120:8c5,4p,e5,"));
    // What one message holds of the text as it is typed, and the tempo a phone plays.
    QLabel* pOctets = Child<QLabel>("ringtoneOctets");
    EXPECT_EQ(pOctets->text(), "20 of 130 octets, played at 125 beats a minute on a phone");
    EXPECT_EQ(pOctets->accessibleName(), "Message size: " + pOctets->text()) << "a screen reader says the name";
    EXPECT_TRUE(pOctets->styleSheet().isEmpty());
    QString tooLong = QStringLiteral("demo:d=4,o=5,b=120:");
    for (int i = 0; i < 90; ++i)
        tooLong += QStringLiteral("8c5,");
    Rtttl()->setPlainText(tooLong);
    EXPECT_EQ(pOctets->text(), "150 of 130 octets, played at 125 beats a minute on a phone");
    Rtttl()->setPlainText(QStringLiteral("city_blues_redfarn:d=4,o=5,b=120:8c5,"));
    EXPECT_TRUE(pOctets->text().endsWith(", named \"city_blues\"")) << "a phone shows ten characters of the name";
    Rtttl()->setPlainText(tooLong);
    EXPECT_FALSE(pOctets->styleSheet().isEmpty()) << "red past 130";
}

TEST_F(AssistTest, EveryControlHasANameOfItsOwn)
{
    OpenDemo();
    QSet<QString> names;
    for (QWidget* pWidget : View().findChildren<QWidget*>()) {
        const bool bInteractive = qobject_cast<QAbstractButton*>(pWidget) || qobject_cast<QAbstractSlider*>(pWidget) ||
                                  qobject_cast<QComboBox*>(pWidget) || qobject_cast<QLineEdit*>(pWidget) ||
                                  qobject_cast<QPlainTextEdit*>(pWidget) || qobject_cast<QProgressBar*>(pWidget) ||
                                  qobject_cast<CRingtonePicture*>(pWidget);
        if (!bInteractive || !pWidget->isVisibleTo(&View()) || !pWidget->parentWidget()->isVisibleTo(&View()))
            continue;
        QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(pWidget);
        ASSERT_NE(pAccessible, nullptr);
        const QString name = pAccessible->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << pWidget->metaObject()->className() << " " << pWidget->objectName().toStdString();
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names.insert(name);
    }
    EXPECT_TRUE(names.contains("#01 PIPE/Flute enabled"));
    EXPECT_TRUE(names.contains("#01 PIPE/Flute meter"));
    EXPECT_TRUE(names.contains("Ringtone picture"));
}

TEST_F(AssistTest, TabFollowsTheLayoutDownTheLeftColumnThenTheChannels)
{
    OpenDemo();
    QStringList order;
    QWidget* pWidget = View().findChild<QPushButton*>(ControlName(Form::kOpenMidi));
    ASSERT_NE(pWidget, nullptr);
    for (int i = 0; i < 40 && !order.contains(pWidget->objectName()); ++i) {
        if (pWidget->isEnabled() && pWidget->isVisibleTo(&View()) && pWidget->focusPolicy() & Qt::TabFocus)
            order << pWidget->objectName();
        pWidget = pWidget->nextInFocusChain();
    }
    const QStringList expected{ControlName(Form::kOpenMidi), ControlName(Form::kPlay), ControlName(Form::kMute),
                               "takeSuggestion", ControlName(Form::kSlider), "songOverview", "startAtTune",
                               "rangeStart", "rangeEnd", "keepRhythm", "recordWithoutPlaying", ControlName(Form::kRtttl),
                               ControlName(Form::kInstrument), ControlName(Form::kListen), ControlName(Form::kPost),
                               ControlName(Form::ChannelCheckId(0))};
    EXPECT_EQ(order.mid(0, expected.size()), expected);
}

// One stepwise line passed between channels 2 and 4, channel 2's phrases doubled
// softly on 6 and 4's struck harder: either may be the tune, and the channel list marks 4 as the overview does,
// with its own score; 6 is the same tune as 2, marked as playing it along.
TEST_F(AssistTest, ACloseRunnerUpIsMarkedInTheChannelList)
{
    const Bytes bytes = TwoChannelTuneBytes(TwoChannelTune::AnsweredDoubled);
    ASSERT_TRUE(OpenFile("answers.mid", QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<qsizetype>(bytes.size()))));
    EXPECT_EQ(ChannelBox(1)->accessibleDescription(), "suggested melody");
    EXPECT_EQ(ChannelBox(3)->accessibleDescription(), "may carry the melody too");
    EXPECT_EQ(ChannelBox(5)->accessibleDescription(), "plays the suggested melody along");
    const auto* grid = qobject_cast<QGridLayout*>(ChannelBox(3)->parentWidget()->layout());
    ASSERT_NE(grid, nullptr);
    const QString tip = grid->itemAtPosition(3, 0)->widget()->toolTip();
    double score = -1;
    for (const MelodyCandidate& c : RankMelodyChannels(CSongNotes(m_doc.GetSong())))
        score = c.nChannel == 3 ? c.dScore : score;
    EXPECT_EQ(tip.toStdString(), QStringLiteral("May carry the melody too (score %1)").arg(score, 0, 'f', 2).toStdString());
}

TEST_F(AssistTest, AFileWithFewerTracksThanItDeclaresSaysSoInOneLine)
{
    QByteArray bytes = TuneBytes(4);
    bytes[11] = 4; // four tracks declared, three there
    ASSERT_TRUE(OpenFile("short.mid", bytes));
    EXPECT_EQ(Child<QLabel>("songNotice")->text(), "3 of 4 tracks could be read: the file is damaged");
    OpenTune(4);
    EXPECT_EQ(Child<QLabel>("songNotice")->text(), "");
}
