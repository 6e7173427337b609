#pragma once
// Where the built-in synthesizer finds its General MIDI SoundFont.

#include <functional>
#include <string>
#include <string_view>

// The environment variable that names a SoundFont file to use before the defaults.
inline constexpr const char* kSoundFontVariable = "ZORVAT_SOUNDFONT";

// The file named by ZORVAT_SOUNDFONT when it exists, else the first existing one of
// the Debian General MIDI SoundFonts (the system default, then fluid-soundfont-gm,
// then timgm6mb-soundfont). Empty when there is none.
[[nodiscard]] std::string FindSoundFont();
// The same rule with the variable's value (null when unset) and the file test given.
[[nodiscard]] std::string FindSoundFont(const char* overridePath, const std::function<bool(const std::string&)>& isFile);

// True when `head`, the first bytes of a file, start a SoundFont: a RIFF chunk whose
// size covers at least its form type and whose form type is "sfbk" (SF2, and SF3
// with its compressed samples alike). Only the first 12 bytes are looked at.
[[nodiscard]] bool IsSoundFontHeader(std::string_view head);
// The same test on the file at `path`; false when it cannot be read.
[[nodiscard]] bool IsSoundFontFile(const std::string& path);
