// Export Ringtone and Import Ringtone: the box's text as a file that phones and
// players read, and such a file back into the box, as zorvattone-cli export and
// import make and read them.

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "convert/RingtoneConverter.h"
#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "prompt/Prompt.h"
#include "settings/ProfileKeys.h"
#include "settings/SettingsStore.h"
#include "tonefile/RtttlFile.h"
#include "tonefile/ToneAudio.h"
#include "tonefile/DeviceFiles.h"
#include "tonefile/ToneFile.h"
#include "ui/FileChooser.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

namespace {

constexpr char kExportFilter[] = "RTTTL ringtone (*.rtttl);;Nokia ringtone (*.ott);;iMelody ringtone (*.imy);;"
                                 "Android ringtone, Ogg Vorbis (*.ogg);;iPhone ringtone (*.m4r)";
constexpr char kImportFilter[] = "Ringtones (*.rtttl *.txt *.ott *.imy);;All Files (*)";
// A ringtone file is small; a larger one is not a ringtone.
constexpr std::uint64_t kMaxToneFileBytes = 1024 * 1024;
constexpr std::size_t kNamedLosses = 3;

// The devices' file types, listed after the plain formats: the tune is fitted to the
// device chosen, as zorvattone-cli export --target fits it.
struct CDeviceChoice {
    QString filter;
    const ToneTarget* pTarget;
    TargetForm form;
};

const char* FormLabel(TargetForm form)
{
    switch (form) {
    case TargetForm::EscMelody: return ", EEPROM block";
    case TargetForm::ToneHeader: return ", tone() pairs";
    case TargetForm::Rtttl: return ", RTTTL";
    case TargetForm::FlipperMusic:
    case TargetForm::Ott: break;
    }
    return "";
}

std::vector<CDeviceChoice> DeviceChoices()
{
    std::vector<CDeviceChoice> choices;
    for (const ToneTarget& target : ToneTargets()) {
        if (std::string_view(target.name) == "rtttl")
            continue; // the plain RTTTL file type above
        choices.push_back({QStringLiteral("%1 (*.%2)").arg(QString::fromUtf8(target.device), target.extension),
                           &target, target.form});
        if (*target.otherExtension && std::string_view(target.otherExtension) != target.extension)
            choices.push_back({QStringLiteral("%1%2 (*.%3)")
                                   .arg(QString::fromUtf8(target.device), FormLabel(target.otherForm),
                                        target.otherExtension),
                               &target, target.otherForm});
    }
    return choices;
}

QString ExportFilter(const std::vector<CDeviceChoice>& devices)
{
    QString filter = QString::fromUtf8(kExportFilter);
    for (const CDeviceChoice& device : devices)
        filter += QStringLiteral(";;") + device.filter;
    return filter;
}

enum class LossSide { kExport, kImport };

// One line for the line under the box. A cut comes first, as the count of notes cut
// and where: "12 notes cut to fit one message, from 8c5 on; 2 things the file could
// not hold as it was: 4c..5 (a double dot...)". An import says what of the file
// the box could not take.
std::string LossSummary(const std::vector<ToneLoss>& losses, LossSide side)
{
    std::vector<const ToneLoss*> cut;
    std::vector<const ToneLoss*> other;
    for (const ToneLoss& loss : losses)
        (loss.kind == ToneLoss::Kind::Cut ? cut : other).push_back(&loss);
    std::string line;
    if (!cut.empty())
        line = std::to_string(cut.size()) + (cut.size() == 1 ? " note" : " notes") + " cut to fit one message, from " +
               cut.front()->strToken + " on";
    if (other.empty())
        return line;
    line += (line.empty() ? "" : "; ") + std::to_string(other.size()) + (other.size() == 1 ? " thing" : " things") +
            (side == LossSide::kExport ? " the file could not hold as it was: "
                                       : " of the file the box could not take as it was: ");
    for (std::size_t i = 0; i < other.size() && i < kNamedLosses; ++i)
        line += (i ? ", " : "") + other[i]->strToken + " (" + other[i]->strReason + ")";
    if (other.size() > kNamedLosses)
        line += ", and " + std::to_string(other.size() - kNamedLosses) + " more";
    return line;
}

// The truncation question's detail for an .ott, from the losses of the cut message.
std::string OttCutDetail(const std::vector<ToneLoss>& losses)
{
    const auto cut = std::count_if(losses.begin(), losses.end(),
                                   [](const ToneLoss& loss) { return loss.kind == ToneLoss::Kind::Cut; });
    return "One message holds all but the last " + std::to_string(cut) + (cut == 1 ? " note" : " notes") +
           "; OK cuts them.";
}

} // namespace

void CZorvatToneView::ShowToneFileLine(const std::string& line)
{
    const QString text = QString::fromStdString(line);
    m_pDropped->setText(text);
    m_pDropped->setToolTip(text);
    m_strDroppedFor = m_pRtttl->toPlainText().toStdString();
}

