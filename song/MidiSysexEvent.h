#pragma once
// A system event, status 0xF0-0xFE other than meta: length and an owned data block
// (the status byte is not part of the data).

#include <memory>

#include "song/ByteOrder.h"
#include "song/MidiEvent.h"

class CMidiSysexEvent final : public CMidiEvent {
public:
    CMidiSysexEvent(std::uint32_t delta, std::uint8_t status) : CMidiEvent(delta, status) {}

    bool Read(CMidiArchive& ar, std::uint32_t& bytesRead) override;
    bool Write(CMidiArchive& ar) const override;
    void Dump(std::string& sink) const override;
    std::string GetName() const override { return std::string(); }
    std::string GetText() const override { return std::string(); }
    std::int32_t GetValue() const override { return 0; }
    std::int32_t GetCategory() const override { return 0; }
    void FillMessage(CMidiMessage& msg) const override;
    std::uint32_t StoredBodySize() const override { return VarLenSize(m_dwDataLength) + m_dwDataLength; }

    std::uint32_t m_dwDataLength = 0;
    std::unique_ptr<std::uint8_t[]> m_pData;
};
