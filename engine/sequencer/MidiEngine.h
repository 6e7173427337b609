#pragma once
// The playback and capture engine: it chooses and opens a MIDI output device,
// plays a song on a 5 ms clock through one send path, chases silently to a start
// second, and captures the notes of enabled channels into RTTTL text and ringtone
// records as they are sent.
//
// Threads: one control thread calls every operation; the clock's thread (if the
// clock has one) runs the ticks. Everything a tick touches is guarded by one
// mutex, the channel flags are atomic, and StopClock, CloseDevice and Prepare stop
// the clock and wait for a running tick before they change the cursors, so a tick
// never runs on freed cursors. The observer runs inside a tick with the engine
// locked: it must be quick, must not block, and may call only IsChannelOn.
//
// The microseconds-per-tick scale is the process-wide pair of CMidiTrackCursor, so
// only one engine should be playing or scanning at a time.
//
// The output, the clock and a prepared song must outlive the engine (the song at
// least until CloseDevice or the next Prepare).

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/sequencer/ClockSource.h"
#include "engine/sequencer/MidiOutput.h"
#include "engine/sequencer/PrepareResult.h"
#include "engine/sequencer/RtttlCapture.h"
#include "ringtone/RingtoneNote.h"
#include "song/MidiChannels.h"
#include "song/MidiMessage.h"
#include "song/MidiTrackCursor.h"

class CMidiSong;

// Called with every event a tick plays, before it is sent.
using EventObserver = std::function<void(const CMidiMessage&)>;

class CMidiEngine {
public:
    static constexpr int kChannels = kMidiChannels;
    static constexpr std::size_t kMaxTracks = 256;
    static constexpr std::uint16_t kMinDivision = 8;
    // Microseconds per quarter before the first Set Tempo (the Standard MIDI File
    // default): the live clock and the chase use it for songs without one.
    static constexpr std::uint32_t kDefaultTempo = 500000;
    // Microseconds per quarter with which Prepare measures a song that has no Set Tempo.
    static constexpr std::uint32_t kLengthTempo = 5000000;
    // Prepare refuses songs that would play longer than this.
    static constexpr std::uint32_t kMaxSongSeconds = 4 * 3600;

    CMidiEngine(CMidiOutput& output, CClockSource& clock);
    ~CMidiEngine();
    CMidiEngine(const CMidiEngine&) = delete;
    CMidiEngine& operator=(const CMidiEngine&) = delete;

