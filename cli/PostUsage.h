#pragma once
// What "zorvattone-cli post --help" prints, shared by the tool and the program
// that does the post.

inline constexpr const char* kPostUsage =
    "usage: zorvattone-cli post --name TONE --category english|chinese|classical|others\n"
    "                           [--truncate] [--host HOST[:PORT]] FILE|-\n\n"
    "Converts the RTTTL text of FILE (or standard input for -), builds the ringtone\n"
    "package and posts it to the gallery under the name TONE (1 to 32 characters)\n"
    "in the category given, with the nickname and password of the profile. Prints\n"
    "each upload step as it happens, then the server's reply.\n\n"
    "  --truncate          cut a ringtone that is too long for one message instead\n"
    "                      of giving up\n"
    "  --host HOST[:PORT]  post to HOST (port 9011 unless given) instead of the\n"
    "                      profile's home site, for this run only\n\n"
    "The profile must hold a nickname, an e-mail address and a temporary working\n"
    "directory (run the desktop program's Setup once).\n";

inline constexpr const char* kPostSummary = "convert RTTTL text and post the ringtone to the gallery";
// The program the tool starts for "post", looked for beside the tool first.
inline constexpr const char* kPostProgram = "zorvattone-cli-post";
