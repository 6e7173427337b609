#pragma once
// The user's profile as an INI file, kept by QSettings: groups "IDENTITY" and
// "SYSTEM", every value a string. The file holds the password in plain text, so it
// is kept readable and writable by its owner only (0600).

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

class QSettings;

class CIniSettingsStore final : public CSettingsStore {
public:
    // The user's profile, "$XDG_CONFIG_HOME/Zorvat Zavi 1.0/ZorvatTone.ini"
    // (~/.config when XDG_CONFIG_HOME is not set).
    CIniSettingsStore();
    // A profile in the named file (tests, other profiles).
    explicit CIniSettingsStore(const std::string& filePath);
    ~CIniSettingsStore() override;
    CIniSettingsStore(const CIniSettingsStore&) = delete;
    CIniSettingsStore& operator=(const CIniSettingsStore&) = delete;

    // A value written by hand as a list ("a, b", unquoted) reads back joined with ",".
    [[nodiscard]] std::string GetString(const std::string& section, const std::string& key) const override;
    // Writes the entry to disk at once; false when the file could not be written.
    bool SetString(const std::string& section, const std::string& key, const std::string& value) override;

    // The INI file this store reads and writes.
    [[nodiscard]] std::string FilePath() const;

private:
    bool EnsurePrivateFile();

    std::unique_ptr<QSettings> m_pSettings;
};
