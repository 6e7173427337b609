#include "engine/SoundFontPath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// default-GM.sf2 is the alternatives link to the best installed sf2; the sf3 link
// lives in its own folder.
constexpr const char* kDefaultPaths[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::string FindSoundFont()
{
    return FindSoundFont(std::getenv(kSoundFontVariable), IsRegularFile);
}

std::string FindSoundFont(const char* overridePath, const std::function<bool(const std::string&)>& isFile)
{
    // An override that names no file falls back to the defaults rather than leaving
    // the program without sound.
    if (overridePath && *overridePath && isFile(overridePath))
        return overridePath;
    for (const char* path : kDefaultPaths)
        if (isFile(path))
            return path;
    return std::string();
}