void CZorvatToneView::OnExportRingtone()
{
    UpdateData(true);
    if (m_strRtttl.empty()) {
        m_services.m_prompt.Show("No RTTL information.", kErrorCaption, PromptIcon::Stop);
        return;
    }
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::string error;
    if (!ReadRtttlTone(m_strRtttl, melody, losses, error)) {
        m_services.m_prompt.Show(error, "Format Error", PromptIcon::Stop);
        return;
    }
    const QString initial = QString::fromStdString((m_strFileTitle.empty() ? melody.strName : m_strFileTitle) + ".rtttl");
    const std::vector<CDeviceChoice> devices = DeviceChoices();
    QString chosen;
    QString chosenFilter;
    if (!m_services.m_files.GetSaveFileName(this, QStringLiteral("Export Ringtone"), ExportFilter(devices),
                                            QStringLiteral("rtttl"), initial, chosen, &chosenFilter))
        return;
    // Whatever dialog the desktop shows, a name without an extension takes the chosen type's.
    const std::string path = WithSuffixOfFilter(chosen, chosenFilter).toStdString();
    for (const CDeviceChoice& device : devices) {
        if (device.filter == chosenFilter) {
            ExportForDevice(melody, losses, *device.pTarget, device.form, path);
            return;
        }
    }
    const std::optional<ToneFormat> format = ToneFormatOfPath(path);
    if (!format) {
        m_services.m_prompt.Show("Cannot tell the ringtone format of \"" + path +
                                     "\": end its name in .rtttl, .ott, .imy, .ogg or .m4r.",
                                 kErrorCaption, PromptIcon::Stop);
        return;
    }
    std::string bytes;
    bool bMade = false;
    if (IsAudioFormat(*format)) {
        const std::string tempDir = GetProfile(kProfileSystem, kProfileTempDir);
        if (tempDir.empty()) {
            m_services.m_prompt.Show(kNoTempDirMessage, kErrorCaption, PromptIcon::Stop);
            return;
        }
        const int position = m_pInstrument->currentIndex();
        const int program = position >= 0 && position < 128 ? position : CRingtoneConverter::kDefaultProgram;
        bMade = RenderToneAudio(melody, *format, program, CRingtoneConverter::MidiPathIn(tempDir), bytes, losses,
                                error);
    } else {
        std::vector<ToneLoss> cutLosses = losses; // what reading the text lost, before any writing
        bMade = WriteNoteToneFile(*format, melody, false, bytes, losses, error);
        // One message holds no more than 130 octets: the question Listen asks, made once
        // with the cut message at hand, whose losses replace the failed write's.
        std::string cutError;
        if (!bMade && *format == ToneFormat::Ott &&
            WriteNoteToneFile(*format, melody, true, bytes, cutLosses, cutError) &&
            m_services.m_prompt.Show(kTruncateQuestion, kTruncateCaption, PromptIcon::Question,
                                     PromptButtons::OkCancel, OttCutDetail(cutLosses)) == PromptAnswer::Ok) {
            bMade = true;
            losses = std::move(cutLosses);
        }
    }
    WriteExport(bMade, error, path, bytes, losses, std::string());
}

void CZorvatToneView::WriteExport(bool bMade, const std::string& error, const std::string& path,
                                  const std::string& bytes, const std::vector<ToneLoss>& losses,
                                  const std::string& figures)
{
    if (!bMade) {
        if (!error.empty())
            m_services.m_prompt.Show("Cannot export the ringtone: " + error + ".", kErrorCaption, PromptIcon::Stop);
        return;
    }
    FileError written;
    if (!ReplaceFileWith(path, bytes.data(), bytes.size(), written)) {
        ShowFileError(m_services.m_prompt, "write", path, written.strReason);
        return;
    }
    const std::string lost = LossSummary(losses, LossSide::kExport);
    ShowToneFileLine("Exported to " + path + figures + (lost.empty() ? "" : "; " + lost));
    m_strKeptRtttl = m_pRtttl->toPlainText().toStdString();
}

void CZorvatToneView::ExportForDevice(const CToneMelody& melody, std::vector<ToneLoss>& losses,
                                      const ToneTarget& target, TargetForm form, const std::string& path)
{
    std::string bytes;
    std::string error;
    CTargetFit fit;
    const bool bMade = ExportToTarget(melody, target, form, bytes, losses, fit, error);
    char figures[64];
    std::snprintf(figures, sizeof figures, " for %s: %zu notes, %.2f s", target.name, fit.melody.notes.size(),
                  fit.dSeconds);
    WriteExport(bMade, error, path, bytes, losses, figures);
}

void CZorvatToneView::OnImportRingtone()
{
    if (m_bPlaying)
        return;
    QString chosen;
    if (!m_services.m_files.GetOpenFileName(this, QStringLiteral("Import Ringtone"), QString::fromUtf8(kImportFilter),
                                            QStringLiteral("rtttl"), chosen))
        return;
    const std::string path = chosen.toStdString();
    std::string bytes;
    FileError read;
    if (!ReadWholeFile(path, kMaxToneFileBytes, bytes, read)) {
        ShowFileError(m_services.m_prompt, "read", path, read.strReason);
        return;
    }
    CToneMelody melody;
    std::vector<ToneLoss> losses;
    std::size_t tones = 0;
    std::string error;
    if (!ReadNoteToneFile(NoteFormatOfFile(path, bytes), bytes, melody, losses, tones, error)) {
        m_services.m_prompt.Show("Cannot import \"" + path + "\": " + error + ".", kErrorCaption, PromptIcon::Stop);
        return;
    }
    m_strRtttl = WriteRtttlText(melody, losses);
    UpdateData(false);
    m_strKeptRtttl = m_strRtttl;
    std::string line = LossSummary(losses, LossSide::kImport);
    if (tones > 1)
        line = "The file holds " + std::to_string(tones) + " ringtones; this is the first" +
               (line.empty() ? "" : "; " + line);
    ShowToneFileLine(line);
}
