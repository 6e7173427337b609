#include "tools/melody/MelodyTraining.h"

// The fit of the melody finder's weights, apart from the rest of the training so
// that it alone is built at -O3, where its loops over the hidden units run side by side.

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <span>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t K = kMelodyDescriptorCount;
constexpr std::size_t H = kMelodyHiddenUnits;
// The parameters in one vector: linear, hidden, hidden biases, output. The hidden
// weights lie descriptor by descriptor (K rows of H), so that the loops over the
// units run side by side.
constexpr std::size_t kHiddenAt = K;
constexpr std::size_t kBiasAt = K + K * H;
constexpr std::size_t kOutputAt = kBiasAt + H;
constexpr std::size_t kParameterCount = kOutputAt + H;

// The mean and the spread of each descriptor over all channels, so one penalty suits all.
struct Standardisation {
    std::array<double, K> mean{};
    std::array<double, K> scale{};
};

Standardisation StandardisationOf(const std::vector<TrainingSong>& songs)
{
    Standardisation s;
    std::size_t count = 0;
    for (const TrainingSong& song : songs)
        for (const MelodyChannelDescriptors& c : song.channels) {
            for (std::size_t k = 0; k < K; ++k)
                s.mean[k] += c.dValues[k];
            ++count;
        }
    for (double& m : s.mean)
        m /= static_cast<double>(std::max<std::size_t>(count, 1));
    for (const TrainingSong& song : songs)
        for (const MelodyChannelDescriptors& c : song.channels)
            for (std::size_t k = 0; k < K; ++k)
                s.scale[k] += (c.dValues[k] - s.mean[k]) * (c.dValues[k] - s.mean[k]);
    for (double& v : s.scale)
        v = std::sqrt(v / static_cast<double>(std::max<std::size_t>(count, 1)));
    return s;
}

// A song's channels, standardised: rows of K values, whether each is a tune, and
// the song's share of the loss.
struct StandardisedSong {
    std::vector<double> x;
    std::vector<bool> tune;
    double share = 0;
};

