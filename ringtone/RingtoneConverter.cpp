#include "ringtone/RingtoneConverter.h"

#include <cstdio>

#include "fileio/RemoveRegularFile.h"
#include "ringtone/LzwFile.h"
#include "ringtone/PostHandler.h"
#include "ringtone/PreviewMidiWriter.h"
#include "prompt/Prompt.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"

namespace {

const char kFormatError[] = "Format Error";
const char kError[] = "ERROR";

} // namespace

CRingtoneConverter::CRingtoneConverter(const std::string& rtttl, std::uint16_t ticksPerQuarter,
                                       CSettingsStore& settings, CPrompt& prompt, CPostHandler* postHandler)
    : m_ticksPerQuarter((ticksPerQuarter == 0 || (ticksPerQuarter & 0x8000) != 0) ? kDefaultTicksPerQuarter
                                                                                   : ticksPerQuarter),
      m_text(rtttl),
      m_settings(settings),
      m_prompt(prompt),
      m_pPostHandler(postHandler)
{
}

bool CRingtoneConverter::ReadHeader(std::string& rebuilt)
{
    struct Step {
        const char* prefix;
        const char* suffix;
        const char* missing;
    };
    static constexpr Step kSteps[] = {
        {"", ":", "RTTTL does not contain ringtone name. Refer to RTTTL.txt about ringtone format."},
        {"d=", ",", "RTTTL does not contain default duration. Refer to RTTTL.txt about ringtone format."},
        {"o=", ",", "RTTTL does not contain default octave. Refer to RTTTL.txt about ringtone format."},
        {"b=", ":", "RTTTL does not contain default tempo/beat. Refer to RTTTL.txt about ringtone format."},
    };
    m_state = 0;
    for (const Step& step : kSteps) {
        std::string section;
        if (!NextSection(section)) {
            m_prompt.Show(step.missing, kFormatError, PromptIcon::Stop);
            return false;
        }
        if (&step == &kSteps[0])
            m_strName = section;
        rebuilt += step.prefix + section + step.suffix;
    }
    return true;
}

bool CRingtoneConverter::ReadNotes(const NoteSink& accept, const TruncateQuestion& truncate)
{
    std::string token;
    std::uint64_t keptTicks = 0;
    while (NextSection(token)) {
        RtttlNote note;
        DroppedToken dropped;
        if (!ParseNote(token, note, &dropped) || note.wScale == kRtttlNoScale) {
            m_dropped.push_back(std::move(dropped));
            continue;
        }
        // The 130-octet message is full long before; this bounds the note array alone.
        if (m_notes.size() >= static_cast<std::size_t>(kMaxRingtoneNotes)) {
            m_dropped.push_back({token, DroppedToken::Reason::TooManyNotes,
                                 "more than " + std::to_string(kMaxRingtoneNotes) + " notes"});
            continue;
        }
        m_notes.push_back(RingtoneNoteOf(note));
        auto count = static_cast<std::int32_t>(m_notes.size());
        if (m_bFitOneMessage && !EncodeRingtone(std::string(), m_strName, m_tempo, count, m_notes.data(), false)) {
            if (!truncate(m_notes.size() - 1, keptTicks))
                return false;
            m_notes.pop_back();
            do
                m_dropped.push_back({token, DroppedToken::Reason::Truncated, "cut to fit one message"});
            while (NextSection(token));
            return true;
        }
        if (!accept(token, note))
            return false;
        keptTicks += note.dwTicks;
    }
    // A first note without a comma after it is left, trimmed, as the unread text.
    if (m_state == kFirstNote && !m_text.empty())
        m_dropped.push_back({m_text, DroppedToken::Reason::LoneNote, "a single note needs a comma after it"});
    return true;
}

RingtoneSketch CRingtoneConverter::Sketch()
{
    RingtoneSketch sketch;
    sketch.wTicksPerQuarter = m_ticksPerQuarter;
    m_notes.clear();
    m_dropped.clear();
    std::string rebuilt;
    m_state = 0;
    if (!ReadHeader(rebuilt)) {
        sketch.bHeaderRead = false;
        return sketch;
    }
    sketch.nTempo = m_tempo;
    std::uint32_t at = 0;
    (void)ReadNotes(
        [&](const std::string&, const RtttlNote& note) {
            sketch.notes.push_back({at, note.dwTicks, note.IsPause() ? -1 : static_cast<int>(note.wNote)});
            at += note.dwTicks;
            return true;
        },
        [](std::size_t, std::uint64_t) { return true; });
    sketch.dropped = m_dropped;
    sketch.nPhoneTempo = TempoOfCode(TempoCode(m_tempo));
    // What the whole text would take: the notes a truncation cut count too.
    std::vector<RingtoneNote> all = m_notes;
    for (const DroppedToken& dropped : m_dropped) {
        RtttlNote note;
        if (dropped.reason == DroppedToken::Reason::Truncated && all.size() < kMaxRingtoneNotes &&
            ParseNote(dropped.strToken, note) && note.wScale != kRtttlNoScale)
            all.push_back(RingtoneNoteOf(note));
    }
    sketch.nOctets = BuildRingtoneMessage(m_strName, m_tempo, static_cast<std::int32_t>(all.size()), all.data()).size();
    return sketch;
}

