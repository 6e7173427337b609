#include "tests/support/FakePreviewRenderer.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <numbers>
#include <vector>

#include "engine/devices/SoundFileWriter.h"

bool CFakePreviewRenderer::RenderPreview(std::span<const std::uint8_t>, std::string& ogg, std::string& error)
{
    ++m_nCalls;
    {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return !m_bHeld; });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(m_nDelayMs.load()));
    if (m_bFail) {
        error = "the fake renderer was told to fail";
        return false;
    }
    constexpr int kRate = 8000;
    std::vector<std::int16_t> samples(kRate / 4);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(3000 * std::sin(2 * std::numbers::pi * 440 * i / kRate));
    CSoundFileWriter out;
    if (!out.OpenMemory(ogg, SoundFileFormat::OggVorbis, kRate, 1) || !out.Write(samples.data(), samples.size()) ||
        !out.Close()) {
        error = out.LastError();
        return false;
    }
    return true;
}

void CFakePreviewRenderer::Hold()
{
    std::lock_guard lock(m_mutex);
    m_bHeld = true;
}

void CFakePreviewRenderer::Release()
{
    {
        std::lock_guard lock(m_mutex);
        m_bHeld = false;
    }
    m_released.notify_all();
}
