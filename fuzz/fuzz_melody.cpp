// Any bytes as a song through the melody finder and the faithful capture: scores
// stay within 0..1, and every token of the captured text reads back as a note the
// converter keeps (a length it knows, octaves 4-7).

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/capture/FaithfulCapture.h"
#include "melody/MelodyFinder.h"
#include "ringtone/RtttlReader.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"
#include "song/SongNotes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMidiSong song;
    CMidiArchive in(data, size);
    song.Serialize(in);
    const CSongNotes notes(song);
    if (notes.Division() < 8)
        return 0; // the player refuses such songs before anything is recorded
    for (const MelodyCandidate& c : RankMelodyChannels(notes))
        if (!(c.dScore >= 0 && c.dScore <= 1))
            std::abort();

    const FaithfulCaptureResult captured = CaptureFaithful(notes, FaithfulCaptureOptions{});
    CRtttlReader converter(captured.strRtttl, notes.Division());
    std::string section;
    for (int i = 0; i < 4; ++i)
        if (!converter.NextSection(section))
            std::abort();
    int read = 0;
    while (converter.NextSection(section)) {
        RtttlNote note;
        if (!converter.ParseNote(section, note) || note.wScale > 3)
            std::abort();
        read += note.IsPause() ? 0 : 1;
    }
    if (read != captured.nNotes)
        std::abort();
    return 0;
}
