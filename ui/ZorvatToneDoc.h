#pragma once
// The document of the desktop program: the one song, and the file it came from.
// It accepts only files that begin with "MThd" and never talks to the user: the
// caller reads GetOpenFailure() to decide what to say.

#include <string>

#include "song/MidiSong.h"

class CMidiArchive;

class CZorvatToneDoc {
public:
    enum class OpenFailure { kNone, kCannotRead, kNotMidi };

    CZorvatToneDoc() = default;
    CZorvatToneDoc(const CZorvatToneDoc&) = delete;
    CZorvatToneDoc& operator=(const CZorvatToneDoc&) = delete;

    // A new document: an empty song and no path. Always true.
    bool OnNewDocument();
    // Reads the first 4 bytes; unless they are "MThd" (kNotMidi), or when the file
    // cannot be read (kCannotRead), returns false and leaves song and path as they
    // were. Otherwise replaces the song with the file's (a damaged file loads as far
    // as it can be read) and takes the path.
    [[nodiscard]] bool OnOpenDocument(const std::string& path);
    // Writes the song to `path` as a Standard MIDI File; false when the file could
    // not be written completely. The document keeps its own path.
    [[nodiscard]] bool OnSaveDocument(const std::string& path);
    // Loads or stores the song through the archive.
    void Serialize(CMidiArchive& ar);
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

    // The file title of any path, as GetTitle gives it.
    [[nodiscard]] static std::string TitleOf(const std::string& path);
    // True when the first 4 bytes of `path` are "MThd"; bReadable false when the file
    // cannot be opened for reading.
    [[nodiscard]] static bool HasMidiMagic(const std::string& path, bool& bReadable);

private:
    CMidiSong m_song;
    std::string m_strPathName;
    OpenFailure m_openFailure = OpenFailure::kNone;
};
