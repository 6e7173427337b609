#pragma once
// Why a file operation failed: the file as the caller named it, the reason in words
// and the kind of failure, from which a caller chooses its own message ("cannot
// read X: is a directory", "Cannot write the file "X": No space left on device.").

#include <string>

enum class FileFault {
    kNone,
    kOpen,       // the file could not be opened for reading; strReason is the system's text
    kRead,       // a read failed part-way; the system's text
    kCreate,     // the new file could not be created; the system's text, or why no name was free
    kWrite,      // a write, the sync, the close or the final rename failed; the system's text
    kDirectory,  // "is a directory"
    kNotRegular, // "is not a regular file": a FIFO, a device or a socket where a file was wanted
    kTooLarge,   // "is larger than N bytes"
    kSameFile,   // "is the same file as IN": writing it would destroy the file being read
};

struct FileError {
    std::string strFile;   // the path the caller gave
    std::string strReason; // the words after the file's name, no final full stop
    FileFault fault = FileFault::kNone;
};
