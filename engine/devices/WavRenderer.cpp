#include "engine/devices/WavRenderer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/devices/FluidSynthOutput.h"
#include "engine/devices/SoundFontPath.h"
#include "engine/sequencer/ChannelFilterOutput.h"
#include "engine/sequencer/ManualClock.h"
#include "engine/sequencer/MidiEngine.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 1000000 / CClockSource::kPeriodMicroseconds;

// Audio and ticks share one time line: tick k covers frames [end(k - 1), end(k)).
// Nothing goes out past the last frame; the frames before it fade out.
class CFramePump {
public:
    CFramePump(CFluidSynthOutput& synth, CSoundFileWriter& out, int rate, const WavRenderOptions& options)
        : m_synth(synth), m_out(out), m_nRate(rate), m_nChannels(options.nChannels)
    {
        if (options.uMaxMilliseconds > 0) {
            m_qwLastFrame = std::uint64_t{options.uMaxMilliseconds} * static_cast<std::uint64_t>(rate) / 1000;
            m_qwFadeFrames = std::min(m_qwLastFrame, std::uint64_t{options.uFadeMilliseconds} *
                                                          static_cast<std::uint64_t>(rate) / 1000);
        }
    }

    [[nodiscard]] bool RenderUntilTick(std::uint64_t tickEnd)
    {
        const std::uint64_t end =
            std::min(tickEnd * static_cast<std::uint64_t>(m_nRate) / kTicksPerSecond, m_qwLastFrame);
        while (m_qwDone < end) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(end - m_qwDone, 4096));
            m_buffer.resize(2 * n);
            if (!m_synth.Render(m_buffer.data(), n))
                return false;
            Fade(n);
            if (m_nChannels == 1)
                MixDown(n);
            if (!m_out.Write(m_buffer.data(), n * static_cast<std::size_t>(m_nChannels)))
                return false;
            m_qwDone += n;
        }
        return true;
    }
    [[nodiscard]] bool AtLastFrame() const { return m_qwDone >= m_qwLastFrame; }
    [[nodiscard]] std::uint64_t Frames() const { return m_qwDone; }

private:
    // A linear fade: the gain falls from 1 to 0 over the frames before the last.
    void Fade(std::size_t n)
    {
        const std::uint64_t fadeStart = m_qwLastFrame - m_qwFadeFrames;
        if (m_qwDone + n <= fadeStart)
            return;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t frame = m_qwDone + i;
            if (frame < fadeStart)
                continue;
            const double gain = static_cast<double>(m_qwLastFrame - frame) / static_cast<double>(m_qwFadeFrames);
            for (std::size_t c = 2 * i; c < 2 * i + 2; ++c)
                m_buffer[c] = static_cast<std::int16_t>(m_buffer[c] * gain);
        }
    }
    void MixDown(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            m_buffer[i] = static_cast<std::int16_t>((m_buffer[2 * i] + m_buffer[2 * i + 1]) / 2);
    }

    CFluidSynthOutput& m_synth;
    CSoundFileWriter& m_out;
    int m_nRate;
    int m_nChannels;
    std::uint64_t m_qwLastFrame = UINT64_MAX;
    std::uint64_t m_qwFadeFrames = 0;
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
    return RenderWith(song, options, [&](CSoundFileWriter& out, int sampleRate, int channels) {
        return out.Open(path, SoundFileFormatOf(path), sampleRate, channels);
    });
}

bool CWavRenderer::RenderToMemory(const CMidiSong& song, SoundFileFormat format, std::string& bytes,
                                  const WavRenderOptions& options)
{
    return RenderWith(song, options, [&](CSoundFileWriter& out, int sampleRate, int channels) {
        return out.OpenMemory(bytes, format, sampleRate, channels);
    });
}

bool CWavRenderer::RenderWith(const CMidiSong& song, const WavRenderOptions& options, const Opener& open)
{
    m_strError.clear();
    m_qwFrames = 0;
    if (options.nChannels != 1 && options.nChannels != 2)
        return Fail("the audio is mono or stereo");
    const std::string soundFont = options.strSoundFont.empty() ? FindSoundFont() : options.strSoundFont;
    if (soundFont.empty())
        return Fail("no General MIDI SoundFont found (install fluid-soundfont-gm or set ZORVAT_SOUNDFONT)");

    CFluidSynthOutput synth(CFluidSynthOutput::Mode::Offline, soundFont, options.nSampleRate);
    CChannelFilterOutput sounding(synth, options.wChannelMask);
    CManualClock clock;
    CMidiEngine engine(sounding, clock);
    if (!engine.OpenDevice())
        return Fail("cannot open the synthesizer: " + synth.LastError());
    std::array<std::string, CMidiEngine::kChannels> names;
    std::uint32_t seconds = 0;
    const PrepareResult prepared = engine.Prepare(song, names, seconds, false);
    if (prepared != PrepareResult::kOk)
        return Fail(PrepareResultText(prepared));

    CSoundFileWriter out;
    m_nSampleRate = synth.GetSampleRate();
    if (!open(out, m_nSampleRate, options.nChannels))
        return Fail(out.LastError());
    engine.Seek(options.uFromSecond);
    if (!engine.StartClock())
        return Fail("the clock does not start");

    CFramePump pump(synth, out, synth.GetSampleRate(), options);
    std::uint64_t tick = 0;
    bool ok = true;
    for (;;) {
        ok = pump.RenderUntilTick(tick + 1);
        if (!ok || engine.AllTracksEnded() || pump.AtLastFrame())
            break;
        if (options.progress && options.uMaxMilliseconds > 0 && tick % kTicksPerSecond == 0)
            options.progress(static_cast<double>(tick) * 1000 / kTicksPerSecond / options.uMaxMilliseconds);
        clock.Step(1);
        ++tick;
    }
    const std::uint64_t tailTicks = options.uTailMilliseconds * kTicksPerSecond / 1000;
    ok = ok && pump.RenderUntilTick(tick + 1 + tailTicks);
    engine.StopClock();
    engine.CloseDevice();
    m_qwFrames = pump.Frames();
    const bool closed = out.Close();
    if (!ok || !closed)
        return Fail(out.LastError().empty() ? "the synthesizer stopped rendering" : out.LastError());
    return true;
}
