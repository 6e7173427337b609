#include "ringtone/SmartMessaging.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "fileio/RemoveRegularFile.h"
#include "fileio/StdFile.h"
#include "text/Text.h"

namespace {

constexpr std::array<std::int32_t, 32> kTempos = {25,  28,  31,  35,  40,  45,  50,  56,  63,  70,  80,
                                                  90,  100, 112, 125, 140, 160, 180, 200, 225, 250, 285,
                                                  320, 355, 400, 450, 500, 565, 635, 715, 800, 900};

constexpr std::uint8_t kInitialScale = 0x40; // the scale instruction before the notes: octave 5

// The low `bitCount` bits of `value`, most significant first.
std::size_t PutValue(std::vector<std::uint8_t>& buffer, std::size_t bitPos, unsigned value, unsigned bitCount)
{
    return PutBits(buffer, bitPos, static_cast<std::uint8_t>(value << (8 - bitCount)), bitCount);
}

std::uint8_t ScaleBits(const RingtoneNote& note)
{
    return static_cast<std::uint8_t>(note.dwScale & 0xC0);
}

// Style, tempo and the first scale come before the notes; every scale change and
// every note is one more instruction.
std::uint8_t InstructionCount(std::int32_t count, const RingtoneNote* notes)
{
    unsigned instructions = 3;
    std::uint8_t scale = kInitialScale;
    for (std::int32_t i = 0; i < count; ++i) {
        if (ScaleBits(notes[i]) != scale) {
            scale = ScaleBits(notes[i]);
            ++instructions;
        }
        ++instructions;
    }
    return static_cast<std::uint8_t>(instructions & 0xFF);
}

std::size_t PutHeader(std::vector<std::uint8_t>& buf, const std::string& name, std::int32_t tempo,
                      std::uint8_t instructions)
{
    std::size_t pos = 0;
    pos = PutValue(buf, pos, 0x02, 8); // command length
    pos = PutValue(buf, pos, 0x25, 7); // ringing-tone programming
    pos = PadToOctet(buf, pos);
    pos = PutValue(buf, pos, 0x1D, 7); // sound
    pos = PutValue(buf, pos, 0x01, 3); // basic song
    std::size_t titleLength = std::min(name.size(), kMaxRingtoneTitle);
    pos = PutValue(buf, pos, static_cast<unsigned>(titleLength), 4);
    pos = PutBits(buf, pos, reinterpret_cast<const std::uint8_t*>(name.data()), titleLength * 8);
    pos = PutValue(buf, pos, 0x01, 8); // one pattern in the song
    pos = PutValue(buf, pos, 0x00, 3); // pattern header id
    pos = PutValue(buf, pos, 0x00, 2); // A-part
    pos = PutValue(buf, pos, 0x00, 4); // no loop
    pos = PutValue(buf, pos, instructions, 8);
    pos = PutValue(buf, pos, 0x03, 3); // style instruction
    pos = PutValue(buf, pos, 0x00, 2); // natural
    pos = PutValue(buf, pos, 0x04, 3); // tempo instruction
    pos = PutValue(buf, pos, TempoCode(tempo), 5);
    pos = PutValue(buf, pos, 0x02, 3); // scale instruction
    pos = PutBits(buf, pos, kInitialScale, 2);
    return pos;
}

std::size_t PutNotes(std::vector<std::uint8_t>& buf, std::size_t pos, std::int32_t count, const RingtoneNote* notes)
{
    std::uint8_t scale = kInitialScale;
    for (std::int32_t i = 0; i < count; ++i) {
        const RingtoneNote& note = notes[i];
        if (ScaleBits(note) != scale) {
            scale = ScaleBits(note);
            pos = PutValue(buf, pos, 0x02, 3);
            pos = PutBits(buf, pos, scale, 2);
        }
        pos = PutValue(buf, pos, 0x01, 3); // note instruction
        pos = PutBits(buf, pos, static_cast<std::uint8_t>(note.dwNote), 4);
        pos = PutBits(buf, pos, static_cast<std::uint8_t>(note.dwDuration), 3);
        pos = PutBits(buf, pos, static_cast<std::uint8_t>(note.dwSpecifier), 2);
    }
    return pos;
}

} // namespace

std::size_t PutBits(std::vector<std::uint8_t>& buffer, std::size_t bitPos, std::uint8_t value, unsigned bitCount)
{
    bitCount = std::min(bitCount, 8u);
    std::size_t needed = (bitPos + bitCount + 7) / 8;
    if (buffer.size() < needed)
        buffer.resize(needed, 0);
    for (unsigned i = 0; i < bitCount; ++i, ++bitPos) {
        std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (bitPos % 8));
        if (value & (0x80u >> i))
            buffer[bitPos / 8] = static_cast<std::uint8_t>(buffer[bitPos / 8] | mask);
        else
            buffer[bitPos / 8] = static_cast<std::uint8_t>(buffer[bitPos / 8] & ~mask);
    }
    return bitPos;
}

