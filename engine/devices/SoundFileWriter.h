#pragma once
// 16-bit samples written as they are rendered to a WAV, FLAC or Ogg Vorbis file, or
// to bytes in memory, through libsndfile.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// RawPcm16: the interleaved 16-bit samples alone, in the machine's byte order, for
// an encoder outside libsndfile (the AAC of an .m4r ringtone).
enum class SoundFileFormat { Wav, Flac, OggVorbis, RawPcm16 };

// The format a file name asks for by its extension, letter case aside: ".ogg" and
// ".oga" Ogg Vorbis, ".flac" FLAC, anything else WAV.
[[nodiscard]] SoundFileFormat SoundFileFormatOf(const std::string& path);

class CSoundFileWriter {
public:
    // Ogg Vorbis at this libsndfile quality (0 to 1): about 50 kbit/s for a mono
    // synthesizer tune, a tenth of its 16-bit PCM.
    static constexpr double kVorbisQuality = 0.3;

    CSoundFileWriter();
    ~CSoundFileWriter(); // closes; what was written stays
    CSoundFileWriter(const CSoundFileWriter&) = delete;
    CSoundFileWriter& operator=(const CSoundFileWriter&) = delete;

    // Creates (or truncates) the file. False with LastError() set.
    [[nodiscard]] bool Open(const std::string& path, SoundFileFormat format, int sampleRate, int channels);
    // Writes into `bytes` (emptied first), which must outlive the writer's Close.
    [[nodiscard]] bool OpenMemory(std::string& bytes, SoundFileFormat format, int sampleRate, int channels);
    // `count` interleaved samples (frames * channels). False once any write failed.
    [[nodiscard]] bool Write(const std::int16_t* samples, std::size_t count);
    // Finishes the file (sizes, last pages) and closes it; false when anything
    // written was lost.
    [[nodiscard]] bool Close();

    [[nodiscard]] const std::string& LastError() const { return m_strError; }

private:
    struct CMemory;

    [[nodiscard]] bool Fail(std::string message);
    [[nodiscard]] bool Configure(SoundFileFormat format);

    void* m_pFile = nullptr; // SNDFILE*: libsndfile stays out of the header
    std::unique_ptr<CMemory> m_pMemory;
    std::string m_strName; // the path, or "the audio" in memory, for messages
    std::string m_strError;
    bool m_bFailed = false;
};
