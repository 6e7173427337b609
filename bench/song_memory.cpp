// The memory a song takes once loaded, file by file: the heap in use after the load
// less the heap before it, beside the file's size. A plain program for real songs
// (scripts/melody-corpus fetches some): song_memory FILE...

#include <malloc.h>

#include <cstdio>
#include <memory>

#include "song/MidiSong.h"
#include "song/SongFile.h"

namespace {

// Small blocks and the large ones malloc maps on their own.
std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: song_memory FILE...\n", stderr);
        return 2;
    }
    double fileBytes = 0;
    double songBytes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::size_t before = HeapInUse();
        auto song = std::make_unique<CMidiSong>();
        SongFileError error;
        if (!LoadSongFile(argv[i], *song, error)) {
            std::fprintf(stderr, "song_memory: %s\n", error.strMessage.c_str());
            continue;
        }
        const double used = static_cast<double>(HeapInUse() - before);
        std::FILE* f = std::fopen(argv[i], "rb");
        std::fseek(f, 0, SEEK_END);
        const auto size = static_cast<double>(std::ftell(f));
        std::fclose(f);
        std::printf("%10.0f %10.0f %6.2f  %s\n", size, used, used / size, argv[i]);
        fileBytes += size;
        songBytes += used;
    }
    std::printf("%10.0f %10.0f %6.2f  all %d files (file bytes, song bytes, ratio)\n", fileBytes, songBytes,
                songBytes / fileBytes, argc - 1);
    return 0;
}
