#pragma once
// An output that sounds only some channels of what it is sent: the notes of the
// others are not started (their controllers and programs still pass, so that a
// channel turned on later sounds as the song set it up). It wraps another output.

#include <cstdint>
#include <memory>

#include "engine/sequencer/MidiOutput.h"

class CChannelFilterOutput final : public CMidiOutput {
public:
    // Bit n of `channelMask` on: channel n (0-15) sounds.
    CChannelFilterOutput(CMidiOutput& inner, std::uint16_t channelMask) : m_inner(inner), m_wMask(channelMask) {}

    [[nodiscard]] std::uint32_t GetNumDevs() override { return m_inner.GetNumDevs(); }
    [[nodiscard]] bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override { return m_inner.GetDevCaps(id, caps); }
    [[nodiscard]] std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;
    [[nodiscard]] std::string LastError() const override { return m_inner.LastError(); }

private:
    CMidiOutput& m_inner;
    std::uint16_t m_wMask;
};
