#pragma once
// A byte stream in load or store mode over a file or a memory block, in place of
// the framework archive that the song's Serialize works on. Never throws: every
// operation reports what it did, and a failed write makes the archive fail for good.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CMidiArchive {
public:
    enum class Mode { Load, Store };

    // Opens a file; IsOpen() tells whether that worked (the errno text is in LastError()).
    CMidiArchive(const std::string& path, Mode mode);
    // Loads from a file already open for reading, of `size` bytes; nothing past them
    // is read. The archive closes it.
    CMidiArchive(std::FILE* file, std::uint64_t size);
    // Loads from a copy-free view of memory that must outlive the archive.
    CMidiArchive(const std::uint8_t* data, std::size_t size);
    // Stores into memory; Bytes() gives what was written.
    CMidiArchive();
    ~CMidiArchive();
    CMidiArchive(const CMidiArchive&) = delete;
    CMidiArchive& operator=(const CMidiArchive&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_bOpen; }
    [[nodiscard]] bool IsLoading() const { return m_mode == Mode::Load; }
    [[nodiscard]] bool IsStoring() const { return m_mode == Mode::Store; }
    [[nodiscard]] const std::string& LastError() const { return m_strError; }

    // Load mode. Read returns the number of bytes copied (fewer at the end of data).
    [[nodiscard]] std::size_t Read(void* out, std::size_t count);
    [[nodiscard]] bool ReadByte(std::uint8_t& out)
    {
        if (m_pCur == m_pEnd && !RefillForRead())
            return false;
        out = *m_pCur++;
        return true;
    }
    // Puts the last byte read back, so the next read returns it again (one byte deep).
    void PutBack()
    {
        // The byte just read is always still in the window: a refill only happens when
        // the window is exhausted, and the read after it leaves m_pCur past its start.
        if (m_pCur > m_pBegin)
            --m_pCur;
    }
    // Bytes not yet read; a length field larger than this cannot be satisfied.
    [[nodiscard]] std::uint64_t BytesLeft() const;
    // Offset of the next byte to be read or written.
    [[nodiscard]] std::uint64_t Position() const;
    // Load mode: the next read starts at `offset` (at most the size); false otherwise.
    [[nodiscard]] bool Seek(std::uint64_t offset);
    // Load mode over a file: true once reading it failed (not merely ended).
    [[nodiscard]] bool ReadFailed() const { return m_bReadFailed; }

    // What the chunk being read still declares, counted from the event being read; event
    // bodies refuse a length beyond it (or beyond BytesLeft) without allocating it.
    void SetChunkLeft(std::uint64_t bytes) { m_chunkLeft = bytes; }
    [[nodiscard]] std::uint64_t ChunkLeft() const { return m_chunkLeft; }
    // True when `count` more bytes can still come from this chunk and this file,
    // given that `alreadyRead` bytes of the current event have been taken.
    [[nodiscard]] bool CanSupply(std::uint64_t count, std::uint64_t alreadyRead) const;

    // Store mode. False once any write has failed.
    bool Write(const void* data, std::size_t count);
    bool WriteByte(std::uint8_t value) { return Write(&value, 1); }
    // Flushes and closes a file; false when anything written was lost.
    bool Close();
    [[nodiscard]] bool Failed() const { return m_bFailed; }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return m_stored; }

private:
    bool Refill();
    bool RefillForRead() { return m_mode == Mode::Load && m_bOpen && Refill(); }

    Mode m_mode;
    bool m_bOpen = false;
    bool m_bFailed = false;
    bool m_bReadFailed = false;
    std::string m_strError;
    std::FILE* m_pFile = nullptr;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_windowStart = 0;      // file offset of m_window[0]
    std::vector<std::uint8_t> m_window;   // read buffer for files
    const std::uint8_t* m_pCur = nullptr;
    const std::uint8_t* m_pEnd = nullptr;
    const std::uint8_t* m_pBegin = nullptr;
    std::uint64_t m_chunkLeft = UINT64_MAX;
    std::uint64_t m_storedOffset = 0;
    std::vector<std::uint8_t> m_stored;   // memory store target
};
