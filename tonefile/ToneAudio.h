#pragma once
// Sound ringtones: the melody played by the built-in synthesizer through the preview
// MIDI file Listen plays (in the instrument chosen for Listen), and encoded as an
// Ogg Vorbis file (libsndfile) for Android or an AAC .m4r (FFmpeg) for iPhones.

#include <string>
#include <vector>

#include "tonefile/ToneFormat.h"
#include "tonefile/ToneMelody.h"

// An .m4r cut at its limit fades out over this.
inline constexpr unsigned kM4rFadeMilliseconds = 2000;

// The sound of `melody` in `format` (Ogg or M4r) into `bytes`: mono, at the
// synthesizer's rate, General MIDI program 0..127. Notes play as a phone plays them
// (a double dot adds three quarters, the 2/3 length takes two thirds). The preview
// MIDI file goes to `previewPath` on the way. The sound is cut at `maxSeconds` (at
// most 40 for an .m4r, kMaxOggSeconds for an .ogg) and faded out before; each note
// that starts past the cut is a Cut loss. False with the reason in `error` (no
// SoundFont, a file that cannot be written, an encoder fault, a length past the limit).
[[nodiscard]] bool RenderToneAudio(const CToneMelody& melody, ToneFormat format, int program,
                                   const std::string& previewPath, std::string& bytes, std::vector<ToneLoss>& losses,
                                   std::string& error, unsigned maxSeconds = kMaxM4rSeconds);
