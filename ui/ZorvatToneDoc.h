#pragma once
// The document of the desktop program: the one song, and the file it came from.
// It loads and saves through LoadSongFile and SaveSongFile, so it accepts only files
// that begin with "MThd", and never talks to the user: the caller reads
// GetOpenFailure() to decide what to say, and GetFailureReason() for why.

#include <string>

#include "song/MidiSong.h"

class CZorvatToneDoc {
public:
    enum class OpenFailure { kNone, kCannotRead, kNotMidi };

    CZorvatToneDoc() = default;
    CZorvatToneDoc(const CZorvatToneDoc&) = delete;
    CZorvatToneDoc& operator=(const CZorvatToneDoc&) = delete;

    // A new document: an empty song and no path. Always true.
    bool OnNewDocument();
    // When the file cannot be read (kCannotRead: missing, a directory, a device, larger
    // than kMaxSongFileBytes...) or does not begin with "MThd" (kNotMidi), returns
    // false and leaves song and path as they were. Otherwise replaces the song with
    // the file's (a damaged file loads as far as it can be read) and takes the path.
    [[nodiscard]] bool OnOpenDocument(const std::string& path);
    // OnOpenDocument in two steps, so that the caller can look at the song before it
    // replaces the document's: ReadSong reads `path` into `song` (false as
    // OnOpenDocument, the document untouched), TakeSong makes it the document's.
    [[nodiscard]] bool ReadSong(const std::string& path, CMidiSong& song);
    void TakeSong(CMidiSong& song, const std::string& path);
    // Writes the song to `path` as a Standard MIDI File, whole or not at all; a
    // symbolic link is written through, so the file it names takes the song. False
    // when the file could not be written. The document keeps its own path.
    [[nodiscard]] bool OnSaveDocument(const std::string& path);
    // Every track and event deleted.
    void DeleteContents();

    [[nodiscard]] CMidiSong& GetSong() { return m_song; }
    [[nodiscard]] const CMidiSong& GetSong() const { return m_song; }
    // The opened file's path, empty for a new document.
    [[nodiscard]] const std::string& GetPathName() const { return m_strPathName; }
    // The file name without its last extension ("tune" for /music/tune.mid).
    [[nodiscard]] std::string GetTitle() const;
    // Why the last OnOpenDocument failed (kNone after a success).
    [[nodiscard]] OpenFailure GetOpenFailure() const { return m_openFailure; }
    // The reason of the last open or save that failed, in one line naming the file, as
    // the command line prints it: "cannot read /music: is a directory".
    [[nodiscard]] const std::string& GetFailureReason() const { return m_strFailureReason; }

    // The file title of any path, as GetTitle gives it.
    [[nodiscard]] static std::string TitleOf(const std::string& path);

private:
    CMidiSong m_song;
    std::string m_strPathName;
    OpenFailure m_openFailure = OpenFailure::kNone;
    std::string m_strFailureReason;
};
