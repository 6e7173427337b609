#include <gtest/gtest.h>

#include <malloc.h>

#include <filesystem>

#include "song/SongFile.h"
#include "tests/support/MidiBytes.h"

namespace {

// What each damaged file of tests/corpus loads as through LoadSongFile: the song keeps
// what could be read.
struct CorpusCase {
    const char* file;
    bool isMidi; // begins with "MThd"
    int tracks;
    int eventsOfLastTrack;
};

const CorpusCase kCases[] = {
    {"300-tracks/300-tracks.mid", true, 300, 7},
    {"data-byte-first/no-first-status.mid", true, 1, 0},
    {"division-0/division-0.mid", true, 1, 7},
    {"division-7/division-7.mid", true, 1, 7},
    {"length-beyond-file/header-length.mid", true, 0, 0},
    {"length-beyond-file/meta-length.mid", true, 1, 1},
    {"length-beyond-file/sysex-length.mid", true, 1, 0},
    {"length-beyond-file/track-length.mid", true, 0, 0},
    {"not-midi/empty.mid", false, 0, 0},
    {"not-midi/riff.mid", false, 0, 0},
    {"truncated-in-body/cut-in-note.mid", true, 2, 1},
    {"truncated-in-body/cut-in-text.mid", true, 1, 0},
    {"truncated-in-delta/cut-in-two-byte-delta.mid", true, 1, 7},
    {"truncated-in-header/cut-in-header.mid", true, 0, 0},
    {"truncated-in-status/cut-before-status.mid", true, 1, 7},
    {"unknown-chunk/chunk-before-tracks.mid", true, 0, 0},
    {"unknown-chunk/chunk-between-tracks.mid", true, 1, 7},
    {"varlen-0FFFFFFF/five-byte-varlen.mid", true, 1, 0},
    {"varlen-0FFFFFFF/huge-deltas.mid", true, 1, 4},
};

TEST(DamagedCorpus, EveryFileLoadsWhatCanBeReadWithBoundedMemory)
{
    const std::filesystem::path root = std::filesystem::path(ZT_SOURCE_DIR) / "tests/corpus";
    int seen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        seen += entry.path().extension() == ".mid";
    EXPECT_EQ(seen, static_cast<int>(std::size(kCases))) << "every corpus file has a row here";

    for (const CorpusCase& c : kCases) {
        const std::string path = (root / c.file).string();
        const std::uint64_t size = std::filesystem::file_size(path);
        const std::size_t before = mallinfo2().uordblks;
        CMidiSong song;
        SongFileError error;
        const bool bLoaded = LoadSongFile(path, song, error);
        const std::size_t used = mallinfo2().uordblks - before;
        EXPECT_EQ(bLoaded, c.isMidi) << c.file << ": " << error.strMessage;
        if (!bLoaded) {
            EXPECT_EQ(error.fault, SongFileFault::kNotMidi) << c.file;
            continue;
        }
        EXPECT_LT(used, 64 * size + 128 * 1024) << c.file << " took " << used << " bytes";

        ASSERT_EQ(song.GetTrackList().GetTrackCount(), c.tracks) << c.file;
        const CMidiTrack* last = song.GetTrackList().GetFirstTrack();
        while (last && last->m_pNext)
            last = last->m_pNext;
        if (last) {
            EXPECT_EQ(static_cast<int>(last->CountEvents()), c.eventsOfLastTrack) << c.file;
        }

        // Whatever was read stores back and reads again as the same events.
        CMidiSong again;
        LoadSong(again, StoreSong(song));
        EXPECT_EQ(DumpOf(again), DumpOf(song)) << c.file;
    }
}

} // namespace
