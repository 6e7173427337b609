#include "song/MidiArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::size_t kWindowSize = 64 * 1024;
}

CMidiArchive::CMidiArchive(const std::string& path, Mode mode) : m_mode(mode)
{
    m_pFile = std::fopen(path.c_str(), mode == Mode::Load ? "rb" : "wb");
    if (!m_pFile) {
        m_strError = std::strerror(errno);
        m_bFailed = true;
        return;
    }
    m_bOpen = true;
    if (mode == Mode::Load) {
        if (std::fseek(m_pFile, 0, SEEK_END) == 0) {
            long size = std::ftell(m_pFile);
            m_fileSize = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        }
        std::rewind(m_pFile);
        m_window.resize(kWindowSize);
        m_pBegin = m_pCur = m_pEnd = m_window.data();
    }
}

CMidiArchive::CMidiArchive(std::FILE* file, std::uint64_t size)
    : m_mode(Mode::Load), m_bOpen(file != nullptr), m_pFile(file), m_fileSize(size)
{
    m_window.resize(kWindowSize);
    m_pBegin = m_pCur = m_pEnd = m_window.data();
}

CMidiArchive::CMidiArchive(const std::uint8_t* data, std::size_t size)
    : m_mode(Mode::Load), m_bOpen(true), m_fileSize(size)
{
    m_pBegin = m_pCur = data;
    m_pEnd = data + size;
}

CMidiArchive::CMidiArchive() : m_mode(Mode::Store), m_bOpen(true) {}

CMidiArchive::~CMidiArchive()
{
    Close();
}

bool CMidiArchive::Refill()
{
    if (!m_pFile)
        return false;
    m_windowStart += static_cast<std::uint64_t>(m_pEnd - m_pBegin);
    // Never past the size: a file that grows while it is read adds nothing.
    const std::uint64_t left = m_fileSize > m_windowStart ? m_fileSize - m_windowStart : 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_window.size(), left));
    std::size_t got = want ? std::fread(m_window.data(), 1, want, m_pFile) : 0;
    if (got < want && std::ferror(m_pFile)) {
        m_strError = std::strerror(errno);
        m_bReadFailed = true;
    }
    m_pBegin = m_pCur = m_window.data();
    m_pEnd = m_pBegin + got;
    return got > 0;
}

std::size_t CMidiArchive::Read(void* out, std::size_t count)
{
    if (m_mode != Mode::Load || !m_bOpen)
        return 0;
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        if (m_pCur == m_pEnd && !Refill())
            break;
        std::size_t n = std::min<std::size_t>(count - done, static_cast<std::size_t>(m_pEnd - m_pCur));
        std::memcpy(dst + done, m_pCur, n);
        m_pCur += n;
        done += n;
    }
    return done;
}

std::uint64_t CMidiArchive::Position() const
{
    if (m_mode == Mode::Store)
        return m_pFile ? m_storedOffset : m_stored.size();
    return m_windowStart + static_cast<std::uint64_t>(m_pCur - m_pBegin);
}

bool CMidiArchive::Seek(std::uint64_t offset)
{
    if (m_mode != Mode::Load || !m_bOpen || offset > m_fileSize)
        return false;
    if (!m_pFile) {
        m_pCur = m_pBegin + offset;
        return true;
    }
    const auto windowBytes = static_cast<std::uint64_t>(m_pEnd - m_pBegin);
    if (offset >= m_windowStart && offset <= m_windowStart + windowBytes) {
        m_pCur = m_pBegin + (offset - m_windowStart);
        return true;
    }
    if (std::fseek(m_pFile, static_cast<long>(offset), SEEK_SET) != 0) {
        m_strError = std::strerror(errno);
        m_bReadFailed = true;
        return false;
    }
    m_windowStart = offset;
    m_pBegin = m_pCur = m_pEnd = m_window.data();
    return true;
}

std::uint64_t CMidiArchive::BytesLeft() const
{
    std::uint64_t pos = Position();
    return m_fileSize > pos ? m_fileSize - pos : 0;
}

bool CMidiArchive::CanSupply(std::uint64_t count, std::uint64_t alreadyRead) const
{
    std::uint64_t chunkLeft = m_chunkLeft > alreadyRead ? m_chunkLeft - alreadyRead : 0;
    return count <= BytesLeft() && count <= chunkLeft;
}

bool CMidiArchive::Write(const void* data, std::size_t count)
{
    if (m_mode != Mode::Store || !m_bOpen || m_bFailed)
        return false;
    if (count == 0)
        return true;
    if (m_pFile) {
        if (std::fwrite(data, 1, count, m_pFile) != count) {
            m_strError = std::strerror(errno);
            m_bFailed = true;
            return false;
        }
        m_storedOffset += count;
        return true;
    }
    const auto* src = static_cast<const std::uint8_t*>(data);
    m_stored.insert(m_stored.end(), src, src + count);
    return true;
}

bool CMidiArchive::Close()
{
    if (!m_pFile)
        return !m_bFailed;
    bool ok = true;
    if (m_mode == Mode::Store && std::fflush(m_pFile) != 0) {
        m_strError = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(m_pFile) != 0 && m_mode == Mode::Store) {
        m_strError = std::strerror(errno);
        ok = false;
    }
    m_pFile = nullptr;
    m_bOpen = false;
    if (!ok)
        m_bFailed = true;
    return !m_bFailed;
}
