#include "tonefile/ToneFile.h"

#include "tonefile/IMelodyFile.h"
#include "tonefile/OttFile.h"
#include "tonefile/RtttlFile.h"

namespace {

constexpr std::size_t kSniffOctets = 8;

} // namespace

ToneFormat NoteFormatOfFile(const std::string& path, const std::string& bytes)
{
    if (const std::optional<ToneFormat> named = ToneFormatOfPath(path); named && !IsAudioFormat(*named))
        return *named;
    if (bytes.find("BEGIN:IMELODY") < kSniffOctets || bytes.find("begin:imelody") < kSniffOctets)
        return ToneFormat::IMelody;
    // The command-length octet 02, or the ringing-tone programming command after it.
    if (!bytes.empty() && (bytes[0] == '\x02' || bytes[0] == '\x4A'))
        return ToneFormat::Ott;
    return ToneFormat::Rtttl;
}

bool ReadNoteToneFile(ToneFormat format, const std::string& bytes, CToneMelody& out, std::vector<ToneLoss>& losses,
                      std::size_t& tones, std::string& error)
{
    tones = 1;
    switch (format) {
    case ToneFormat::Rtttl: {
        const std::vector<std::string> texts = SplitRtttlFile(bytes);
        tones = texts.size();
        if (texts.empty()) {
            error = "holds no ringtone";
            return false;
        }
        return ReadRtttlTone(texts.front(), out, losses, error);
    }
    case ToneFormat::Ott:
        return ReadOttFile({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, out, losses, error);
    case ToneFormat::IMelody: return ReadIMelodyFile(bytes, out, losses, error);
    case ToneFormat::Ogg:
    case ToneFormat::M4r: break;
    }
    error = "a sound file holds no notes to read";
    return false;
}

bool WriteNoteToneFile(ToneFormat format, const CToneMelody& melody, bool bCutToFit, std::string& bytes,
                       std::vector<ToneLoss>& losses, std::string& error)
{
    switch (format) {
    case ToneFormat::Rtttl: bytes = WriteRtttlText(melody, losses) + "\n"; return true;
    case ToneFormat::IMelody: bytes = WriteIMelodyFile(melody, losses); return true;
    case ToneFormat::Ott: {
        std::vector<std::uint8_t> octets;
        if (!WriteOttFile(melody, bCutToFit, octets, losses, error))
            return false;
        bytes.assign(octets.begin(), octets.end());
        return true;
    }
    case ToneFormat::Ogg:
    case ToneFormat::M4r: break;
    }
    error = "a sound format is rendered, not written from the notes";
    return false;
}