std::size_t PutBits(std::vector<std::uint8_t>& buffer, std::size_t bitPos, const std::uint8_t* bytes,
                    std::size_t bitCount)
{
    for (std::size_t i = 0; bitCount > 0; ++i) {
        unsigned n = static_cast<unsigned>(std::min<std::size_t>(bitCount, 8));
        bitPos = PutBits(buffer, bitPos, bytes[i], n);
        bitCount -= n;
    }
    return bitPos;
}

std::size_t PadToOctet(std::vector<std::uint8_t>& buffer, std::size_t bitPos)
{
    unsigned rest = static_cast<unsigned>(bitPos % 8);
    return rest == 0 ? bitPos : PutBits(buffer, bitPos, 0, 8 - rest);
}

std::uint8_t TempoCode(std::int32_t bpm)
{
    auto it = std::lower_bound(kTempos.begin(), kTempos.end(), bpm);
    if (it == kTempos.end())
        return static_cast<std::uint8_t>(kTempos.size() - 1);
    return static_cast<std::uint8_t>(it - kTempos.begin());
}

std::int32_t TempoOfCode(std::uint8_t code)
{
    return kTempos[code % kTempos.size()];
}

std::int32_t NearestTableTempo(double bpm)
{
    std::int32_t nearest = kTempos.front();
    for (std::int32_t tempo : kTempos)
        if (bpm > 0 && std::abs(std::log(tempo / bpm)) < std::abs(std::log(nearest / bpm)))
            nearest = tempo;
    return nearest;
}

RingtoneNote RingtoneNoteOf(const RtttlNote& note)
{
    RingtoneNote out;
    out.dwDuration = static_cast<std::uint32_t>((5 - std::min<std::uint16_t>(note.wDuration, 5)) << 5);
    switch (note.dwDots) {
    case 1: out.dwSpecifier = 0x40; break;
    case 2: out.dwSpecifier = 0x80; break;
    case 3: out.dwSpecifier = 0xC0; break;
    default: out.dwSpecifier = 0x00; break;
    }
    if (note.IsPause())
        return out; // note value and scale 0x00
    out.dwNote = static_cast<std::uint32_t>((note.wNote % 12 + 1) << 4);
    out.dwScale = static_cast<std::uint32_t>((note.wScale & 0x03) << 6);
    return out;
}

std::vector<std::uint8_t> BuildRingtoneMessage(const std::string& name, std::int32_t tempo, std::int32_t count,
                                               const RingtoneNote* notes)
{
    count = notes ? std::clamp(count, 0, kMaxRingtoneNotes) : 0;
    std::vector<std::uint8_t> buf;
    buf.reserve(64 + static_cast<std::size_t>(count) * 2);
    std::size_t pos = PutHeader(buf, name, tempo, InstructionCount(count, notes));
    pos = PutNotes(buf, pos, count, notes);
    pos = PadToOctet(buf, pos);
    PutValue(buf, pos, 0x00, 8); // command end
    return buf;
}

std::string HexOf(const std::vector<std::uint8_t>& octets)
{
    std::string hex;
    hex.reserve(octets.size() * 2);
    for (std::uint8_t b : octets)
        AppendHexOctet(hex, b);
    return hex;
}

bool WriteRingtoneHexFile(const std::string& path, const std::vector<std::uint8_t>& octets, std::string& error)
{
    CStdFile file;
    if (!file.Open(path, CStdFile::Mode::Write)) {
        error = file.ErrorText();
        return false;
    }
    std::string hex = HexOf(octets);
    bool ok = file.Write(hex.data(), hex.size());
    ok = file.Close() && ok;
    if (!ok) {
        error = file.ErrorText();
        RemoveRegularFile(path);
    }
    return ok;
}

bool EncodeRingtone(const std::string& path, const std::string& name, std::int32_t tempo, std::int32_t count,
                    const RingtoneNote* notes, bool writeFile)
{
    std::vector<std::uint8_t> message = BuildRingtoneMessage(name, tempo, count, notes);
    if (writeFile) {
        // The verdict is the size alone; callers that must know about the file use
        // WriteRingtoneHexFile themselves.
        std::string ignored;
        (void)WriteRingtoneHexFile(path, message, ignored);
    }
    return message.size() <= kMaxRingtoneOctets;
}
