#include "song/SongFile.h"

#include <cstring>
#include <vector>

#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

bool LoadSongBytes(std::span<const std::uint8_t> bytes, const std::string& name, CMidiSong& song,
                   SongFileError& error, std::uint64_t* pBytesAfter)
{
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
        error = {SongFileFault::kNotMidi, name + " is not a Standard MIDI File (it does not begin with \"MThd\")"};
        return false;
    }
    CMidiArchive ar(bytes.data(), bytes.size());
    song.Clear();
    song.Serialize(ar);
    if (pBytesAfter)
        *pBytesAfter = ar.BytesLeft();
    error = {};
    return true;
}

bool LoadSongFile(const std::string& path, CMidiSong& song, SongFileError& error)
{
    std::vector<std::uint8_t> bytes;
    FileError read;
    if (!ReadWholeFile(path, kMaxSongFileBytes, bytes, read)) {
        std::string message = "cannot read " + path + ": " + read.strReason;
        if (read.fault == FileFault::kTooLarge)
            message += " (64 MiB, the most a MIDI file may have)";
        error = {SongFileFault::kCannotRead, message};
        return false;
    }
    return LoadSongBytes(bytes, path, song, error);
}

bool SaveSongFile(const std::string& path, CMidiSong& song, FileError& error, const std::string& inputPath)
{
    // Stored in memory first: the file is then written in one go, and a song that
    // cannot be stored never touches it.
    CMidiArchive ar;
    song.Serialize(ar);
    return ReplaceFileWith(path, ar.Bytes().data(), ar.Bytes().size(), error, inputPath);
}
