#include "songtone/SongRingtone.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/devices/WavRenderer.h"

namespace {

constexpr int kChannels = 2;
// The share of the work the synthesizer takes; the loudness and the encoder the rest.
constexpr double kRenderShare = 0.7;

// The rendered frames from `skip` on, `frames` of them (silence past the render's end).
std::vector<float> Window(const std::string& pcm, std::size_t skip, std::size_t frames)
{
    std::vector<float> out(frames * kChannels, 0.0F);
    const std::size_t have = pcm.size() / sizeof(std::int16_t) / kChannels;
    for (std::size_t f = 0; f < frames && skip + f < have; ++f)
        for (std::size_t c = 0; c < kChannels; ++c) {
            std::int16_t sample = 0;
            std::memcpy(&sample, pcm.data() + ((skip + f) * kChannels + c) * sizeof sample, sizeof sample);
            out[f * kChannels + c] = static_cast<float>(sample) / 32768.0F;
        }
    return out;
}

void Fade(std::vector<float>& samples, int rate, bool bOut)
{
    const std::size_t frames = samples.size() / kChannels;
    const std::size_t in = std::min(frames, static_cast<std::size_t>(kSongRingtoneFadeInSeconds * rate));
    for (std::size_t f = 0; f < in; ++f)
        for (std::size_t c = 0; c < kChannels; ++c)
            samples[f * kChannels + c] *= static_cast<float>(f) / static_cast<float>(in);
    if (!bOut)
        return;
    const std::size_t out = std::min(frames, static_cast<std::size_t>(kSongRingtoneFadeOutSeconds * rate));
    for (std::size_t k = 0; k < out; ++k) {
        // A raised cosine: the level falls evenly to the ear, to silence at the end.
        const double left = static_cast<double>(out - k) / static_cast<double>(out);
        const auto gain = static_cast<float>(0.5 - 0.5 * std::cos(M_PI * left));
        for (std::size_t c = 0; c < kChannels; ++c)
            samples[(frames - out + k) * kChannels + c] *= gain;
    }
}

std::vector<std::int16_t> Pcm16(const std::vector<float>& samples)
{
    std::vector<std::int16_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp(samples[i], -1.0F, 32767.0F / 32768.0F) * 32768.0F));
    return out;
}

} // namespace

bool RenderSongRingtone(const CMidiSong& song, const CSongNotes& notes, const SongRingtoneRange& range,
                        const SongRingtoneOptions& options, std::string& bytes, SongRingtoneReport& report,
                        std::string& error)
{
    report = {};
    report.range = range;
    // The player starts at a slider second: render from the one at or before the
    // start, and leave out what comes before it.
    const std::uint32_t second = notes.SliderSecondAt(range.qwStartTick);
    const double skipSeconds = notes.SecondsAt(range.qwStartTick) - notes.SecondsAt(notes.TickAtSliderSecond(second));
    WavRenderOptions render;
    render.uFromSecond = second;
    render.uMaxMilliseconds = static_cast<std::uint32_t>(std::ceil((skipSeconds + range.dSeconds) * 1000)) + 1;
    render.nChannels = kChannels;
    render.wChannelMask = options.wChannels;
    render.strSoundFont = options.strSoundFont;
    if (options.progress)
        render.progress = [&](double done) { options.progress(done * kRenderShare); };
    CWavRenderer renderer;
    std::string pcm;
    if (!renderer.RenderToMemory(song, SoundFileFormat::RawPcm16, pcm, render)) {
        error = renderer.LastError();
        return false;
    }
    const int rate = renderer.GetSampleRate();
    std::vector<float> samples = Window(pcm, static_cast<std::size_t>(std::lround(skipSeconds * rate)),
                                        static_cast<std::size_t>(std::lround(range.dSeconds * rate)));
    Fade(samples, rate, !options.bLoop);
    if (!NormalizeLoudness(samples, kChannels, rate, kRingtoneLufs, kRingtoneTruePeakDb, report.loudness, error))
        return false;
    if (options.progress)
        options.progress(0.85);
    const std::vector<std::int16_t> pcm16 = Pcm16(samples);
    const SoundTags tags{options.strTitle, options.bLoop && options.container == SoundContainer::OggVorbis};
    if (!EncodeSound(pcm16.data(), pcm16.size() / kChannels, rate, kChannels, options.container, tags, bytes, error))
        return false;
    if (options.progress)
        options.progress(1.0);
    return true;
}
