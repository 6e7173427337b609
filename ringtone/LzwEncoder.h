#pragma once
// Variable-width LZW coder of the ringtone package: codes of 9 to 12 bits packed
// least significant bit first; 256 clears the dictionary, 257 ends the stream.
// The stream starts with a clear code; when the dictionary is full (code 4096 would
// be next) a clear code follows and the coder starts over with 9-bit codes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr unsigned kLzwClearCode = 256;
inline constexpr unsigned kLzwEndCode = 257;
inline constexpr unsigned kLzwFirstFreeCode = 258;
inline constexpr unsigned kLzwDictionarySize = 4096;
inline constexpr unsigned kLzwMinWidth = 9;
inline constexpr unsigned kLzwMaxWidth = 12;

class CLzwEncoder {
public:
    CLzwEncoder();

    // Codes the next input bytes; any amount at a time gives the same stream.
    void Put(const std::uint8_t* data, std::size_t size);
    // Ends the stream: the last prefix, the end code, zero bits to the byte boundary.
    // An empty input gives the clear code and the end code alone. Put after Finish
    // is ignored.
    void Finish();

    // Complete output bytes not yet taken.
    [[nodiscard]] std::size_t PendingBytes() const { return m_out.size(); }
    // Moves the complete output bytes to the end of `into`.
    void TakeOutput(std::vector<std::uint8_t>& into);

private:
    void Reset();
    void Emit(unsigned code);
    void AddByte(std::uint8_t b);

    // Entries 0..255 are the single bytes; 258.. are a parent entry plus one byte,
    // the children of an entry linked in order of creation.
    std::array<std::int32_t, kLzwDictionarySize> m_firstChild{};
    std::array<std::int32_t, kLzwDictionarySize> m_nextSibling{};
    std::array<std::uint8_t, kLzwDictionarySize> m_byByte{};
    unsigned m_nWidth = kLzwMinWidth;
    unsigned m_nLimit = 1u << kLzwMinWidth;
    unsigned m_nNextCode = kLzwFirstFreeCode;
    std::int32_t m_nPrefix = -1; // -1 until the first byte
    bool m_bFinished = false;
    std::uint32_t m_dwBits = 0;  // bits not yet making a whole byte, lowest first
    unsigned m_nBitCount = 0;
    std::vector<std::uint8_t> m_out;
};

// The whole stream for an input held in memory.
[[nodiscard]] std::vector<std::uint8_t> LzwCompressBytes(const std::uint8_t* data, std::size_t size);
