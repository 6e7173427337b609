#include "ringtone/LzwDecoder.h"

#include <array>
#include <memory>

#include "ringtone/LzwEncoder.h"

namespace {

class CBitReader {
public:
    CBitReader(const std::uint8_t* data, std::size_t size) : m_pData(data), m_size(size) {}

    [[nodiscard]] std::uint64_t BitsLeft() const { return std::uint64_t{m_size} * 8 - m_pos; }
    [[nodiscard]] std::uint64_t Position() const { return m_pos; }

    // The next `width` (at most 16) bits without consuming them; false when fewer are left.
    bool Peek(unsigned width, unsigned& value) const
    {
        if (BitsLeft() < width)
            return false;
        std::size_t byte = static_cast<std::size_t>(m_pos / 8);
        std::uint32_t window = 0;
        for (std::size_t k = 0; k < 3 && byte + k < m_size; ++k)
            window |= std::uint32_t{m_pData[byte + k]} << (8 * k);
        value = (window >> (m_pos % 8)) & ((1u << width) - 1);
        return true;
    }
    bool Read(unsigned width, unsigned& value)
    {
        if (!Peek(width, value))
            return false;
        m_pos += width;
        return true;
    }
    // True when the rest of the current byte is zero and no byte follows.
    [[nodiscard]] bool AtCleanEnd(std::string& error) const
    {
        std::uint64_t wholeBytes = (m_pos + 7) / 8;
        if (wholeBytes < m_size) {
            error = "data follows the end code (" + std::to_string(m_size - wholeBytes) + " bytes)";
            return false;
        }
        unsigned value = 0;
        if (!Peek(static_cast<unsigned>(wholeBytes * 8 - m_pos), value) || value != 0) {
            error = "the bits after the end code are not zero";
            return false;
        }
        return true;
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_size;
    std::uint64_t m_pos = 0;
};

class CLzwDictionary {
public:
    void Reset() { m_nNext = kLzwFirstFreeCode; }
    [[nodiscard]] unsigned Next() const { return m_nNext; }
    [[nodiscard]] bool Has(unsigned code) const { return code < 256 || (code >= kLzwFirstFreeCode && code < m_nNext); }
    [[nodiscard]] std::uint8_t First(unsigned code) const { return code < 256 ? static_cast<std::uint8_t>(code) : m_first[code]; }

    void Add(unsigned parent, std::uint8_t b)
    {
        if (m_nNext >= kLzwDictionarySize)
            return;
        m_parent[m_nNext] = static_cast<std::uint16_t>(parent);
        m_byte[m_nNext] = b;
        m_first[m_nNext] = First(parent);
        ++m_nNext;
    }

    // Appends the string of `code`, or as much of it as fits in maxOutput (so that a
    // prefix ends exactly there); false when it did not all fit.
    bool Append(unsigned code, std::vector<std::uint8_t>& out, std::size_t maxOutput)
    {
        std::size_t n = 0;
        for (; code >= kLzwFirstFreeCode; code = m_parent[code])
            m_scratch[n++] = m_byte[code];
        m_scratch[n++] = static_cast<std::uint8_t>(code);
        const std::size_t room = maxOutput - out.size();
        const bool bFits = n <= room;
        for (std::size_t taken = 0; taken < n && taken < room; ++taken)
            out.push_back(m_scratch[n - 1 - taken]);
        return bFits;
    }

private:
    unsigned m_nNext = kLzwFirstFreeCode;
    std::array<std::uint16_t, kLzwDictionarySize> m_parent{};
    std::array<std::uint8_t, kLzwDictionarySize> m_byte{};
    std::array<std::uint8_t, kLzwDictionarySize> m_first{};
    std::array<std::uint8_t, kLzwDictionarySize> m_scratch{}; // a string is at most 4096 - 257 bytes
};

class CLzwStreamDecoder {
public:
    CLzwStreamDecoder(const std::uint8_t* data, std::size_t size, std::size_t maxOutput)
        : m_bits(data, size), m_maxOutput(maxOutput)
    {
    }

    bool Run(std::vector<std::uint8_t>& out, std::string& error);
    // Run stopped because the stream unpacks to more than maxOutput bytes.
    [[nodiscard]] bool PassedLimit() const { return m_bPassedLimit; }

private:
    bool ReadCode(unsigned& code, std::string& error);
    bool Data(unsigned code, std::vector<std::uint8_t>& out, std::string& error);
    void Clear();
    [[nodiscard]] std::string At() const { return " at bit " + std::to_string(m_codeStart); }

