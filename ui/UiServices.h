#pragma once
// What the desktop program's windows are given instead of reaching for the
// platform themselves: the profile, the message boxes, the file dialogs, the modal
// dialog runner, the MIDI outputs, the sequencer's clock, the starter of outside
// programs and the HTTP transport of the upload. The program passes the real ones,
// tests the fakes. Everything here must outlive the windows.

#include "upload/DiagnosticPost.h"
#include "upload/UploadOptions.h"

class CClockSource;
class CFileChooser;
class CHttpTransport;
class CMidiOutput;
class CModalRunner;
class CProgramStarter;
class CPrompt;
class CSettingsStore;

struct CUiServices {
    CSettingsStore& m_settings;
    CPrompt& m_prompt;
    CFileChooser& m_files;
    CModalRunner& m_modal;
    CMidiOutput& m_output;
    CClockSource& m_clock;
    CProgramStarter& m_programs;
    CHttpTransport& m_http;
    // The form's one-second timer (slider and elapsed time), milliseconds.
    int m_nSecondTimerMs = 1000;
    // How often the form shows the meters' latest pitches, milliseconds.
    int m_nMeterTimerMs = 50;
    // How long long work runs before its progress dialog shows, milliseconds.
    int m_nProgressShowMs = 1000;
    // Port and time-outs of the gallery upload (the host is the profile's home site).
    CUploadOptions m_upload{};
    // Where the hidden test-upload button sends its fixed post.
    CDiagnosticPostTarget m_diagnostic{};
};
