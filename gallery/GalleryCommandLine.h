#pragma once
// The command line of zorvat-gallery: [OPTIONS] DATA_DIR.

#include <string>
#include <vector>

#include "gallery/GalleryProgram.h"

// The --help text.
extern const char* const kGalleryUsage;

struct CGalleryCommandLine {
    CGalleryProgramOptions m_options;
    std::string m_strSoundFont; // empty: the engine's own search
    bool m_bHelp = false;
};

// `args` without the program name. False with a one-line message for an unknown
// option, a missing or bad value, or a missing data directory (none needed with --help).
[[nodiscard]] bool ParseGalleryCommandLine(const std::vector<std::string>& args, CGalleryCommandLine& out,
                                           std::string& error);
