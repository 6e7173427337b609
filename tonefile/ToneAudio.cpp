#include "tonefile/ToneAudio.h"

#include <algorithm>
#include <cstring>

#include "engine/devices/WavRenderer.h"
#include "ringtone/PreviewMidiWriter.h"
#include "ringtone/RtttlNote.h"
#include "song/MidiSong.h"
#include "song/SongFile.h"
#include "tonefile/SoundEncoder.h"

namespace {

constexpr std::uint16_t kTicksPerQuarter = 96;
constexpr int kChannels = 1;

bool WritePreview(const CToneMelody& melody, int program, const std::string& path, std::string& error)
{
    CPreviewMidiWriter preview;
    bool ok = preview.Open(path, kTicksPerQuarter, melody.nTempo, static_cast<std::uint8_t>(program & 0x7F));
    for (std::size_t i = 0; ok && i < melody.notes.size(); ++i) {
        const int pitch = NotePitch(melody.notes[i]);
        ok = preview.AddNote(NoteTicks(melody.notes[i], kTicksPerQuarter),
                             pitch < 0 ? kRtttlPause : static_cast<std::uint16_t>(pitch + kPhonePitchShift));
    }
    ok = ok && preview.Finish();
    if (!ok)
        error = "cannot write " + path + ": " + preview.ErrorText();
    return ok;
}

void NotesPastTheCut(const CToneMelody& melody, ToneFormat format, unsigned cutMilliseconds,
                     std::vector<ToneLoss>& losses)
{
    const unsigned maxSeconds = (cutMilliseconds + 999) / 1000;
    const std::string why = format == ToneFormat::M4r && maxSeconds == kMaxM4rSeconds
                                ? "an .m4r ringtone plays at most " + std::to_string(kMaxM4rSeconds) + " s"
                                : "the sound is cut at " + std::to_string(maxSeconds) + " s";
    const double secondsPerTick =
        CPreviewMidiWriter::MicrosecondsPerQuarter(melody.nTempo) / 1e6 / kTicksPerQuarter;
    double start = 0;
    for (const RingtoneNote& note : melody.notes) {
        if (start * 1000 >= cutMilliseconds && NotePitch(note) >= 0)
            losses.push_back({ToneLoss::Kind::Cut, RtttlTokenOf(note), why});
        start += NoteTicks(note, kTicksPerQuarter) * secondsPerTick;
    }
}

} // namespace

bool RenderToneAudio(const CToneMelody& melody, ToneFormat format, int program, const std::string& previewPath,
                     std::string& bytes, std::vector<ToneLoss>& losses, std::string& error, unsigned maxSeconds)
{
    if (!IsAudioFormat(format)) {
        error = std::string("the format ") + ToneFormatName(format) + " is not sound";
        return false;
    }
    const unsigned limit = format == ToneFormat::M4r ? kMaxM4rSeconds : kMaxOggSeconds;
    if (maxSeconds == 0 || maxSeconds > limit) {
        error = std::string("an .") + ToneFormatName(format) + " lasts 1 to " + std::to_string(limit) + " s";
        return false;
    }
    if (!WritePreview(melody, program, previewPath, error))
        return false;
    CMidiSong song;
    SongFileError loaded;
    if (!LoadSongFile(previewPath, song, loaded)) {
        error = loaded.strMessage;
        return false;
    }
    WavRenderOptions options;
    options.nChannels = kChannels;
    options.uMaxMilliseconds = format == ToneFormat::M4r ? std::min(maxSeconds * 1000, kLongestM4rMilliseconds)
                                                         : maxSeconds * 1000;
    options.uFadeMilliseconds = std::min(kM4rFadeMilliseconds, maxSeconds * 1000 / 4);
    CWavRenderer renderer;
    std::string pcm;
    if (!renderer.RenderToMemory(song, SoundFileFormat::RawPcm16, pcm, options)) {
        error = renderer.LastError();
        return false;
    }
    NotesPastTheCut(melody, format, options.uMaxMilliseconds, losses);
    std::vector<std::int16_t> samples(pcm.size() / sizeof(std::int16_t));
    std::memcpy(samples.data(), pcm.data(), samples.size() * sizeof(std::int16_t));
    const SoundContainer container = format == ToneFormat::M4r ? SoundContainer::M4rAac : SoundContainer::OggVorbis;
    // Android loops a ringtone tagged so; the tune is short, so it plays as a phone's own.
    const SoundTags tags{melody.strName, container == SoundContainer::OggVorbis};
    return EncodeSound(samples.data(), samples.size() / kChannels, renderer.GetSampleRate(), kChannels, container, tags,
                       bytes, error);
}
