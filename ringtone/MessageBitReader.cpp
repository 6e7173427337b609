#include "ringtone/MessageBitReader.h"

bool CMessageBitReader::Read(unsigned count, std::uint32_t& value)
{
    if (count > 32 || BitsLeft() < count)
        return false;
    std::uint32_t v = 0;
    for (unsigned i = 0; i < count; ++i, ++m_pos) {
        unsigned bit = (m_octets[m_pos / 8] >> (7 - m_pos % 8)) & 1u;
        v = (v << 1) | bit;
    }
    value = v;
    return true;
}

bool CMessageBitReader::SkipZeroFiller()
{
    std::uint32_t filler = 0;
    unsigned count = static_cast<unsigned>((8 - m_pos % 8) % 8);
    return Read(count, filler) && filler == 0;
}