// The songs that can teach something: more than one channel, a tune among them.
std::vector<StandardisedSong> StandardisedSongs(const std::vector<TrainingSong>& songs, const Standardisation& standard)
{
    std::vector<const TrainingSong*> used;
    double totalWeight = 0;
    for (const TrainingSong& s : songs)
        if (s.channels.size() > 1 &&
            std::any_of(s.channels.begin(), s.channels.end(), [&](const auto& c) { return IsTuneChannel(s.tuneChannels, c.nChannel); })) {
            used.push_back(&s);
            totalWeight += s.dWeight;
        }
    std::vector<StandardisedSong> rows;
    for (const TrainingSong* s : used) {
        StandardisedSong r;
        r.share = s->dWeight / totalWeight;
        for (const MelodyChannelDescriptors& c : s->channels) {
            for (std::size_t k = 0; k < K; ++k)
                r.x.push_back(standard.scale[k] > 1e-9 ? (c.dValues[k] - standard.mean[k]) / standard.scale[k] : 0.0);
            r.tune.push_back(IsTuneChannel(s->tuneChannels, c.nChannel));
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

// Adds the gradient of the loss over `rows` (the negative log of the share the
// tune channels take of each song's scores) to `gradient`, with `Units` hidden units.
template <std::size_t Units>
void AddLossGradient(std::span<const StandardisedSong> rows, const std::vector<double>& theta,
                     std::vector<double>& gradient)
{
    const double* linear = &theta[0];
    const double* hidden = &theta[kHiddenAt];
    const double* bias = &theta[kBiasAt];
    const double* output = &theta[kOutputAt];
    std::vector<double> z;
    std::vector<double> units; // tanh of each hidden unit, channel by channel
    for (const StandardisedSong& r : rows) {
        const std::size_t n = r.tune.size();
        z.assign(n, 0);
        units.assign(n * H, 0);
        double top = -HUGE_VAL;
        for (std::size_t i = 0; i < n; ++i) {
            const double* x = &r.x[i * K];
            double* u = &units[i * H];
            std::copy(bias, bias + Units, u);
            for (std::size_t k = 0; k < K; ++k) {
                z[i] += linear[k] * x[k];
                for (std::size_t h = 0; h < Units; ++h)
                    u[h] += hidden[k * H + h] * x[k];
            }
            for (std::size_t h = 0; h < Units; ++h) {
                u[h] = std::tanh(u[h]);
                z[i] += output[h] * u[h];
            }
            top = std::max(top, z[i]);
        }
        double all = 0;
        double tune = 0;
        for (std::size_t i = 0; i < n; ++i) {
            z[i] = std::exp(z[i] - top);
            all += z[i];
            tune += r.tune[i] ? z[i] : 0;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const double g = r.share * (z[i] / all - (r.tune[i] ? z[i] / tune : 0));
            const double* x = &r.x[i * K];
            const double* u = &units[i * H];
            std::array<double, H> back{};
            for (std::size_t h = 0; h < Units; ++h) {
                gradient[kOutputAt + h] += g * u[h];
                back[h] = g * output[h] * (1 - u[h] * u[h]);
                gradient[kBiasAt + h] += back[h];
            }
            for (std::size_t k = 0; k < K; ++k) {
                gradient[k] += g * x[k];
                double* row = &gradient[kHiddenAt + k * H];
                for (std::size_t h = 0; h < Units; ++h)
                    row[h] += back[h] * x[k];
            }
        }
    }
}

// The songs are cut into this many slices, each taking its part of the gradient on
// a thread of its own; the parts add up in the same order on any machine, so the
// same songs give the same weights.
constexpr std::size_t kGradientSlices = 4;

// The gradient of the loss and the L2 penalty (the hidden units' biases are free).
template <std::size_t Units>
void LossGradient(const std::vector<StandardisedSong>& rows, const std::vector<double>& theta, double ridge,
                  std::vector<std::vector<double>>& parts, std::vector<double>& gradient)
{
    {
        std::vector<std::jthread> threads;
        for (std::size_t s = 0; s < kGradientSlices; ++s) {
            const std::size_t from = rows.size() * s / kGradientSlices;
            const std::size_t to = rows.size() * (s + 1) / kGradientSlices;
            std::fill(parts[s].begin(), parts[s].end(), 0.0);
            threads.emplace_back([&, from, to, s] {
                AddLossGradient<Units>(std::span(rows).subspan(from, to - from), theta, parts[s]);
            });
        }
    }
    for (std::size_t i = 0; i < theta.size(); ++i) {
        gradient[i] = (i >= kBiasAt && i < kOutputAt) ? 0.0 : ridge * theta[i];
        for (const std::vector<double>& part : parts)
            gradient[i] += part[i];
    }
}

// Adam on the whole set at each step: the loss is smooth and the set small.
template <std::size_t Units>
std::vector<double> Fit(const std::vector<StandardisedSong>& rows, double ridge)
{
    std::vector<double> theta(kParameterCount, 0.0);
    // The hidden units start from small fixed random weights, so that they differ.
    std::mt19937 random(29);
    std::normal_distribution<double> small(0.0, 0.3);
    for (std::size_t h = 0; h < H; ++h)
        for (std::size_t k = 0; k < K; ++k)
            theta[kHiddenAt + k * H + h] = small(random);

    constexpr int kSteps = 1500;
    constexpr double kRate = 0.03;
    constexpr double kBeta1 = 0.9;
    constexpr double kBeta2 = 0.999;
    std::vector<double> moment(theta.size(), 0.0);
    std::vector<double> power(theta.size(), 0.0);
    std::vector<double> gradient(theta.size());
    std::vector<std::vector<double>> parts(kGradientSlices, std::vector<double>(theta.size()));
    for (int step = 1; step <= kSteps; ++step) {
        LossGradient<Units>(rows, theta, ridge, parts, gradient);
        const double fix1 = 1 - std::pow(kBeta1, step);
        const double fix2 = 1 - std::pow(kBeta2, step);
        for (std::size_t i = 0; i < theta.size(); ++i) {
            moment[i] = kBeta1 * moment[i] + (1 - kBeta1) * gradient[i];
            power[i] = kBeta2 * power[i] + (1 - kBeta2) * gradient[i] * gradient[i];
            theta[i] -= kRate * (moment[i] / fix1) / (std::sqrt(power[i] / fix2) + 1e-8);
        }
    }
    return theta;
}
} // namespace

MelodyWeights TrainMelodyWeights(const std::vector<TrainingSong>& songs, double ridge, MelodyFitParts fitted)
{
    const Standardisation standard = StandardisationOf(songs);
    const std::vector<StandardisedSong> rows = StandardisedSongs(songs, standard);
    const std::vector<double> theta = fitted == MelodyFitParts::LinearOnly ? Fit<0>(rows, ridge) : Fit<H>(rows, ridge);

    // Back to the descriptors' own units. The linear part's means add the same to
    // every channel of a song, which its shares do not feel; inside a hidden unit
    // they move its bias.
    const auto& [mean, scale] = standard;
    const auto raw = [&](double w, std::size_t k) { return scale[k] > 1e-9 ? w / scale[k] : 0.0; };
    MelodyWeights weights{};
    for (std::size_t k = 0; k < K; ++k)
        weights.linear[k] = raw(theta[k], k);
    for (std::size_t h = 0; h < H; ++h) {
        weights.hiddenBias[h] = theta[kBiasAt + h];
        for (std::size_t k = 0; k < K; ++k) {
            weights.hidden[h][k] = raw(theta[kHiddenAt + k * H + h], k);
            weights.hiddenBias[h] -= weights.hidden[h][k] * mean[k];
        }
        weights.output[h] = theta[kOutputAt + h];
    }
    return weights;
}

MelodyWeights TrainMelodyModel(std::vector<TrainingSong>& songs, double ridge)
{
    constexpr auto kFirstRival = static_cast<std::size_t>(MelodyDescriptor::RivalLead);
    for (TrainingSong& s : songs)
        for (MelodyChannelDescriptors& c : s.channels)
            std::fill(c.dValues.begin() + kFirstRival, c.dValues.end(), 0.0);
    const MelodyWeights first = TrainMelodyWeights(songs, ridge, MelodyFitParts::LinearOnly);
    // Without its rival measures each channel's first look is its linear part.
    std::array<double, kMelodyDescriptorCount> firstLook = first.linear;
    std::fill(firstLook.begin() + kFirstRival, firstLook.end(), 0.0);
    for (TrainingSong& s : songs)
        AddRivalDescriptors(s.channels, s.pairs, firstLook);
    MelodyWeights weights = TrainMelodyWeights(songs, ridge);
    weights.firstLook = firstLook;
    return weights;
}
