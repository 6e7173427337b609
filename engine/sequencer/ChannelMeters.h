#pragma once
// The last pitch of each channel's meter, written by the engine's observer on the
// clock thread and polled by the user interface: lock-free both ways.

#include <array>
#include <atomic>
#include <cstdint>

#include "song/MidiChannels.h"
#include "song/MidiMessage.h"

class CChannelMeters {
public:
    // The meter's range: notes 48-95 show as themselves.
    static constexpr std::int32_t kLow = 48;
    static constexpr std::int32_t kHigh = 95;

    CChannelMeters() { Reset(kLow); }

    // For a note-on (status 0x90-0x9F, any velocity) of an enabled channel, sets
    // that channel's meter to MeterValueOf(note); other events leave the meters alone.
    void Observe(const CMidiMessage& msg, bool channelOn)
    {
        if (msg.m_nKind != CMidiMessage::kChannel || (msg.m_byStatus & 0xF0) != 0x90 || !channelOn)
            return;
        Set(ChannelOfStatus(msg.m_byStatus), MeterValueOf(msg.m_byData1));
    }
    // channel 0-15; others are ignored (Get gives 0).
    void Set(int channel, std::int32_t value)
    {
        if (channel >= 0 && channel < 16)
            m_nPitch[static_cast<std::size_t>(channel)].store(value, std::memory_order_relaxed);
    }
    [[nodiscard]] std::int32_t Get(int channel) const
    {
        return channel >= 0 && channel < 16 ? m_nPitch[static_cast<std::size_t>(channel)].load(std::memory_order_relaxed)
                                            : 0;
    }
    void Reset(std::int32_t value)
    {
        for (auto& p : m_nPitch)
            p.store(value, std::memory_order_relaxed);
    }

    // The note itself within 48-95, 95 above, 0 (an empty meter) below.
    [[nodiscard]] static std::int32_t MeterValueOf(std::uint8_t note)
    {
        if (note > kHigh)
            return kHigh;
        return note < kLow ? 0 : note;
    }

private:
    std::array<std::atomic<std::int32_t>, kMidiChannels> m_nPitch;
};