    // Stores the observer (kept also when opening fails), closes an open device,
    // takes the device the output names as the user's choice when it is listed
    // (whatever its technology), else the first device whose technology is a
    // synthesizer (2, 3 or 4; lowest id wins), opens it, saves its volume and sends
    // a System Reset. False when no device qualifies or the one taken does not open;
    // GetOpenError then says why.
    [[nodiscard]] bool OpenDevice(EventObserver observer = {});
    // Why the last OpenDevice failed, for the user: a lower-case phrase without a
    // full stop, from the output when it knows. Empty after a success.
    [[nodiscard]] std::string GetOpenError() const;
    // Stops the clock if it runs, restores the saved volume and closes the device,
    // drops the cursors and clears the playback state. Sends no message itself.
    void CloseDevice();
    // The one send path. Note-on and note-off are held back while chasing, are
    // captured otherwise, and a note-on with velocity above 0 on a disabled channel
    // is held back (note-offs and velocity-0 note-ons always go). Other statuses,
    // 0xFF System Reset included, go unchanged. True when sent or held back by these
    // rules; false when the device is closed or refused the message.
    // delta: the event's delta ticks in its track, used only by the capture.
    [[nodiscard]] bool SendShortMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                        std::uint32_t delta);

    // Builds one cursor per track and scans the whole song: names[c] becomes the
    // label of channel c (0-15) from its last program change ("#01 PIANO/Acoustic
    // Grand", "#01 Unknown" without one), seconds the song length (the longest
    // track at the last Set Tempo, 5,000,000 microseconds per quarter without one).
    // discard drops the cursors after the scan; otherwise they stand rewound for
    // Seek. Any earlier cursors are dropped first, also on failure, when names and
    // seconds are left as they were.
    [[nodiscard]] PrepareResult Prepare(const CMidiSong& song, std::array<std::string, kChannels>& names,
                                        std::uint32_t& seconds, bool discard);
    // Starts a recording at startSecond (0-based, converted with the last Set Tempo
    // that Prepare met): the capture text restarts with a header, then every track
    // runs silently (program, controller and pitch-bend state is sent, notes are
    // not) until one reaches the target. Needs prepared cursors and an open device.
    void Seek(std::uint32_t startSecond);
    // Plays what is due at the start position at once, then starts the 5 ms clock.
    // True when the clock runs (also when it was running already).
    [[nodiscard]] bool StartClock();
    // Stops the clock and waits for a running tick, rewinds, sends a System Reset.
    void StopClock();
    // Stops the clock if it runs; every cursor back to the song start, the scale
    // back to the default tempo.
    void Rewind();
    // One 5 ms step over all tracks, lower track numbers first within the step.
    // stepDown false plays only what is due without counting time down.
    void Tick(bool stepDown);

    // channel 0-15; others are ignored (read as off). Lock-free, any thread.
    void SetChannelOn(int channel, bool on);
    [[nodiscard]] bool IsChannelOn(int channel) const;

    void SetToneName(std::string name);
    [[nodiscard]] std::string GetToneName() const;
    [[nodiscard]] std::string GetRtttl() const;
    // The captured ringtone records (at most 255).
    [[nodiscard]] std::vector<RingtoneNote> GetRingtoneNotes() const;
    [[nodiscard]] std::int32_t GetRingtoneTempo() const;

    [[nodiscard]] bool IsDeviceOpen() const;
    // The id of the device opened or last tried.
    [[nodiscard]] std::uint32_t GetDeviceId() const;
    [[nodiscard]] bool IsClockRunning() const { return m_bClockRunning.load(); }
    // Microseconds per quarter of the last Set Tempo that Prepare met (the default without one).
    [[nodiscard]] std::uint32_t GetLastTempo() const;
    // Clock ticks since StartClock: 0 during the first, un-stepped tick; n during the
    // tick due n * 5 ms after the start. Lock-free, any thread.
    [[nodiscard]] std::uint64_t GetTickNumber() const { return m_qwTickNumber.load(); }
    [[nodiscard]] std::size_t GetTrackCount() const;
    // True when there are no cursors or every cursor has played its last event.
    [[nodiscard]] bool AllTracksEnded() const;

private:
    void OnClockTick();
    void StopClockSource();
    [[nodiscard]] bool SendLocked(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::uint32_t delta);
    void CloseLocked();
    void RewindLocked();
    void TickLocked(bool stepDown);
    [[nodiscard]] bool PlayNextEvent(CMidiTrackCursor& cursor);
    void TempoStep(std::uint32_t tempo);
    [[nodiscard]] std::uint32_t ScaleOf(std::uint32_t tempo) const;
    [[nodiscard]] std::size_t CountLiveCursors() const;
    [[nodiscard]] bool ScanSong(std::array<std::string, kChannels>& names, std::uint64_t& longestTicks,
                                std::uint32_t& lengthTempo);
    void ScanRecord(const CMidiMessage& msg, const CMidiTrackCursor& cursor, std::array<std::string, kChannels>& names,
                    std::uint32_t& lengthTempo);
    void Chase(std::uint64_t target);

    CMidiOutput& m_output;
    CClockSource& m_clock;

    mutable std::mutex m_mutex; // guards everything below but the atomics

    std::unique_ptr<CMidiOutPort> m_hMidiOut;
    bool m_bDeviceOpen = false;
    std::uint32_t m_uDeviceId = 0;
    std::uint32_t m_dwSavedVolume = 0;
    EventObserver m_observer;
    std::string m_strOpenError;

    std::uint32_t m_uLastTempo = kDefaultTempo;
    std::array<std::atomic<bool>, kChannels> m_bChannelOn;
    const CMidiSong* m_pSong = nullptr;
    std::atomic<bool> m_bClockRunning{false};
    std::vector<CMidiTrackCursor> m_cursors;
    std::uint16_t m_wDivision = 0;
    bool m_bChasing = false;
    std::atomic<std::uint64_t> m_qwTickNumber{0};

    CRtttlCapture m_capture;
};
