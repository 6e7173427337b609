#pragma once
// A meta event, status 0xFF: type, length and an owned data block.

#include <memory>

#include "song/ByteOrder.h"
#include "song/MidiEvent.h"
#include "song/MidiMetaTypes.h"

class CMidiMetaEvent final : public CMidiEvent {
public:
    enum Category : std::int32_t { kNone = 0, kText = 1, kTempo = 2, kTimeSignature = 3, kKeySignature = 4 };

    CMidiMetaEvent(std::uint32_t delta, std::uint8_t status) : CMidiEvent(delta, status) {}

    bool Read(CMidiArchive& ar, std::uint32_t& bytesRead) override;
    bool Write(CMidiArchive& ar) const override;
    void Dump(std::string& sink) const override;
    std::string GetName() const override;
    // The data as characters, at most 255 of them.
    std::string GetText() const override;
    // Set tempo: microseconds per quarter; time signature: packed d0, 2^d1, d2, d3;
    // key signature: d0 * 256 + d1; 0 otherwise or when the data are too short.
    std::int32_t GetValue() const override;
    std::int32_t GetCategory() const override;
    void FillMessage(CMidiMessage& msg) const override;
    std::uint32_t StoredBodySize() const override { return 1 + VarLenSize(m_dwDataLength) + m_dwDataLength; }

    std::uint8_t m_byMetaType = 0;
    std::uint32_t m_dwDataLength = 0;
    std::unique_ptr<std::uint8_t[]> m_pData;
};
