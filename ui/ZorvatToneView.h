#pragma once
// The main form: the song's format, track count and division; one line per MIDI
// channel (instrument label, pitch meter 48-95, enable check box); the transport
// (Open MIDI, Play, Stop, Mute On, position slider in whole seconds, elapsed time,
// record time); and the ringtone box (RTTTL text, preview instrument, Listen, Post).
// It owns the playback engine and drives it: Play opens the device, prepares, chases
// to the slider's second and starts the clock; Stop copies the captured RTTTL text
// into the box.
//
// Controls carry the object name "control<id>" of the form's resource ids, named in
// ui/ControlIds.h (ControlId::Form); Show RTTL, Show PDU, Full View and the test
// upload are hidden.
// Beside them, the form helps make a good ringtone: the channel the melody finder
// ranks first is marked (♪) and taken by one click, "Keep rhythm" records with the
// faithful capture, "Record without playing" fills the box at once, and a picture
// of the ringtone under the box follows the text as it is typed.
//
// Threads: everything here runs on the user-interface thread. The clock's thread
// only stores the latest pitch per channel, which a short timer shows.

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/capture/RecordingPlan.h"
#include "engine/sequencer/ChannelMeters.h"
#include "engine/sequencer/MidiEngine.h"
#include "melody/MelodyFinder.h"
#include "song/SongNotes.h"
#include "tonefile/ToneTarget.h"
#include "ui/PreviewPlayer.h"
#include "ui/UiServices.h"

class CPostController;
class CRingtonePicture;
class CSongOverview;
class CRingtoneConverter;
class CZorvatToneDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class CZorvatToneView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kChannels = CMidiEngine::kChannels;
    // What the suggestion column says beside channel 10, which General MIDI plays on drums.
    static constexpr char kPercussionMark[] = "drums";

    // What the slider reports, as its notification codes name it.
    enum class SliderCode {
        kThumbTrack,    // the thumb is pressed or dragged
        kThumbPosition, // the thumb is dropped
        kBottom,        // End key: to the maximum
        kTop,           // Home key: to 0
        kOther,
    };

    CZorvatToneView(CUiServices& services, CZorvatToneDoc& doc, QWidget* pParent = nullptr);
    ~CZorvatToneView() override;

    // After each change of the document: scans the song for the channel labels and
    // its length, shows format, tracks and division, enables every channel, sets the
    // slider to 0..length and clears the record time and the RTTTL text. A song that
    // cannot be played (no tracks, or one the engine refuses, which it says why) puts
    // the form in its no-song state.
    void OnInitialUpdate();
    // Opens `path` as the document (silently refused unless it begins with "MThd")
    // and, on success, shows it: the view's initial update, the file title as the
    // ringtone name and in the caption, and the song-loaded button states; a file in
    // which no track could be read says so. A file that cannot be read gets the
    // framework's "Failed to open document." when bReport is set. False, with
    // nothing changed, when the file was not opened or while playing.
    bool OpenMidiFile(const std::string& path, bool bReport = true);
    // Asked before a new song clears the RTTTL box.
    static constexpr char kClearRingtoneQuestion[] =
        "The ringtone in the RTTTL box has not been exported or posted. Clear it for the new song?";
    // A new, empty document; nothing while playing.
    void NewDocument();
    // The opening checks of the Post Ringtone dialog for the package at
    // `packagePath` (a nickname, an e-mail address, at most 2048 bytes), then the
    // dialog. False, with the package file left in place, when a check failed.
    bool OpenPostDialog(const std::string& packagePath);
    // Moves the controls into the members (true) or the members into the controls.
    void UpdateData(bool bSaveAndValidate);

    [[nodiscard]] bool IsPlaying() const { return m_bPlaying != 0; }
    // True when the document holds a song that Play can play.
    [[nodiscard]] bool HasSong() const { return m_bSongReady; }
    [[nodiscard]] std::int32_t GetRecordStart() const { return m_nRecordStart; }
    // The opened file's title: the ringtone name.
    [[nodiscard]] const std::string& GetFileTitle() const { return m_strFileTitle; }
    [[nodiscard]] CMidiEngine& GetEngine() { return m_engine; }
    // The channel the melody finder ranks first (0-15), -1 when there is none.
    [[nodiscard]] int GetSuggestedChannel() const { return m_nSuggestedChannel; }
    [[nodiscard]] CZorvatToneDoc& GetDocument() { return m_doc; }

signals:
    // A file was opened as the document (for the recent-file list).
    void documentOpened(const QString& path);
    // Playback started (true) or ended (false).
    void playingChanged(bool bPlaying);

