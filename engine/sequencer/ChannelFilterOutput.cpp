#include "engine/sequencer/ChannelFilterOutput.h"

namespace {

constexpr std::uint32_t kNoteOn = 0x90;

class CChannelFilterPort final : public CMidiOutPort {
public:
    CChannelFilterPort(std::unique_ptr<CMidiOutPort> inner, std::uint16_t mask) : m_pInner(std::move(inner)), m_wMask(mask)
    {
    }

    [[nodiscard]] bool ShortMsg(std::uint32_t packed) override
    {
        const std::uint32_t status = packed & 0xFF;
        if ((status & 0xF0) == kNoteOn && (m_wMask & (1u << (status & 0x0F))) == 0)
            return true; // taken, and not sounded
        return m_pInner->ShortMsg(packed);
    }
    [[nodiscard]] bool GetVolume(std::uint32_t& volume) override { return m_pInner->GetVolume(volume); }
    [[nodiscard]] bool SetVolume(std::uint32_t volume) override { return m_pInner->SetVolume(volume); }

private:
    std::unique_ptr<CMidiOutPort> m_pInner;
    std::uint16_t m_wMask;
};

} // namespace

std::unique_ptr<CMidiOutPort> CChannelFilterOutput::Open(std::uint32_t id)
{
    std::unique_ptr<CMidiOutPort> port = m_inner.Open(id);
    if (!port)
        return nullptr;
    return std::make_unique<CChannelFilterPort>(std::move(port), m_wMask);
}
