#include "song/SongFile.h"

#include <cstring>
#include <vector>

#include "fileio/FileReplacer.h"
#include "fileio/ReadWholeFile.h"
#include "song/MidiArchive.h"
#include "song/MidiSong.h"

namespace {

SongFileError NotMidi(const std::string& name)
{
    return {SongFileFault::kNotMidi, name + " is not a Standard MIDI File (it does not begin with \"MThd\")"};
}

bool FailRead(const std::string& path, const FileError& read, SongFileError& error)
{
    std::string message = "cannot read " + path + ": " + read.strReason;
    if (read.fault == FileFault::kTooLarge)
        message += " (64 MiB, the most a MIDI file may have)";
    error = {SongFileFault::kCannotRead, message};
    return false;
}

} // namespace

bool LoadSongBytes(std::span<const std::uint8_t> bytes, const std::string& name, CMidiSong& song,
                   SongFileError& error, std::uint64_t* pBytesAfter)
{
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
        error = NotMidi(name);
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
    // Read in pieces as the song is built, not whole first: a large song then needs
    // the memory of its events only.
    std::uint64_t size = 0;
    FileError open;
    FilePtr file = OpenFileToRead(path, kMaxSongFileBytes, size, open);
    if (!file)
        return FailRead(path, open, error);
    if (size == 0) {
        // Files of /proc and /sys tell no size; they are small and read whole.
        file.reset();
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(path, kMaxSongFileBytes, bytes, open))
            return FailRead(path, open, error);
        return LoadSongBytes(bytes, path, song, error);
    }
    CMidiArchive ar(file.release(), size);
    char magic[4] = {};
    if (ar.Read(magic, sizeof magic) != sizeof magic || std::memcmp(magic, "MThd", 4) != 0 || !ar.Seek(0)) {
        if (ar.ReadFailed())
            return FailRead(path, {path, ar.LastError(), FileFault::kRead}, error);
        error = NotMidi(path);
        return false;
    }
    // Loaded aside, so that a file that fails part-way leaves `song` as it was.
    CMidiSong loaded;
    loaded.Serialize(ar);
    if (ar.ReadFailed())
        return FailRead(path, {path, ar.LastError(), FileFault::kRead}, error);
    song.TakeFrom(loaded);
    error = {};
    return true;
}

bool SaveSongFile(const std::string& path, CMidiSong& song, FileError& error, const std::string& inputPath)
{
    // Stored in memory first: the file is then written in one go, and a song that
    // cannot be stored never touches it.
    CMidiArchive ar;
    song.Serialize(ar);
    return ReplaceFileWith(path, ar.Bytes().data(), ar.Bytes().size(), error, inputPath);
}
