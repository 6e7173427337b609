#pragma once
// A byte file opened with the C library, closed when it goes out of scope. Every
// operation reports failure by its result; the errno text of the last failure is
// kept for the message that names the file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CStdFile {
public:
    enum class Mode { Read, Write }; // Write creates the file or truncates it

    CStdFile() = default;
    ~CStdFile();
    CStdFile(const CStdFile&) = delete;
    CStdFile& operator=(const CStdFile&) = delete;

    [[nodiscard]] bool Open(const std::string& path, Mode mode);
    [[nodiscard]] bool IsOpen() const { return m_pFile != nullptr; }

    // Reads up to `count` bytes; returns how many came (0 at the end or on error,
    // Failed() tells which).
    [[nodiscard]] std::size_t Read(void* out, std::size_t count);
    [[nodiscard]] bool Write(const void* data, std::size_t count);
    [[nodiscard]] bool Write(const std::vector<std::uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    // Moves to a byte offset from the start.
    [[nodiscard]] bool Seek(std::uint64_t offset);
    // The current length in bytes after flushing what is buffered.
    [[nodiscard]] bool Length(std::uint64_t& length);
    // Flushes and closes; false when anything written was lost. Closing a closed
    // file returns the earlier verdict.
    [[nodiscard]] bool Close();

    [[nodiscard]] bool Failed() const { return m_bFailed; }
    [[nodiscard]] const std::string& Path() const { return m_strPath; }
    // The system's text for the last failure ("No space left on device").
    [[nodiscard]] const std::string& ErrorText() const { return m_strError; }

private:
    bool Fail();

    std::FILE* m_pFile = nullptr;
    std::string m_strPath;
    std::string m_strError;
    bool m_bFailed = false;
};
