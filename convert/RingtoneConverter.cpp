#include "convert/RingtoneConverter.h"

#include <cstdio>

#include "convert/PostHandler.h"
#include "fileio/RemoveRegularFile.h"
#include "prompt/Prompt.h"
#include "ringtone/LzwFile.h"
#include "ringtone/PreviewMidiWriter.h"
#include "ringtone/RingtonePackage.h"
#include "ringtone/SmartMessaging.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"

namespace {

const char kFormatError[] = "Format Error";

} // namespace

CRingtoneConverter::CRingtoneConverter(const std::string& rtttl, std::uint16_t ticksPerQuarter,
                                       CSettingsStore& settings, CPrompt& prompt, CPostHandler* postHandler)
    : m_reader(rtttl, ticksPerQuarter),
      m_settings(settings),
      m_prompt(prompt),
      m_pPostHandler(postHandler)
{
}

bool CRingtoneConverter::ReadHeader(std::string& rebuilt)
{
    std::string error;
    if (m_reader.ReadHeader(rebuilt, error))
        return true;
    m_prompt.Show(error, kFormatError, PromptIcon::Stop);
    return false;
}

RingtoneSketch CRingtoneConverter::Sketch()
{
    RingtoneSketch sketch = m_reader.Sketch(m_bFitOneMessage);
    if (!sketch.bHeaderRead)
        m_prompt.Show(sketch.strHeaderError, kFormatError, PromptIcon::Stop);
    return sketch;
}

bool CRingtoneConverter::AskToTruncate(std::size_t keptNotes, std::uint64_t keptTicks)
{
    const std::int32_t tempo = m_reader.Tempo();
    const double seconds =
        tempo > 0 ? static_cast<double>(keptTicks) / m_reader.TicksPerQuarter() * 60.0 / tempo : 0;
    char detail[160];
    std::snprintf(detail, sizeof detail, "The first %zu notes (%.1f seconds) fit one message; OK keeps them.",
                  keptNotes, seconds);
    return m_prompt.Show(kTruncateQuestion, kTruncateCaption, PromptIcon::Question,
                         PromptButtons::OkCancel, detail) == PromptAnswer::Ok;
}

bool CRingtoneConverter::BuildPackage(const std::string& tempDir, const std::string& packagePath)
{
    const std::string midiPath = MidiPathIn(tempDir);
    const std::string pduPath = PduPathIn(tempDir);
    const std::vector<RingtoneNote>& notes = m_reader.Notes();
    std::vector<std::uint8_t> message = BuildRingtoneMessage(m_reader.ToneName(), m_reader.Tempo(),
                                                             static_cast<std::int32_t>(notes.size()), notes.data());
    if (message.size() > kMaxRingtoneOctets) {
        RemoveRegularFile(pduPath);
        RemoveRegularFile(midiPath);
        m_prompt.Show("Ringtone is too long. Please record again or edit RTTTL.", kErrorCaption, PromptIcon::Stop);
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
        m_prompt.Show(kNoTempDirMessage, kErrorCaption, PromptIcon::Stop);
        return false;
    }
    std::string rebuilt;
    if (!ReadHeader(rebuilt))
        return false;

    CPreviewMidiWriter preview;
    const std::string midiPath = MidiPathIn(tempDir);
    if (!preview.Open(midiPath, m_reader.TicksPerQuarter(), m_reader.Tempo(), m_program)) {
        ShowFileError(m_prompt, "write", midiPath, preview.ErrorText());
        RemoveRegularFile(midiPath);
        return false;
    }
    const bool bRead = m_reader.ReadNotes(
        m_bFitOneMessage,
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
        (void)m_pPostHandler->OpenPost(outputPath, m_reader.ToneName().substr(0, kMaxRingtoneTitle));
    return true;
}
