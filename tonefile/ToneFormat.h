#pragma once
// The ringtone file formats the program reads and writes, named on the command line
// and known by their file name extensions.

#include <optional>
#include <string>

enum class ToneFormat { Rtttl, Ott, IMelody, Ogg, M4r };

// "rtttl" (also "txt"), "ott", "imy" (also "imelody"), "ogg", "m4r"; letter case aside.
[[nodiscard]] std::optional<ToneFormat> ToneFormatNamed(const std::string& name);
// The format a file name's extension names: .rtttl, .rtx, .txt, .ott, .imy, .ogg, .m4r.
[[nodiscard]] std::optional<ToneFormat> ToneFormatOfPath(const std::string& path);
// "rtttl", "ott", "imy", "ogg", "m4r".
[[nodiscard]] const char* ToneFormatName(ToneFormat format);
// Ogg and M4R are sound, rendered by the synthesizer; the others are notes.
[[nodiscard]] inline bool IsAudioFormat(ToneFormat format)
{
    return format == ToneFormat::Ogg || format == ToneFormat::M4r;
}

// An iPhone plays a ringtone of at most this long; sound ringtones are cut there unless
// asked for otherwise, so that a short text cannot ask for an hour of sound.
inline constexpr unsigned kMaxM4rSeconds = 40;
// The longest an .ogg may be asked for.
inline constexpr unsigned kMaxOggSeconds = 600;
