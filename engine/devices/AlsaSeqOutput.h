#pragma once
// The ALSA sequencer's writable ports of other clients (external synthesizers,
// MIDI interfaces, software synthesizers), one device each. The technology comes
// from the port type: a synthesizer port is 2 when it is hardware and 7 when it is
// software or an application, any other port is a MIDI port (1). A machine without
// a sequencer simply has no devices.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/sequencer/MidiOutput.h"

class CAlsaSeqOutput final : public CMidiOutput {
public:
    // Port type bits as the ALSA sequencer defines them.
    static constexpr std::uint32_t kTypeMidiGeneric = 1u << 1;
    static constexpr std::uint32_t kTypeSynth = 1u << 10;
    static constexpr std::uint32_t kTypeDirectSample = 1u << 11;
    static constexpr std::uint32_t kTypeSample = 1u << 12;
    static constexpr std::uint32_t kTypeHardware = 1u << 16;
    static constexpr std::uint32_t kTypeSoftware = 1u << 17;
    static constexpr std::uint32_t kTypeSynthesizer = 1u << 18;
    static constexpr std::uint32_t kTypeApplication = 1u << 20;

    CAlsaSeqOutput();
    ~CAlsaSeqOutput() override;

    std::uint32_t GetNumDevs() override;
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override;
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;
    // Why the last Open failed: the sequencer does not open, the port is gone, ...
    [[nodiscard]] std::string LastError() const override { return m_strError; }

    [[nodiscard]] static std::uint16_t TechnologyOf(std::uint32_t portType);

private:
    struct Port {
        int nClient = 0;
        int nPort = 0;
        MidiOutCaps caps;
    };

    std::vector<Port> m_ports;
    std::string m_strError;
};
