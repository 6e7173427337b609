#pragma once
// Loudness as EBU R128 measures it (libebur128): integrated loudness in LUFS and true
// peak in dBTP, and a sound brought to a target by gain, with a true-peak limiter only
// where the gain would clip.

#include <string>
#include <vector>

// A ringtone's loudness: no standard exists; this is the streaming services' level,
// with a true peak that leaves room for the phone's encoder.
inline constexpr double kRingtoneLufs = -16;
inline constexpr double kRingtoneTruePeakDb = -1;

struct LoudnessReport {
    double dLufs = 0;       // after
    double dTruePeakDb = 0; // after
    double dGainDb = 0;     // the gain applied
    bool bLimited = false;  // the limiter took the peaks down
};

// Measures interleaved float samples (full scale 1.0). False with the library's fault.
[[nodiscard]] bool MeasureLoudness(const std::vector<float>& samples, int channels, int rate, double& lufs,
                                   double& truePeakDb, std::string& error);

// Brings `samples` to `lufs` within ±0.5 LU with a true peak at most `truePeakDb`
// (less one half dB of room for the encoder). A sound with no loudness (silence)
// is left as it is. False with the fault.
[[nodiscard]] bool NormalizeLoudness(std::vector<float>& samples, int channels, int rate, double lufs,
                                     double truePeakDb, LoudnessReport& report, std::string& error);
