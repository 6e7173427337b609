// Export Song Ringtone: the overview's range of the whole arrangement as a phone
// ringtone, as zorvattone-cli ringtone --from START --seconds LENGTH makes it.

#include <QLabel>
#include <QProgressDialog>
#include <QSlider>
#include <algorithm>
#include <cstdio>

#include "fileio/FileReplacer.h"
#include "prompt/Prompt.h"
#include "songtone/SongRingtone.h"
#include "tonefile/ToneFormat.h"
#include "ui/FileChooser.h"
#include "ui/ZorvatToneDoc.h"
#include "ui/ZorvatToneView.h"

namespace {

QString SongRingtoneFilter(double rangeSeconds)
{
    const auto seconds = [&](double limit) { return QString::number(std::min(rangeSeconds, limit), 'f', 1); };
    return QStringLiteral("iPhone ringtone, up to %1 s (*.m4r);;Android ringtone, up to %2 s (*.ogg)")
        .arg(seconds(kSongRingtoneM4rSeconds), seconds(kSongRingtoneOggSeconds));
}

} // namespace

void CZorvatToneView::OnExportSongRingtone()
{
    if (!HasSong()) {
        m_services.m_prompt.Show("Open a MIDI song first: the song ringtone is a range of it.", kErrorCaption,
                                 PromptIcon::Stop);
        return;
    }
    const auto from = static_cast<std::uint32_t>(m_pSlider->value());
    const double rangeSeconds = std::max(1.0, static_cast<double>(RangeEnd()) - from);
    QString chosen;
    if (!m_services.m_files.GetSaveFileName(this, QStringLiteral("Export Song Ringtone"),
                                            SongRingtoneFilter(rangeSeconds), QStringLiteral("m4r"),
                                            QString::fromStdString(m_strFileTitle + ".m4r"), chosen))
        return;
    const std::string path = chosen.toStdString();
    const std::optional<ToneFormat> format = ToneFormatOfPath(path);
    if (!format || !IsAudioFormat(*format)) {
        m_services.m_prompt.Show("Cannot tell the phone of \"" + path + "\": end its name in .m4r or .ogg.",
                                 kErrorCaption, PromptIcon::Stop);
        return;
    }
    const bool bM4r = *format == ToneFormat::M4r;
    SongRingtoneRequest request;
    request.fromSecond = from;
    request.dMaxSeconds = std::min(rangeSeconds, bM4r ? kSongRingtoneM4rSeconds : kSongRingtoneOggSeconds);
    SongRingtoneOptions options;
    options.container = bM4r ? SoundContainer::M4rAac : SoundContainer::OggVorbis;
    options.strTitle = m_strFileTitle;
    SongRingtoneRange range;
    std::string error;
    std::string bytes;
    SongRingtoneReport report;
    bool bMade = PlanSongRingtone(m_songNotes, request, range, error);
    if (bMade) {
        // Shown only when the rendering takes longer than a second; once shown, a
        // modal progress dialog keeps the window drawn as its value moves.
        QProgressDialog progress(QStringLiteral("Rendering the song ringtone..."), QString(), 0, 100, this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(m_services.m_nProgressShowMs);
        options.progress = [&](double done) { progress.setValue(static_cast<int>(done * 100)); };
        bMade = RenderSongRingtone(m_doc.GetSong(), m_songNotes, range, options, bytes, report, error);
    }
    if (!bMade) {
        m_services.m_prompt.Show("Cannot export the song ringtone: " + error + ".", kErrorCaption, PromptIcon::Stop);
        return;
    }
    FileError written;
    if (!ReplaceFileWith(path, bytes.data(), bytes.size(), written)) {
        ShowFileError(m_services.m_prompt, "write", path, written.strReason);
        return;
    }
    char figures[96];
    std::snprintf(figures, sizeof figures, ": %.2f s, %.1f LUFS, %.1f dBTP", range.dSeconds, report.loudness.dLufs,
                  report.loudness.dTruePeakDb);
    ShowToneFileLine("Exported the song ringtone to " + path + figures);
}
