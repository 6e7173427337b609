#pragma once
// Loading a song the way the program opens one: only files that begin with "MThd".

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "song/MidiArchive.h"
#include "song/MidiSong.h"

// False with a message for a file that cannot be opened or is not a MIDI file.
[[nodiscard]] inline bool CliLoadSong(const std::string& path, CMidiSong& song, std::string& error)
{
    CMidiArchive ar(path, CMidiArchive::Mode::Load);
    if (!ar.IsOpen()) {
        error = "cannot open " + path + ": " + ar.LastError();
        return false;
    }
    char magic[4] = {0, 0, 0, 0};
    if (ar.Read(magic, 4) != 4 || std::memcmp(magic, "MThd", 4) != 0) {
        error = path + " is not a Standard MIDI File (it does not begin with \"MThd\")";
        return false;
    }
    CMidiArchive reread(path, CMidiArchive::Mode::Load);
    song.Clear();
    song.Serialize(reread);
    return true;
}
