#pragma once
// A preview renderer for tests: the Ogg Vorbis of a quarter of a second of a quiet
// 440 Hz tone at 8000 Hz mono, whatever the MIDI, counting the calls. Every preview
// it makes has the same size. It can be told to fail, or to take its time.

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "gallery/preview/PreviewRenderer.h"

class CFakePreviewRenderer final : public CPreviewRenderer {
public:
    bool RenderPreview(std::span<const std::uint8_t> midi, std::string& ogg, std::string& error) override;

    [[nodiscard]] int Calls() const { return m_nCalls.load(); }
    void SetFail(bool bFail) { m_bFail = bFail; }
    // Each render takes this long, as a real one may.
    void SetDelayMs(int ms) { m_nDelayMs = ms; }
    // While held, every render waits, so that none frees its place however slowly
    // the test's own requests arrive; Release lets them all go on.
    void Hold();
    void Release();

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_bHeld = false;
    std::atomic<int> m_nCalls{0};
    std::atomic<bool> m_bFail{false};
    std::atomic<int> m_nDelayMs{0};
};
