#include "ringtone/RingtoneMessageDecoder.h"

#include "ringtone/MessageBitReader.h"
#include "ringtone/SmartMessaging.h"

namespace {

// What a ringing tone plays at before its first tempo instruction.
constexpr std::uint8_t kDefaultTempoCode = 8; // 63 beats per minute

enum : std::uint32_t {
    kPatternHeaderId = 0,
    kNoteId = 1,
    kScaleId = 2,
    kStyleId = 3,
    kTempoId = 4,
    kVolumeId = 5,
};

class CMessageDecoder {
public:
    CMessageDecoder(std::span<const std::uint8_t> octets, CDecodedRingtone& out, std::string& error)
        : m_reader(octets), m_out(out), m_error(error)
    {
    }

    bool Decode();

private:
    bool Field(unsigned bits, std::uint32_t& value, const char* what);
    bool Expect(unsigned bits, std::uint32_t expected, const char* what);
    bool Fail(const std::string& what);
    bool Pattern();
    bool Instruction();

    CMessageBitReader m_reader;
    CDecodedRingtone& m_out;
    std::string& m_error;
    std::uint8_t m_byScale = 1; // scale-2 (octave 5) until a scale instruction says otherwise
    bool m_bTempoSeen = false;
};

bool CMessageDecoder::Fail(const std::string& what)
{
    m_error = what + " (at bit " + std::to_string(m_reader.Position()) + ")";
    return false;
}

bool CMessageDecoder::Field(unsigned bits, std::uint32_t& value, const char* what)
{
    if (!m_reader.Read(bits, value))
        return Fail(std::string("the message ends inside the ") + what);
    return true;
}

bool CMessageDecoder::Expect(unsigned bits, std::uint32_t expected, const char* what)
{
    std::size_t at = m_reader.Position();
    std::uint32_t value = 0;
    if (!Field(bits, value, what))
        return false;
    if (value != expected) {
        m_error = std::string("the ") + what + " is " + std::to_string(value) + " instead of " +
                  std::to_string(expected) + " (at bit " + std::to_string(at) + ")";
        return false;
    }
    return true;
}

bool CMessageDecoder::Decode()
{
    m_out = {};
    if (!Expect(8, 0x02, "command length") || !Expect(7, 0x25, "ringing-tone programming command") ||
        !Expect(1, 0, "filler after the command") || !Expect(7, 0x1D, "sound command") ||
        !Expect(3, 1, "song type"))
        return false;
    std::uint32_t titleLength = 0;
    if (!Field(4, titleLength, "title length"))
        return false;
    for (std::uint32_t i = 0; i < titleLength; ++i) {
        std::uint32_t c = 0;
        if (!Field(8, c, "title"))
            return false;
        m_out.m_strTitle.push_back(static_cast<char>(c));
    }
    std::uint32_t patterns = 0;
    if (!Field(8, patterns, "song sequence length"))
        return false;
    if (patterns == 0)
        return Fail("the song has no pattern");
    for (std::uint32_t i = 0; i < patterns; ++i)
        if (!Pattern())
            return false;
    if (!m_reader.SkipZeroFiller())
        return Fail("the filler after the song is not zero bits");
    if (!Expect(8, 0x00, "command end"))
        return false;
    if (m_reader.BitsLeft() != 0)
        return Fail(std::to_string(m_reader.BitsLeft() / 8) + " octets follow the command end");
    if (!m_bTempoSeen) {
        m_out.m_byTempoCode = kDefaultTempoCode;
        m_out.m_nTempo = TempoOfCode(kDefaultTempoCode);
    }
    return true;
}

bool CMessageDecoder::Pattern()
{
    std::uint32_t patternId = 0;
    std::uint32_t loop = 0;
    std::uint32_t count = 0;
    if (!Expect(3, kPatternHeaderId, "pattern header id") || !Field(2, patternId, "pattern id") ||
        !Field(4, loop, "loop value") || !Field(8, count, "instruction count"))
        return false;
    m_out.m_nInstructions += count;
    if (loop != 0)
        ++m_out.m_nLoopedPatterns;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!Instruction()) {
            // Says which instruction broke, so a count larger than what was written
            // (the zero filler then reads as id 0) is told apart from a bad field.
            m_error = "instruction " + std::to_string(i + 1) + " of the " + std::to_string(count) +
                      " the pattern declares: " + m_error;
            return false;
        }
    }
    return true;
}

bool CMessageDecoder::Instruction()
{
    std::size_t at = m_reader.Position();
    std::uint32_t id = 0;
    if (!Field(3, id, "instruction id"))
        return false;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
    switch (id) {
    case kNoteId:
        if (!Field(4, a, "note value") || !Field(3, b, "note duration") || !Field(2, c, "duration specifier"))
            return false;
        if (a > 12) {
            m_error = "a note has the value " + std::to_string(a) + ", beyond b (12) (at bit " + std::to_string(at) + ")";
            return false;
        }
        if (b > 5) {
            m_error = "a note has the duration code " + std::to_string(b) + ", beyond 1/32 (5) (at bit " +
                      std::to_string(at) + ")";
            return false;
        }
        m_out.m_notes.push_back({static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                 static_cast<std::uint8_t>(c), m_byScale});
        return true;
    case kScaleId:
        if (!Field(2, a, "scale"))
            return false;
        m_byScale = static_cast<std::uint8_t>(a);
        return true;
    case kStyleId:
        if (!Field(2, a, "style"))
            return false;
        if (a == 3) {
            m_error = "a style instruction holds the reserved style 3 (at bit " + std::to_string(at) + ")";
            return false;
        }
        if (a != 0)
            ++m_out.m_nOtherStyles;
        return true;
    case kTempoId:
        if (!Field(5, a, "tempo"))
            return false;
        // A ringtone text has one tempo: the first instruction gives it.
        if (!m_bTempoSeen) {
            m_bTempoSeen = true;
            m_out.m_byTempoCode = static_cast<std::uint8_t>(a);
            m_out.m_nTempo = TempoOfCode(static_cast<std::uint8_t>(a));
        } else if (a != m_out.m_byTempoCode) {
            ++m_out.m_nTempoChanges;
        }
        return true;
    case kVolumeId:
        if (!Field(4, a, "volume"))
            return false;
        ++m_out.m_nVolumes;
        return true;
    default:
        m_error = "an instruction has the unknown id " + std::to_string(id) + " (at bit " + std::to_string(at) + ")";
        return false;
    }
}

} // namespace

bool DecodeRingtoneMessage(std::span<const std::uint8_t> octets, CDecodedRingtone& out, std::string& error)
{
    CMessageDecoder decoder(octets, out, error);
    return decoder.Decode();
}
