#pragma once
// Sound ringtones: the melody played by the built-in synthesizer (in the instrument
// chosen for Listen) at the pitch a phone plays the same text, a4 at 440 Hz (Listen's
// preview sounds an octave below), and encoded as an Ogg Vorbis file for Android,
// tagged to loop, or an AAC .m4r for iPhones (FFmpeg), each with its title.

#include <string>
#include <vector>

#include "tonefile/ToneFormat.h"
#include "tonefile/ToneMelody.h"

// An .m4r cut at its limit fades out over this.
inline constexpr unsigned kM4rFadeMilliseconds = 2000;
// An iPhone takes a ringtone under 40 s: one asked for 40 s lasts this long.
inline constexpr unsigned kLongestM4rMilliseconds = 39900;
// The preview's note numbers put a4 at MIDI 57 (220 Hz); a phone plays it at 440 Hz.
inline constexpr int kPhonePitchShift = 12;

// The sound of `melody` in `format` (Ogg or M4r) into `bytes`: mono, at the
// synthesizer's rate, General MIDI program 0..127. Notes play as a phone plays them
// (a double dot adds three quarters, the 2/3 length takes two thirds). The preview
// MIDI file goes to `previewPath` on the way. The sound is cut at `maxSeconds` (at
// most 40 for an .m4r, which then lasts 39.9 s, kMaxOggSeconds for an .ogg) and faded
// out before; each note
// that starts past the cut is a Cut loss. False with the reason in `error` (no
// SoundFont, a file that cannot be written, an encoder fault, a length past the limit).
[[nodiscard]] bool RenderToneAudio(const CToneMelody& melody, ToneFormat format, int program,
                                   const std::string& previewPath, std::string& bytes, std::vector<ToneLoss>& losses,
                                   std::string& error, unsigned maxSeconds = kMaxM4rSeconds);
