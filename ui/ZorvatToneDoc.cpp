#include "ui/ZorvatToneDoc.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "song/MidiArchive.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* pFile) const { std::fclose(pFile); }
};

} // namespace

bool CZorvatToneDoc::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    m_openFailure = OpenFailure::kNone;
    return true;
}

bool CZorvatToneDoc::HasMidiMagic(const std::string& path, bool& bReadable)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    bReadable = file != nullptr;
    if (!file)
        return false;
    char magic[4] = {};
    return std::fread(magic, 1, sizeof magic, file.get()) == sizeof magic && std::memcmp(magic, "MThd", 4) == 0;
}

bool CZorvatToneDoc::OnOpenDocument(const std::string& path)
{
    bool bReadable = false;
    if (!HasMidiMagic(path, bReadable)) {
        m_openFailure = bReadable ? OpenFailure::kNotMidi : OpenFailure::kCannotRead;
        return false;
    }
    // The file is opened again for the load; should that fail now, the song that is
    // loaded stays rather than being cleared for nothing.
    CMidiArchive ar(path, CMidiArchive::Mode::Load);
    if (!ar.IsOpen()) {
        m_openFailure = OpenFailure::kCannotRead;
        return false;
    }
    DeleteContents();
    Serialize(ar);
    m_strPathName = path;
    m_openFailure = OpenFailure::kNone;
    return true;
}

bool CZorvatToneDoc::OnSaveDocument(const std::string& path)
{
    // Written beside the target and renamed over it only when complete, so a failed
    // save never leaves the chosen file (perhaps the one that was opened) half written.
    const std::string partPath = path + ".part";
    bool bWritten = false;
    {
        CMidiArchive ar(partPath, CMidiArchive::Mode::Store);
        if (ar.IsOpen()) {
            Serialize(ar);
            bWritten = ar.Close();
        }
    }
    std::error_code error;
    if (bWritten)
        std::filesystem::rename(partPath, path, error);
    if (!bWritten || error) {
        std::filesystem::remove(partPath, error);
        return false;
    }
    return true;
}

void CZorvatToneDoc::Serialize(CMidiArchive& ar)
{
    m_song.Serialize(ar);
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
