#pragma once
// One open MIDI output device. Destroying the object closes the device.

#include <cstdint>

class CMidiOutPort {
public:
    CMidiOutPort() = default;
    CMidiOutPort(const CMidiOutPort&) = delete;
    CMidiOutPort& operator=(const CMidiOutPort&) = delete;
    virtual ~CMidiOutPort() = default;

    // A packed short message: status in bits 0-7, data 1 in bits 8-15, data 2 in
    // bits 16-23, top byte 0. Status 0xFF is the MIDI System Reset. False when the
    // device did not take it.
    [[nodiscard]] virtual bool ShortMsg(std::uint32_t packed) = 0;
    // Packed volume: left in the low word, right in the high word, 0xFFFF each at full.
    [[nodiscard]] virtual bool GetVolume(std::uint32_t& volume) = 0;
    [[nodiscard]] virtual bool SetVolume(std::uint32_t volume) = 0;
};

// A device without a volume of its own (a sequencer port, a silent synthesizer):
// the value is only kept, so that restoring the volume read at open gives it back.
class CKeptVolumeOutPort : public CMidiOutPort {
public:
    [[nodiscard]] bool GetVolume(std::uint32_t& volume) override
    {
        volume = m_dwVolume;
        return true;
    }
    [[nodiscard]] bool SetVolume(std::uint32_t volume) override
    {
        m_dwVolume = volume;
        return true;
    }

private:
    std::uint32_t m_dwVolume = 0xFFFFFFFF;
};
