#pragma once
// A ringtone file of a note format (RTTTL, Nokia OTT, iMelody) as bytes, read into
// and written from the note list, whichever the format: what the command line's
// import and export and the desktop's Import and Export Ringtone share.

#include <string>
#include <vector>

#include "tonefile/ToneFormat.h"
#include "tonefile/ToneMelody.h"

// The format of a file: from its name's extension, else from what its bytes begin
// with (BEGIN:IMELODY, the message's first octet, else RTTTL text). Never a sound
// format, which nothing reads.
[[nodiscard]] ToneFormat NoteFormatOfFile(const std::string& path, const std::string& bytes);

// Reads the ringtone of a note-format file (of an RTTTL file that holds several,
// the first; `tones` says how many it holds). What the note list cannot hold of
// the file is a loss each. False with the first fault in `error`.
[[nodiscard]] bool ReadNoteToneFile(ToneFormat format, const std::string& bytes, CToneMelody& out,
                                    std::vector<ToneLoss>& losses, std::size_t& tones, std::string& error);

// The file of `melody` in a note format: RTTTL text on one line with its line end,
// the OTT octets, the iMelody text. An OTT message over one SMS is refused unless
// bCutToFit (see WriteOttFile). False with the reason in `error`.
[[nodiscard]] bool WriteNoteToneFile(ToneFormat format, const CToneMelody& melody, bool bCutToFit, std::string& bytes,
                                     std::vector<ToneLoss>& losses, std::string& error);
