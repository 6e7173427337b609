// The form on the real 5 ms clock: its thread plays and captures while the form
// polls the meters, and Stop ends it cleanly.

#include <gtest/gtest.h>

#include "engine/sequencer/RealtimeClock.h"
#include "tests/support/ViewFixture.h"

TEST_F(ViewTest, PlaysOnTheRealClockWhileTheFormPollsTheMeters)
{
    CRealtimeClock clock;
    CUiServices services{m_settings, m_prompt, m_files, m_modal, m_output, clock, m_programs, m_http, kNeverMs, kNeverMs};
    CZorvatToneView view(services, m_doc);
    ASSERT_TRUE(view.OpenMidiFile(Write("tune.mid", TuneBytes()).toStdString()));
    view.OnPlay();
    ASSERT_TRUE(view.GetEngine().IsClockRunning());
    // The violin's first note comes a quarter (half a second) after the start.
    bool bViolin = false;
    for (int i = 0; i < 400 && !bViolin; ++i) {
        ASSERT_TRUE(m_output.WaitForMessages(m_output.Messages().size() + 1, std::chrono::seconds(5)));
        view.OnMeterTimer();
        bViolin = view.findChild<QProgressBar*>(ControlName(ControlId::Form::ChannelMeterId(2)))->value() == 79;
    }
    EXPECT_TRUE(bViolin);
    view.OnStop();
    EXPECT_FALSE(view.GetEngine().IsClockRunning());
    EXPECT_FALSE(m_output.IsDeviceOpen(0));
    EXPECT_EQ(view.findChild<QProgressBar*>(ControlName(ControlId::Form::ChannelMeterId(2)))->value(), 48);
    EXPECT_TRUE(view.findChild<QPlainTextEdit*>(ControlName(ControlId::Form::kRtttl))
                    ->toPlainText()
                    .startsWith("tune:d=4,o=5,b=120:4c5,"));
}
