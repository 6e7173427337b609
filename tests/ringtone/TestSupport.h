#pragma once
// Temporary directories and file helpers for the ringtone tests. Nothing here
// touches the home directory.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class CTempDir {
public:
    CTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zt-ringtone-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data()))
            m_strPath = made;
    }
    ~CTempDir()
    {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_strPath; }
    [[nodiscard]] std::string File(const std::string& name) const { return m_strPath + "/" + name; }

private:
    std::string m_strPath;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::string& path)
{
    std::vector<std::uint8_t> b = ReadBytes(path);
    return {b.begin(), b.end()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The names in a directory, sorted.
inline std::vector<std::string> Listing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Bytes from a hex string such as "02 4A 3A" (blanks ignored).
inline std::vector<std::uint8_t> Hex(const std::string& text)
{
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits.push_back(c);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}
