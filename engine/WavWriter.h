#pragma once
// A 16-bit PCM WAV file written as it is rendered; Close fills in the sizes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CWavWriter {
public:
    CWavWriter() = default;
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;
    ~CWavWriter(); // closes, sizes filled in

    // Creates (or truncates) the file and writes a header for `channels` at `sampleRate`.
    [[nodiscard]] bool Open(const std::string& path, int sampleRate, int channels);
    // `samples` interleaved samples (frames * channels). False once any write failed.
    [[nodiscard]] bool Write(const std::int16_t* samples, std::size_t count);
    // Writes the final sizes and closes; false when anything written was lost.
    [[nodiscard]] bool Close();
    [[nodiscard]] std::uint64_t GetDataBytes() const { return m_qwDataBytes; }

    // The 44-byte header of a 16-bit PCM file with `dataBytes` of samples.
    static void BuildHeader(std::uint8_t (&header)[44], int sampleRate, int channels, std::uint32_t dataBytes);

private:
    std::FILE* m_pFile = nullptr;
    int m_nSampleRate = 0;
    int m_nChannels = 0;
    std::uint64_t m_qwDataBytes = 0;
    bool m_bFailed = false;
};