public slots:
    void OnOpenMidi();
    void OnFileSave();
    void OnPlay();
    void OnStop();
    void OnTimer();
    void OnHScroll(CZorvatToneView::SliderCode code);
    // channel 0-15
    void OnChannelToggle(int channel);
    void OnMuteToggle();
    void OnSetup();
    void OnHowTo();
    // Converts the RTTTL box into the preview "<TEMP>/zorvat.mid" and starts the
    // media player on it; the box then shows the rebuilt text.
    void OnListen();
    // Ends the media player Listen started.
    void OnStopListening();
    // Stop Listening and Listen's description follow whether the preview plays; a
    // timer calls it while the player runs, to notice when it ends on its own.
    void ShowListening();
    // Converts the RTTTL box into the ringtone package "<TEMP>/<seconds>" and opens
    // the Post Ringtone dialog on it.
    void OnPostRingtone();
    // Writes the box's ringtone as a file of the format the chosen name ends in
    // (.rtttl, .ott, .imy, .ogg, .m4r), or fitted to the device whose file type is
    // chosen, as zorvattone-cli export (--target) does; the line under the box says
    // where and what the format could not hold.
    void OnExportRingtone();
    // The overview's range of the song as a phone ringtone (.m4r or .ogg), as
    // zorvattone-cli ringtone --from START --seconds LENGTH makes it.
    void OnExportSongRingtone();
    // Reads an .rtttl, .ott or .imy file into the box, as zorvattone-cli import does.
    void OnImportRingtone();
    // Write the captured RTTTL text to "ZvTone.nok", or the captured ringtone as hex
    // text to "zorvat.pdu", in the working directory and open it with xdg-open. A
    // file that cannot be written gets the stop message naming it, and the one that
    // was there stays as it was.
    void OnShowRttl();
    void OnShowPdu();
    // The fixed diagnostic post to the developers' test server.
    void OnTestUpload();
    // Shows the latest pitch of every channel (the short UI timer calls it).
    void OnMeterTimer();
    // Checks only the suggested channel.
    void OnTakeSuggestion();
    // "Keep rhythm" on or off; remembered in the profile (a profile that cannot be
    // written is said on standard error only).
    void OnKeepRhythm(bool bOn);
    // Fills the box at once with the recording of the enabled channels over the
    // range (from the slider's second to the range's end), as Play and Stop would.
    void OnRecordWithoutPlaying();
    // "Fit to one message" on or off; remembered in the profile as Keep rhythm is.
    void OnFitOneMessage(bool bOn);
    // Moves the start to the bar where the enabled channels' first note sounds.
    void OnStartWhereTheTuneBegins();
    // Checks `channel` (0-15) alone, as the overview's lanes and the suggestion do.
    void CheckChannelAlone(int channel);

private slots:
    void OnSliderAction(int action);

