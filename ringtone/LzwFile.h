#pragma once
// The package's compression on disk: a file is coded into "<path>.tmp", which then
// takes the file's name.

#include <cstdint>
#include <string>

class CStdFile;

// Why a file operation failed: the file and the system's reason.
struct FileError {
    std::string strFile;
    std::string strReason;
};

// Codes the rest of `in` into `out` (see CLzwEncoder), reading and writing in blocks
// of 1024 bytes. False when a read or a write failed; the files stay open.
[[nodiscard]] bool LzwCompress(CStdFile& in, CStdFile& out);

// Copies the first leadingBytes bytes of `path` unchanged, codes the rest, and puts
// the result in place of the file. False when the file cannot be read, or the
// ".tmp" file cannot be created, written or moved; the file at `path` is then left
// as it was and no ".tmp" file stays behind. `error` says which file and why.
[[nodiscard]] bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes, FileError& error);
[[nodiscard]] bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes);