bool CRingtoneConverter::AskToTruncate(std::size_t keptNotes, std::uint64_t keptTicks)
{
    const double seconds = m_tempo > 0 ? static_cast<double>(keptTicks) / m_ticksPerQuarter * 60.0 / m_tempo : 0;
    char detail[160];
    std::snprintf(detail, sizeof detail, "The first %zu notes (%.1f seconds) fit one message; OK keeps them.",
                  keptNotes, seconds);
    return m_prompt.Show("Ringtone is too long, trancate ?", "Tone Trancate", PromptIcon::Question,
                         PromptButtons::OkCancel, detail) == PromptAnswer::Ok;
}

bool CRingtoneConverter::BuildPackage(const std::string& tempDir, const std::string& packagePath)
{
    const std::string midiPath = MidiPathIn(tempDir);
    const std::string pduPath = PduPathIn(tempDir);
    auto count = static_cast<std::int32_t>(m_notes.size());
    std::vector<std::uint8_t> message = BuildRingtoneMessage(m_strName, m_tempo, count, m_notes.data());
    if (message.size() > kMaxRingtoneOctets) {
        RemoveRegularFile(pduPath);
        RemoveRegularFile(midiPath);
        m_prompt.Show("Ringtone is too long. Please record again or edit RTTTL.", kError, PromptIcon::Stop);
        return false;
    }
    std::string reason;
    if (!WriteRingtoneHexFile(pduPath, message, reason)) {
        RemoveRegularFile(midiPath);
        ShowFileError(m_prompt, "write", pduPath, reason);
        return false;
    }
    FileError error;
    bool packed = WriteRingtonePackage(packagePath, midiPath, pduPath, error);
    RemoveRegularFile(midiPath);
    RemoveRegularFile(pduPath);
    if (!packed) {
        ShowFileError(m_prompt, error.strFile == packagePath ? "write" : "read", error.strFile, error.strReason);
        return false;
    }
    if (!CompressFileInPlace(packagePath, 0, error)) {
        RemoveRegularFile(packagePath);
        const bool bReading = error.fault == FileFault::kOpen || error.fault == FileFault::kRead;
        ShowFileError(m_prompt, bReading ? "compress" : "write", error.strFile, error.strReason);
        return false;
    }
    return true;
}

bool CRingtoneConverter::Convert(std::string& text, const std::string& outputPath)
{
    const std::string tempDir = m_settings.GetString(kProfileSystem, kProfileTempDir);
    if (tempDir.empty()) {
        m_prompt.Show("Invalid temporary directory. Please setup first.", kError, PromptIcon::Stop);
        return false;
    }
    m_notes.clear();
    m_dropped.clear();
    m_strName.clear();
    std::string rebuilt;
    if (!ReadHeader(rebuilt))
        return false;

    CPreviewMidiWriter preview;
    const std::string midiPath = MidiPathIn(tempDir);
    if (!preview.Open(midiPath, m_ticksPerQuarter, m_tempo, m_program)) {
        ShowFileError(m_prompt, "write", midiPath, preview.ErrorText());
        RemoveRegularFile(midiPath);
        return false;
    }
    const bool bRead = ReadNotes(
        [&](const std::string& token, const RtttlNote& note) {
            if (!preview.AddNote(note.dwTicks, note.wNote)) {
                ShowFileError(m_prompt, "write", preview.Path(), preview.ErrorText());
                RemoveRegularFile(preview.Path());
                return false;
            }
            rebuilt += token + ",";
            return true;
        },
        [this](std::size_t keptNotes, std::uint64_t keptTicks) { return AskToTruncate(keptNotes, keptTicks); });
    if (!bRead) {
        // A cancelled question leaves no half-written preview behind.
        RemoveRegularFile(midiPath);
        return false;
    }
    if (!preview.Finish()) {
        ShowFileError(m_prompt, "write", midiPath, preview.ErrorText());
        RemoveRegularFile(midiPath);
        return false;
    }
    if (outputPath.empty()) {
        text = std::move(rebuilt);
        return true;
    }
    if (!BuildPackage(tempDir, outputPath))
        return false;
    text = std::move(rebuilt);
    if (m_pPostHandler)
        (void)m_pPostHandler->OpenPost(outputPath, m_strName.substr(0, kMaxRingtoneTitle));
    return true;
}

RingtoneSketch SketchRingtone(const std::string& text, std::uint16_t ticksPerQuarter)
{
    CMemorySettingsStore settings;
    CRecordingPrompt prompt;
    CRingtoneConverter converter(text, ticksPerQuarter, settings, prompt);
    RingtoneSketch sketch = converter.Sketch();
    if (!sketch.bHeaderRead && !prompt.Entries().empty())
        sketch.strHeaderError = prompt.Entries().back().text;
    return sketch;
}
