#include "fileio/StdFile.h"

#include <cerrno>
#include <climits>
#include <cstring>

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
