#pragma once
// Reads a Smart Messaging message bit by bit, most significant bit of each octet
// first. Every read checks the bits left; a read past the end fails and moves nothing.

#include <cstddef>
#include <cstdint>
#include <span>

class CMessageBitReader {
public:
    explicit CMessageBitReader(std::span<const std::uint8_t> octets) : m_octets(octets) {}

    // The next `count` (0..32) bits as an unsigned number, the first bit highest.
    [[nodiscard]] bool Read(unsigned count, std::uint32_t& value);
    // Skips to the next octet boundary; true when the bits skipped are all zero.
    [[nodiscard]] bool SkipZeroFiller();

    [[nodiscard]] std::size_t BitsLeft() const { return m_octets.size() * 8 - m_pos; }
    // Bit offset from the start of the message.
    [[nodiscard]] std::size_t Position() const { return m_pos; }

private:
    std::span<const std::uint8_t> m_octets;
    std::size_t m_pos = 0;
};
