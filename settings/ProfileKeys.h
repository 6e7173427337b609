#pragma once
// The names of the user's profile: where it lives, its six entries and our own section, so that
// every reader and writer uses the same ones. The names are case-sensitive.

// The profile: "<config dir>/Zorvat Zavi 1.0/ZorvatTone.ini".
inline constexpr char kProfileOrganization[] = "Zorvat Zavi 1.0";
inline constexpr char kProfileApplication[] = "ZorvatTone";

inline constexpr char kProfileIdentity[] = "IDENTITY";
inline constexpr char kProfileNickname[] = "NICKNAME"; // author nickname shown in the gallery
inline constexpr char kProfileEmail[] = "EMAIL";       // the user's e-mail address
inline constexpr char kProfilePassword[] = "PASSWD";   // gallery password, plain text

inline constexpr char kProfileSystem[] = "SYSTEM";
inline constexpr char kProfileHomeSite[] = "EMAIL";    // the gallery's host name or IP address (the key says EMAIL)
inline constexpr char kProfileTempDir[] = "TEMP";      // temporary working directory, no trailing separator
inline constexpr char kProfileMediaPlayer[] = "MPLAYER"; // full path of the media player program

// Our own section, beside the six entries above: options the desktop program
// remembers. Absent entries read as empty, which means the default.
inline constexpr char kProfileOptions[] = "ZORVATTONE";
inline constexpr char kProfileKeepRhythm[] = "KEEPRHYTHM"; // "1": Stop writes the faithful capture
inline constexpr char kProfileFitOneMessage[] = "FITONEMESSAGE"; // "1": the faithful capture ends on a phrase that fits one message
inline constexpr char kProfileSoundOutput[] = "OUTPUT";    // the chosen MIDI output's name; empty: the first that qualifies
inline constexpr char kProfileSoundFont[] = "SOUNDFONT";   // the built-in synthesizer's SoundFont; empty: the default one
