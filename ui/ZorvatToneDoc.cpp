#include "ui/ZorvatToneDoc.h"

#include <filesystem>

#include "song/SongFile.h"

bool CZorvatToneDoc::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    m_openFailure = OpenFailure::kNone;
    return true;
}

bool CZorvatToneDoc::OnOpenDocument(const std::string& path)
{
    CMidiSong song;
    if (!ReadSong(path, song))
        return false;
    TakeSong(song, path);
    return true;
}

bool CZorvatToneDoc::ReadSong(const std::string& path, CMidiSong& song)
{
    SongFileError error;
    if (!LoadSongFile(path, song, error)) {
        m_openFailure = error.fault == SongFileFault::kNotMidi ? OpenFailure::kNotMidi : OpenFailure::kCannotRead;
        m_strFailureReason = error.strMessage;
        return false;
    }
    m_openFailure = OpenFailure::kNone;
    return true;
}

void CZorvatToneDoc::TakeSong(CMidiSong& song, const std::string& path)
{
    m_song.TakeFrom(song);
    m_strPathName = path;
}

bool CZorvatToneDoc::OnSaveDocument(const std::string& path)
{
    FileError error;
    if (SaveSongFile(path, m_song, error))
        return true;
    m_strFailureReason = "cannot write " + error.strFile + ": " + error.strReason;
    return false;
}

void CZorvatToneDoc::DeleteContents()
{
    m_song.Clear();
}

std::string CZorvatToneDoc::GetTitle() const
{
    return TitleOf(m_strPathName);
}

std::string CZorvatToneDoc::TitleOf(const std::string& path)
{
    return std::filesystem::path(path).stem().string();
}
