#include "engine/WavWriter.h"

#include <algorithm>
#include <cstring>

namespace {

// The RIFF size fields are 32 bits: data beyond that is not written.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void PutLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace

CWavWriter::~CWavWriter()
{
    (void)Close();
}

void CWavWriter::BuildHeader(std::uint8_t (&h)[44], int sampleRate, int channels, std::uint32_t dataBytes)
{
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    const auto chans = static_cast<std::uint16_t>(channels);
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, 1); // PCM
    PutLe16(h + 22, chans);
    PutLe32(h + 24, rate);
    PutLe32(h + 28, rate * chans * 2u);
    PutLe16(h + 32, static_cast<std::uint16_t>(chans * 2u));
    PutLe16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataBytes);
}

bool CWavWriter::Open(const std::string& path, int sampleRate, int channels)
{
    (void)Close();
    if (sampleRate <= 0 || channels <= 0 || channels > 8)
        return false;
    m_pFile = std::fopen(path.c_str(), "wb");
    if (!m_pFile)
        return false;
    m_nSampleRate = sampleRate;
    m_nChannels = channels;
    m_qwDataBytes = 0;
    m_bFailed = false;
    std::uint8_t header[44];
    BuildHeader(header, sampleRate, channels, 0);
    m_bFailed = std::fwrite(header, 1, sizeof header, m_pFile) != sizeof header;
    return !m_bFailed;
}

bool CWavWriter::Write(const std::int16_t* samples, std::size_t count)
{
    if (!m_pFile || m_bFailed)
        return false;
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * 2;
    if (m_qwDataBytes + bytes > kMaxDataBytes) {
        m_bFailed = true;
        return false;
    }
    // Samples go out little-endian whatever the machine's order.
    std::uint8_t buffer[4096];
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, sizeof buffer / 2);
        for (std::size_t i = 0; i < n; ++i)
            PutLe16(buffer + 2 * i, static_cast<std::uint16_t>(samples[done + i]));
        if (std::fwrite(buffer, 2, n, m_pFile) != n) {
            m_bFailed = true;
            return false;
        }
        done += n;
    }
    m_qwDataBytes += bytes;
    return true;
}

bool CWavWriter::Close()
{
    if (!m_pFile)
        return !m_bFailed;
    std::uint8_t header[44];
    BuildHeader(header, m_nSampleRate, m_nChannels, static_cast<std::uint32_t>(m_qwDataBytes));
    bool ok = !m_bFailed && std::fseek(m_pFile, 0, SEEK_SET) == 0 &&
              std::fwrite(header, 1, sizeof header, m_pFile) == sizeof header;
    ok = std::fclose(m_pFile) == 0 && ok;
    m_pFile = nullptr;
    m_bFailed = !ok;
    return ok;
}
