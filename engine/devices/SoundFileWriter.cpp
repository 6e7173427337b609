#include "engine/devices/SoundFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

SNDFILE* FileOf(void* p)
{
    return static_cast<SNDFILE*>(p);
}

int SfFormatOf(SoundFileFormat format)
{
    switch (format) {
    case SoundFileFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileFormat::OggVorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileFormat::RawPcm16:
        return SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_CPU;
    case SoundFileFormat::Wav:
        break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

SoundFileFormat SoundFileFormatOf(const std::string& path)
{
    const std::string lower = Lowered(path);
    if (lower.ends_with(".ogg") || lower.ends_with(".oga"))
        return SoundFileFormat::OggVorbis;
    if (lower.ends_with(".flac"))
        return SoundFileFormat::Flac;
    return SoundFileFormat::Wav;
}

// The bytes libsndfile writes to memory, through its virtual I/O: a file it may seek
// in and rewrite, as it does for the WAV sizes.
struct CSoundFileWriter::CMemory {
    std::string& m_bytes;
    sf_count_t m_nPos = 0;

    static CMemory& Of(void* user) { return *static_cast<CMemory*>(user); }
    static sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user).m_bytes.size()); }
    static sf_count_t Tell(void* user) { return Of(user).m_nPos; }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user)
    {
        CMemory& m = Of(user);
        const sf_count_t base = whence == SEEK_CUR ? m.m_nPos : whence == SEEK_END ? Length(user) : 0;
        if (base + offset < 0)
            return -1;
        m.m_nPos = base + offset;
        return m.m_nPos;
    }
    static sf_count_t Read(void* out, sf_count_t count, void* user)
    {
        CMemory& m = Of(user);
        const sf_count_t n = std::clamp<sf_count_t>(Length(user) - m.m_nPos, 0, count);
        std::memcpy(out, m.m_bytes.data() + m.m_nPos, static_cast<std::size_t>(n));
        m.m_nPos += n;
        return n;
    }
    static sf_count_t Write(const void* in, sf_count_t count, void* user)
    {
        CMemory& m = Of(user);
        const auto end = static_cast<std::size_t>(m.m_nPos + count);
        if (end > m.m_bytes.size())
            m.m_bytes.resize(end);
        std::memcpy(m.m_bytes.data() + m.m_nPos, in, static_cast<std::size_t>(count));
        m.m_nPos += count;
        return count;
    }
};

CSoundFileWriter::CSoundFileWriter() = default;

CSoundFileWriter::~CSoundFileWriter()
{
    (void)Close();
}

bool CSoundFileWriter::Fail(std::string message)
{
    m_strError = std::move(message);
    m_bFailed = true;
    return false;
}

bool CSoundFileWriter::Configure(SoundFileFormat format)
{
    if (format != SoundFileFormat::OggVorbis)
        return true;
    double quality = kVorbisQuality;
    if (sf_command(FileOf(m_pFile), SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality) != SF_TRUE)
        return Fail("cannot set the Vorbis quality");
    return true;
}

bool CSoundFileWriter::Open(const std::string& path, SoundFileFormat format, int sampleRate, int channels)
{
    (void)Close();
    m_bFailed = false;
    m_strError.clear();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SfFormatOf(format);
    m_pFile = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!m_pFile)
        return Fail("cannot create " + path + ": " + sf_strerror(nullptr));
    m_strName = path;
    return Configure(format);
}

bool CSoundFileWriter::OpenMemory(std::string& bytes, SoundFileFormat format, int sampleRate, int channels)
{
    (void)Close();
    m_bFailed = false;
    m_strError.clear();
    bytes.clear();
    m_pMemory = std::make_unique<CMemory>(CMemory{bytes});
    static SF_VIRTUAL_IO s_io{&CMemory::Length, &CMemory::Seek, &CMemory::Read, &CMemory::Write, &CMemory::Tell};
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SfFormatOf(format);
    m_pFile = sf_open_virtual(&s_io, SFM_WRITE, &info, m_pMemory.get());
    if (!m_pFile)
        return Fail(std::string("cannot start the audio: ") + sf_strerror(nullptr));
    m_strName = "the audio";
    return Configure(format);
}

bool CSoundFileWriter::Write(const std::int16_t* samples, std::size_t count)
{
    if (!m_pFile || m_bFailed)
        return false;
    const auto n = static_cast<sf_count_t>(count);
    if (sf_write_short(FileOf(m_pFile), samples, n) != n)
        return Fail("cannot write " + m_strName + ": " + sf_strerror(FileOf(m_pFile)));
    return true;
}

bool CSoundFileWriter::Close()
{
    if (!m_pFile)
        return !m_bFailed;
    // The last Vorbis pages and the WAV sizes are written here.
    const int code = sf_close(FileOf(m_pFile));
    m_pFile = nullptr;
    m_pMemory.reset();
    if (code != 0 && !m_bFailed)
        return Fail("cannot finish " + m_strName + ": " + sf_error_number(code));
    return !m_bFailed;
}
