#pragma once
// The recent-file list: the last files opened, newest first, kept in the profile
// under "Recent File List" as "File1" to "File4" (an empty value ends the list). A
// profile that cannot be written leaves the list in memory and says so on standard
// error only.

#include <string>
#include <vector>

class CSettingsStore;

inline constexpr char kRecentFileSection[] = "Recent File List";

class CRecentFileList {
public:
    static constexpr std::size_t kMaxEntries = 4;

    explicit CRecentFileList(CSettingsStore& settings) : m_settings(settings) {}

    // Reads the list from the profile.
    void Load();
    // Puts `path` first (moving it up when it is already listed), drops what falls
    // beyond four entries, and writes the list at once.
    void Add(const std::string& path);
    // Takes `path` off the list (a file that no longer opens) and writes the list.
    void Remove(const std::string& path);

    [[nodiscard]] const std::vector<std::string>& Entries() const { return m_entries; }

    // "File1" for index 0.
    [[nodiscard]] static std::string KeyOf(std::size_t index);

private:
    void Save();

    CSettingsStore& m_settings;
    std::vector<std::string> m_entries;
};
