#pragma once
// Reading a whole file into memory, never more than the caller's limit.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fileio/FileError.h"

// Reads the regular file at `path` (a symbolic link is followed) into `out`. Refused
// before a byte is read: a directory (kDirectory), anything else that is not a regular
// file (kNotRegular: a FIFO, which is never opened, so nothing waits for a writer; a
// device such as /dev/zero) and a file of more than maxBytes bytes (kTooLarge, "is
// larger than N bytes"). A file that grows past maxBytes while it is read is refused
// the same way; at most maxBytes + 1 bytes are ever held. False with the reason in
// `error`, naming `path`; `out` is then empty.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& out,
                                 FileError& error);
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::uint64_t maxBytes, std::string& out,
                                 FileError& error);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file at `path` for reading in pieces, refused as ReadWholeFile refuses
// (it is then null, with the reason in `error`); `size` receives its size.
[[nodiscard]] FilePtr OpenFileToRead(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                                     FileError& error);

// The name ReadStandardInput gives standard input in `error`.
inline constexpr const char kStandardInputName[] = "standard input";

// Reads standard input to its end, whatever it is (a file, a pipe, a terminal, a
// device), at most maxBytes bytes; more is refused as kTooLarge.
[[nodiscard]] bool ReadStandardInput(std::uint64_t maxBytes, std::string& out, FileError& error);
