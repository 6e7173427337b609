#pragma once
// Putting new contents in place of a file whole, or leaving the file as it was.
//
// The bytes go to a new file beside the target, "<target>.part" (or
// "<target>.part-N" when that name is taken: whatever has that name is never followed,
// opened, reused or removed), created exclusively; Commit syncs and closes it and
// renames it over the target in one step. The target is the file the path names: a
// symbolic link is written through, so the link stays and the file it names is
// replaced (a link to nothing gets its file created). An existing target's permission
// bits carry over. A device or a FIFO (/dev/stdout, /dev/null) is written in place:
// it holds nothing to keep, and renaming over it would replace the device node. A
// directory is refused.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/FileError.h"

class CFileReplacer {
public:
    CFileReplacer() = default;
    ~CFileReplacer(); // an unfinished replacement is abandoned
    CFileReplacer(const CFileReplacer&) = delete;
    CFileReplacer& operator=(const CFileReplacer&) = delete;

    // Starts replacing `path`. `inputPath`, when not empty, names the file the new
    // contents are read from: when `path` is that very file (the same device and
    // inode, whatever the names and links), it is refused (kSameFile). False with
    // kCreate, kDirectory or kSameFile in `error`; nothing is then left behind.
    [[nodiscard]] bool Open(const std::string& path, FileError& error, const std::string& inputPath = {});
    // Appends bytes. False once a write has failed; Commit then reports it.
    [[nodiscard]] bool Write(const void* data, std::size_t size);
    // Syncs, closes and renames the new file over the target (closes a device). False
    // with kWrite in `error`: the target is then as it was and the new file is gone.
    [[nodiscard]] bool Commit(FileError& error);
    // Closes and deletes the unfinished new file; the target stays as it was.
    void Abandon();

    // The file the bytes go to until Commit, for a writer that opens files by name: it
    // must write that file as it is (truncating is fine), not put another in its
    // place, which Commit refuses. For a device, the path itself.
    [[nodiscard]] const std::string& WritePath() const { return m_strWritePath; }

private:
    bool Fail(FileError& error, FileFault fault, const std::string& reason);
    // True while the new file's name still holds the file this replacer created.
    [[nodiscard]] bool IsOwnPart() const;
    // Deletes the new file, if it is still this replacer's own.
    void RemovePart();

    std::string m_strPath;      // as the caller named it, for messages
    std::string m_strTarget;    // what the new file is renamed over
    std::string m_strWritePath; // the new file, or the device
    std::uint64_t m_partDevice = 0;
    std::uint64_t m_partInode = 0;
    int m_fd = -1;
    bool m_bInPlace = false;
    FileError m_writeError;     // the first failed write, for Commit
};

// Replaces the file at `path` with `size` bytes through a CFileReplacer.
[[nodiscard]] bool ReplaceFileWith(const std::string& path, const void* data, std::size_t size, FileError& error,
                                   const std::string& inputPath = {});
