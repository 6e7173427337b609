#include "songtone/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double kEncoderRoomDb = 0.5;
constexpr double kLookaheadSeconds = 0.002;
constexpr double kReleaseSeconds = 0.08;
constexpr int kRounds = 6;

struct StateFree {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

double Decibels(double linear)
{
    return 20 * std::log10(std::max(linear, 1e-9));
}

void Gain(std::vector<float>& samples, double db)
{
    const auto factor = static_cast<float>(std::pow(10.0, db / 20));
    for (float& sample : samples)
        sample *= factor;
}

// A look-ahead limiter: each frame's gain is what keeps the peaks of the next few
// milliseconds under `ceiling`, reached along a ramp, then eased back up.
void Limit(std::vector<float>& samples, int channels, int rate, double ceiling)
{
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    std::vector<double> need(frames, 1.0);
    for (std::size_t f = 0; f < frames; ++f) {
        float peak = 0;
        for (int c = 0; c < channels; ++c)
            peak = std::max(peak, std::fabs(samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)]));
        if (peak > ceiling)
            need[f] = ceiling / peak;
    }
    // The next frame from each on that needs less than full gain, to skip the rest.
    std::vector<std::size_t> next(frames + 1, frames);
    for (std::size_t f = frames; f-- > 0;)
        next[f] = need[f] < 1.0 ? f : next[f + 1];
    const auto lookahead = static_cast<std::size_t>(kLookaheadSeconds * rate) + 1;
    const double release = 1.0 / (kReleaseSeconds * rate);
    double gain = 1.0;
    for (std::size_t f = 0; f < frames; ++f) {
        double target = 1.0;
        for (std::size_t g = next[f]; g < frames && g <= f + lookahead; g = next[g + 1])
            target = std::min(target, need[g] + (1.0 - need[g]) * static_cast<double>(g - f) / lookahead);
        gain = std::min(target, gain + release);
        for (int c = 0; c < channels; ++c)
            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] *= static_cast<float>(gain);
    }
}

} // namespace

bool MeasureLoudness(const std::vector<float>& samples, int channels, int rate, double& lufs, double& truePeakDb,
                     std::string& error)
{
    std::unique_ptr<ebur128_state, StateFree> state(
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    if (!state) {
        error = "the loudness meter does not start";
        return false;
    }
    if (ebur128_add_frames_float(state.get(), samples.data(), samples.size() / static_cast<std::size_t>(channels)) !=
            EBUR128_SUCCESS ||
        ebur128_loudness_global(state.get(), &lufs) != EBUR128_SUCCESS) {
        error = "the loudness meter fails";
        return false;
    }
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double channelPeak = 0;
        if (ebur128_true_peak(state.get(), static_cast<unsigned>(c), &channelPeak) != EBUR128_SUCCESS) {
            error = "the true-peak meter fails";
            return false;
        }
        peak = std::max(peak, channelPeak);
    }
    truePeakDb = Decibels(peak);
    return true;
}

bool NormalizeLoudness(std::vector<float>& samples, int channels, int rate, double lufs, double truePeakDb,
                       LoudnessReport& report, std::string& error)
{
    report = {};
    double measured = 0;
    double peak = 0;
    if (!MeasureLoudness(samples, channels, rate, measured, peak, error))
        return false;
    if (!std::isfinite(measured)) {
        report.dLufs = measured;
        report.dTruePeakDb = peak;
        return true; // silence stays silence
    }
    const double ceilingDb = truePeakDb - kEncoderRoomDb;
    const std::vector<float> given = samples;
    double gain = lufs - measured;
    for (int round = 0; round < kRounds; ++round) {
        samples = given;
        Gain(samples, gain);
        report.bLimited = peak + gain > ceilingDb;
        // The limiter works on samples; a true peak between them may stand a little
        // higher, so each round lowers its ceiling by what was still over.
        double sampleCeiling = ceilingDb;
        for (int pass = 0; report.bLimited && pass < kRounds; ++pass) {
            std::vector<float> limited = samples;
            Limit(limited, channels, rate, std::pow(10.0, sampleCeiling / 20));
            double after = 0;
            if (!MeasureLoudness(limited, channels, rate, report.dLufs, after, error))
                return false;
            if (after <= ceilingDb || pass + 1 == kRounds) {
                samples = std::move(limited);
                break;
            }
            sampleCeiling -= after - ceilingDb + 0.1;
        }
        if (!MeasureLoudness(samples, channels, rate, report.dLufs, report.dTruePeakDb, error))
            return false;
        report.dGainDb = gain;
        // The limiter lowers the loudness a little: more gain before it, once more.
        if (std::fabs(report.dLufs - lufs) <= 0.5)
            break;
        gain += lufs - report.dLufs;
    }
    return true;
}
