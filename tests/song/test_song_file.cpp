// LoadSongFile: the one "MThd" check and the size limit that the program, the tool
// and the gallery share.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "song/SongFile.h"
#include "tests/support/Files.h"
#include "tests/support/MidiBytes.h"
#include "tests/support/TempDir.h"

namespace {

const Bytes kSong = Cat({Header(1, 1, 96), Chunk("MTrk", {0, 0x90, 60, 64, 0x60, 60, 0, 0, 0xFF, 0x2F, 0})});

struct RefusedSong {
    const char* name;
    std::string file; // in the scratch directory; "" for the directory itself
    Bytes bytes;
    std::uint64_t size;       // > 0: the file is made this long by a hole after `bytes`
    SongFileFault fault;
    std::string reason; // after "cannot read PATH: ", or empty for not MIDI
};

} // namespace

TEST(SongFile, RefusesFilesThatAreNotMidiOrCannotBeReadAndKeepsTheSong)
{
    const std::string kNotMidi;
    const RefusedSong cases[] = {
        {"an empty file", "a.mid", {}, 0, SongFileFault::kNotMidi, kNotMidi},
        {"three bytes of the magic", "a.mid", {'M', 'T', 'h'}, 0, SongFileFault::kNotMidi, kNotMidi},
        {"lower-case magic", "a.mid", {'m', 't', 'h', 'd', 0, 0, 0, 6}, 0, SongFileFault::kNotMidi, kNotMidi},
        {"a RIFF file", "a.mid", {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'}, 0, SongFileFault::kNotMidi,
         kNotMidi},
        {"a missing file", "missing.mid", {}, 0, SongFileFault::kCannotRead, "No such file or directory"},
        {"a directory", "", {}, 0, SongFileFault::kCannotRead, "is a directory"},
        {"a file a byte over the limit, refused from its size", "huge.mid", kSong, kMaxSongFileBytes + 1,
         SongFileFault::kCannotRead, "is larger than 67108864 bytes (64 MiB, the most a MIDI file may have)"},
        {"a file at the limit, read whole", "full.mid", {'R', 'I', 'F', 'F'}, kMaxSongFileBytes,
         SongFileFault::kNotMidi, kNotMidi},
    };
    CMidiSong original;
    LoadSong(original, kSong);
    const std::string before = DumpOf(original);
    for (const RefusedSong& c : cases) {
        SCOPED_TRACE(c.name);
        CTempDir dir;
        const std::string path = c.file.empty() ? dir.Path() : dir.File(c.file);
        if (c.file != "missing.mid" && !c.file.empty())
            WriteBytes(path, c.bytes);
        if (c.size > 0)
            std::filesystem::resize_file(path, c.size);
        CMidiSong song;
        LoadSong(song, kSong);
        SongFileError error;
        EXPECT_FALSE(LoadSongFile(path, song, error));
        EXPECT_EQ(error.fault, c.fault);
        EXPECT_EQ(error.strMessage, c.fault == SongFileFault::kNotMidi
                                        ? path + " is not a Standard MIDI File (it does not begin with \"MThd\")"
                                        : "cannot read " + path + ": " + c.reason);
        EXPECT_EQ(DumpOf(song), before) << "the song stays as it was";
    }
}

// A file is read in pieces, and each track twice (once to measure its events' room):
// tracks longer than a piece, with text events among the notes, and a damaged last
// track load from disk exactly as from memory.
TEST(SongFile, ASongReadInPiecesLoadsAsFromMemory)
{
    std::vector<CTrackBytes> tracks(3);
    for (int i = 0; i < 30000; ++i) {
        tracks[0].On(static_cast<std::uint32_t>(i % 200), 0, 40 + i % 40).Off(1, 0, 40 + i % 40);
        if (i % 1000 == 999)
            tracks[0].Meta(0, 0x01, {'p', 'i', 'e', 'c', 'e', ' ', 'o', 'f', ' ', 't', 'e', 'x', 't'});
    }
    tracks[0].End();
    tracks[1].Program(0, 1, 5).On(0, 1, 60).Off(96, 1, 60).End();
    for (int i = 0; i < 50000; ++i)
        tracks[2].Control(1, 2, 7, i % 128);
    Bytes bytes = SmfBytes(96, tracks);
    bytes.pop_back(); // the last track cut inside its End of track

    CTempDir dir;
    WriteBytes(dir.File("long.mid"), bytes);
    CMidiSong fromFile;
    SongFileError error;
    ASSERT_TRUE(LoadSongFile(dir.File("long.mid"), fromFile, error)) << error.strMessage;
    CMidiSong fromMemory;
    LoadSong(fromMemory, bytes);
    EXPECT_EQ(fromFile.GetTrackList().GetTrackCount(), 3);
    EXPECT_EQ(DumpOf(fromFile), DumpOf(fromMemory));
    EXPECT_EQ(StoreSong(fromFile), StoreSong(fromMemory));
}