private:
    void BuildControls();
    // Tab goes through the controls as the form lays them out: down the left
    // column, then the channels.
    void OrderTabs();
    QWidget* BuildMidiControl();
    void BuildRecordingControls(QWidget* pGroup);
    QWidget* BuildChannelStatistic();
    QWidget* BuildSongInfo();
    QWidget* BuildRingtonePreview();
    void ConnectControls();

    void ShowNoSong();
    void FindSuggestion();
    void NameChannelControls();
    [[nodiscard]] bool KeepsRhythm() const;
    // The overview's highlight follows the channel boxes.
    void ShowEnabledOnOverview();
    // The second at which the range ends: the song's end unless the user moved it.
    [[nodiscard]] int RangeEnd() const;
    // The channels Play would record now, by channel 0-15.
    [[nodiscard]] std::array<bool, kChannels> EnabledChannels() const;
    // The faithful capture of the enabled channels from slider second `from` for
    // `seconds` of playing time (negative: to the end).
    // The recording of the enabled channels from second `from` for `seconds` (-1: to
    // the end), as the check boxes ask for it.
    [[nodiscard]] RecordingPlan PlanRecording(int from, int seconds) const;
    // The same, keeping the rhythm whatever the box says; empty when the song is refused.
    // Also marks on the overview where a recording fitted to one message ended.
    [[nodiscard]] std::string CaptureKeepingRhythm(int from, int seconds);
    void ShowFitEnd(const RecordingOutcome& recording);
    // The overview's range as text under it, after any change of the range.
    void ShowRange();
    // A start or an end typed in the range's fields; a time that is none puts the
    // range's own back.
    void OnRangeTyped(bool bEnd);
    // True when the box holds no ringtone that would be lost, or the user lets it go.
    [[nodiscard]] bool MayClearRingtone();
    // The line under the box: what the last conversion left out.
    void ShowDropped(const CRingtoneConverter& converter);
    // The picture, the octet count and the phone's tempo for the box's text as it
    // stands; the left-out line goes once the text is no longer the one it describes.
    void OnRtttlEdited();
    // The line under the box after an export or an import; it belongs to the box's text.
    void ShowToneFileLine(const std::string& line);
    // The exported file written whole, or the reason shown; then what it holds under the box.
    void WriteExport(bool bMade, const std::string& error, const std::string& path, const std::string& bytes,
                     const std::vector<ToneLoss>& losses, const std::string& figures);
    // Export Ringtone to a device's file type: fitted, written, and said under the box.
    void ExportForDevice(const CToneMelody& melody, std::vector<ToneLoss>& losses, const ToneTarget& target,
                         TargetForm form, const std::string& path);
    // What Stop and "Record without playing" tell once the box holds a recording.
    void SayRecorded(const std::string& from, const std::string& to, bool bKeptPrevious);
    // Puts a recording's text in place of `held`, the box's text before the take,
    // unless the take holds no note and `held` does: then the box keeps it (true).
    [[nodiscard]] bool TakeRecording(const std::string& recorded, const std::string& held);
    void SetMeter(int channel, std::int32_t value);
    void ResetMeters();
    void StopSound();
    void EnableRingtoneBox(bool bEnable);
    void SetCaption(const std::string& fileTitle);
    [[nodiscard]] int GetSliderPos() const;
    void ShowElapsed(int seconds);
    [[nodiscard]] static std::string FormatTime(int seconds);

    [[nodiscard]] std::string GetProfile(const char* section, const char* key) const;
    void ApplyInstrument(CRingtoneConverter& converter) const;
    // Convert, then the members back from the controls (failure) or into them.
    bool RunConversion(CRingtoneConverter& converter, const std::string& outputPath);
    void StartPlayer(const std::string& player, const std::string& previewPath);
    void RunPostDialog(CPostController& controller);
    void OpenInViewer(const std::string& file);
    // Puts `text` in place of `file`; false after the stop message naming it.
    bool WriteViewerFile(const std::string& file, const std::string& text);

    CUiServices& m_services;
    // The media player of the last Listen: a new Listen, and closing, end it.
    CPreviewPlayer m_preview;
    CZorvatToneDoc& m_doc;

    std::string m_strFormat;
    std::string m_strTracks;
    std::string m_strDivision;
    std::array<std::string, kChannels> m_strChannelName;
    std::string m_strRtttl;
    // The box's text as last exported, posted or imported: opening a song need not
    // ask before clearing it.
    std::string m_strKeptRtttl;
    // The box's text when the take being played began.
    std::string m_strBeforeTake;
    std::string m_strRecordTime;
    std::array<std::int32_t, kChannels> m_bChannelCheck{};

    std::int32_t m_nRecordStart = 0;
    // "Start where the tune begins" was the last to set the start: recordings start
    // at the tune's bar to the tick, as the command line's --from auto does, until
    // the user moves the start or changes the channels.
    bool m_bStartAtTune = false;
    std::int32_t m_bPlaying = 0;
    std::int32_t m_bAllChannels = 1;
    bool m_bSongReady = false;
    std::string m_strFileTitle;

    // The song's notes on one time line, for the finder and the faithful capture.
    CSongNotes m_songNotes;
    std::vector<MelodyCandidate> m_ranked; // the finder's ranking of the song's channels
    int m_nSuggestedChannel = -1;
    double m_dSuggestedScore = 0;
    bool m_bPercussionNotes = false; // channel 10 has notes

    QTimer m_secondTimer;
    QTimer m_meterTimer;
    // While Listen's player plays: notices when it ends on its own.
    QTimer m_listenTimer;
    // Written by the engine's observer on the clock thread; declared before the
    // engine so that it outlives the engine's last tick.
    CChannelMeters m_meters;
    CMidiEngine m_engine;

    QPushButton* m_pOpen = nullptr;
    QPushButton* m_pPlay = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pMute = nullptr;
    QPushButton* m_pSuggest = nullptr;
    QCheckBox* m_pKeepRhythm = nullptr;
    QCheckBox* m_pFit = nullptr;
    QPushButton* m_pTuneStart = nullptr;
    QPushButton* m_pRecordNow = nullptr;
    CSongOverview* m_pOverview = nullptr;
    QSlider* m_pSlider = nullptr;
    QLineEdit* m_pElapsed = nullptr;
    QLabel* m_pRecordTime = nullptr;
    QLineEdit* m_pRangeStart = nullptr; // the range's start and end, shown and typed as mm:ss
    QLineEdit* m_pRangeEnd = nullptr;
    QLabel* m_pRangeLength = nullptr;
    QPushButton* m_pShowRttl = nullptr;
    QPushButton* m_pShowPdu = nullptr;
    QCheckBox* m_pFullView = nullptr;
    std::array<QLabel*, kChannels> m_pChannelLabel{};
    std::array<QLabel*, kChannels> m_pSuggestionMark{};
    std::array<QProgressBar*, kChannels> m_pMeter{};
    std::array<QCheckBox*, kChannels> m_pChannelBox{};
    QLabel* m_pFormat = nullptr;
    QLabel* m_pTracks = nullptr;
    QLabel* m_pDivision = nullptr;
    QLabel* m_pSongNotice = nullptr;
    QPlainTextEdit* m_pRtttl = nullptr;
    CRingtonePicture* m_pPicture = nullptr;
    QLabel* m_pOctets = nullptr;
    QLabel* m_pDropped = nullptr;
    // The box's text that the left-out line was made from.
    std::string m_strDroppedFor;
    QComboBox* m_pInstrument = nullptr;
    QPushButton* m_pListen = nullptr;
    QPushButton* m_pStopListening = nullptr;
    QPushButton* m_pPost = nullptr;
    QPushButton* m_pTestUpload = nullptr;
};
