#include "ringtone/RingtonePackage.h"

#include <cstring>

#include "fileio/ReadWholeFile.h"
#include "fileio/RemoveRegularFile.h"
#include "fileio/StdFile.h"
#include "ringtone/LzwDecoder.h"
#include "ringtone/SmartMessaging.h"

namespace {

constexpr std::size_t kMidiHeaderBytes = 22; // "MThd", 6, the header words, "MTrk", the track length

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

bool CheckMidi(const std::uint8_t* midi, std::size_t size, std::string& error)
{
    if (size < kMidiHeaderBytes || std::memcmp(midi, "MThd\0\0\0\6", 8) != 0 ||
        std::memcmp(midi + 14, "MTrk", 4) != 0) {
        error = "the MIDI part is not a Standard MIDI File with one track";
        return false;
    }
    std::uint32_t trackLength = BigEndian32(midi + 18);
    if (trackLength != size - kMidiHeaderBytes) {
        error = "the MIDI part's track length " + std::to_string(trackLength) + " does not match its " +
                std::to_string(size - kMidiHeaderBytes) + " bytes of track data";
        return false;
    }
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool DecodeHex(const std::string& hex, std::vector<std::uint8_t>& octets, std::string& error)
{
    if (hex.empty()) {
        error = "the package holds no ringtone after the MIDI part";
        return false;
    }
    if (hex.size() % 2 != 0) {
        error = "the ringtone part has an odd number (" + std::to_string(hex.size()) + ") of hex digits";
        return false;
    }
    if (hex.size() > 2 * kMaxRingtoneOctets) {
        error = "the ringtone part holds " + std::to_string(hex.size() / 2) + " octets, more than " +
                std::to_string(kMaxRingtoneOctets);
        return false;
    }
    octets.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]);
        int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            error = "the ringtone part holds a character that is not an upper-case hex digit at offset " +
                    std::to_string(i + (hi < 0 ? 0 : 1));
            return false;
        }
        octets.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

} // namespace

std::string MakePackagePath(const std::string& tempDir, std::int64_t seconds)
{
    return tempDir + "/" + std::to_string(seconds);
}

std::vector<std::uint8_t> BuildRingtonePackage(const std::vector<std::uint8_t>& midi, const std::string& hex)
{
    std::vector<std::uint8_t> out(kPackageMagic, kPackageMagic + kPackageMagicSize);
    auto m = static_cast<std::uint32_t>(midi.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(m >> (8 * i)));
    out.insert(out.end(), midi.begin(), midi.end());
    out.insert(out.end(), hex.begin(), hex.end());
    return out;
}

bool WriteRingtonePackage(const std::string& packagePath, const std::string& midiPath, const std::string& hexPath,
                          FileError& error)
{
    std::vector<std::uint8_t> midi;
    std::vector<std::uint8_t> hex;
    if (!ReadWholeFile(midiPath, kMaxUnpackedPackage, midi, error) ||
        !ReadWholeFile(hexPath, kMaxUnpackedPackage, hex, error))
        return false;
    CStdFile out;
    if (!out.Open(packagePath, CStdFile::Mode::Write)) {
        error = {packagePath, out.ErrorText(), FileFault::kCreate};
        return false;
    }
    bool ok = out.Write(BuildRingtonePackage(midi, std::string(hex.begin(), hex.end())));
    ok = out.Close() && ok;
    if (!ok) {
        error = {packagePath, out.ErrorText(), FileFault::kWrite};
        RemoveRegularFile(packagePath);
    }
    return ok;
}

bool ReadPackageMidiLength(const std::uint8_t* data, std::size_t size, std::uint32_t& length, std::string& error)
{
    if (size < kPackageHeaderSize) {
        error = "the package has " + std::to_string(size) + " bytes, fewer than its " +
                std::to_string(kPackageHeaderSize) + "-byte header";
        return false;
    }
    if (std::memcmp(data, kPackageMagic, kPackageMagicSize) != 0) {
        error = "the package does not start with \"ZORVATTONE\"";
        return false;
    }
    const std::uint8_t* p = data + kPackageMagicSize;
    length = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
             (std::uint32_t{p[3]} << 24);
    return true;
}

bool SplitRingtonePackage(const std::uint8_t* data, std::size_t size, RingtonePackageParts& parts,
                          std::string& error)
{
    parts = {};
    std::uint32_t m = 0;
    if (!ReadPackageMidiLength(data, size, m, error))
        return false;
    std::size_t left = size - kPackageHeaderSize;
    if (m > left) {
        error = "the MIDI length " + std::to_string(m) + " passes the end of the package (" + std::to_string(left) +
                " bytes follow the header)";
        return false;
    }
    const std::uint8_t* midi = data + kPackageHeaderSize;
    if (!CheckMidi(midi, m, error))
        return false;
    std::string hex(reinterpret_cast<const char*>(midi + m), left - m);
    std::vector<std::uint8_t> message;
    if (!DecodeHex(hex, message, error))
        return false;
    parts.midi.assign(midi, midi + m);
    parts.strHex = std::move(hex);
    parts.message = std::move(message);
    return true;
}

bool ReadRingtonePackage(const std::uint8_t* data, std::size_t size, RingtonePackageParts& parts, std::string& error,
                         std::size_t maxUnpacked)
{
    std::vector<std::uint8_t> unpacked;
    std::string reason;
    if (!LzwDecompress(data, size, maxUnpacked, unpacked, reason)) {
        parts = {};
        error = "the package does not decompress: " + reason;
        return false;
    }
    return SplitRingtonePackage(unpacked.data(), unpacked.size(), parts, error);
}