    CBitReader m_bits;
    std::size_t m_maxOutput;
    std::unique_ptr<CLzwDictionary> m_pDict = std::make_unique<CLzwDictionary>();
    unsigned m_nWidth = kLzwMinWidth;
    unsigned m_nLimit = 1u << kLzwMinWidth;
    unsigned m_nCodes = 0;      // data codes since the last clear
    unsigned m_nPrevious = 0;   // the code before, when m_nCodes > 0
    bool m_bGrown = false;      // the width has just grown: the end code may still come at the old width
    bool m_bMustClear = false;  // the dictionary is full: a clear (or the end) must come next
    bool m_bPassedLimit = false;
    std::uint64_t m_codeStart = 0;
};

void CLzwStreamDecoder::Clear()
{
    m_pDict->Reset();
    m_nWidth = kLzwMinWidth;
    m_nLimit = 1u << kLzwMinWidth;
    m_nCodes = 0;
    m_bGrown = false;
    m_bMustClear = false;
}

bool CLzwStreamDecoder::ReadCode(unsigned& code, std::string& error)
{
    m_codeStart = m_bits.Position();
    // The coder emits its last prefix without making an entry, so after the last
    // data code the end code keeps the width that code had.
    if (m_bGrown && m_bits.Peek(m_nWidth - 1, code) && code == kLzwEndCode)
        return m_bits.Read(m_nWidth - 1, code);
    if (!m_bits.Read(m_nWidth, code)) {
        error = "the data ends without the end code" + At();
        return false;
    }
    return true;
}

bool CLzwStreamDecoder::Data(unsigned code, std::vector<std::uint8_t>& out, std::string& error)
{
    if (m_bMustClear) {
        error = "code " + std::to_string(code) + At() + " follows a full dictionary without a clear code";
        return false;
    }
    bool fits = true;
    if (m_nCodes == 0) {
        if (code >= 256) {
            error = "code " + std::to_string(code) + At() + " is not a byte, as the first code after a clear must be";
            return false;
        }
        fits = m_pDict->Append(code, out, m_maxOutput);
    } else if (m_pDict->Has(code)) {
        fits = m_pDict->Append(code, out, m_maxOutput);
        m_pDict->Add(m_nPrevious, m_pDict->First(code));
    } else if (code == m_pDict->Next() && code < kLzwDictionarySize) {
        m_pDict->Add(m_nPrevious, m_pDict->First(m_nPrevious));
        fits = m_pDict->Append(code, out, m_maxOutput);
    } else {
        error = "code " + std::to_string(code) + At() + " is not in the dictionary";
        return false;
    }
    if (!fits) {
        m_bPassedLimit = true;
        error = "the data unpacks to more than " + std::to_string(m_maxOutput) + " bytes";
        return false;
    }
    m_nPrevious = code;
    ++m_nCodes;
    // The coder had made entry 257 + m_nCodes when it wrote this code.
    unsigned made = kLzwEndCode + m_nCodes;
    m_bGrown = false;
    if (made >= m_nLimit) {
        if (m_nWidth < kLzwMaxWidth) {
            ++m_nWidth;
            m_nLimit <<= 1;
            m_bGrown = true;
        } else {
            m_bMustClear = true;
        }
    }
    return true;
}

bool CLzwStreamDecoder::Run(std::vector<std::uint8_t>& out, std::string& error)
{
    unsigned code = 0;
    if (!ReadCode(code, error))
        return false;
    if (code != kLzwClearCode) {
        error = "the data does not start with the clear code";
        return false;
    }
    Clear();
    for (;;) {
        if (!ReadCode(code, error))
            return false;
        if (code == kLzwEndCode)
            return m_bits.AtCleanEnd(error);
        if (code == kLzwClearCode)
            Clear();
        else if (!Data(code, out, error))
            return false;
    }
}

} // namespace

bool LzwDecompress(const std::uint8_t* data, std::size_t size, std::size_t maxOutput, std::vector<std::uint8_t>& out,
                   std::string& error)
{
    out.clear();
    CLzwStreamDecoder decoder(data, size, maxOutput);
    if (!decoder.Run(out, error)) {
        out.clear();
        return false;
    }
    return true;
}

bool LzwDecompressPrefix(const std::uint8_t* data, std::size_t size, std::size_t maxOutput,
                         std::vector<std::uint8_t>& out, bool& complete, std::string& error)
{
    out.clear();
    complete = true;
    CLzwStreamDecoder decoder(data, size, maxOutput);
    if (decoder.Run(out, error))
        return true;
    if (decoder.PassedLimit()) {
        complete = false;
        error.clear();
        return true;
    }
    out.clear();
    return false;
}
