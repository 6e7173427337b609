#pragma once
// The package's compression on disk: a file is coded and put in place of itself
// whole (see CFileReplacer).

#include <cstdint>
#include <string>

#include "fileio/FileError.h"

class CFileReplacer;
class CStdFile;

// Codes the rest of `in` into `out` (see CLzwEncoder), reading and writing in blocks
// of 1024 bytes. False when a read or a write failed; the files stay open.
[[nodiscard]] bool LzwCompress(CStdFile& in, CFileReplacer& out);

// Copies the first leadingBytes bytes of `path` unchanged, codes the rest, and puts
// the result in place of the file. False when the file cannot be read (kOpen, kRead)
// or the coded file cannot be written (kCreate, kWrite, ...); the file at `path` is
// then left as it was and nothing else stays behind. `error` names `path` and says why.
[[nodiscard]] bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes, FileError& error);
[[nodiscard]] bool CompressFileInPlace(const std::string& path, std::uint64_t leadingBytes);
