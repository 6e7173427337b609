#include "engine/capture/OfflineRecorder.h"

#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/MidiEngine.h"
#include "engine/sequencer/SilentMidiOutput.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 1000000 / CClockSource::kPeriodMicroseconds;

} // namespace

PrepareResult ScanAsThePlayer(const CMidiSong& song, std::array<std::string, kMidiChannels>& labels, std::uint32_t& seconds)
{
    CSilentMidiOutput output;
    CManualClock clock;
    CMidiEngine engine(output, clock);
    return engine.Prepare(song, labels, seconds, true);
}

bool COfflineRecorder::Record(const CMidiSong& song, const OfflineRecordOptions& options, OfflineRecording& out)
{
    m_strError.clear();
    CSilentMidiOutput output;
    CManualClock clock;
    CMidiEngine engine(output, clock);
    engine.SetToneName(options.strToneName);
    for (int c = 0; c < CMidiEngine::kChannels; ++c)
        engine.SetChannelOn(c, options.bChannelOn[static_cast<std::size_t>(c)]);
    if (!engine.OpenDevice()) {
        m_strError = "the silent device does not open";
        return false;
    }
    std::array<std::string, CMidiEngine::kChannels> names;
    std::uint32_t length = 0;
    m_result = engine.Prepare(song, names, length, false);
    if (m_result != PrepareResult::kOk) {
        m_strError = PrepareResultText(m_result);
        return false;
    }
    engine.Seek(options.uFromSecond);
    if (!engine.StartClock()) {
        m_strError = "the clock does not start";
        return false;
    }
    // Once every track has ended the remaining ticks play nothing. Prepare has
    // bounded the song's length, so running to the end always ends.
    const std::uint64_t ticks =
        options.nSeconds >= 0 ? static_cast<std::uint64_t>(options.nSeconds) * kTicksPerSecond : UINT64_MAX;
    std::uint64_t run = 0;
    while (run < ticks && !engine.AllTracksEnded())
        run += clock.Step(1);
    engine.StopClock();

    out.strRtttl = engine.GetRtttl();
    out.notes = engine.GetRingtoneNotes();
    out.nTempo = engine.GetRingtoneTempo();
    out.uSongSeconds = length;
    out.qwTicks = run;
    engine.CloseDevice();
    return true;
}
