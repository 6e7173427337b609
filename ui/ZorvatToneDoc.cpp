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
    SongFileError error;
    if (!LoadSongFile(path, m_song, error)) {
        m_openFailure = error.fault == SongFileFault::kNotMidi ? OpenFailure::kNotMidi : OpenFailure::kCannotRead;
        m_strFailureReason = error.strMessage;
        return false;
    }
    m_strPathName = path;
    m_openFailure = OpenFailure::kNone;
    return true;
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
