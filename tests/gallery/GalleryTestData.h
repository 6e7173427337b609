#pragma once
// Ringtone posts for the gallery tests: built by the program's own code wherever it
// exists (conversion, package, LZW, upload body, upload session), by hand only where
// a test needs a fault the program never makes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ringtone/RingtoneNote.h"
#include "tests/support/RingtoneMessages.h"
#include "tests/support/TempDir.h"

// The preview MIDI file of notes 8c5, 4p, 8d5 at division 96, tempo 120, program 57.
[[nodiscard]] std::vector<std::uint8_t> SmallPreviewMidi();
// The package as posted: "ZORVATTONE", the MIDI length, the MIDI, the hex; compressed.
[[nodiscard]] std::vector<std::uint8_t> CompressedPackage(const std::vector<std::uint8_t>& midi,
                                                          const std::string& hex);
// A valid package of SmallPreviewMidi and a three-note message.
[[nodiscard]] std::vector<std::uint8_t> GoodPackage();

// The package that posting `rtttl` builds, through CRingtoneConverter::Convert with
// `tempDir` as the temporary directory. Empty when the conversion failed.
[[nodiscard]] std::vector<std::uint8_t> PackageFromRtttl(const std::string& rtttl, const std::string& tempDir);

// The body the program sends (BuildUploadBody) and its Content-Type value.
[[nodiscard]] std::string UploadBodyOf(const std::string& submitter, const std::string& password,
                                       const std::string& tone, const std::string& category,
                                       const std::vector<std::uint8_t>& data);
inline constexpr const char* kUploadContentType = "multipart/form-data; boundary=---------------------------7cf2e411b8c";
