// Any bytes through the Standard MIDI File reader; what was loaded must store and
// load again as the same events.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "song/MidiArchive.h"
#include "song/MidiSong.h"

namespace {

std::string DumpOf(const CMidiSong& song)
{
    std::string out;
    for (const CMidiTrack* t = song.GetTrackList().GetFirstTrack(); t; t = t->m_pNext)
        for (const CMidiEvent* e = t->GetFirstEvent(); e; e = e->GetNext()) {
            e->Dump(out);
            out += '\n';
        }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMidiSong first;
    CMidiArchive in(data, size);
    first.Serialize(in);

    CMidiArchive stored;
    first.Serialize(stored);

    CMidiSong second;
    CMidiArchive again(stored.Bytes().data(), stored.Bytes().size());
    second.Serialize(again);

    if (second.GetTrackList().GetTrackCount() != first.GetTrackList().GetTrackCount() ||
        DumpOf(second) != DumpOf(first))
        std::abort();
    return 0;
}
