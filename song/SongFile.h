#pragma once
// Standard MIDI Files on disk and in memory: loading one whole in place of a song,
// and saving a song in place of a file. The desktop program's document, the
// command-line tool and the gallery all load and save songs here, with one check of
// the "MThd" magic and one size limit.

#include <cstdint>
#include <span>
#include <string>

#include "fileio/FileError.h"

class CMidiSong;

// The largest MIDI file LoadSongFile reads: 64 MiB, far beyond any song (the demo
// song is 2 KB, a ten-minute orchestral file a few hundred KB). A larger file is
// refused from its size, before it is read.
inline constexpr std::uint64_t kMaxSongFileBytes = 64ull * 1024 * 1024;

enum class SongFileFault {
    kNone,
    kCannotRead, // missing, unreadable, a directory, a device or FIFO, or too large
    kNotMidi,    // read, but it does not begin with "MThd"
};

struct SongFileError {
    SongFileFault fault = SongFileFault::kNone;
    // One line naming the file and the reason, for a message: "cannot read /music:
    // is a directory", "/music/a.wav is not a Standard MIDI File (it does not begin
    // with "MThd")".
    std::string strMessage;
};

// Loads the Standard MIDI File in `bytes` in place of `song`; `name` names it in the
// message. Refused (kNotMidi) unless it begins with "MThd"; a damaged file loads as
// far as it can be read. `song` is changed only on success. pBytesAfter, when given,
// receives the number of bytes after what the reader took.
[[nodiscard]] bool LoadSongBytes(std::span<const std::uint8_t> bytes, const std::string& name, CMidiSong& song,
                                 SongFileError& error, std::uint64_t* pBytesAfter = nullptr);

// Reads the file at `path` (at most kMaxSongFileBytes; see ReadWholeFile for what is
// refused before reading) in pieces as it loads it, as LoadSongBytes does. A read that
// fails part-way fails the load (kCannotRead) and leaves `song` as it was.
[[nodiscard]] bool LoadSongFile(const std::string& path, CMidiSong& song, SongFileError& error);

// Stores `song` (it is not changed) as a Standard MIDI File in place of the file at
// `path`, whole or not at all, as CFileReplacer does: a link is written through, a
// device written in place. `inputPath`, when not empty, is the file the song was
// loaded from, which is refused as the output (kSameFile). False with the reason.
[[nodiscard]] bool SaveSongFile(const std::string& path, CMidiSong& song, FileError& error,
                                const std::string& inputPath = {});
