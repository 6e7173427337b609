#include "engine/devices/SoundFontPath.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

bool IsSoundFontHeader(std::string_view head)
{
    constexpr std::size_t kHeaderSize = 12; // "RIFF", the chunk size, the form type
    if (head.size() < kHeaderSize || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "sfbk")
        return false;
    std::uint32_t size = 0;
    for (int i = 7; i >= 4; --i)
        size = size << 8 | static_cast<unsigned char>(head[static_cast<std::size_t>(i)]);
    return size >= 4;
}

bool IsSoundFontFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char head[12] = {};
    if (!in.read(head, sizeof head))
        return false;
    return IsSoundFontHeader(std::string_view(head, sizeof head));
}
