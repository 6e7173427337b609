#include "tonefile/DeviceFiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "ringtone/RtttlNote.h"
#include "tonefile/OttFile.h"
#include "tonefile/RtttlFile.h"

namespace {

constexpr std::size_t kEscHeaderBytes = 4;
constexpr int kEscLargest = 255;
constexpr int kDefaultOctave = 5;
constexpr int kDefaultLength = 4;

std::string FlipperNote(const RingtoneNote& note)
{
    std::string token = std::to_string(kRtttlLengths[NoteDurationCode(note)]);
    const int pitch = NotePitch(note);
    if (pitch < 0) {
        token += 'P';
    } else {
        const std::string_view name = kRtttlNoteNames[static_cast<std::size_t>(pitch % 12)];
        token += static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        token += name.substr(1);
        if (pitch / 12 != kDefaultOctave)
            token += std::to_string(pitch / 12);
    }
    if (NoteSpecifierCode(note) == 1)
        token += '.';
    return token;
}

// A C name for the tune: its letters and digits, in words joined as one.
std::string IdentifierOf(const std::string& name)
{
    std::string id = "k";
    bool bUpper = true;
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80) {
            id += bUpper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            bUpper = false;
        } else {
            bUpper = true;
        }
    }
    return id.size() > 1 ? id : "kTune";
}

// Pairs of `count` (a pulse count or milliseconds) and `second`, 255 at most each: a
// first byte of 0 would end the melody.
void AddEscPairs(std::vector<std::uint8_t>& out, long count, int second)
{
    long left = std::max(count, 1L);
    while (left > 0) {
        const long n = std::min<long>(left, kEscLargest);
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(static_cast<std::uint8_t>(second));
        left -= n;
    }
}

} // namespace

std::string WriteFlipperMusic(const CToneMelody& melody)
{
    std::string text = "Filetype: Flipper Music Format\nVersion: 0\nBPM: " +
                       std::to_string(PlayedTempo(melody)) + "\nDuration: " +
                       std::to_string(kDefaultLength) + "\nOctave: " + std::to_string(kDefaultOctave) + "\nNotes: ";
    for (std::size_t i = 0; i < melody.notes.size(); ++i)
        text += (i ? ", " : "") + FlipperNote(melody.notes[i]);
    return text + "\n";
}

bool WriteEscMelody(const CToneMelody& melody, std::vector<std::uint8_t>& out, std::string& error)
{
    const std::int32_t tempo = PlayedTempo(melody);
    out = {static_cast<std::uint8_t>(tempo >> 8), static_cast<std::uint8_t>(tempo & 0xFF), kDefaultOctave,
           kDefaultLength};
    for (const RingtoneNote& note : melody.notes) {
        const CEscNote esc = EscNoteOf(note, tempo);
        if (esc.dHertz == 0) {
            AddEscPairs(out, std::lround(esc.dMilliseconds), 0);
            continue;
        }
        if (esc.nWait < 1 || esc.nWait > kEscLargest) {
            error = RtttlTokenOf(note) + " is outside what the ESC plays (d#3-d7)";
            return false;
        }
        AddEscPairs(out, esc.nPulses, static_cast<int>(esc.nWait));
    }
    if (out.size() > kEscMelodyBytes) {
        error = "the melody takes " + std::to_string((out.size() - kEscHeaderBytes) / 2) + " of the block's " +
                std::to_string(kEscMelodyPairs) + " pairs";
        return false;
    }
    out.resize(kEscMelodyBytes, 0);
    return true;
}

std::string WriteToneHeader(const CToneMelody& melody)
{
    const std::string id = IdentifierOf(melody.strName);
    std::string text = "// " + id.substr(1) +
                       ": each note's frequency in Hz (0 for a rest) and length in ms, for\n"
                       "// tone(pin, frequency, length).\n#pragma once\n\nstatic const unsigned int " +
                       id + "[][2] = {\n";
    for (const RingtoneNote& note : melody.notes) {
        const int pitch = NotePitch(note);
        const long hz = pitch < 0 ? 0 : std::lround(PitchHertz(pitch));
        text += "    {" + std::to_string(hz) + ", " + std::to_string(std::lround(NoteMilliseconds(note, PlayedTempo(melody)))) +
                "},\n";
    }
    text += "};\nstatic const unsigned int " + id + "Notes = " + std::to_string(melody.notes.size()) + ";\n";
    return text;
}

bool WriteTargetFile(const ToneTarget& target, TargetForm form, const CToneMelody& melody, std::string& bytes,
                     std::vector<ToneLoss>& losses, std::string& error)
{
    switch (form) {
    case TargetForm::Rtttl: bytes = WriteRtttlText(melody, losses, target.dotPlace) + "\n"; return true;
    case TargetForm::FlipperMusic: bytes = WriteFlipperMusic(melody); return true;
    case TargetForm::ToneHeader: bytes = WriteToneHeader(melody); return true;
    case TargetForm::EscMelody:
    case TargetForm::Ott: {
        std::vector<std::uint8_t> octets;
        const bool ok = form == TargetForm::Ott ? WriteOttFile(melody, true, octets, losses, error)
                                                : WriteEscMelody(melody, octets, error);
        bytes.assign(octets.begin(), octets.end());
        return ok;
    }
    }
    error = "no such file form";
    return false;
}

TargetForm TargetFormForPath(const ToneTarget& target, const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    const bool bNamed = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return bNamed && *target.otherExtension && path.substr(dot + 1) == target.otherExtension ? target.otherForm
                                                                                             : target.form;
}

bool ExportToTarget(const CToneMelody& melody, const ToneTarget& target, TargetForm form, std::string& bytes,
                    std::vector<ToneLoss>& losses, CTargetFit& fit, std::string& error)
{
    fit = FitToTarget(melody, target);
    losses.insert(losses.end(), fit.changes.begin(), fit.changes.end());
    return WriteTargetFile(target, form, fit.melody, bytes, losses, error);
}
