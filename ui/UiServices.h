#pragma once
// What the desktop program's windows are given instead of reaching for the
// platform themselves: the profile, the message boxes, the file dialogs, the modal
// dialog runner, the MIDI outputs and the sequencer's clock. The program passes
// the real ones, tests the fakes. Everything here must outlive the windows.

class CClockSource;
class CFileChooser;
class CMidiOutput;
class CModalRunner;
class CPrompt;
class CSettingsStore;

struct CUiServices {
    CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CFileChooser& m_files;
    CModalRunner& m_modal;
    CMidiOutput& m_output;
    CClockSource& m_clock;
    // The form's one-second timer (slider and elapsed time), milliseconds.
    int m_nSecondTimerMs = 1000;
    // How often the form shows the meters' latest pitches, milliseconds.
    int m_nMeterTimerMs = 50;
};
