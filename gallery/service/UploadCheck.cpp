#include "gallery/service/UploadCheck.h"

#include <array>
#include <cctype>

#include "engine/capture/OfflineRecorder.h"
#include "engine/sequencer/PrepareResult.h"
#include "gallery/names/NameText.h"
#include "gallery/names/Utf8Text.h"
#include "gallery/service/UploadLimits.h"
#include "ringtone/LzwDecoder.h"
#include "ringtone/RingtoneMessageDecoder.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "song/MidiEvent.h"
#include "song/MidiMetaEvent.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"

namespace {

// The largest unpacked package with a MIDI part the gallery takes: nothing past it is
// unpacked.
constexpr std::size_t kMaxUnpackedBytes = kPackageHeaderSize + kMaxPreviewMidiBytes + 2 * kMaxRingtoneOctets;

// Nickname and ringtone name: readable, not blank, not too long once normalised
// (NameText.h), which is the form `normalised` gets.
bool CheckName(const std::string& value, const char* what, std::size_t maxChars, std::string& normalised,
               std::string& error)
{
    std::string field(what);
    if (value.empty() || !HasVisibleChar(value)) {
        error = "The post has no " + field + ".";
        return false;
    }
    if (!IsPrintableUtf8(value)) {
        error = "The " + field + " is not readable text (the gallery takes UTF-8 without control characters).";
        return false;
    }
    if (!NormaliseName(value, field, normalised, error))
        return false;
    if (normalised.empty()) {
        error = "The post has no " + field + ".";
        return false;
    }
    std::size_t chars = Utf8CharCount(normalised);
    if (chars > maxChars) {
        error = "The " + field + " has " + std::to_string(chars) + " characters; the gallery takes at most " +
                std::to_string(maxChars) + ".";
        return false;
    }
    return true;
}

bool CheckPassword(const std::string& value, std::string& error)
{
    if (value.size() > kMaxPasswordBytes) {
        error = "The password has " + std::to_string(value.size()) + " bytes; the gallery takes at most " +
                std::to_string(kMaxPasswordBytes) + ".";
        return false;
    }
    if (value.find('\0') != std::string::npos) {
        error = "The password holds a zero byte.";
        return false;
    }
    return true;
}

// True when the MIDI length in the header of `unpacked` (the package, or its first
// kMaxUnpackedBytes when not `bComplete`) passes the ceiling. In a package unpacked
// whole, a length past its end is damage instead, which SplitRingtonePackage names.
bool IsMidiPartTooLarge(const std::vector<std::uint8_t>& unpacked, bool bComplete, std::uint32_t& midiBytes)
{
    std::string notAPackage;
    if (!ReadPackageMidiLength(unpacked.data(), unpacked.size(), midiBytes, notAPackage))
        return false;
    return midiBytes > kMaxPreviewMidiBytes && (!bComplete || midiBytes <= unpacked.size() - kPackageHeaderSize);
}

// Unpacks at most kMaxUnpackedBytes, so that a small package cannot make the gallery
// unpack and store a megabyte; the MIDI length in the header says which part is long.
bool UnpackPackage(const std::vector<std::uint8_t>& data, RingtonePackageParts& parts, std::string& error)
{
    std::vector<std::uint8_t> unpacked;
    bool bComplete = false;
    std::string why;
    if (!LzwDecompressPrefix(data.data(), data.size(), kMaxUnpackedBytes, unpacked, bComplete, why)) {
        error = "The ringtone package is damaged: the package does not decompress: " + why + ".";
        return false;
    }
    std::uint32_t midiBytes = 0;
    if (IsMidiPartTooLarge(unpacked, bComplete, midiBytes)) {
        error = "The ringtone package declares a MIDI part of " + std::to_string(midiBytes) +
                " bytes; the gallery takes at most " + std::to_string(kMaxPreviewMidiBytes) + " bytes once unpacked.";
        return false;
    }
    if (!bComplete) {
        error = "The ringtone package unpacks to more than " + std::to_string(kMaxUnpackedBytes) +
                " bytes, more than a MIDI part of " + std::to_string(kMaxPreviewMidiBytes) + " bytes and a ringtone of " +
                std::to_string(kMaxRingtoneOctets) + " octets take.";
        return false;
    }
    if (!SplitRingtonePackage(unpacked.data(), unpacked.size(), parts, why)) {
        error = "The ringtone package is damaged: " + why + ".";
        return false;
    }
    return true;
}

bool CheckPackage(const std::vector<std::uint8_t>& data, CCheckedUpload& out, std::string& error)
{
    if (data.empty()) {
        error = "The post holds no ringtone package.";
        return false;
    }
    if (data.size() > kMaxPackageBytes) {
        error = "The ringtone package has " + std::to_string(data.size()) + " bytes; the gallery takes at most " +
                std::to_string(kMaxPackageBytes) + ".";
        return false;
    }
    RingtonePackageParts parts;
    std::string why;
    if (!UnpackPackage(data, parts, error))
        return false;
    if (!CheckPreviewMidi(parts.midi, why)) {
        error = "The ringtone package is damaged: " + why + ".";
        return false;
    }
    if (!CheckPreviewPlays(parts.midi, why)) {
        error = "The ringtone package's preview cannot be played: " + why;
        return false;
    }
    CDecodedRingtone decoded;
    if (parts.message.size() > kMaxRingtoneOctets) {
        error = "The ringtone has " + std::to_string(parts.message.size()) + " octets; a ringing tone has at most " +
                std::to_string(kMaxRingtoneOctets) + ".";
        return false;
    }
    if (!DecodeRingtoneMessage(parts.message, decoded, why)) {
        error = "The ringtone in the package is not a valid Smart Messaging ringing tone: " + why + ".";
        return false;
    }
    out.m_midi = std::move(parts.midi);
    out.m_message = std::move(parts.message);
    return true;
}

} // namespace

