#include "tonefile/OttFile.h"

#include <algorithm>

#include "ringtone/RingtoneMessageDecoder.h"
#include "ringtone/SmartMessaging.h"

namespace {

constexpr std::uint8_t kCommandLength = 0x02;
constexpr std::uint8_t kRingingToneProgramming = 0x4A; // 0100101 and the filler bit

std::vector<std::uint8_t> MessageOf(const CToneMelody& melody, std::size_t count)
{
    return BuildRingtoneMessage(melody.strName, melody.nTempo, static_cast<std::int32_t>(count), melody.notes.data());
}

void Ignored(std::vector<ToneLoss>& losses, std::uint32_t count, const std::string& what)
{
    if (count > 0)
        losses.push_back({ToneLoss::Kind::Ignored, std::string(), std::to_string(count) + " " + what});
}

} // namespace

bool WriteOttFile(const CToneMelody& given, bool bCutToFit, std::vector<std::uint8_t>& out,
                  std::vector<ToneLoss>& losses, std::string& error)
{
    // gnokii and other readers take the double dot and the 2/3 length differently:
    // they are written as lengths every reader says alike.
    CToneMelody melody = given;
    melody.notes.clear();
    for (const RingtoneNote& note : given.notes) {
        const std::vector<RingtoneNote> said = SayableNotes(note, "an .ott every reader takes alike", losses);
        melody.notes.insert(melody.notes.end(), said.begin(), said.end());
    }
    if (const std::int32_t played = TempoOfCode(TempoCode(melody.nTempo)); melody.nTempo > 0 && played != melody.nTempo)
        losses.push_back({ToneLoss::Kind::Changed, "b=" + std::to_string(melody.nTempo),
                          "a phone plays one of 32 tempos: the first at or above, b=" + std::to_string(played)});
    const std::size_t total = std::min<std::size_t>(melody.notes.size(), kMaxRingtoneNotes);
    std::vector<std::uint8_t> message = MessageOf(melody, total);
    std::size_t kept = total;
    if (message.size() > kMaxRingtoneOctets) {
        if (!bCutToFit) {
            error = "the ringtone is too long for one message (" + std::to_string(message.size()) + " of " +
                    std::to_string(kMaxRingtoneOctets) + " octets); --truncate cuts it to fit";
            return false;
        }
        // Each note adds at most 17 bits, so the message shrinks steadily as notes go.
        while (kept > 0 && message.size() > kMaxRingtoneOctets)
            message = MessageOf(melody, --kept);
        for (std::size_t i = kept; i < total; ++i)
            losses.push_back({ToneLoss::Kind::Cut, RtttlTokenOf(melody.notes[i]), "cut to fit one message"});
    }
    if (melody.strName.size() > kMaxRingtoneTitle)
        losses.push_back({ToneLoss::Kind::Ignored, melody.strName,
                          "the title keeps its first " + std::to_string(kMaxRingtoneTitle) + " characters"});
    out = std::move(message);
    return true;
}

bool ReadOttFile(std::span<const std::uint8_t> octets, CToneMelody& out, std::vector<ToneLoss>& losses,
                 std::string& error)
{
    std::vector<std::uint8_t> whole;
    if (!octets.empty() && octets[0] == kRingingToneProgramming) {
        whole.resize(octets.size() + 1);
        whole[0] = kCommandLength;
        std::copy(octets.begin(), octets.end(), whole.begin() + 1);
        octets = whole;
    }
    CDecodedRingtone tone;
    if (!DecodeRingtoneMessage(octets, tone, error))
        return false;
    out = {};
    out.strName = tone.m_strTitle;
    out.nTempo = tone.m_nTempo;
    std::size_t beyond = 0;
    for (const CDecodedNote& decoded : tone.m_notes) {
        RingtoneNote note = MakeNote(-1, decoded.m_byDuration, decoded.m_bySpecifier);
        if (!decoded.IsPause()) {
            note.dwNote = static_cast<std::uint32_t>(decoded.m_byNote) << 4;
            note.dwScale = static_cast<std::uint32_t>(decoded.m_byScale & 3) << 6;
        }
        if (out.notes.size() < static_cast<std::size_t>(kMaxRingtoneNotes))
            out.notes.push_back(note);
        else
            ++beyond;
    }
    if (beyond > 0)
        losses.push_back({ToneLoss::Kind::Dropped, std::to_string(beyond) + " notes",
                          "more than " + std::to_string(kMaxRingtoneNotes) + " notes"});
    Ignored(losses, tone.m_nLoopedPatterns, "looped pattern(s) played once");
    Ignored(losses, tone.m_nTempoChanges, "change(s) of tempo left out: all plays at " + std::to_string(out.nTempo));
    Ignored(losses, tone.m_nOtherStyles, "style(s) other than natural (continuous, staccato) left out");
    Ignored(losses, tone.m_nVolumes, "volume instruction(s) left out");
    return true;
}
