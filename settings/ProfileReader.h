#pragma once
// Reads entries of the user's profile as the desktop program writes them (a Qt
// INI file), without Qt: for the command-line tool, which needs one entry and
// should not load a toolkit to read it. The desktop program writes the file; this
// only reads it.

#include <string>
#include <utility>

#include "settings/SettingsStore.h"

// "$XDG_CONFIG_HOME/Zorvat Zavi 1.0/ZorvatTone.ini" ($HOME/.config without an
// absolute XDG_CONFIG_HOME), the file the desktop program's profile lives in.
[[nodiscard]] std::string UserProfilePath();

// The value of `key` in `section` of the INI file at `path`, unescaped as Qt
// writes it (quotes, backslash escapes, "@@" for a leading "@", a list joined with
// ","). Empty when the file, the section or the key is absent, as for the desktop
// program.
[[nodiscard]] std::string ReadProfileString(const std::string& path, const std::string& section,
                                            const std::string& key);

// The user's profile file as a store that reads only: for a run of the tool that
// needs the identity and paths the desktop program keeps. Writes are refused.
class CProfileFileReader final : public CSettingsStore {
public:
    explicit CProfileFileReader(std::string path = UserProfilePath()) : m_strPath(std::move(path)) {}

    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override
    {
        return ReadProfileString(m_strPath, section, key);
    }
    [[nodiscard]] bool SetString(const std::string&, const std::string&, const std::string&) override
    {
        return false;
    }
    [[nodiscard]] std::string FilePath() const override { return m_strPath; }
    [[nodiscard]] std::string WriteError() const override { return "the tool only reads the profile"; }

private:
    std::string m_strPath;
};
