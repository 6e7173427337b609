#include "song/ByteOrder.h"

#include "song/MidiArchive.h"

std::uint32_t ReadVarLen(CMidiArchive& ar, std::uint32_t& value, bool& failed)
{
    value = 0;
    failed = false;
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte = 0;
        if (!ar.ReadByte(byte)) {
            failed = true;
            return count;
        }
        ++count;
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80u) == 0)
            break;
    }
    return count;
}

std::uint32_t EncodeVarLen(std::uint32_t value, std::uint8_t out[4])
{
    value &= 0x0FFFFFFFu;
    std::uint8_t groups[4];
    std::uint32_t n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7Fu);
        value >>= 7;
    } while (value != 0 && n < 4);
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint8_t g = groups[n - 1 - i];
        out[i] = (i + 1 < n) ? static_cast<std::uint8_t>(g | 0x80u) : g;
    }
    return n;
}

bool WriteVarLen(CMidiArchive& ar, std::uint32_t value)
{
    std::uint8_t bytes[4];
    std::uint32_t n = EncodeVarLen(value, bytes);
    return ar.Write(bytes, n);
}
