#pragma once
// The usage of "ringtone", which the tool shows and zorvattone-cli-audio runs.

inline constexpr const char* kRingtoneSummary = "render a range of a song as a phone ringtone (.m4r or .ogg)";
inline constexpr const char* kRingtoneUsage =
    "usage: zorvattone-cli ringtone SONG.mid [--from S|auto] [--seconds S]\n"
    "                               [--channels LIST] [--loop] -o OUT.m4r|OUT.ogg\n\n"
    "Renders the song as it plays, all channels or the ones listed, through the\n"
    "built-in synthesizer, as a ringtone: from a bar line (or the first sound after\n"
    "it) to the last bar line within the length, faded in over 5 ms and out over\n"
    "1.5 s, at -16 LUFS with a true peak at most -1 dBTP, titled after the song.\n"
    "  --from S        the start second, as the position slider's (default 0)\n"
    "  --from auto     where the tune begins (as record --from auto)\n"
    "  --seconds S     the longest it lasts: .m4r 29.5 unless asked (at most 39.9),\n"
    "                  .ogg 30 (at most 600); decimals allowed\n"
    "  --channels LIST the channels that sound, 1-16, as 1,2,10 (default: all)\n"
    "  --loop          end on the bar line with no fade, for a seamless loop; the\n"
    "                  .ogg is tagged ANDROID_LOOP=true\n"
    "  -o, --output OUT  the ringtone: .m4r (AAC, iPhone) or .ogg (Vorbis, Android)\n"
    "Progress goes to standard error on a terminal when it takes more than a second;\n"
    "then one line says the range, the loudness and the true peak.\n";
