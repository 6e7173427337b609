#include "engine/WavRenderer.h"

#include <array>
#include <vector>

#include "engine/FluidSynthOutput.h"
#include "engine/ManualClock.h"
#include "engine/MidiEngine.h"
#include "engine/SoundFontPath.h"
#include "engine/WavWriter.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 1000000 / CClockSource::kPeriodMicroseconds;

// Audio and ticks share one time line: tick k covers frames [end(k - 1), end(k)).
class CFramePump {
public:
    CFramePump(CFluidSynthOutput& synth, CWavWriter& wav, int rate) : m_synth(synth), m_wav(wav), m_nRate(rate) {}

    [[nodiscard]] bool RenderUntilTick(std::uint64_t tickEnd)
    {
        const std::uint64_t end = tickEnd * static_cast<std::uint64_t>(m_nRate) / kTicksPerSecond;
        while (m_qwDone < end) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(end - m_qwDone, 4096));
            m_buffer.resize(2 * n);
            if (!m_synth.Render(m_buffer.data(), n) || !m_wav.Write(m_buffer.data(), m_buffer.size()))
                return false;
            m_qwDone += n;
        }
        return true;
    }
    [[nodiscard]] std::uint64_t Frames() const { return m_qwDone; }

private:
    CFluidSynthOutput& m_synth;
    CWavWriter& m_wav;
    int m_nRate;
    std::uint64_t m_qwDone = 0;
    std::vector<std::int16_t> m_buffer;
};

} // namespace

bool CWavRenderer::Fail(std::string message)
{
    m_strError = std::move(message);
    return false;
}

bool CWavRenderer::Render(const CMidiSong& song, const std::string& path, const WavRenderOptions& options)
{
    m_strError.clear();
    m_qwFrames = 0;
    const std::string soundFont = options.strSoundFont.empty() ? FindSoundFont() : options.strSoundFont;
    if (soundFont.empty())
        return Fail("no General MIDI SoundFont found (install fluid-soundfont-gm or set ZORVAT_SOUNDFONT)");

    CFluidSynthOutput synth(CFluidSynthOutput::Mode::Offline, soundFont, options.nSampleRate);
    CManualClock clock;
    CMidiEngine engine(synth, clock);
    if (!engine.OpenDevice())
        return Fail("cannot open the synthesizer: " + synth.LastError());
    std::array<std::string, CMidiEngine::kChannels> names;
    std::uint32_t seconds = 0;
    const PrepareResult prepared = engine.Prepare(song, names, seconds, false);
    if (prepared != PrepareResult::kOk)
        return Fail(PrepareResultText(prepared));

    CWavWriter wav;
    if (!wav.Open(path, synth.GetSampleRate(), 2))
        return Fail("cannot create " + path);
    engine.Seek(options.uFromSecond);
    if (!engine.StartClock())
        return Fail("the clock does not start");

    CFramePump pump(synth, wav, synth.GetSampleRate());
    const std::uint64_t lastTick = options.uMaxSeconds ? options.uMaxSeconds * kTicksPerSecond : UINT64_MAX;
    std::uint64_t tick = 0;
    bool ok = true;
    for (;;) {
        ok = pump.RenderUntilTick(tick + 1);
        if (!ok || engine.AllTracksEnded() || tick + 1 >= lastTick)
            break;
        clock.Step(1);
        ++tick;
    }
    const std::uint64_t tailTicks = options.uTailMilliseconds * kTicksPerSecond / 1000;
    ok = ok && pump.RenderUntilTick(tick + 1 + tailTicks);
    engine.StopClock();
    engine.CloseDevice();
    m_qwFrames = pump.Frames();
    if (!wav.Close() || !ok)
        return Fail("cannot write " + path);
    return true;
}
