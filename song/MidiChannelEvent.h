#pragma once
// A channel message, status 0x80-0xEF, with one or two data bytes.

#include "song/MidiEvent.h"

class CMidiChannelEvent final : public CMidiEvent {
public:
    CMidiChannelEvent(std::uint32_t delta, std::uint8_t status) : CMidiEvent(delta, status) {}

    // Data bytes of a channel status by its high nibble (0 for 0xF0-0xFF).
    [[nodiscard]] static std::int32_t DataLengthOf(std::uint8_t status);

    bool Read(CMidiArchive& ar, std::uint32_t& bytesRead) override;
    // Leaves the status out when the previous event in the list has the same one.
    bool Write(CMidiArchive& ar) const override;
    void Dump(std::string& sink) const override;
    std::string GetName() const override;
    std::string GetText() const override { return std::string(); }
    std::int32_t GetValue() const override { return 0; }
    std::int32_t GetCategory() const override { return 0; }
    void FillMessage(CMidiMessage& msg) const override;
    std::uint32_t StoredBodySize() const override { return static_cast<std::uint32_t>(DataLength()); }
    // 1 or 2, by the status (see DataLengthOf); kept as no field, since a song holds
    // millions of these events.
    [[nodiscard]] std::int32_t DataLength() const { return DataLengthOf(m_byStatus); }

    std::uint8_t m_byData[2] = {0, 0};
};
