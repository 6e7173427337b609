#include "gallery/FakePreviewRenderer.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/WavWriter.h"

bool CFakePreviewRenderer::RenderWav(std::span<const std::uint8_t>, const std::string& path, std::string& error)
{
    ++m_nCalls;
    if (m_bFail) {
        error = "the fake renderer was told to fail";
        return false;
    }
    constexpr int kRate = 8000;
    std::vector<std::int16_t> samples(kRate / 4);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(3000 * std::sin(2 * std::numbers::pi * 440 * i / kRate));
    CWavWriter wav;
    if (!wav.Open(path, kRate, 1) || !wav.Write(samples.data(), samples.size()) || !wav.Close()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
