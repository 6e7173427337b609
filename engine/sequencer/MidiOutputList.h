#pragma once
// Several outputs shown as one: the devices of the first output come first, then
// those of the second, and so on. LastError is that of the output the last Open
// went to; before any Open since GetNumDevs, the first one an output has.

#include <memory>
#include <vector>

#include "engine/sequencer/MidiOutput.h"

class CMidiOutputList final : public CMidiOutput {
public:
    void Add(std::unique_ptr<CMidiOutput> output);

    std::uint32_t GetNumDevs() override;
    bool GetDevCaps(std::uint32_t id, MidiOutCaps& caps) override;
    std::unique_ptr<CMidiOutPort> Open(std::uint32_t id) override;
    std::string LastError() const override;

private:
    // Finds the output holding a flat id and the id within it; false when out of range.
    [[nodiscard]] bool Locate(std::uint32_t id, CMidiOutput*& output, std::uint32_t& local) const;

    std::vector<std::unique_ptr<CMidiOutput>> m_outputs;
    std::vector<std::uint32_t> m_counts; // per output, from the last GetNumDevs
    const CMidiOutput* m_pOpened = nullptr; // where the last Open went; null after GetNumDevs
    std::string m_strError;                 // of an Open that found no device
};
