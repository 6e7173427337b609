#include "song/MidiMessage.h"

#include <cstring>

CMidiMessage::CMidiMessage(const CMidiMessage& other)
    : m_nTrack(other.m_nTrack), m_nKind(other.m_nKind), m_dwDelta(other.m_dwDelta), m_byStatus(other.m_byStatus),
      m_byData1(other.m_byData1), m_byData2(other.m_byData2), m_byMetaType(other.m_byMetaType)
{
    SetData(other.m_pData.get(), other.m_dwDataLength);
}

CMidiMessage& CMidiMessage::operator=(const CMidiMessage& other)
{
    if (this != &other) {
        CMidiMessage copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void CMidiMessage::Clear()
{
    *this = CMidiMessage();
}

void CMidiMessage::SetData(const std::uint8_t* data, std::uint32_t length)
{
    m_pData.reset();
    m_dwDataLength = 0;
    if (length == 0 || !data)
        return;
    m_pData = std::make_unique<std::uint8_t[]>(length);
    std::memcpy(m_pData.get(), data, length);
    m_dwDataLength = length;
}