bool CheckPreviewMidi(std::span<const std::uint8_t> midi, std::string& error)
{
    CMidiSong song;
    SongFileError loadError;
    std::uint64_t bytesAfter = 0;
    const bool bLoaded = LoadSongBytes(midi, "the MIDI part", song, loadError, &bytesAfter);
    const CMidiHeaderChunk& header = song.GetHeader();
    if (!bLoaded || header.m_nKind != CMidiChunk::kHeader || header.m_wNumTracks != 1) {
        error = "the MIDI part does not have a header for one track";
        return false;
    }
    const CMidiTrack* track = song.GetTrackList().GetFirstTrack();
    if (song.GetTrackList().GetTrackCount() != 1 || !track) {
        error = "the MIDI part's track does not load";
        return false;
    }
    // The reader keeps what it could read of a damaged track; a preview must load whole.
    if (track->m_dwConsumed != track->m_dwDeclaredLength) {
        error = "the MIDI part's track breaks off after " + std::to_string(track->m_dwConsumed) + " of its " +
                std::to_string(track->m_dwDeclaredLength) + " bytes";
        return false;
    }
    const CMidiEvent* last = track->GetFirstEvent();
    while (last && last->GetNext())
        last = last->GetNext();
    const auto* meta = dynamic_cast<const CMidiMetaEvent*>(last);
    if (!meta || meta->m_byMetaType != MidiMeta::kEndOfTrack) {
        error = "the MIDI part's track does not end with an end of track";
        return false;
    }
    if (bytesAfter != 0) {
        error = "the MIDI part has " + std::to_string(bytesAfter) + " bytes after its track";
        return false;
    }
    return true;
}

bool CheckPreviewPlays(std::span<const std::uint8_t> midi, std::string& error)
{
    CMidiSong song;
    SongFileError loadError;
    if (!LoadSongBytes(midi, "the MIDI part", song, loadError)) {
        error = "the MIDI part does not load.";
        return false;
    }
    std::array<std::string, 16> labels;
    std::uint32_t seconds = 0;
    const PrepareResult result = ScanAsThePlayer(song, labels, seconds);
    if (result == PrepareResult::kOk)
        return true;
    error = PrepareResultText(result);
    if (!error.empty())
        error[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(error[0])));
    return false;
}

bool CheckUpload(const CUploadForm& form, CCheckedUpload& out, std::string& error)
{
    std::string author;
    std::string tone;
    if (!CheckName(form.m_strSubmitter, "nickname", kMaxNicknameChars, author, error) ||
        !CheckPassword(form.m_strPassword, error) ||
        !CheckName(form.m_strTone, "ringtone name", kMaxToneNameChars, tone, error))
        return false;
    if (!CategoryOfWord(form.m_strCategory, out.m_category)) {
        std::string shown = ToPrintableUtf8(form.m_strCategory.substr(0, 20));
        error = "The category \"" + shown + "\" is not one of ENGLISH, CHINESE, CLASSICAL and OTHERS.";
        return false;
    }
    if (!CheckPackage(form.m_data, out, error))
        return false;
    out.m_strAuthor = std::move(author);
    out.m_strPassword = form.m_strPassword;
    out.m_strTone = std::move(tone);
    return true;
}
