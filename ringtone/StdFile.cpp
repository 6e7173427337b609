#include "ringtone/StdFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

CStdFile::~CStdFile()
{
    if (m_pFile)
        std::fclose(m_pFile);
}

bool CStdFile::Open(const std::string& path, Mode mode)
{
    if (m_pFile)
        std::fclose(m_pFile);
    m_strPath = path;
    m_strError.clear();
    m_bFailed = false;
    errno = 0;
    m_pFile = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb");
    if (!m_pFile)
        return Fail();
    return true;
}

bool CStdFile::Fail()
{
    // errno may be 0 when the C library gives no reason (a short write to a full disk
    // sometimes); the message then still says what failed.
    int err = errno;
    m_strError = err != 0 ? std::strerror(err) : "input/output error";
    m_bFailed = true;
    return false;
}

std::size_t CStdFile::Read(void* out, std::size_t count)
{
    if (!m_pFile || count == 0)
        return 0;
    errno = 0;
    std::size_t got = std::fread(out, 1, count, m_pFile);
    if (got < count && std::ferror(m_pFile))
        Fail();
    return got;
}

bool CStdFile::Write(const void* data, std::size_t count)
{
    if (!m_pFile || m_bFailed)
        return false;
    if (count == 0)
        return true;
    errno = 0;
    if (std::fwrite(data, 1, count, m_pFile) != count)
        return Fail();
    return true;
}

bool CStdFile::Seek(std::uint64_t offset)
{
    if (!m_pFile || m_bFailed)
        return false;
    errno = 0;
    if (offset > static_cast<std::uint64_t>(LONG_MAX) || std::fseek(m_pFile, static_cast<long>(offset), SEEK_SET) != 0)
        return Fail();
    return true;
}

bool CStdFile::Length(std::uint64_t& length)
{
    if (!m_pFile || m_bFailed)
        return false;
    errno = 0;
    // Flushing here is what turns a full disk into a failure before the length is used.
    if (std::fflush(m_pFile) != 0 || std::fseek(m_pFile, 0, SEEK_END) != 0)
        return Fail();
    long pos = std::ftell(m_pFile);
    if (pos < 0)
        return Fail();
    length = static_cast<std::uint64_t>(pos);
    return true;
}

bool CStdFile::Close()
{
    if (!m_pFile)
        return !m_bFailed;
    errno = 0;
    bool ok = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    if (!ok)
        Fail();
    return !m_bFailed;
}

bool ReadWholeFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string& error)
{
    out.clear();
    CStdFile file;
    if (!file.Open(path, CStdFile::Mode::Read)) {
        error = file.ErrorText();
        return false;
    }
    std::uint8_t block[4096];
    for (;;) {
        std::size_t got = file.Read(block, sizeof block);
        if (got == 0)
            break;
        if (out.size() + got > maxBytes) {
            out.clear();
            error = "file is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        out.insert(out.end(), block, block + got);
    }
    if (file.Failed()) {
        out.clear();
        error = file.ErrorText();
        return false;
    }
    return true;
}

namespace {

bool WriteInPlace(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    CStdFile file;
    bool ok = file.Open(path, CStdFile::Mode::Write) && file.Write(data, size);
    ok = file.Close() && ok;
    if (!ok)
        error = file.ErrorText();
    return ok;
}

} // namespace

bool IsDeviceOrPipe(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st) &&
           !std::filesystem::is_directory(st);
}

std::string ReplacementTarget(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
        return path;
    std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return ec ? path : resolved.string();
}

bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    // A device or a pipe (/dev/stdout) holds nothing to keep, and renaming over its
    // name would replace the device node itself.
    if (IsDeviceOrPipe(path))
        return WriteInPlace(path, data, size, error);
    const std::string target = ReplacementTarget(path);
    const std::string partPath = target + ".part";
    CStdFile part;
    if (!part.Open(partPath, CStdFile::Mode::Write)) {
        error = part.ErrorText();
        return false;
    }
    // Only the close tells whether what the C library buffered reached the disk.
    bool ok = part.Write(data, size);
    ok = part.Close() && ok;
    if (!ok) {
        error = part.ErrorText();
        RemoveOwnFile(partPath);
        return false;
    }
    errno = 0;
    if (std::rename(partPath.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        RemoveOwnFile(partPath);
        return false;
    }
    return true;
}

bool RemoveOwnFile(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::file_status st = fs::symlink_status(path, ec);
    if (ec || !fs::exists(st))
        return true;
    if (!fs::is_regular_file(st) && !fs::is_symlink(st))
        return false;
    return fs::remove(path, ec) && !ec;
}
