#pragma once
// Where the built-in synthesizer finds its General MIDI SoundFont.

#include <functional>
#include <string>

// The environment variable that names a SoundFont file to use before the defaults.
inline constexpr const char* kSoundFontVariable = "ZORVAT_SOUNDFONT";

// The file named by ZORVAT_SOUNDFONT when it exists, else the first existing one of
// the Debian General MIDI SoundFonts (the system default, then fluid-soundfont-gm,
// then timgm6mb-soundfont). Empty when there is none.
[[nodiscard]] std::string FindSoundFont();
// The same rule with the variable's value (null when unset) and the file test given.
[[nodiscard]] std::string FindSoundFont(const char* overridePath, const std::function<bool(const std::string&)>& isFile);
