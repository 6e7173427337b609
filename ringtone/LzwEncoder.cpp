#include "ringtone/LzwEncoder.h"

CLzwEncoder::CLzwEncoder()
{
    Reset();
    Emit(kLzwClearCode);
}

void CLzwEncoder::Reset()
{
    m_nWidth = kLzwMinWidth;
    m_nLimit = 1u << kLzwMinWidth;
    m_nNextCode = kLzwFirstFreeCode;
    for (unsigned i = 0; i < 256; ++i) {
        m_firstChild[i] = -1;
        m_nextSibling[i] = -1;
        m_byByte[i] = static_cast<std::uint8_t>(i);
    }
}

void CLzwEncoder::Emit(unsigned code)
{
    m_dwBits |= static_cast<std::uint32_t>(code) << m_nBitCount;
    m_nBitCount += m_nWidth;
    while (m_nBitCount >= 8) {
        m_out.push_back(static_cast<std::uint8_t>(m_dwBits & 0xFF));
        m_dwBits >>= 8;
        m_nBitCount -= 8;
    }
}

void CLzwEncoder::AddByte(std::uint8_t b)
{
    std::int32_t last = -1;
    for (std::int32_t child = m_firstChild[static_cast<std::size_t>(m_nPrefix)]; child != -1;
         child = m_nextSibling[static_cast<std::size_t>(child)]) {
        if (m_byByte[static_cast<std::size_t>(child)] == b) {
            m_nPrefix = child;
            return;
        }
        last = child;
    }
    unsigned code = m_nNextCode;
    if (code < kLzwDictionarySize) {
        m_firstChild[code] = -1;
        m_nextSibling[code] = -1;
        m_byByte[code] = b;
        if (last == -1)
            m_firstChild[static_cast<std::size_t>(m_nPrefix)] = static_cast<std::int32_t>(code);
        else
            m_nextSibling[static_cast<std::size_t>(last)] = static_cast<std::int32_t>(code);
        ++m_nNextCode;
    }
    Emit(static_cast<unsigned>(m_nPrefix));
    // The code just emitted still has the old width; the next one gets the new.
    if (code >= m_nLimit) {
        if (m_nWidth < kLzwMaxWidth) {
            ++m_nWidth;
            m_nLimit <<= 1;
        } else {
            Emit(kLzwClearCode);
            Reset();
        }
    }
    m_nPrefix = b;
}

void CLzwEncoder::Put(const std::uint8_t* data, std::size_t size)
{
    if (m_bFinished)
        return;
    std::size_t i = 0;
    if (m_nPrefix < 0 && size > 0)
        m_nPrefix = data[i++];
    for (; i < size; ++i)
        AddByte(data[i]);
}

void CLzwEncoder::Finish()
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    if (m_nPrefix >= 0)
        Emit(static_cast<unsigned>(m_nPrefix));
    Emit(kLzwEndCode);
    if (m_nBitCount > 0) {
        m_out.push_back(static_cast<std::uint8_t>(m_dwBits & 0xFF));
        m_dwBits = 0;
        m_nBitCount = 0;
    }
}

void CLzwEncoder::TakeOutput(std::vector<std::uint8_t>& into)
{
    into.insert(into.end(), m_out.begin(), m_out.end());
    m_out.clear();
}

std::vector<std::uint8_t> LzwCompressBytes(const std::uint8_t* data, std::size_t size)
{
    CLzwEncoder encoder;
    encoder.Put(data, size);
    encoder.Finish();
    std::vector<std::uint8_t> out;
    encoder.TakeOutput(out);
    return out;
}
