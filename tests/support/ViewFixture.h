#pragma once
// A form with fake services: a recording prompt, answered file dialogs, a fake
// synthesizer, a manual clock that only ticks when the test steps it, a program
// starter that starts nothing and an HTTP transport that sends nothing. The form's
// own timers are far too slow to fire: tests call OnTimer and OnMeterTimer.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "engine/sequencer/ManualClock.h"
#include "prompt/Prompt.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeFileChooser.h"
#include "tests/support/FakeHttpTransport.h"
#include "tests/support/FakeMidiOutput.h"
#include "tests/support/FakeModalRunner.h"
#include "tests/support/FakeProgramStarter.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/QtFiles.h"
#include "ui/ControlIds.h"
#include "ui/UiServices.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

inline constexpr int kNeverMs = 3600 * 1000;

// Division 480 at 120 beats per minute: 960 ticks a second, a quarter note about
// 100 clock steps. Channel 1 plays c5 and e5 from the start, channel 3 plays g6
// from the second quarter, channel 16 names the Gunshot; `seconds` long.
inline QByteArray TuneBytes(std::uint32_t seconds = 20)
{
    CTrackBytes conductor;
    conductor.Tempo(0, 500000).End(seconds * 960);
    CTrackBytes melody;
    melody.Program(0, 0, 0);
    CTrackBytes violin;
    violin.Program(0, 2, 40).Program(0, 15, 127);
    for (std::uint32_t q = 0; q + 1 < seconds * 2; q += 2) {
        melody.On(0, 0, 60).Off(480, 0, 60).On(0, 0, 64).Off(480, 0, 64);
        violin.On(480, 2, 79).Off(480, 2, 79);
    }
    melody.End();
    violin.End();
    return ToQByteArray(SmfBytes(480, {conductor, melody, violin}));
}

class ViewTest : public ::testing::Test {
protected:
    ViewTest() { m_output.AddDevice("Built-in synthesizer", kModSynth); }

    CZorvatToneView& View()
    {
        if (!m_pView) {
            m_pView = std::make_unique<CZorvatToneView>(m_services, m_doc);
            (void)m_doc.OnNewDocument();
            m_pView->OnInitialUpdate();
            // Shown, so that mouse clicks reach the controls.
            m_pView->show();
        }
        return *m_pView;
    }

    template <typename W>
    W* Find(int id)
    {
        W* pWidget = View().findChild<W*>(ControlName(id));
        EXPECT_NE(pWidget, nullptr) << ControlName(id).toStdString();
        return pWidget;
    }
    QPushButton* Button(int id) { return Find<QPushButton>(id); }
    QString LabelText(int id) { return Find<QLabel>(id)->text(); }
    QSlider* Slider() { return Find<QSlider>(ControlId::Form::kSlider); }
    QString Elapsed() { return Find<QLineEdit>(ControlId::Form::kElapsed)->text(); }
    QPlainTextEdit* Rtttl() { return Find<QPlainTextEdit>(ControlId::Form::kRtttl); }
    // channel 0-15
    QProgressBar* Meter(int channel) { return Find<QProgressBar>(ControlId::Form::ChannelMeterId(channel)); }
    QCheckBox* ChannelBox(int channel) { return Find<QCheckBox>(ControlId::Form::ChannelCheckId(channel)); }

    QString Write(const char* name, const QByteArray& bytes)
    {
        QString path = m_dir.filePath(QString::fromUtf8(name));
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }
    bool OpenFile(const char* name, const QByteArray& bytes)
    {
        return View().OpenMidiFile(Write(name, bytes).toStdString());
    }
    void OpenTune(std::uint32_t seconds = 20) { ASSERT_TRUE(OpenFile("tune.mid", TuneBytes(seconds))); }
    void Seconds(int count)
    {
        for (int i = 0; i < count; ++i)
            View().OnTimer();
    }
    // Clock steps of 5 ms.
    void Steps(std::uint64_t count) { m_clock.Step(count); }

    const CRecordingPrompt::Entry* LastMessage() const
    {
        return m_prompt.Entries().empty() ? nullptr : &m_prompt.Entries().back();
    }

    QTemporaryDir m_dir;
    CMemorySettingsStore m_settings;
    CRecordingPrompt m_prompt;
    CFakeFileChooser m_files;
    CFakeModalRunner m_modal;
    CFakeMidiOutput m_output;
    CManualClock m_clock;
    CFakeProgramStarter m_programs;
    CFakeHttpTransport m_http;
    CUiServices m_services{m_settings, m_prompt,   m_files, m_modal,  m_output,
                           m_clock,    m_programs, m_http,  kNeverMs, kNeverMs, kNeverMs};
    CZorvatToneDoc m_doc;
    std::unique_ptr<CZorvatToneView> m_pView;
};
